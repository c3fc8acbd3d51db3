#include "layout/template_session.h"

#include "layout/field_rings.h"
#include "layout/layout_messages.h"
#include "layout/layout_status.h"
#include "layout/library_state.h"
#include "layout/line_field_steps.h"
#include "layout/ring.h"
#include "layout/template_field.h"
#include "platform/sjis_codec.h"

#include <filesystem>

namespace layout {
namespace {

// A name record holds 79 Shift-JIS bytes; the name edit takes up to 260.
constexpr std::size_t kNameBytes = 79;

bool tableExists(const std::string& folder) {
  std::error_code error;
  return std::filesystem::is_regular_file(template_table_path(folder), error);
}

// The working template becomes copies of the template field list and of the
// page's ruled lines: what a registration would store.
short startNewTemplate(int number) {
  auto& state = layoutState();
  auto& session = templateSession();
  clear_working_template();
  if (!ringEmpty(state.inputFields) && copy_fld_list(state.inputFields, &session.working) != kStatusDone) {
    report_template_error(kMsgNoMemory);
    return kStatusNothing;
  }
  if (copy_valid_lines(state.hLines, state.vLines, &session.workingLines) != 0) {
    report_template_error(kMsgNoMemory);
    return kStatusNothing;
  }
  session.name = default_template_name(number);
  session.eligibility = 1;
  session.nameFlag = 0;
  return kStatusDone;
}

short writeTableSlot(const std::string& folder, int current, std::uint8_t byte) {
  if (!tableExists(folder)) {
    report_template_error(kMsgTemplateOpen);
    return kStatusNothing;
  }
  TemplateTable table;
  if (open_template_table(template_table_path(folder), &table) != kStatusDone) {
    report_template_error(kMsgTemplateRead);
    return kStatusNothing;
  }
  if (current < 0 || current >= table.count) {
    report_template_error(kMsgBadTemplateNumber);
    return kStatusNothing;
  }
  table.slotBytes[static_cast<std::size_t>(current)] = static_cast<std::int8_t>(byte);
  const auto bytes = encode_template_table(table);
  if (write_file_replacing(template_table_path(folder), bytes) != kStatusDone) {
    report_template_error(kMsgTemplateWrite);
    return kStatusNothing;
  }
  return kStatusDone;
}

}  // namespace

TemplateSession& templateSession() {
  static TemplateSession session;
  return session;
}

void clear_working_template() {
  auto& session = templateSession();
  free_fld_list(&session.working);
  free_keisen_pair(&session.workingLines);
}

void forget_template_session() {
  auto& session = templateSession();
  session.working = nullptr;
  free_keisen_pair(&session.workingLines);
  session.operationMode = 0;
}

void report_template_error(int number) { show_layout_error(layoutState().window, number); }

std::string default_template_name(int number) { return "テンプレート " + std::to_string(number); }

short load_working_template(int mode) {
  auto& ctx = templateContext();
  auto& session = templateSession();
  if (!tableExists(ctx.folder)) {
    if (mode != kModeRegister) {
      report_template_error(kMsgTemplateOpen);
      return kStatusFileOpen;
    }
    report_template_error(kMsgNoTemplateFileYet);
    session.slotCount = 0;
    session.registered = 0;
    ctx.current = 0;
    return startNewTemplate(1);
  }
  TemplateTable table;
  int registered = 0;
  int count = 0;
  if (open_template_table(template_table_path(ctx.folder), &table) != kStatusDone ||
      count_registered_templates(&count, &registered, table) < 0) {
    report_template_error(kMsgTemplateRead);
    return kStatusNothing;
  }
  session.slotCount = table.count;
  session.registered = registered;
  if (mode == kModeModify && registered == 0) return kStatusDone;
  if (mode == kModeRegister) return startNewTemplate(table.count + 1);

  const int current = ctx.current;
  if (current < 0 || current >= table.count) {
    report_template_error(kMsgBadTemplateNumber);
    return kStatusNothing;
  }
  clear_working_template();
  session.eligibility = static_cast<std::uint8_t>(table.slotBytes[static_cast<std::size_t>(current)]);
  std::string attribute;
  if (read_template_file(&session.working, &session.workingLines, current, ctx.folder, &attribute, table) !=
      kStatusDone) {
    report_template_error(kMsgTemplateRead);
    return kStatusNothing;
  }
  session.name = default_template_name(current);
  session.nameFlag = 0;
  std::string stored;
  const int flag = read_template_name(ctx.folder, current, &stored);
  if (flag >= 0) {
    session.nameFlag = flag;
    if (!stored.empty()) session.name = platform::fromCp932(stored);
  }
  return kStatusDone;
}

short register_working_template(const std::string& name) {
  auto& ctx = templateContext();
  auto& session = templateSession();
  const short status = register_template(ctx, session.working, session.workingLines, layoutState().images[0],
                                         session.eligibility == 0 ? kSlotInactive : kSlotActive);
  switch (status) {
    case kStatusDone: break;
    case kStatusNoFieldList: report_template_error(kMsgNoFieldsToRegister); return -1;
    case kStatusFile125: report_template_error(kMsgNoFileName); return -1;
    case kStatusFileRead: report_template_error(kMsgFileRead); return -1;
    case kStatusFileOpen: report_template_error(kMsgFileOpen); return -1;
    case kStatusNoMemory: report_template_error(kMsgNoMemory); return -1;
    default: report_template_error(kMsgFileWrite); return -1;  // write failures and a full table
  }
  ctx.current = ctx.fileNumber;
  session.lastRegistered = ctx.current;
  std::string sjis = platform::toCp932Lossy(name);
  if (sjis.size() > kNameBytes) sjis = platform::toCp932Lossy(platform::utf8Truncate(name, kNameBytes));
  while (sjis.size() > kNameBytes) sjis.pop_back();
  if (write_template_name(ctx.folder, sjis, ctx.current, 0) != kStatusDone) report_template_error(kMsgFileWrite);
  return kStatusDone;
}

short set_template_eligibility(std::uint8_t byte) {
  auto& session = templateSession();
  session.eligibility = byte;
  // A template being registered has no slot yet: the byte goes with it.
  if (session.operationMode == kModeRegister) return kStatusDone;
  return writeTableSlot(templateContext().folder, templateContext().current, byte);
}

short rewrite_template_field(int position) {
  auto& ctx = templateContext();
  auto& session = templateSession();
  // A template being registered is written whole at OK.
  if (session.operationMode == kModeRegister) return kStatusDone;
  const userfld* field = working_field_at(position);
  if (field == nullptr) return kStatusNothing;
  TemplateTable table;
  if (!tableExists(ctx.folder) || open_template_table(template_table_path(ctx.folder), &table) != kStatusDone) {
    report_template_error(kMsgTemplateOpen);
    return kStatusFileOpen;
  }
  if (ctx.current < 0 || ctx.current >= table.count) {
    report_template_error(kMsgTemplateOpen);
    return kStatusFileOpen;
  }
  const std::string path = template_folder_path(ctx.folder, "@N" + table.entry(ctx.current));
  std::vector<std::uint8_t> bytes;
  TemplateFile file;
  if (read_file_bounded(path, kTemplateFileMaxBytes, &bytes) != kStatusDone ||
      decode_template_file(bytes, &file) != kStatusDone ||
      position > static_cast<int>(file.fields.size())) {
    report_template_error(kMsgTemplateRead);
    return kStatusFileRead;
  }
  TemplateFieldEntry entry{};
  fld_to_template_field(field, &entry);
  file.fields[static_cast<std::size_t>(position - 1)] = entry;
  if (write_file_replacing(path, encode_template_file(file)) != kStatusDone) {
    report_template_error(kMsgTemplateWrite);
    return kStatusFileWrite;
  }
  return kStatusDone;
}

int working_field_position(const userfld* field) {
  const userfld* ring = templateSession().working;
  if (ring == nullptr || field == nullptr) return 0;
  int n = 0;
  for (const userfld* f = ring->next; f != ring; f = f->next) {
    ++n;
    if (f == field) return n;
  }
  return 0;
}

userfld* working_field_at(int position) {
  userfld* ring = templateSession().working;
  if (ring == nullptr || position < 1) return nullptr;
  int n = 0;
  for (userfld* f = ring->next; f != ring; f = f->next)
    if (++n == position) return f;
  return nullptr;
}

}  // namespace layout

#include "layout/template_dialog_hooks.h"

namespace layout {

TemplateDialogHooks& templateDialogHooks() {
  static TemplateDialogHooks hooks;
  return hooks;
}

}  // namespace layout
