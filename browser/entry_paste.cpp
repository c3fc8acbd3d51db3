#include "browser/entry_paste.h"

#include "catalogue/catalogue_records.h"
#include "catalogue/file_utilities.h"
#include "catalogue/folder_database.h"
#include "platform/paths.h"
#include "platform/program_folder.h"
#include "platform/sjis_codec.h"
#include "platform/user_interaction.h"
#include "shell/entry_copy.h"
#include "shell/entry_holder.h"
#include "shell/fd3_doc.h"
#include "shell/kankyo_settings.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>

#include <cerrno>
#include <cstdio>
#include <memory>

namespace {

constexpr const char* kPasteCaption = "文書の貼り付け";

void tell(const std::string& text) {
  platform::messageBox(text, platform::Buttons::Ok, platform::Icon::Warning, kPasteCaption);
}

std::string format(const char* pattern, const std::string& a, const std::string& b = {}) {
  char text[2048];
  std::snprintf(text, sizeof text, pattern, a.c_str(), b.c_str());
  return text;
}

void tellNotFound(const std::string& name) {
  tell(format("文書「 %s 」を貼り付けようとしましたが、コピーした文書を発見できませんでした。", name));
}

bool isFolder(const std::string& path) { return QFileInfo(QString::fromStdString(path)).isDir(); }
bool isFile(const std::string& path) { return QFileInfo(QString::fromStdString(path)).isFile(); }

bool findItem(FolderDatabase& db, const std::string& title, const std::string& ext) {
  int found = 0, no = 0;
  ShowLastDbError(db.FindItem(title, ext, found, no), false);
  return found != 0;
}

// The catalogue rules by which a page or item of the source clashes with
// what the current folder holds: the same name, its attached-text form, or
// the document whose attached text it is.
bool clashesInCatalogue(FolderDatabase& target, const ItemInfo& page) {
  if (findItem(target, page.Title, page.Ext)) return true;
  if (findItem(target, page.Title + "." + page.Ext, "TXT")) return true;
  const std::size_t point = page.Title.rfind('.');
  return platform::asciiEqualsIgnoreCase(page.Ext, "TXT") && point != std::string::npos &&
         findItem(target, page.Title.substr(0, point), page.Title.substr(point + 1));
}

}  // namespace

void EntryClipboardCommands::Copy(const std::vector<int>& indices) {
  const std::string folder = document_.EntryList().GetFolderPath();
  if (!document_.OpenFolderDatabase(folder)) {
    platform::messageBox("パスが不正です。(VMEC:01)");
    return;
  }
  std::vector<ClipboardEntry> entries;
  for (int index : indices) {
    const DisplayEntry* entry = document_.EntryList().GetAt(index);
    if (!entry) continue;
    StackInfo stack;
    ItemInfo item;
    if (!document_.GetEntryRecords(*entry, stack, item)) continue;
    ClipboardEntry e;
    e.folder = platform::withTrailingSlash(folder);
    e.kind = entry->kind != 0 ? 1 : 0;
    e.title = e.kind ? stack.Title : item.Title;
    e.ext = e.kind ? std::string() : item.Ext;
    entries.push_back(std::move(e));
  }
  const std::string block = EncodeEntryBlock(entries, indices.size());
  auto data = std::make_unique<QMimeData>();
  data->setData(QString::fromLatin1(kEntryClipboardMime), QByteArray(block.data(), static_cast<qsizetype>(block.size())));
  QGuiApplication::clipboard()->setMimeData(data.release());  // the clipboard owns it
}

bool EntryClipboardCommands::ClipboardHoldsEntries() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  return data && data->hasFormat(QString::fromLatin1(kEntryClipboardMime));
}

