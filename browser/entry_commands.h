#pragma once
// EntryCommands: what the user does to documents from the folder board,
// the list and the search dialog's hit board, in one place. The panes turn
// their selection into entry indices, call a command and show its result;
// the command reads and writes the catalogue through the panes' EntrySource
// and leaves the files to the document's file operations (RenameDocumentFiles).
//
//   RenameStack, RenameDocument   a new title from an in-place edit
//   ConfirmDelete, DeleteEntries, DeleteEntry   documents to the trash or for good
//
// Every command answers with a CommandResult: done, cancelled (nothing to
// do, or the user said no), refused (the user's input is wrong and may be
// corrected: a pane that edits in place opens the edit again) or failed (a
// file or the catalogue would not; correcting the input would not help).
// A result's message is what the pane shows (empty when nothing is to be
// shown, or when a catalogue failure has been shown already).

#include <cstddef>
#include <string>
#include <utility>
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
  // The captions of the commands' messages.
  static constexpr const char* kRenameCaption = "タイトルの変更";
  static constexpr const char* kDeleteCaption = "文書の削除";

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

  // The question before a delete of count documents: with none, a notice
  // and false; else whether the user wants them gone (forGood: past the
  // trash).
  static bool ConfirmDelete(std::size_t count, bool forGood);
  // The documents of the given entries, from the last index down so that
  // the indices still to come stay put. Done (or failed, naming the files
  // that stayed) lists the entries deleted.
  CommandResult DeleteEntries(std::vector<int> indices, bool toTrash);
  // One entry's document: its records are read first (a document that
  // cannot be read is left whole), its catalogue rows go before its files,
  // so that a row never names a missing file, and the entry leaves the list.
  // A file that cannot be deleted stays, named in the failure's message.
  CommandResult DeleteEntry(int index, bool toTrash);

  EntrySource& source() const { return source_; }

 private:
  EntrySource& source_;
};
