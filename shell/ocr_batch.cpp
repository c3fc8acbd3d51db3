#include "shell/ocr_batch.h"

#include "catalogue/folder_database.h"
#include "catalogue/search_database.h"
#include "platform/sjis_codec.h"
#include "shell/handoff_documents.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QString>

#include <array>

OcrRunFlags OcrRunFlagsOf(int ocrLevel, int ocrProgram) {
  OcrRunFlags flags;
  flags.useSibling = ocrLevel >= 4 && ocrProgram != 0;
  flags.keepGrey = !(flags.useSibling && ocrLevel < 5);
  flags.keepColour = !(flags.useSibling && ocrLevel < 7);
  flags.limit = OcrRunLimit(ocrLevel);
  return flags;
}

// The same limit as the hand-off of images to the sibling application.
int OcrRunLimit(int ocrLevel) { return HandOffLimit(ocrLevel); }

std::string OcrTextPathOf(const std::string& preparedPath) { return preparedPath + ".TXT"; }

std::string EncodeOcrText(std::string_view utf8) {
  // The recogniser ends lines with LF or CR LF; an attached text has CR LF.
  std::string lines;
  lines.reserve(utf8.size() + utf8.size() / 16);
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if (utf8[i] == '\n' && (i == 0 || utf8[i - 1] != '\r')) lines += '\r';
    lines += utf8[i];
  }
  return platform::toCp932Lossy(lines);
}

bool WriteOcrText(const std::string& path, std::string_view utf8) {
  const std::string bytes = EncodeOcrText(utf8);
  // Written beside the target and renamed over it: a text there before is
  // replaced only by a whole new one.
  QSaveFile out(QString::fromStdString(path));
  if (!out.open(QIODevice::WriteOnly)) return false;
  if (out.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size())) {
    out.cancelWriting();
    return false;
  }
  return out.commit();
}

namespace {

// Half-width forms of the full-width katakana U+30A1..U+30F6, in code
// order; an empty entry has no half-width form and stays.
constexpr std::array<const char*, 86> kHalfKatakana = {
    "ｧ", "ｱ", "ｨ", "ｲ", "ｩ", "ｳ", "ｪ", "ｴ", "ｫ", "ｵ", "ｶ", "ｶﾞ", "ｷ", "ｷﾞ", "ｸ", "ｸﾞ", "ｹ", "ｹﾞ",
    "ｺ", "ｺﾞ", "ｻ", "ｻﾞ", "ｼ", "ｼﾞ", "ｽ", "ｽﾞ", "ｾ", "ｾﾞ", "ｿ", "ｿﾞ", "ﾀ", "ﾀﾞ", "ﾁ", "ﾁﾞ", "ｯ", "ﾂ",
    "ﾂﾞ", "ﾃ", "ﾃﾞ", "ﾄ", "ﾄﾞ", "ﾅ", "ﾆ", "ﾇ", "ﾈ", "ﾉ", "ﾊ", "ﾊﾞ", "ﾊﾟ", "ﾋ", "ﾋﾞ", "ﾋﾟ", "ﾌ", "ﾌﾞ",
    "ﾌﾟ", "ﾍ", "ﾍﾞ", "ﾍﾟ", "ﾎ", "ﾎﾞ", "ﾎﾟ", "ﾏ", "ﾐ", "ﾑ", "ﾒ", "ﾓ", "ｬ", "ﾔ", "ｭ", "ﾕ", "ｮ", "ﾖ",
    "ﾗ", "ﾘ", "ﾙ", "ﾚ", "ﾛ", "", "ﾜ", "", "", "ｦ", "ﾝ", "ｳﾞ", "", ""};

}  // namespace

std::string ToHalfWidth(std::string_view utf8) {
  const QString in = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
  QString out;
  out.reserve(in.size());
  for (const QChar c : in) {
    const char16_t u = c.unicode();
    if (u >= 0x30A1 && u <= 0x30F6 && *kHalfKatakana[u - 0x30A1]) {
      out += QString::fromUtf8(kHalfKatakana[u - 0x30A1]);
    } else if (u >= 0xFF01 && u <= 0xFF5E) {
      out += QChar(static_cast<char16_t>(u - 0xFF01 + 0x21));
    } else {
      switch (u) {
        case 0x3000: out += QChar(u' '); break;
        case 0x3002: out += QChar(u'｡'); break;
        case 0x300C: out += QChar(u'｢'); break;
        case 0x300D: out += QChar(u'｣'); break;
        case 0x3001: out += QChar(u'､'); break;
        case 0x30FB: out += QChar(u'･'); break;
        case 0x30FC: out += QChar(u'ｰ'); break;
        case 0x309B: out += QChar(u'ﾞ'); break;
        case 0x309C: out += QChar(u'ﾟ'); break;
        default: out += c; break;
      }
    }
  }
  return out.toStdString();
}

