#pragma once
// EntryCommands: what the user does to documents from the folder board,
// the list and the search dialog's hit board, in one place. The panes turn
// their selection into entry indices, call a command and show its result;
// the command reads and writes the catalogue through the panes' EntrySource
// and leaves the files to the document's file operations (RenameDocumentFiles).
//
//   RenameStack, RenameDocument   a new title from an in-place edit
//
// Every command answers with a CommandResult: done, cancelled (nothing to
// do, or the user said no), refused (the user's input is wrong and may be
// corrected: a pane that edits in place opens the edit again) or failed (a
// file or the catalogue would not; correcting the input would not help).
// A result's message is what the pane shows (empty when nothing is to be
// shown, or when a catalogue failure has been shown already).

#include <string>
#include <vector>

class EntrySource;

enum class CommandStatus { Done, Cancelled, Refused, Failed };

struct CommandResult {
  CommandStatus status = CommandStatus::Done;
  std::string message;
  // The entries the command changed (by index, as the source had them).
  std::vector<int> changed;

  bool done() const { return status == CommandStatus::Done; }
  static CommandResult Done(std::vector<int> changed) { return {CommandStatus::Done, {}, std::move(changed)}; }
  static CommandResult Cancelled() { return {CommandStatus::Cancelled, {}, {}}; }
  static CommandResult Refused(std::string message) { return {CommandStatus::Refused, std::move(message), {}}; }
  static CommandResult Failed(std::string message = {}) { return {CommandStatus::Failed, std::move(message), {}}; }
};

class EntryCommands {
 public:
  // The caption of the rename messages.
  static constexpr const char* kRenameCaption = "タイトルの変更";

  explicit EntryCommands(EntrySource& source) : source_(source) {}

  // The stack of entry index takes the typed title (white space around it
  // dropped); its dates become today. Cancelled when the title is the one
  // it has.
  CommandResult RenameStack(int index, const std::string& typed);
  // The document of entry index (a single item, or a stack's current page)
  // takes the typed title and keeps its extension. Its file and attached
  // text take the new name first, both or neither; the catalogue row follows
  // and, when it cannot be written, the files get their old names back. A
  // stack's dates become today with its page's. Cancelled when unchanged.
  CommandResult RenameDocument(int index, const std::string& typed);

  EntrySource& source() const { return source_; }

 private:
  EntrySource& source_;
};
