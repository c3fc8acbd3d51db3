#include "shell/busy_flag.h"

namespace {
bool gBusy = false;
}

bool IsBusy() { return gBusy; }
void SetBusy(bool busy) { gBusy = busy; }
