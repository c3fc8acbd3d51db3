// The messages of the layout library's error hook: the texts of the string
// table numbers that the exports and the template dialogs report, and an
// observer through which a host (or a test) hears of them.  The hook itself
// shows nothing: a host that wants to tell the user installs an observer.
//
//   layout_message_text         text of a message number ("" when unknown)
//   set_layout_error_observer   the observer the hook calls (null: none)
//   notify_layout_error         called by show_layout_error
#pragma once

namespace layout {

// Template messages (the others of layout_status.h go with them).
inline constexpr int kMsgNoTemplateFromNumber = 2102;
inline constexpr int kMsgNoFieldsToRegister = 2103;
inline constexpr int kMsgNoFileName = 2104;
inline constexpr int kMsgFileOpen = 2105;
inline constexpr int kMsgFileRead = 2106;
inline constexpr int kMsgFileWrite = 2107;
inline constexpr int kMsgBadTemplateNumber = 2112;
inline constexpr int kMsgTemplateWrite = 2113;
inline constexpr int kMsgNoTemplateFileYet = 2114;
inline constexpr int kMsgTemplateTooLarge = 2115;
inline constexpr int kMsgNoValidTemplate = 2116;

const char* layout_message_text(int number);

using LayoutErrorObserver = void (*)(void* context, void* window, int number);
// Returns the previous observer (and its context through `previousContext`).
LayoutErrorObserver set_layout_error_observer(LayoutErrorObserver observer, void* context,
                                              void** previousContext = nullptr);
void notify_layout_error(void* window, int number);

}  // namespace layout
