// The text of office documents held as zip archives of XML members.

#include "catalogue/office_archive_text.h"

#include "platform/sjis_codec.h"

#include <QByteArray>
#include <QString>
#include <QXmlStreamReader>

#include <zip.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

namespace officetext {
namespace {

// The rules by which one kind of member gives its text.
struct TextRules {
  // Character data is taken inside these elements only; none: everywhere.
  std::vector<std::string_view> textElements;
  // A start tag that stands for a character of its own.
  std::vector<std::string_view> tabElements;
  std::vector<std::string_view> breakElements;
  // An end tag after which a separator follows.
  std::vector<std::string_view> lineEnds;
  std::vector<std::string_view> cellEnds;
  // Whether the subtree of a start tag carries no text of the document.
  std::function<bool(const QXmlStreamReader&)> skip;
};

bool oneOf(QStringView name, const std::vector<std::string_view>& names) {
  return std::any_of(names.begin(), names.end(),
                     [&](std::string_view n) { return name == QLatin1String(n.data(), static_cast<qsizetype>(n.size())); });
}

// Appends the text of one XML member; false when it is not well-formed.
bool appendXmlText(const QByteArray& xml, const TextRules& rules, QString& out) {
  QXmlStreamReader reader(xml);
  int textDepth = 0;
  int skipDepth = 0;
  while (!reader.atEnd()) {
    switch (reader.readNext()) {
      case QXmlStreamReader::StartElement: {
        if (skipDepth > 0 || (rules.skip && rules.skip(reader))) {
          ++skipDepth;
          break;
        }
        const QStringView name = reader.name();
        if (oneOf(name, rules.textElements)) ++textDepth;
        if (oneOf(name, rules.tabElements)) out += u'\t';
        if (oneOf(name, rules.breakElements)) out += u'\n';
        if (name == u"s" && reader.namespaceUri().endsWith(u":text:1.0")) {
          // An OpenDocument run of spaces: text:s text:c="n".
          const int count = std::clamp(reader.attributes().value(reader.namespaceUri().toString(), QLatin1String("c")).toInt(), 1, 1024);
          out += QString(count, u' ');
        }
        break;
      }
      case QXmlStreamReader::EndElement: {
        if (skipDepth > 0) {
          --skipDepth;
          break;
        }
        const QStringView name = reader.name();
        if (oneOf(name, rules.textElements)) --textDepth;
        if (oneOf(name, rules.lineEnds)) out += u'\n';
        if (oneOf(name, rules.cellEnds)) out += u'\t';
        break;
      }
      case QXmlStreamReader::Characters:
        if (skipDepth == 0 && (rules.textElements.size() == 0 || textDepth > 0)) out += reader.text();
        break;
      default: break;
    }
  }
  return !reader.hasError();
}

struct ZipCloser {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct ZipFileCloser {
  void operator()(zip_file_t* file) const { zip_fclose(file); }
};

// The member's bytes, or nothing when it cannot be read or inflates past
// the limit.
std::optional<QByteArray> readMember(zip_t* archive, zip_uint64_t index, std::string& reason) {
  std::unique_ptr<zip_file_t, ZipFileCloser> file(zip_fopen_index(archive, index, 0));
  if (!file) {
    reason = std::string("a member cannot be opened: ") + zip_strerror(archive);
    return std::nullopt;
  }
  QByteArray bytes;
  char buffer[64 * 1024];
  for (;;) {
    const zip_int64_t got = zip_fread(file.get(), buffer, sizeof buffer);
    if (got < 0) {
      reason = std::string("a member is damaged: ") + zip_file_strerror(file.get());
      return std::nullopt;
    }
    if (got == 0) break;
    if (static_cast<std::size_t>(bytes.size()) + static_cast<std::size_t>(got) > kMaxMemberBytes) {
      reason = "a member expands past " + std::to_string(kMaxMemberBytes >> 20) + " MiB";
      return std::nullopt;
    }
    bytes.append(buffer, static_cast<qsizetype>(got));
  }
  return bytes;
}

// "ppt/slides/slide12.xml" sorts after "ppt/slides/slide2.xml".
bool naturalLess(const std::string& a, const std::string& b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (std::isdigit(static_cast<unsigned char>(a[i])) && std::isdigit(static_cast<unsigned char>(b[j]))) {
      std::size_t ie = i, je = j;
      while (ie < a.size() && std::isdigit(static_cast<unsigned char>(a[ie]))) ++ie;
      while (je < b.size() && std::isdigit(static_cast<unsigned char>(b[je]))) ++je;
      std::string_view na(a.data() + i, ie - i), nb(b.data() + j, je - j);
      while (na.size() > 1 && na.front() == '0') na.remove_prefix(1);
      while (nb.size() > 1 && nb.front() == '0') nb.remove_prefix(1);
      if (na.size() != nb.size()) return na.size() < nb.size();
      if (na != nb) return na < nb;
      i = ie;
      j = je;
    } else {
      if (a[i] != b[j]) return a[i] < b[j];
      ++i;
      ++j;
    }
  }
  return a.size() - i < b.size() - j;
}

// A member group: names starting with prefix and ending with suffix, taken
// in natural order.
struct MemberGroup {
  std::string_view prefix;
  std::string_view suffix;
};

struct DocumentKind {
  std::vector<std::string_view> extensions;
  std::vector<MemberGroup> members;
  TextRules rules;
};

bool isSharedStringCell(const QXmlStreamReader& r) {
  return r.name() == u"c" && r.attributes().value(QLatin1String("t")) == u"s";
}

const std::vector<DocumentKind>& kinds() {
  static const std::vector<DocumentKind> table = {
      {{"DOCX", "DOCM", "DOTX"},
       {{"word/document.xml", ""}, {"word/header", ".xml"}, {"word/footer", ".xml"},
        {"word/footnotes.xml", ""}, {"word/endnotes.xml", ""}},
       {{"t"}, {"tab"}, {"br", "cr"}, {"p"}, {"tc"}, nullptr}},
      {{"XLSX", "XLSM", "XLTX"},
       {{"xl/sharedStrings.xml", ""}, {"xl/worksheets/sheet", ".xml"}},
       // Phonetic readings (rPh) repeat the cell in kana; a shared-string
       // cell holds only the index of its text.
       {{"t", "v"}, {}, {}, {"si", "row"}, {"c"},
        [](const QXmlStreamReader& r) { return r.name() == u"rPh" || isSharedStringCell(r); }}},
      {{"PPTX", "PPTM", "POTX"},
       {{"ppt/slides/slide", ".xml"}, {"ppt/notesSlides/notesSlide", ".xml"}},
       {{"t"}, {}, {"br"}, {"p"}, {"tc"}, nullptr}},
      {{"ODT", "ODS", "ODP", "ODG", "OTT", "OTS", "OTP"},
       {{"content.xml", ""}},
       {{}, {"tab"}, {"line-break"}, {"p", "h", "table-row"}, {"table-cell"},
        // Style and form definitions carry no text of the document.
        [](const QXmlStreamReader& r) {
          return r.name() == u"automatic-styles" || r.name() == u"font-face-decls" || r.name() == u"forms";
        }}},
  };
  return table;
}

const DocumentKind* kindOf(std::string_view ext) {
  const std::string upper = platform::asciiUpper(ext);
  for (const DocumentKind& kind : kinds())
    for (std::string_view e : kind.extensions)
      if (upper == e) return &kind;
  return nullptr;
}

bool matches(const std::string& name, const MemberGroup& group) {
  if (group.suffix.empty()) return name == group.prefix;
  return name.size() > group.prefix.size() + group.suffix.size() && name.starts_with(group.prefix) &&
         name.ends_with(group.suffix) && name.find('/', group.prefix.size()) == std::string::npos;
}

}  // namespace

bool IsOfficeArchiveExtension(std::string_view ext) { return kindOf(ext) != nullptr; }

namespace {

std::string zipErrorText(int error) {
  zip_error_t z;
  zip_error_init_with_code(&z, error);
  std::string text = zip_error_strerror(&z);
  zip_error_fini(&z);
  return text;
}

std::optional<std::string> archiveText(zip_t* archive, const DocumentKind& kind, std::string& reason) {
  const zip_int64_t count = zip_get_num_entries(archive, 0);
  QString text;
  bool anyMember = false;
  for (const MemberGroup& group : kind.members) {
    std::vector<std::pair<std::string, zip_uint64_t>> found;
    for (zip_int64_t i = 0; i < count; ++i) {
      const char* name = zip_get_name(archive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS);
      if (name && matches(name, group)) found.emplace_back(name, static_cast<zip_uint64_t>(i));
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return naturalLess(a.first, b.first); });
    for (const auto& [name, index] : found) {
      const std::optional<QByteArray> xml = readMember(archive, index, reason);
      if (!xml) return std::nullopt;
      if (!appendXmlText(*xml, kind.rules, text)) {
        reason = "\"" + name + "\" is not well-formed XML";
        return std::nullopt;
      }
      text += u'\n';
      anyMember = true;
    }
  }
  if (!anyMember) {
    reason = "the archive holds no text member";
    return std::nullopt;
  }
  return text.toStdString();
}

}  // namespace

