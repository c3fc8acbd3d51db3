// The full-text wrapper: from a catalogue item to a Shift-JIS text file,
// and that file through the engine.

#include "catalogue/fulltext_search.h"

#include "catalogue/office_archive_text.h"

#include "formats/file_bytes.h"
#include "formats/html_charset.h"
#include "formats/mht_reader.h"
#include "platform/file_ops.h"
#include "platform/program_folder.h"
#include "platform/sjis_codec.h"

#include <QProcess>
#include <QStandardPaths>
#include <QString>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>
#include <system_error>
#include <cerrno>
#include <unistd.h>

namespace {

constexpr std::uint64_t kMaxArchiveBytes = 256ull << 20;
// Larger plain texts are scanned from their file, block by block.
constexpr std::uint64_t kMaxTextInMemory = 64ull << 20;
constexpr const char* kScanFile = "scan the file";
// Fewer items than this per thread are not worth a thread of their own.
constexpr std::size_t kItemsPerThread = 16;
constexpr std::size_t kItemsPerRun = 32;
constexpr int kExtractorTimeoutMs = 120000;

std::string upper(std::string_view s) { return platform::asciiUpper(s); }

enum class ReadOutcome { kRead, kUnreadable, kTooLarge };

// The whole file into bytes, through the guarded reader: a FIFO or device
// under a document's name is never waited on.
ReadOutcome readText(const std::string& path, std::string& bytes) {
  bytes.clear();
  const int error = platform::readFileCapped(path, kMaxTextInMemory, &bytes);
  if (error == EFBIG) return ReadOutcome::kTooLarge;
  return error == 0 ? ReadOutcome::kRead : ReadOutcome::kUnreadable;
}

}  // namespace

FulltextSearch::FulltextSearch() = default;
FulltextSearch::~FulltextSearch() = default;

bool FulltextSearch::Init(const std::string& libraryFolder) {
  if (libraryFolder.empty() || libraryFolder.size() > kMaxLibraryFolderBytes) {
    lastError_ = "DllPathが長すぎます。";
    return false;
  }
  libraryFolder_ = libraryFolder;
  workFolder_ = platform::workFolder(platform::workfolder::kTmp);
  std::error_code ec;
  std::filesystem::create_directories(workFolder_, ec);
  workTextPath_ = workFolder_ + "/" + kWorkFileName;
  if (engine_.InitFulltextSearch() == 0) {
    lastError_ = "InitFulltextSearchでのエラー";
    return false;
  }
  if (engine_.SetSearchIgnorance(0x0D, 0) == 0 || engine_.SetSearchIgnorance(0x0A, 0) == 0) {
    lastError_ = "SetSearchIgnoranceでのエラー";
    return false;
  }
  ResetNoTextCount();
  initialised_ = true;
  return true;
}

bool FulltextSearch::Post() {
  if (engine_.PostFulltextSearch() == 0) {
    lastError_ = "PostFulltextSearchでのエラー";
    return false;
  }
  return true;
}

std::string FulltextSearch::JoinWords(const std::vector<std::string>& words, int mode) {
  std::string out;
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (i > 0) out += " #or# ";
    const std::string& w = words[i];
    switch (mode) {
      case fulltextmode::kExact: {
        std::string quoted;
        for (char c : w) {
          quoted += c;
          if (c == '"') quoted += '"';
        }
        out += "\"" + quoted + "\"";
        break;
      }
      case fulltextmode::kPrefix: out += w + "*"; break;
      case fulltextmode::kSuffix: out += "*" + w; break;
      case fulltextmode::kContains: out += "*" + w + "*"; break;
      default: break;
    }
  }
  return out;
}

bool FulltextSearch::RegisterString(const std::vector<std::string>& words, int mode) {
  const auto sjis = platform::toCp932(JoinWords(words, mode));
  if (!sjis || engine_.RegisterSearchString(*sjis) == 0) {
    lastError_ = "RegisterSearchStringでのエラー";
    return false;
  }
  return true;
}

bool FulltextSearch::SetParameter(int a, int widthVariants, int caseFolding, int similarity) {
  if (engine_.SetSearchParameter(a, 0, 128, 3, widthVariants, caseFolding, similarity) == 0) {
    lastError_ = "SetSearchParameterでのエラーです。";
    return false;
  }
  return true;
}

void FulltextSearch::SetExtractorPrograms(std::string catdoc, std::string xls2csv) {
  catdoc_ = std::move(catdoc);
  xls2csv_ = std::move(xls2csv);
}

void FulltextSearch::SetPdfExtractorProgram(std::string pdftotext) { pdftotext_ = std::move(pdftotext); }

void FulltextSearch::NoText(const std::string& path, const std::string& reason) {
  ++noTextCount_;
  lastNoTextReason_ = path + ": " + reason;
}

bool FulltextSearch::WriteWorkText(const std::string& document, std::string_view utf8) {
  if (!fileio::writeFileBytes(workTextPath_, platform::toCp932Lossy(utf8))) {
    NoText(document, "the work file cannot be written");
    return false;
  }
  return true;
}

