#pragma once
// The process-wide busy flag: set by every long operation and by the
// pending-work pump, so that requests arriving meanwhile wait their turn.

bool IsBusy();
void SetBusy(bool busy);
