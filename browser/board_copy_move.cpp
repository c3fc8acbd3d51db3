#include "browser/board_copy_move.h"

#include <algorithm>

#include "browser/thumbnail_pane_wnd.h"
#include "catalogue/catalogue_records.h"
#include "catalogue/file_utilities.h"
#include "catalogue/folder_database.h"
#include "platform/paths.h"
#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "shell/entry_copy.h"
#include "shell/entry_holder.h"
#include "shell/fd3_doc.h"
#include "shell/kankyo_settings.h"

#include <cerrno>
#include <cstdio>
#include <vector>

namespace {

std::string format(const char* pattern, const std::string& a, const std::string& b = {}, const std::string& c = {},
                   const std::string& d = {}) {
  char text[2048];
  std::snprintf(text, sizeof text, pattern, a.c_str(), b.c_str(), c.c_str(), d.c_str());
  return text;
}

// Window updates of the board held off while the documents are carried over,
// released on every way out.
class RedrawLock {
 public:
  explicit RedrawLock(ThumbnailPaneWnd& board) : board_(board) { board_.SetRedraw(false); }
  ~RedrawLock() { board_.SetRedraw(true); }
  RedrawLock(const RedrawLock&) = delete;
  RedrawLock& operator=(const RedrawLock&) = delete;

 private:
  ThumbnailPaneWnd& board_;
};

}  // namespace

void BoardCopyMove::CopyMoveToFolder(const std::string& targetFolder, const std::string& targetText, bool copy) {
  CopyMoveEntries(board_.SelectedEntryIndices(), targetFolder, targetText, copy);
}

void BoardCopyMove::CopyMoveEntries(const std::vector<int>& entryIndices, const std::string& targetFolder,
                                    const std::string& targetText, bool copy) {
  const std::string caption = copy ? "文書のコピー" : "文書の移動";
  const std::string verb = copy ? "コピー" : "移動";
  const std::string sourceFolder = platform::withoutTrailingSlash(document_.EntryList().GetFolderPath());
  const std::string target = platform::withoutTrailingSlash(targetFolder);
  // The folder the board shows: nothing to do, and no question.
  if (target == sourceFolder) return;
  const auto tell = [&](const std::string& text, platform::Icon icon = platform::Icon::Warning) {
    board_.SetRedraw(true);
    platform::messageBox(text, platform::Buttons::Ok, icon, caption);
    board_.SetRedraw(false);
  };
  if (platform::messageBox(format("選択した文書を「 %s 」に%sします。\nよろしいですか？", targetText, verb),
                           platform::Buttons::OkCancel, platform::Icon::Question, caption) != platform::Answer::Ok)
    return;
  if (CheckDiskFree(platform::withTrailingSlash(target))) return;
  RedrawLock lock(board_);
  if (CheckTargetFolder(platform::withTrailingSlash(target), verb)) return;

  FolderDatabase targetDb;
  int exists = 0, version = 0;
  int code = targetDb.DoesFolderExist(target, exists, version);
  if (code > 0) {
    board_.SetRedraw(true);
    const bool restore = platform::messageBox(verb + "先のデータベースが壊れています。\nバックアップを使用しますか？",
                                              platform::Buttons::YesNo, platform::Icon::Question,
                                              caption) == platform::Answer::Yes;
    board_.SetRedraw(false);
    if (!restore) return;
    targetDb.RestoreFromBackup(target);
    code = targetDb.DoesFolderExist(target, exists, version);
    if (code > 0) {
      tell("バックアップが使用できません\n初期化します。");
      exists = 0;
    }
  }
  if (!exists) {
    code = targetDb.InitFolder(platform::workFolder(platform::workfolder::kDb), target);
    SetActiveFolderDatabase(&targetDb);
    ShowLastDbError(code, false);
    if (code != 0) return;
    version = kCatalogueDatabaseVersion;
  }
  if (version != kCatalogueDatabaseVersion) {
    tell(verb + "先のデータベースのバージョンが違います。\n処理を中断します。", platform::Icon::Error);
    return;
  }
  code = targetDb.OpenFolder(target, false);
  if (code != 0) {
    SetActiveFolderDatabase(&targetDb);
    ShowLastDbError(code, false);
    return;
  }
  if (!document_.OpenFolderDatabase(sourceFolder)) return;
  FolderDatabase& sourceDb = document_.Database();
  SetActiveFolderDatabase(&sourceDb);

  const int limit = folderLimit ? folderLimit() : kDefaultFolderMax;
  int total = 0;
  ShowLastDbError(targetDb.GetTotalItemCount(total), false);
  std::vector<int> carried;
  for (int index : entryIndices) {
    const DisplayEntry* entry = document_.EntryList().GetAt(index);
    if (!entry) continue;
    std::string name;
    const int check = entrycopy::CheckEntryCopy(sourceDb, entry->kind, entry->number, targetDb, name, sourceFolder, target);
    if (check != entrycopy::kCanCopy) {
      switch (check) {
        case entrycopy::kStackExists:
        case entrycopy::kItemExists:
          tell(format("%s先のフォルダ「 %s 」に同名の文書「 %s 」が存在します。\n%sを中止します。", verb, targetText, name, verb));
          break;
        case entrycopy::kFileMissing:
          tell(format("登録されているファイル「 %s 」を発見できませんでした。\nこの文書は%sできません。", name, verb));
          break;
        case entrycopy::kFileExists:
          tell(format("%s先のフォルダ「 %s 」に同名のファイル「 %s 」が存在します。\n%sを中止します。", verb, targetText, name, verb));
          break;
        case entrycopy::kPathTooLong:
          tell(format("文書「 %s 」はタイトルが長すぎる為、フォルダ「 %s 」に%sできません。\n%sを中止します。", name, targetText, verb, verb));
          break;
        default:
          tell(format("%sを中止します。", verb));
      }
      continue;
    }
    int pages = 1;
    if (entry->kind != 0) {
      StackInfo stack;
      ShowLastDbError(sourceDb.GetStackInfo(entry->number, stack), false);
      pages = stack.PageCount;
    }
    if (total + pages > limit) {
      char text[256];
      std::snprintf(text, sizeof text, "これ以上登録できません。\n1フォルダ内には %d ファイルまで登録可能です。", limit);
      tell(text);
      break;
    }
    const entrycopy::TransferResult result =
        entrycopy::TransferEntry(sourceDb, entry->kind, entry->number, targetDb, sourceFolder, target, copy);
    if (result.outcome != entrycopy::Outcome::Done) {
      if (result.outcome == entrycopy::Outcome::FilesFailed)
        tell(result.error == ENOSPC ? "空き容量が不足しています。\n処理を中断します。"
                                    : "ファイルの複製中にエラーが発生しました。\n処理を中断します。");
      continue;
    }
    total += pages;
    if (!result.sourceFilesLeft.empty()) {
      std::string names;
      for (const std::string& left : result.sourceFilesLeft) names += "\n" + left;
      tell("次のファイルを削除できませんでした。" + names);
    }
    carried.push_back(index);
  }
  targetDb.CloseFolder();
  if (copy || carried.empty()) return;
  std::sort(carried.begin(), carried.end());
  for (auto it = carried.rbegin(); it != carried.rend(); ++it) document_.DeleteEntry(*it);
  if (board_.ArrangesAutomatically())
    board_.ArrangeItems(ThumbnailPaneWnd::kSortVisual, 0, 1);
  else
    board_.UpdateScrollExtent(0, 1);
}