void EntryClipboardCommands::Paste() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  if (!data || !data->hasFormat(QString::fromLatin1(kEntryClipboardMime))) return;
  const QByteArray bytes = data->data(QString::fromLatin1(kEntryClipboardMime));  // a copy of our own
  PasteBlock(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

void EntryClipboardCommands::PasteBlock(std::string_view block) {
  std::vector<ClipboardEntry> entries;
  if (!DecodeEntryBlock(block, entries)) return;
  const std::string current = platform::withoutTrailingSlash(document_.EntryList().GetFolderPath());
  if (CheckTargetFolder(platform::withTrailingSlash(current), "文書を貼り付けようとしましたが、貼り付け")) return;
  if (CheckDiskFree(platform::withTrailingSlash(current))) return;
  int exists = 0;
  if (document_.CheckFolderDatabase(current, exists) != 0) return;
  if (!exists) {
    FolderDatabase fresh;
    ShowLastDbError(fresh.InitFolder(platform::workFolder(platform::workfolder::kDb), current), false);
  }
  if (!document_.OpenFolderDatabase(current)) {
    platform::messageBox("パスが不正です。(VMEP:01)");
    return;
  }
  FolderDatabase sourceDb;
  std::string openSource;
  for (const ClipboardEntry& entry : entries)
    if (!pasteOne(entry, sourceDb, openSource, current)) break;
  sourceDb.CloseFolder();
  document_.LoadFolder(platform::withTrailingSlash(current), 0);
}

bool EntryClipboardCommands::pasteOne(const ClipboardEntry& entry, FolderDatabase& sourceDb, std::string& openSource,
                                      const std::string& current) {
  const std::string name = entry.kind ? entry.title : entry.title + "." + entry.ext;
  const std::string source = platform::withoutTrailingSlash(entry.folder);
  if (!isFolder(source)) {
    tellNotFound(name);
    return true;
  }
  FolderDatabase& target = document_.Database();
  if (source == current) {
    if (!openSource.empty()) sourceDb.CloseFolder(), openSource.clear();
    int found = 0, no = 0;
    ShowLastDbError(entry.kind ? target.FindStack(entry.title, found, no) : target.FindItem(entry.title, entry.ext, found, no),
                    false);
    if (!found) {
      tellNotFound(name);
      return true;
    }
    if (document_.EntryList().Find(entry.kind, no) < 0 || !duplicate) return true;
    return !duplicate(entry.kind, no);
  }
  if (openSource != source) {
    if (!openSource.empty()) sourceDb.CloseFolder(), openSource.clear();
    int isCatalogue = 0, version = 0;
    int code = sourceDb.DoesFolderExist(source, isCatalogue, version);
    if (code > 0) {
      if (platform::messageBox(source + " 内のデータベースが壊れています。\nバックアップを使用しますか？",
                               platform::Buttons::YesNo, platform::Icon::Question, kPasteCaption) != platform::Answer::Yes)
        return true;
      sourceDb.RestoreFromBackup(source);
      code = sourceDb.DoesFolderExist(source, isCatalogue, version);
      if (code > 0) {
        tell("バックアップが使用できません\n初期化します。");
        isCatalogue = 0;
      }
    }
    if (!isCatalogue) ShowLastDbError(sourceDb.InitFolder(platform::workFolder(platform::workfolder::kDb), source), false);
    code = sourceDb.OpenFolder(source, true);
    ShowLastDbError(code, false);
    if (code != 0) return true;
    openSource = source;
  }
  const int limit = folderLimit ? folderLimit() : kDefaultFolderMax;
  int total = 0;
  ShowLastDbError(target.GetTotalItemCount(total), false);
  const std::string folderName = platform::fileNameOf(current);
  const auto sameName = [&](const std::string& what) {
    tell(format("フォルダ「 %s 」内に同名の文書「 %s 」が存在します。\n貼り付けを中止します。", folderName, what));
  };
  const auto overLimit = [&] {
    char text[128];
    std::snprintf(text, sizeof text, "データの登録は、各フォルダ %d 件までです", limit);
    tell(text);
  };
  int found = 0, no = 0;
  std::vector<ItemInfo> pages;
  if (entry.kind) {
    ShowLastDbError(sourceDb.FindStack(entry.title, found, no), false);
    if (!found) {
      tellNotFound(name);
      return true;
    }
    if (!entrycopy::ReadEntryPages(sourceDb, 1, no, pages)) return true;
    if (total + static_cast<int>(pages.size()) > limit) {
      overLimit();
      return false;
    }
    int there = 0, thereNo = 0;
    ShowLastDbError(target.FindStack(entry.title, there, thereNo), false);
    if (there) {
      sameName(entry.title);
      return true;
    }
  } else {
    if (total + 1 > limit) {
      overLimit();
      return false;
    }
    ShowLastDbError(sourceDb.FindItem(entry.title, entry.ext, found, no), false);
    ItemInfo item;
    if (!found || sourceDb.GetItemInfo(no, item) != 0 || item.StackNo != 0) {
      tellNotFound(name);
      return true;
    }
    pages.push_back(item);
  }
  // Every page is checked before anything is copied: a stack goes whole or
  // not at all.
  for (const ItemInfo& page : pages) {
    const std::string file = page.Title + "." + page.Ext;
    if (clashesInCatalogue(target, page)) {
      sameName(file);
      return true;
    }
    for (const std::string& each : entrycopy::FileNamesOf(page)) {
      if (entrycopy::FileExistsCaseBlind(current, each)) {
        if (entry.kind)
          tell(format("フォルダ「 %s 」内に同名のファイル「 %s 」が存在します。\n貼り付けを中止します。", folderName, each));
        else
          sameName(file);
        return true;
      }
    }
    if (!isFile(source + "/" + file)) {
      tellNotFound(entry.kind ? name : file);
      return true;
    }
  }
  const entrycopy::TransferResult result =
      entrycopy::TransferEntry(sourceDb, entry.kind, no, target, source, current, true);
  if (result.outcome == entrycopy::Outcome::FilesFailed) {
    tell(result.error == ENOSPC ? "空き容量が不足しています。\n処理を中断します。"
                                : "ファイルの複製中にエラーが発生しました。\n処理を中断します。");
    return false;
  }
  return true;
}
