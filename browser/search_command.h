#pragma once
// The frame's search, tidy-up and dictionary maintenance commands: the search dialog over the
// current desktop, and what is done with the hit the user chose.

class CMainFrame;
class CFD3Doc;

// Returns the dialog's result (CSearchDlg::Result).
int RunSearchCommand(CMainFrame& frame, CFD3Doc* document, bool tidyUp);

// The related-word dictionary maintenance dialog, with the busy flag held.
void RunRelatedWordMaintenance(CMainFrame& frame);