std::optional<std::string> OfficeArchiveText(const std::string& path, std::string_view ext, std::string& reason) {
  const DocumentKind* kind = kindOf(ext);
  if (!kind) {
    reason = "not an office archive";
    return std::nullopt;
  }
  int error = 0;
  std::unique_ptr<zip_t, ZipCloser> archive(zip_open(path.c_str(), ZIP_RDONLY, &error));
  if (!archive) {
    reason = "the archive cannot be read: " + zipErrorText(error);
    return std::nullopt;
  }
  return archiveText(archive.get(), *kind, reason);
}

std::optional<std::string> OfficeArchiveTextOfBytes(std::string_view bytes, std::string_view ext,
                                                    std::string& reason) {
  const DocumentKind* kind = kindOf(ext);
  if (!kind) {
    reason = "not an office archive";
    return std::nullopt;
  }
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
  zip_t* opened = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
  if (!opened) {
    reason = std::string("the archive cannot be read: ") + zip_error_strerror(&error);
    if (source) zip_source_free(source);
    zip_error_fini(&error);
    return std::nullopt;
  }
  zip_error_fini(&error);
  std::unique_ptr<zip_t, ZipCloser> archive(opened);  // the archive owns the source now
  return archiveText(archive.get(), *kind, reason);
}

}  // namespace officetext
