#include "shell/launch_documents.h"

#include "catalogue/folder_database.h"
#include "catalogue/search_database.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/user_interaction.h"
#include "shell/entry_copy.h"
#include "shell/fd3_app.h"
#include "shell/fd3_doc.h"
#include "shell/image_ctrl.h"
#include "shell/mail_documents.h"

#include <QDir>
#include <QFileInfo>

namespace {

constexpr const char* kLaunchCaption = "アプリケーションの起動";
constexpr int kImageLevelImage = 1;

void tell(const std::string& text, const char* caption = kLaunchCaption) {
  platform::messageBox(text, platform::Buttons::Ok, platform::Icon::Warning, caption);
}

bool exists(const std::string& path) { return QFileInfo(QString::fromStdString(path)).isFile(); }

bool isImage(const ItemInfo& page) { return page.ImageLevel == kImageLevelImage; }

// How one page goes to an application, by the application's preparation
// digit and what the file is.
enum class Handling { Plain, Text, Recognise, CopyBmp, BlackWhiteBmp };

Handling classify(CLead* ctrl, const std::string& path, int code, const ItemInfo& page) {
  if (code % 1000 == 0) return Handling::Plain;
  if (!ctrl || ctrl->GetFileInfo(path, 1, 0) != 0) return Handling::Plain;
  switch (Preparation(code)) {
    case 2: {
      const std::string text = AttachedTextOf(platform::parentPath(path), page);
      return !text.empty() && QFileInfo(QString::fromStdString(text)).size() > 0 ? Handling::Text : Handling::Recognise;
    }
    case 1: return Handling::CopyBmp;
    case 3: return Handling::BlackWhiteBmp;
    default: return Handling::Plain;
  }
}

// The documents keeping only the pages in `taken` order (for stamping what
// was handed over).
struct Collected {
  std::vector<SelectedDocument> documents;
  std::vector<std::string> paths;
};

// The image files of the documents, each existing one once; missing files
// are told and left out. Stops once more than limit are taken (limit 0: none).
Collected collectImages(const std::vector<SelectedDocument>& documents, int limit) {
  Collected out;
  for (const SelectedDocument& document : documents) {
    SelectedDocument taken = document;
    taken.pages.clear();
    for (const ItemInfo& page : document.pages) {
      if (limit > 0 && static_cast<int>(out.paths.size()) > limit) break;
      if (!isImage(page)) continue;
      const std::string path = DocumentFileOf(document.folder, page);
      if (!exists(path)) {
        tell("ファイルが見つかりません。\n" + path);
        continue;
      }
      out.paths.push_back(path);
      taken.pages.push_back(page);
    }
    if (!taken.pages.empty()) out.documents.push_back(std::move(taken));
    if (limit > 0 && static_cast<int>(out.paths.size()) > limit) break;
  }
  return out;
}

bool selectionHolds(DocumentSelection& selection, bool images, bool others) {
  std::vector<SelectedDocument> documents;
  if (!selection.Read(documents)) return false;
  for (const SelectedDocument& document : documents)
    for (const ItemInfo& page : document.pages)
      if ((images && isImage(page)) || (others && !isImage(page))) return true;
  return false;
}

}  // namespace

std::string DocumentFileOf(const std::string& folder, const ItemInfo& item) {
  return platform::joinPath(folder, item.Ext.empty() ? item.Title : item.Title + "." + item.Ext);
}

std::string AttachedTextOf(const std::string& folder, const ItemInfo& item) {
  if (item.TextExt.empty()) return {};
  return DocumentFileOf(folder, item) + "." + item.TextExt;
}

// ---- the folder's selection --------------------------------------------------