bool FulltextSearch::Extract(const std::string& program, const std::string& name, const std::string& document,
                             const QStringList& before, const QStringList& after) {
  const QString executable = program.find('/') != std::string::npos
                                 ? QString::fromStdString(program)
                                 : QStandardPaths::findExecutable(QString::fromStdString(program));
  if (executable.isEmpty() || ::access(executable.toLocal8Bit().constData(), X_OK) != 0) {
    NoText(document, name + " is not installed");
    return false;
  }
  QProcess process;
  process.setProcessChannelMode(QProcess::SeparateChannels);
  process.start(executable, QStringList(before)
                                << QString::fromStdString(std::filesystem::absolute(document).string())
                                << after);
  if (!process.waitForStarted() || !process.waitForFinished(kExtractorTimeoutMs)) {
    process.kill();
    process.waitForFinished();
    NoText(document, name + " did not run to its end");
    return false;
  }
  if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
    NoText(document, name + " failed with exit code " + std::to_string(process.exitCode()));
    return false;
  }
  const QByteArray text = process.readAllStandardOutput();
  return WriteWorkText(document, std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
}

bool FulltextSearch::Scan(const std::string& path, bool isWorkFile, int& hit) {
  engine_.SetScanOption(1, 1);
  fulltext::MatchRecord record;
  const int result = engine_.DirectSearchFirst(path, record);
  if (engine_.PostSearch() == 0) {
    lastError_ = "PostSearchでのエラーです。";
    return false;
  }
  if (isWorkFile) ::unlink(path.c_str());
  if (result != 0 && result != 1) {
    lastError_ = "DirectSearchFirstでのエラーです。";
    return false;
  }
  hit = result;
  return true;
}

FulltextSearch::ItemText FulltextSearch::ReadItemText(const std::string& folderPath, const ItemInfo& item,
                                                      std::string& scratch) const {
  ItemText t;
  std::string path = folderPath + "/" + item.Title;
  if (!item.Ext.empty()) path += "." + item.Ext;
  const auto plain = [&](const std::string& file) {
    std::string bytes = std::move(scratch);
    const ReadOutcome read = readText(file, bytes);
    if (read == ReadOutcome::kTooLarge) {
      // Scanned from the file block by block, as it stands.
      t.kind = ItemText::kOnCallerThread;
      t.path = file;
      t.reason = kScanFile;
    } else if (read == ReadOutcome::kRead) {
      // (An unreadable text is no hit, as an empty one.)
      t.kind = ItemText::kText;
      if (!mime::plainTextToShiftJis(bytes, t.bytes)) {
        t.bytes = std::move(bytes);
        return t;
      }
    }
    scratch = std::move(bytes);
    return t;
  };
  const auto noText = [&](std::string reason) {
    t.kind = ItemText::kNoText;
    t.path = path;
    t.reason = std::move(reason);
    return t;
  };
  if (item.ImageLevel == 1 && !item.TextExt.empty()) return plain(path + "." + item.TextExt);
  if (item.FullTextLevel == 3) return plain(path);
  if (item.FullTextLevel != 1) return t;

  const std::string ext = upper(item.Ext);
  if (ext == "MHT" || ext == "MHTML" || ext == "EML") {
    const auto archive = fileio::readFileBytes(path, kMaxArchiveBytes);
    if (!archive) return noText("the archive cannot be read");
    std::string text;
    const bool parsed = mime::parseMhtTextParts(archive.bytes, [&](const mime::MhtTextPart& part) {
      if (part.contentType == "text/html")
        text += mime::htmlTextToShiftJis(
            (part.charset.empty() ? std::string() : mime::charsetCommentLine(part.charset)) + part.body);
      else
        text += mime::textToShiftJis(part.body, part.charset);
      text += "\r\n";
      return true;
    });
    if (!parsed && text.empty()) return noText("the archive is damaged");
    t.kind = ItemText::kText;
    t.bytes = std::move(text);
    return t;
  }
  if (ext == "HTML" || ext == "HTM") {
    const auto page = fileio::readFileBytes(path, kMaxArchiveBytes);
    if (!page) return noText("the page cannot be read");
    t.kind = ItemText::kText;
    t.bytes = mime::htmlTextToShiftJis(page.bytes);
    return t;
  }
  // Outside programs and archives of other formats are read on the
  // caller's thread: they write the one work file.
  if (ext == "DOC" || ext == "XLS" || ext == "PDF" || officetext::IsOfficeArchiveExtension(ext)) {
    t.kind = ItemText::kOnCallerThread;
    t.path = path;
    t.reason = ext;
    return t;
  }
  return noText("no text extractor for \"." + item.Ext + "\" files");
}

