// The full-text wrapper: from a catalogue item to a Shift-JIS text file,
// and that file through the engine.

#include "catalogue/fulltext_search.h"

#include "catalogue/office_archive_text.h"

#include "platform/program_folder.h"
#include "platform/sjis_codec.h"
#include "shell/file_bytes.h"
#include "shell/html_charset.h"
#include "shell/mht_reader.h"

#include <QProcess>
#include <QStandardPaths>
#include <QString>

#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace {

constexpr std::uint64_t kMaxArchiveBytes = 256ull << 20;

std::string upper(std::string_view s) { return platform::asciiUpper(s); }

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

bool FulltextSearch::SearchItemFile(const std::string& folderPath, const ItemInfo& item,
                                    int& hit) {
  hit = 0;
  if (!initialised_) {
    lastError_ = "InitFulltextSearchでのエラー";
    return false;
  }
  std::string path = folderPath + "/" + item.Title;
  if (!item.Ext.empty()) path += "." + item.Ext;
  if (item.ImageLevel == 1 && !item.TextExt.empty()) return Scan(path + "." + item.TextExt, false, hit);
  if (item.FullTextLevel == 3) return Scan(path, false, hit);
  if (item.FullTextLevel != 1) return true;

  const std::string ext = upper(item.Ext);
  if (ext == "MHT" || ext == "MHTML" || ext == "EML") {
    const auto archive = fileio::readFileBytes(path, kMaxArchiveBytes);
    if (!archive) {
      NoText(path, "the archive cannot be read");
      return true;
    }
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
    if (!parsed && text.empty()) {
      NoText(path, "the archive is damaged");
      return true;
    }
    if (!fileio::writeFileBytes(workTextPath_, text)) {
      NoText(path, "the work file cannot be written");
      return true;
    }
    return Scan(workTextPath_, true, hit);
  }
  if (ext == "HTML" || ext == "HTM") {
    if (!ConvertFileToShiftJis(path, workTextPath_)) {
      NoText(path, "the page cannot be read");
      return true;
    }
    return Scan(workTextPath_, true, hit);
  }
  const QStringList utf8Output = {QStringLiteral("-d"), QStringLiteral("utf-8")};
  if (ext == "DOC") {
    if (!Extract(catdoc_, "catdoc", path, utf8Output)) return true;
    return Scan(workTextPath_, true, hit);
  }
  if (ext == "XLS") {
    if (!Extract(xls2csv_, "xls2csv", path, utf8Output)) return true;
    return Scan(workTextPath_, true, hit);
  }
  if (ext == "PDF") {
    // "-" after the document: the text goes to the standard output.
    if (!Extract(pdftotext_, "pdftotext", path, {QStringLiteral("-q"), QStringLiteral("-enc"), QStringLiteral("UTF-8")},
                 {QStringLiteral("-")}))
      return true;
    return Scan(workTextPath_, true, hit);
  }
  if (officetext::IsOfficeArchiveExtension(ext)) {
    std::string reason;
    const std::optional<std::string> text = officetext::OfficeArchiveText(path, ext, reason);
    if (!text) {
      NoText(path, reason);
      return true;
    }
    if (!WriteWorkText(path, *text)) return true;
    return Scan(workTextPath_, true, hit);
  }
  NoText(path, "no text extractor for \"." + item.Ext + "\" files");
  return true;
}
