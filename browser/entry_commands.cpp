#include "browser/entry_commands.h"

#include "browser/document_rename.h"
#include "browser/entry_source.h"
#include "catalogue/catalogue_records.h"
#include "platform/clock.h"
#include "shell/entry_holder.h"
#include "shell/image_utilities.h"

#include <QString>

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
