// libvulay30 is built from the whole of vulay30-layout and vulay30-dialogs;
// its exports are declared in vulay30.h and defined in library_exports.cpp.
#include "layout/vulay30.h"

#include "layout/dialogs/template_operation_dialog.h"

namespace {

// The exports that open the template dialogs find them from the start.
[[maybe_unused]] const bool dialogsInstalled = [] {
  layout::dialogs::install_template_dialogs();
  return true;
}();

}  // namespace
