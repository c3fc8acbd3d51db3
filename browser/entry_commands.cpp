#include "browser/entry_commands.h"

#include "browser/document_rename.h"
#include "browser/entry_source.h"
#include "catalogue/catalogue_records.h"
#include "catalogue/file_utilities.h"
#include "platform/paths.h"
#include "platform/user_interaction.h"
#include "platform/clock.h"
#include "shell/entry_holder.h"
#include "shell/image_utilities.h"

#include <QString>

#include <algorithm>
#include <cerrno>

namespace {

// The messages of a refused title, the same from every pane.
constexpr const char* kNoTitleText = "タイトルを入力して下さい。";
constexpr const char* kTitleTooLongText = "タイトルが長すぎます。";
constexpr const char* kForbiddenCharacterText = "タイトルには \"\\/:<>'*?][#| を含めないでください。";
constexpr const char* kNoExtensionText = "タイトルには、ファイル形式に対応した拡張子も指定してください。";
constexpr const char* kExtensionTooLongText = "タイトルの拡張子が長すぎます。";
constexpr const char* kReadOnlyText = "このファイルは書き込み禁止です。";
constexpr const char* kTextRenameFailedText = "アタッチテキストの名前の変更に失敗しました。";
constexpr const char* kFolderNotOpenText = "パスが不正です。(LPE:01)";

std::string titleTaken(const std::string& name) {
  return "フォルダ内に同名のタイトル「 " + name + " 」が存在します。\n別のタイトルを指定してください。";
}

std::string fileTaken(const std::string& name) {
  return "フォルダ内に同名のファイル「 " + name + " 」が存在します。\n別のタイトルを指定してください。";
}

std::string fileNotRenamed(const std::string& name) { return "ファイル「" + name + "」に名前を変更できませんでした。"; }

std::string fileName(const std::string& title, const std::string& ext) {
  return ext.empty() ? title : title + "." + ext;
}

// White space around a typed title is never meant (an input method leaves
// full-width spaces as easily as ASCII ones).
std::string trimmed(const std::string& text) { return QString::fromStdString(text).trimmed().toStdString(); }

// The message of a title check's code (FindInvalidTitleChar, CheckTitle).
const char* titleCheckMessage(int check) {
  switch (check) {
    case kTitleEmpty: return kNoTitleText;
    case kTitleTooLong:
    case kNameTooLongForPath: return kTitleTooLongText;
    case kExtensionEmpty: return kNoExtensionText;
    case kExtensionTooLong: return kExtensionTooLongText;
    default: return kForbiddenCharacterText;
  }
}

}  // namespace

CommandResult EntryCommands::RenameStack(int index, const std::string& typed) {
  DisplayEntry* entry = source_.Entry(index);
  StackInfo stack;
  ItemInfo item;
  if (!entry || !entry->isStack()) return CommandResult::Cancelled();
  if (!source_.ReadRecords(index, stack, item)) return CommandResult::Failed(kFolderNotOpenText);
  const std::string title = trimmed(typed);
  if (title == stack.Title) return CommandResult::Cancelled();
  if (const int check = FindInvalidTitleChar(title); check != kTitleValid)
    return CommandResult::Refused(titleCheckMessage(check));
  int found = 0;
  int stackNo = 0;
  const int lookup = source_.FindStack(index, title, found, stackNo);
  source_.ReportDbError(lookup);
  if (lookup != 0) return CommandResult::Failed();
  if (found && stackNo != stack.StackNo) return CommandResult::Refused(titleTaken(title));
  const int today = platform::todayYmd();
  stack.Title = title;
  stack.LastModifiedDate = stack.LastAccessedDate = today;
  const int written = source_.SetStackInfo(
      index, stack, fieldmask::kStackTitle | fieldmask::kStackLastModifiedDate | fieldmask::kStackLastAccessedDate);
  source_.ReportDbError(written);
  if (written != 0) return CommandResult::Failed();
  entry->title = title;
  entry->lastModifiedDate = entry->lastAccessedDate = today;
  return CommandResult::Done({index});
}

