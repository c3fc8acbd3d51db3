// The state and the file work of the template dialogs, apart from their
// widgets: the working template that "confTemp" shows and edits, the
// settings that outlive one dialog (threshold, scale), and the routines that
// load a template into the working template, register it, mark it deleted or
// excluded, and rewrite one of its fields.
//
//   templateSession()             the one session of the process
//   clear_working_template        frees the working template and its lines
//   forget_template_session       drops it when the pools are reset
//   load_working_template         fills the working template for a mode
//   register_working_template     writes it as a new template, with its name
//   set_template_eligibility      the slot byte of the current template
//   rewrite_template_field        one field record of the current template
//   working_field_position        1-based position in the working ring
//   report_template_error         the error hook with a message number
//
// The folder and the current template number are those of the template
// context (template_table.h).  Errors are reported through the library's
// error hook (layout_messages.h) with the numbers 2102-2116, as well as
// returned.
#pragma once

#include "layout/records.h"
#include "layout/template_table.h"

#include <cstdint>
#include <string>

namespace layout {

// Modes of the confirmation dialog.
enum TemplateMode : int {
  kModeReference = 1,
  kModeRegister = 2,
  kModeDelete = 3,
  kModeModify = 4,
  kModeConfirm = 65535,
};

inline constexpr int kDefaultThreshold = 70;
inline constexpr int kDefaultImageScale = 8;

struct TemplateSession {
  int operationMode = 0;          // 1 while "confTemp" is open
  int threshold = kDefaultThreshold;
  int scale = kDefaultImageScale; // image window: 4, 8, 16 or 32
  int slotCount = 0;              // slots of the table last read
  int registered = 0;             // registered templates of that table
  std::uint8_t eligibility = 1;   // slot byte of the current template
  int nameFlag = 0;               // flag word of the current template's name record
  std::string name;               // UTF-8
  int lastRegistered = -1;        // number of the template registered last, -1 none
  userfld* working = nullptr;     // the working template's fields
  KeisenPair workingLines;
};

TemplateSession& templateSession();
void clear_working_template();
// Forgets the working template without freeing its records (their pools are
// being reset) and frees its ruled lines.
void forget_template_session();

void report_template_error(int number);

// 1 filled; 0 nothing to show (an error was reported); -121 no table in a
// mode that needs one.  In register mode a folder without a table gives a
// new template from the template field list (with 2114 reported).
short load_working_template(int mode);

// Registers the working template with the page's ruled lines and the name
// (UTF-8): 1 and ctx.current = the new template's number; -1 after an error
// was reported.
short register_working_template(const std::string& name);

// Stores the byte for the current template; outside register mode also in
// its slot of the table.  1, or 0 after a reported error.
short set_template_eligibility(std::uint8_t byte);

// Writes the field at `position` (1-based) of the working template into the
// current template's file.  1, -121, -123 or -122 (reported as 2109, 2110,
// 2113).
short rewrite_template_field(int position);

int working_field_position(const userfld* field);
userfld* working_field_at(int position);

// The number of a template shown when it has no name of its own.
std::string default_template_name(int number);

}  // namespace layout