bool FolderSelection::Read(std::vector<SelectedDocument>& out) {
  out.clear();
  const std::string folder = document_.EntryList().GetFolderPath();
  if (folder.empty() || !document_.OpenFolderDatabase(folder)) return false;
  FolderDatabase& db = document_.Database();
  for (int index : entries_) {
    const DisplayEntry* entry = document_.EntryList().GetAt(index);
    if (!entry) continue;
    SelectedDocument document;
    document.folder = platform::withoutTrailingSlash(folder);
    if (entry->isStack()) {
      StackInfo stack;
      const int code = db.GetStackInfo(entry->number, stack);
      if (code != 0) {
        ShowLastDbError(code, false);
        return false;
      }
      document.stackNo = stack.StackNo;
      document.currentPage = stack.CurPageNo;
    }
    if (!entrycopy::ReadEntryPages(db, entry->isStack() ? 1 : 0, entry->number, document.pages)) return false;
    out.push_back(std::move(document));
  }
  return true;
}

void FolderSelection::StampAccessed(const std::vector<SelectedDocument>& documents) {
  const int today = platform::todayYmd();
  std::vector<StackInfo> stacks;
  std::vector<ItemInfo> items;
  for (const SelectedDocument& document : documents) {
    if (document.stackNo != 0) {
      StackInfo stack;
      stack.StackNo = document.stackNo;
      stack.LastAccessedDate = today;
      stacks.push_back(stack);
    }
    for (const ItemInfo& page : document.pages) {
      ItemInfo item;
      item.ItemNo = page.ItemNo;
      item.LastAccessedDate = today;
      items.push_back(item);
    }
  }
  FolderDatabase& db = document_.Database();
  if (!stacks.empty()) ShowLastDbError(db.SetStackInfos(stacks, fieldmask::kStackLastAccessedDate), false);
  if (!items.empty()) ShowLastDbError(db.SetItemInfos(items, fieldmask::kItemLastAccessedDate), false);
  // The shown entries follow.
  for (int index : entries_) {
    DisplayEntry* entry = document_.EntryList().GetAt(index);
    if (!entry) continue;
    for (const SelectedDocument& document : documents) {
      const bool same = entry->isStack() ? document.stackNo == entry->number
                                         : document.stackNo == 0 && !document.pages.empty() &&
                                               document.pages.front().ItemNo == entry->number;
      if (same) entry->lastAccessedDate = today;
    }
  }
}

// ---- the search dialog's hits -------------------------------------------------------

bool HitSelection::Read(std::vector<SelectedDocument>& out) {
  out.clear();
  for (int index : indices_) {
    const DisplayEntry* hit = hits_.GetAt(index);
    if (!hit) continue;
    SelectedDocument document;
    document.folderNo = hit->flags;
    if (!database_.GetFolderPath(document.folderNo, document.folder)) continue;
    document.folder = platform::withoutTrailingSlash(document.folder);
    if (hit->isStack()) {
      StackInfo stack;
      if (!database_.GetFolderStackInfo(document.folderNo, hit->number, stack)) continue;
      document.stackNo = stack.StackNo;
      document.currentPage = stack.CurPageNo;
      if (!database_.GetFolderFirstStackPage(document.folderNo, hit->number)) continue;
      for (;;) {
        ItemInfo page;
        int atEnd = 0;
        if (!database_.GetFolderSingleItemNextInfo(page, atEnd) || atEnd) break;
        document.pages.push_back(page);
      }
      database_.PostFolderSingleItem();
    } else {
      ItemInfo item;
      if (!database_.GetFolderItemInfo(document.folderNo, hit->number, item)) continue;
      document.pages.push_back(item);
    }
    out.push_back(std::move(document));
  }
  return true;
}

void HitSelection::StampAccessed(const std::vector<SelectedDocument>& documents) {
  const int today = platform::todayYmd();
  for (const SelectedDocument& document : documents) {
    if (document.stackNo != 0) {
      StackInfo stack;
      stack.StackNo = document.stackNo;
      stack.LastAccessedDate = today;
      database_.SetFolderStackInfo(document.folderNo, stack, fieldmask::kStackLastAccessedDate);
    }
    for (ItemInfo page : document.pages) {
      page.LastAccessedDate = today;
      database_.SetFolderItemInfo(document.folderNo, page, fieldmask::kItemLastAccessedDate);
    }
  }
  for (int index : indices_)
    if (DisplayEntry* hit = hits_.GetAt(index))
      for (const SelectedDocument& document : documents)
        if (document.folderNo == hit->flags &&
            (hit->isStack() ? document.stackNo == hit->number
                            : document.stackNo == 0 && document.pages.front().ItemNo == hit->number))
          hit->lastAccessedDate = today;
}

