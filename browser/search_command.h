#pragma once
// The frame's search and tidy-up commands: the search dialog over the
// current desktop, and what is done with the hit the user chose.

class CMainFrame;
class CFD3Doc;

// Returns the dialog's result (CSearchDlg::Result).
int RunSearchCommand(CMainFrame& frame, CFD3Doc* document, bool tidyUp);