CommandResult EntryCommands::RenameDocument(int index, const std::string& typed) {
  DisplayEntry* entry = source_.Entry(index);
  StackInfo stack;
  ItemInfo item;
  if (!entry) return CommandResult::Cancelled();
  if (!source_.ReadRecords(index, stack, item)) return CommandResult::Failed(kFolderNotOpenText);
  const std::string title = trimmed(typed);
  if (title == item.Title) return CommandResult::Cancelled();
  const std::string folder = source_.EntryFolder(index);
  if (const int check = CheckTitle(title, item.Ext, folder); check != kTitleValid)
    return CommandResult::Refused(titleCheckMessage(check));
  int found = 0;
  int itemNo = 0;
  const int lookup = source_.FindItem(index, title, item.Ext, found, itemNo);
  source_.ReportDbError(lookup);
  if (lookup != 0) return CommandResult::Failed();
  const std::string oldName = fileName(item.Title, item.Ext);
  const std::string newName = fileName(title, item.Ext);
  if (found && itemNo != item.ItemNo) return CommandResult::Refused(titleTaken(newName));
  // The files first, both or neither; the catalogue only once they bear
  // their new names. A name taken on disk can be avoided by another title;
  // a file that will not be renamed cannot.
  switch (RenameDocumentFiles(folder, oldName, newName, item.TextExt)) {
    case DocumentRename::Done: break;
    case DocumentRename::ReadOnly: return CommandResult::Failed(kReadOnlyText);
    case DocumentRename::NameTaken: return CommandResult::Refused(fileTaken(newName));
    case DocumentRename::TextNameTaken: return CommandResult::Refused(fileTaken(newName + "." + item.TextExt));
    case DocumentRename::Failed: return CommandResult::Failed(fileNotRenamed(newName));
    case DocumentRename::TextFailed: return CommandResult::Failed(kTextRenameFailedText);
  }
  const int today = platform::todayYmd();
  if (entry->isStack()) {
    stack.LastModifiedDate = stack.LastAccessedDate = today;
    source_.ReportDbError(source_.SetStackInfo(
        index, stack, fieldmask::kStackLastModifiedDate | fieldmask::kStackLastAccessedDate));
  }
  item.Title = title;
  item.LastModifiedDate = item.LastAccessedDate = today;
  const int written = source_.SetItemInfo(
      index, item, fieldmask::kItemTitle | fieldmask::kItemLastModifiedDate | fieldmask::kItemLastAccessedDate);
  source_.ReportDbError(written);
  if (written != 0) {
    // The catalogue still names the old file: give it back its name.
    RenameDocumentFiles(folder, newName, oldName, item.TextExt);
    return CommandResult::Failed();
  }
  if (!entry->isStack()) entry->title = newName;
  entry->lastModifiedDate = entry->lastAccessedDate = today;
  return CommandResult::Done({index});
}

// ---- deleting ------------------------------------------------------------------------

namespace {

constexpr const char* kNothingSelected = "文書が選択されていません。";
constexpr const char* kFilesStayed = "次のファイルを削除できませんでした。";

}  // namespace

bool EntryCommands::ConfirmDelete(std::size_t count, bool forGood) {
  if (count == 0) {
    platform::messageBox(kNothingSelected, platform::Buttons::Ok, platform::Icon::Information, kDeleteCaption);
    return false;
  }
  const char* question =
      forGood ? "文書を削除します。\nよろしいですか？" : "文書をごみ箱に移動します。\nよろしいですか？";
  return platform::messageBox(question, platform::Buttons::OkCancel, platform::Icon::Question, kDeleteCaption) ==
         platform::Answer::Ok;
}

CommandResult EntryCommands::DeleteEntries(std::vector<int> indices, bool toTrash) {
  std::sort(indices.rbegin(), indices.rend());
  indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
  CommandResult all = CommandResult::Done({});
  std::string stayed;
  for (int index : indices) {
    const CommandResult one = DeleteEntry(index, toTrash);
    all.changed.insert(all.changed.end(), one.changed.begin(), one.changed.end());
    if (one.done()) continue;
    all.status = CommandStatus::Failed;
    // Each failure lists its files below the one heading.
    if (!one.message.empty()) stayed += one.message.substr(one.message.find('\n'));
  }
  if (!stayed.empty()) all.message = kFilesStayed + stayed;
  return all;
}

CommandResult EntryCommands::DeleteEntry(int index, bool toTrash) {
  const DisplayEntry* entry = source_.Entry(index);
  if (!entry) return CommandResult::Failed();
  // The records first: a document that cannot be read is left whole.
  std::vector<ItemInfo> items;
  if (entry->isStack()) {
    if (!source_.ReadStackPages(index, items)) return CommandResult::Failed();
  } else {
    StackInfo stack;
    ItemInfo item;
    if (!source_.ReadRecords(index, stack, item)) return CommandResult::Failed();
    items.push_back(item);
  }
  // The rows before the files: a row never names a file that is gone.
  const int code = source_.UnregisterEntry(index);
  source_.ReportDbError(code);
  if (code != 0) return CommandResult::Failed();

  const std::string dir = platform::withTrailingSlash(source_.EntryFolder(index));
  std::vector<std::string> stayed;
  for (const ItemInfo& item : items) {
    std::vector<std::string> files{dir + fileName(item.Title, item.Ext)};
    if (!item.TextExt.empty()) files.push_back(files.front() + "." + item.TextExt);
    for (const std::string& file : files) {
      const int error = ShellDelete(file, !toTrash);
      if (error != 0 && error != ENOENT) stayed.push_back(file);
    }
  }
  source_.RemoveEntry(index);
  if (stayed.empty()) return CommandResult::Done({index});
  // The document is gone from the catalogue; its file stays where it was.
  CommandResult result = CommandResult::Failed(kFilesStayed);
  for (const std::string& file : stayed) result.message += "\n" + file;
  result.changed = {index};
  return result;
}