std::string TrimSiblingText(std::string text) {
  while (!text.empty() && (text.back() == '\0' || text.back() == '\r' || text.back() == '\n')) text.pop_back();
  return text;
}

std::string AttachedOcrTextOf(const std::string& folder, const ItemInfo& item) {
  return folder + "/" + item.Title + "." + item.Ext + ".TXT";
}

InstallResult InstallAttachedText(const std::string& textFile, const std::string& target, bool otherDocumentNamed) {
  if (otherDocumentNamed) return InstallResult::BelongsToOtherDocument;
  QFile in(QString::fromStdString(textFile));
  if (!in.open(QIODevice::ReadOnly)) return InstallResult::Failed;
  const QByteArray bytes = in.readAll();
  // A read-only old text is replaced as well: the user asked for the new one.
  const QString destination = QString::fromStdString(target);
  QFileInfo old(destination);
  if (old.exists() && !old.isWritable())
    QFile::setPermissions(destination, QFile::permissions(destination) | QFileDevice::WriteOwner);
  QSaveFile out(destination);
  out.setDirectWriteFallback(false);
  if (!out.open(QIODevice::WriteOnly)) return InstallResult::Failed;
  if (out.write(bytes) != bytes.size()) {
    out.cancelWriting();
    return InstallResult::Failed;
  }
  return out.commit() ? InstallResult::Installed : InstallResult::Failed;
}

bool StoreFolderOcrText(FolderDatabase& db, const ItemInfo& item, int today) {
  ItemInfo record = item;
  record.TextExt = "TXT";
  record.LastModifiedDate = today;
  if (ShowLastDbError(db.SetItemInfo(record, fieldmask::kItemTextExt | fieldmask::kItemLastModifiedDate), false) != 0)
    return false;
  if (item.StackNo == 0) return true;
  StackInfo stack;
  stack.StackNo = item.StackNo;
  stack.LastModifiedDate = today;
  return ShowLastDbError(db.SetStackInfo(stack, fieldmask::kStackLastModifiedDate), false) == 0;
}

bool StoreHitOcrText(SearchDatabase& db, int folderNo, const ItemInfo& item, int today) {
  ItemInfo record = item;
  record.TextExt = "TXT";
  record.LastModifiedDate = today;
  const std::uint32_t mask = fieldmask::kItemTextExt | fieldmask::kItemLastModifiedDate;
  if (item.StackNo == 0) return db.SetFolderItemInfo(folderNo, record, mask);
  if (!db.SetFolderStackPageInfo(folderNo, item.StackNo, item.PageNo, record, mask)) return false;
  StackInfo stack;
  stack.StackNo = item.StackNo;
  stack.LastModifiedDate = today;
  return db.SetFolderStackInfo(folderNo, stack, fieldmask::kStackLastModifiedDate);
}

OcrBatchOutcome RunOcrPages(PageRecogniser& recogniser, const std::vector<OcrPage>& pages,
                            const std::function<bool()>& pump, const std::function<void(int)>& onPage) {
  if (!recogniser.Start()) return OcrBatchOutcome::NotStarted;
  const auto stop = [&] { return pump && pump(); };
  OcrBatchOutcome outcome = OcrBatchOutcome::Done;
  for (std::size_t i = 0; i < pages.size(); ++i) {
    if (stop()) {
      outcome = OcrBatchOutcome::Stopped;
      break;
    }
    if (onPage) onPage(static_cast<int>(i));
    const bool loaded = recogniser.Load(pages[i].prepared);
    if (stop()) {
      outcome = OcrBatchOutcome::Stopped;
      break;
    }
    std::string text;
    if (!loaded || !recogniser.Recognise(pages[i].resolution, &text)) {
      outcome = OcrBatchOutcome::Failed;
      break;
    }
    // A page read is kept even when a stop comes now. A text that cannot be
    // written leaves the page without one; the run goes on.
    if (!text.empty()) WriteOcrText(OcrTextPathOf(pages[i].prepared), text);
  }
  recogniser.Finish();
  return outcome;
}