bool FulltextSearch::Finish(const ItemText& text, int& hit) {
  hit = 0;
  switch (text.kind) {
    case ItemText::kNone: return true;
    case ItemText::kText: hit = engine_.SearchText(text.bytes); return true;
    case ItemText::kNoText: NoText(text.path, text.reason); return true;
    case ItemText::kOnCallerThread: break;
  }
  if (text.reason == kScanFile) return Scan(text.path, false, hit);
  const QStringList utf8Output = {QStringLiteral("-d"), QStringLiteral("utf-8")};
  if (text.reason == "DOC") {
    if (!Extract(catdoc_, "catdoc", text.path, utf8Output)) return true;
  } else if (text.reason == "XLS") {
    if (!Extract(xls2csv_, "xls2csv", text.path, utf8Output)) return true;
  } else if (text.reason == "PDF") {
    // "-" after the document: the text goes to the standard output.
    if (!Extract(pdftotext_, "pdftotext", text.path, {QStringLiteral("-q"), QStringLiteral("-enc"), QStringLiteral("UTF-8")},
                 {QStringLiteral("-")}))
      return true;
  } else {
    std::string reason;
    const std::optional<std::string> archived = officetext::OfficeArchiveText(text.path, text.reason, reason);
    if (!archived) {
      NoText(text.path, reason);
      return true;
    }
    if (!WriteWorkText(text.path, *archived)) return true;
  }
  return Scan(workTextPath_, true, hit);
}

bool FulltextSearch::SearchItemFile(const std::string& folderPath, const ItemInfo& item,
                                    int& hit) {
  hit = 0;
  if (!initialised_) {
    lastError_ = "InitFulltextSearchでのエラー";
    return false;
  }
  std::string scratch;
  return Finish(ReadItemText(folderPath, item, scratch), hit);
}

bool FulltextSearch::SearchItems(const std::string& folderPath, const std::vector<ItemInfo>& items,
                                 const std::function<bool(std::size_t, int)>& onResult) {
  if (!initialised_) {
    lastError_ = "InitFulltextSearchでのエラー";
    return false;
  }
  const unsigned cores = threadLimit_ != 0 ? threadLimit_ : std::max(1u, std::thread::hardware_concurrency());
  const std::size_t threads = std::min<std::size_t>(cores, items.size() / kItemsPerThread);
  if (threads <= 1) {
    for (std::size_t i = 0; i < items.size(); ++i) {
      int hit = 0;
      if (!SearchItemFile(folderPath, items[i], hit)) return false;
      if (!onResult(i, hit)) break;
    }
    return true;
  }

  // Workers take the items in order and leave what each gave; this thread
  // takes the outcomes in the same order, so hits, counts and progress come
  // as a search of one item after the other would give them.
  struct Outcome {
    ItemText text;  // its bytes are dropped once scanned
    int hit = 0;
    bool ready = false;
  };
  std::vector<Outcome> outcomes(items.size());
  std::mutex mutex;
  std::condition_variable readyChanged;
  std::atomic<std::size_t> next{0};
  std::atomic<bool> stop{false};
  // Items are taken in runs, so that threads meet at the lock once a run.
  const auto work = [&] {
    // A text is read into this buffer and given back after its scan, so
    // that reading allocates nothing once the buffer has grown.
    std::string scratch;
    for (;;) {
      const std::size_t first = next.fetch_add(kItemsPerRun);
      if (first >= items.size() || stop.load()) return;
      const std::size_t last = std::min(items.size(), first + kItemsPerRun);
      std::vector<Outcome> run(last - first);
      for (std::size_t i = first; i < last && !stop.load(); ++i) {
        Outcome& o = run[i - first];
        o.text = ReadItemText(folderPath, items[i], scratch);
        if (o.text.kind == ItemText::kText) {
          o.hit = engine_.SearchText(o.text.bytes);
          if (o.text.bytes.capacity() > scratch.capacity()) scratch = std::move(o.text.bytes);
          o.text.bytes = std::string();
        }
        o.ready = true;
      }
      {
        std::lock_guard lock(mutex);
        for (std::size_t i = first; i < last; ++i) outcomes[i] = std::move(run[i - first]);
      }
      readyChanged.notify_all();
    }
  };
  std::vector<std::jthread> pool;
  pool.reserve(threads);
  for (std::size_t k = 0; k < threads; ++k) pool.emplace_back(work);
  // However this thread leaves (a cancel, an error, an exception of the
  // caller's), the workers stop at their next item before they are joined.
  struct StopOnExit {
    std::atomic<bool>& stop;
    ~StopOnExit() { stop = true; }
  } stopOnExit{stop};
  bool ok = true;
  std::vector<Outcome> taken;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i % kItemsPerRun == 0) {
      // The whole run at once: it is finished by one thread.
      const std::size_t last = std::min(items.size(), i + kItemsPerRun);
      std::unique_lock lock(mutex);
      readyChanged.wait(lock, [&] { return outcomes[last - 1].ready || stop.load(); });
      taken.assign(std::make_move_iterator(outcomes.begin() + static_cast<std::ptrdiff_t>(i)),
                   std::make_move_iterator(outcomes.begin() + static_cast<std::ptrdiff_t>(last)));
    }
    Outcome& o = taken[i % kItemsPerRun];
    int hit = o.hit;
    if (o.text.kind != ItemText::kText && !Finish(o.text, hit)) {
      ok = false;
      break;
    }
    if (!onResult(i, hit)) break;
  }
  stop = true;
  pool.clear();
  return ok;
}