// ---- registered applications ----------------------------------------------------

void LaunchApplication(const AppRegistration& application, DocumentSelection& selection,
                       const LaunchServices& services) {
  if (application.code < 0) {
    RunBuiltInApplication(application.code, application.programPath, selection, services);
    return;
  }
  if (FindProgram(application.programPath).isEmpty()) {
    tell("登録されたアプリケーションを発見できません。\n処理を中断します。");
    return;
  }
  const int count = selection.Count();
  if (count == 0) {
    tell("文書を選択してください");
    return;
  }
  const int mode = LaunchMode(application.code);
  if (count > 1 && mode == 0) {
    tell("このアプリケーションは複数のファイルに対応していません");
    return;
  }
  CFD3Doc* document = services.document;
  if (document) document->DeleteTempFolder();
  std::vector<SelectedDocument> documents;
  if (!selection.Read(documents)) return;
  CLead* ctrl = nullptr;
  if (document && application.code % 1000 != 0) {
    document->CreateImageCtrl(false);
    ctrl = document->imageCtrl();
  }
  // A stack gives all its pages to an application that takes several
  // files, else only its current page.
  std::vector<std::string> plain, copyBmp, blackWhite;
  std::vector<ItemInfo> recognise;
  std::vector<SelectedDocument> taken;
  for (const SelectedDocument& selected : documents) {
    SelectedDocument used = selected;
    used.pages.clear();
    for (const ItemInfo& page : selected.pages) {
      if (selected.stackNo != 0 && mode == 0 && page.PageNo != selected.currentPage) continue;
      used.pages.push_back(page);
      const std::string path = DocumentFileOf(selected.folder, page);
      switch (classify(ctrl, path, application.code, page)) {
        case Handling::Plain: plain.push_back(path); break;
        case Handling::Text: plain.push_back(AttachedTextOf(selected.folder, page)); break;
        case Handling::Recognise: {
          // Recognised into its attached text, which then goes along.
          ItemInfo withText = page;
          withText.TextExt = "TXT";
          plain.push_back(AttachedTextOf(selected.folder, withText));
          recognise.push_back(page);
          break;
        }
        case Handling::CopyBmp: copyBmp.push_back(path); break;
        case Handling::BlackWhiteBmp: blackWhite.push_back(path); break;
      }
    }
    taken.push_back(std::move(used));
  }
  if (ctrl) {
    std::string work = document->GetWorkFolder();
    QDir().mkpath(QString::fromStdString(work));
    for (const std::string& path : copyBmp) {
      const std::string converted = ConvertImageToBmp(*ctrl, path, work, false, true);
      if (!converted.empty()) plain.push_back(converted);
    }
    for (const std::string& path : blackWhite) {
      const std::string converted = ConvertImageToBmp(*ctrl, path, work, true, true);
      if (!converted.empty()) plain.push_back(converted);
    }
  }
  if (!recognise.empty()) {
    if (!services.recognise) {
      tell("OCR を実行できないため、アプリケーションを起動できません。");
      return;
    }
    if (services.recognise(recognise)) return;
  }
  QStringList files;
  for (const std::string& path : plain) files << QString::fromStdString(path);
  if (StartRegisteredApplication(application, files)) selection.StampAccessed(taken);
}

