// How the exports that open the library's template dialogs reach them: the
// dialogs live in the part of the library that uses Qt Widgets and install
// themselves here when the library is loaded.  Without them (a program
// linking only the cores) the exports report that no dialog could be shown.
#pragma once

namespace layout {

struct TemplateDialogHooks {
  // "rgstTemp" for the host window: 1 OK, 0 cancelled.
  int (*operation)(void* window) = nullptr;
  // "confTemp" in a mode with a start number: 1 OK, 0 otherwise.  Both give
  // -1 when no dialog can be shown (no QApplication in the host).
  int (*confirm)(void* window, int mode, int number) = nullptr;
};

TemplateDialogHooks& templateDialogHooks();

}  // namespace layout