void RunBuiltInApplication(int code, const QString& programPath, DocumentSelection& selection,
                           const LaunchServices& services) {
  if (selection.Count() == 0) {
    tell("文書を選択してください");
    return;
  }
  const auto handOff = [&](HandOffTarget target) {
    if (!selectionHolds(selection, true, false)) {
      tell("画像がありません。", HandOffName(target));
      return;
    }
    if (services.document) HandOffSelection(target, selection, *services.document, programPath);
  };
  switch (code) {
    case -1:
      if (!services.printImages && !services.printOthers) {
        tell("印刷可能なファイルが指定されていません。\nメニューの「ツール／環境設定／印刷」で対象ファイルを指定してください。",
             "印刷");
      } else if (selectionHolds(selection, services.printImages, services.printOthers)) {
        if (services.print) services.print();
      } else {
        tell("文書を選択してください。", "印刷");
      }
      break;
    case -3:
      if (services.document) MailSelection(selection, *services.document);
      break;
    case -4:
      if (!selectionHolds(selection, true, false))
        tell("画像がありません。", "OCR");
      else if (services.ocrSelection)
        services.ocrSelection();
      break;
    case kOcrApplicationCode: handOff(HandOffTarget::Lumora); break;
    case kCardApplicationCode: handOff(HandOffTarget::Cardello); break;
    case kHandwritingApplicationCode: handOff(HandOffTarget::Penwise); break;
    case -10: platform::messageBox("未対応", platform::Buttons::Ok, platform::Icon::Warning); break;
    default: break;  // -2 and unknown codes: nothing
  }
}

// ---- mail -------------------------------------------------------------------------

bool MailSelection(DocumentSelection& selection, CFD3Doc& document) {
  if (!IsMailAvailable()) return false;
  document.DeleteTempFolder();
  std::vector<SelectedDocument> documents;
  if (!selection.Read(documents)) return false;
  QStringList files;
  for (const SelectedDocument& selected : documents) {
    for (const ItemInfo& page : selected.pages) {
      for (const std::string& path : {DocumentFileOf(selected.folder, page), AttachedTextOf(selected.folder, page)}) {
        if (path.empty()) continue;
        if (exists(path))
          files << QString::fromStdString(path);
        else
          tell("ファイルが見つかりません。\n" + path, "メールの送信");
      }
    }
  }
  if (!SendMailFiles(files)) return false;
  selection.StampAccessed(documents);
  return true;
}

// ---- hand-offs --------------------------------------------------------------------

bool HandOffSelection(HandOffTarget target, DocumentSelection& selection, CFD3Doc& document,
                      const QString& programPath) {
  int ocrLevel = 0;
  switch (target) {
    case HandOffTarget::Cardello:
      if (CFD3App::FindCardApplication() == 0) {
        tell("Cardello を発見できませんでした。", platform::kDefaultCaption);
        return false;
      }
      break;
    case HandOffTarget::Lumora:
      ocrLevel = CFD3App::FindOcrApplication();
      if (ocrLevel == 0) {
        tell("Lumora を発見できませんでした。", platform::kDefaultCaption);
        return false;
      }
      break;
    case HandOffTarget::Penwise:
      if (FindProgram(programPath).isEmpty()) {
        tell("Penwise を発見できませんでした。", platform::kDefaultCaption);
        return false;
      }
      break;
  }
  const int limit = HandOffLimitOf(target, ocrLevel);
  document.DeleteTempFolder();
  std::vector<SelectedDocument> documents;
  if (!selection.Read(documents)) return false;
  Collected images = collectImages(documents, limit);
  if (images.paths.empty()) {
    tell("画像データが選択されていません。");
    return false;
  }
  if (limit > 0 && static_cast<int>(images.paths.size()) > limit) {
    const std::string question = "一度には " + std::to_string(limit) + "画像までしか渡せません。\n" +
                                 std::to_string(limit) + "画像だけ実行しますか？";
    if (platform::messageBox(question, platform::Buttons::OkCancel, platform::Icon::Question, kLaunchCaption) !=
        platform::Answer::Ok)
      return false;
    images.paths.resize(static_cast<std::size_t>(limit));
    // Only what goes is stamped.
    std::size_t left = images.paths.size();
    for (SelectedDocument& taken : images.documents) {
      if (taken.pages.size() > left) taken.pages.resize(left);
      left -= taken.pages.size();
    }
    std::erase_if(images.documents, [](const SelectedDocument& taken) { return taken.pages.empty(); });
  }
  bool started = false;
  switch (target) {
    case HandOffTarget::Cardello: started = SendToCardello(document, images.paths); break;
    case HandOffTarget::Lumora: started = SendToLumora(document, images.paths); break;
    case HandOffTarget::Penwise:
      started = SendToPenwise(document, images.paths, FindProgram(programPath).toStdString());
      break;
  }
  if (started) selection.StampAccessed(images.documents);
  return started;
}
