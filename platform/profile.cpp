#include "platform/profile.h"

#include "platform/file_ops.h"
#include "platform/sjis_codec.h"

#include <QSaveFile>

#include <cerrno>
#include <cstdlib>

namespace platform {
namespace {

// Far above any settings file; a larger "INI file" is something else.
constexpr std::size_t kMaxIniBytes = 16u << 20;

std::string trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return std::string(s.substr(b, e - b));
}

// The file as lines of UTF-8 text; line ends are rewritten as CR LF.
struct IniLines {
  std::vector<std::string> lines;
  // False when the file is there but could not be read (not a regular
  // file, too large, not ours to read): a write must not replace it then.
  bool readable = true;

  static IniLines load(const std::string& path) {
    IniLines ini;
    std::string bytes;
    if (const int error = readFileCapped(path, kMaxIniBytes, &bytes); error != 0) {
      ini.readable = error == ENOENT || error == ENOTDIR;
      return ini;
    }
    std::string text = fromCp932(bytes);
    size_t start = 0;
    while (start < text.size()) {
      size_t nl = text.find('\n', start);
      if (nl == std::string::npos) nl = text.size();
      std::string line = text.substr(start, nl - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      ini.lines.push_back(std::move(line));
      start = nl + 1;
    }
    return ini;
  }

  bool save(const std::string& path) const {
    if (!readable) return false;
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    std::string bytes = toCp932Lossy(text);
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
        static_cast<qint64>(bytes.size()))
      return false;
    return file.commit();
  }

  static std::optional<std::string> sectionName(const std::string& line) {
    std::string t = trim(line);
    if (t.size() < 2 || t.front() != '[') return std::nullopt;
    auto close = t.find(']');
    if (close == std::string::npos) return std::nullopt;
    return trim(std::string_view(t).substr(1, close - 1));
  }

  static bool isComment(const std::string& line) {
    std::string t = trim(line);
    return t.empty() || t.front() == ';';
  }

  // [begin, end) of the section's body lines; begin = npos when absent.
  std::pair<size_t, size_t> findSection(const std::string& section) const {
    for (size_t i = 0; i < lines.size(); ++i) {
      auto name = sectionName(lines[i]);
      if (name && asciiEqualsIgnoreCase(*name, section)) {
        size_t end = i + 1;
        while (end < lines.size() && !sectionName(lines[end])) ++end;
        return {i + 1, end};
      }
    }
    return {std::string::npos, std::string::npos};
  }

  static std::optional<std::pair<std::string, std::string>> keyValue(const std::string& line) {
    if (isComment(line)) return std::nullopt;
    auto eq = line.find('=');
    if (eq == std::string::npos) return std::nullopt;
    return std::make_pair(trim(std::string_view(line).substr(0, eq)),
                          trim(std::string_view(line).substr(eq + 1)));
  }

  size_t findKey(size_t begin, size_t end, const std::string& key) const {
    for (size_t i = begin; i < end; ++i) {
      auto kv = keyValue(lines[i]);
      if (kv && asciiEqualsIgnoreCase(kv->first, key)) return i;
    }
    return std::string::npos;
  }
};

std::string unquote(std::string value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

}  // namespace

std::string getProfileString(const std::string& path, const std::string& section,
                             const std::string& key, const std::string& defaultValue,
                             std::size_t bufferSize) {
  IniLines ini = IniLines::load(path);
  std::string value = defaultValue;
  auto [begin, end] = ini.findSection(section);
  if (begin != std::string::npos) {
    size_t at = ini.findKey(begin, end, key);
    if (at != std::string::npos) value = unquote(IniLines::keyValue(ini.lines[at])->second);
  }
  if (bufferSize != kNoBufferLimit) {
    // The limit is in the file's own bytes: cut the CP932 form, never inside a character.
    std::string sjis = toCp932Lossy(value);
    if (sjis.size() > bufferSize - 1) {
      size_t cut = 0;
      while (cut < sjis.size()) {
        size_t n = isSjisLeadByte(static_cast<unsigned char>(sjis[cut])) ? 2 : 1;
        if (cut + n > bufferSize - 1) break;
        cut += n;
      }
      value = fromCp932(std::string_view(sjis).substr(0, cut));
    }
  }
  return value;
}

int getProfileInt(const std::string& path, const std::string& section, const std::string& key,
                  int defaultValue) {
  std::string text = getProfileString(path, section, key, "");
  if (text.empty()) return defaultValue;
  size_t i = 0;
  bool negative = false;
  if (text[i] == '-' || text[i] == '+') negative = text[i++] == '-';
  long long value = 0;
  size_t digits = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 18) {
    value = value * 10 + (text[i++] - '0');
    ++digits;
  }
  if (digits == 0) return 0;
  return static_cast<int>(negative ? -value : value);
}

bool writeProfileString(const std::string& path, const std::string& section,
                        const std::string& key, const std::string& value) {
  IniLines ini = IniLines::load(path);
  std::string line = key + "=" + value;
  auto [begin, end] = ini.findSection(section);
  if (begin == std::string::npos) {
    ini.lines.push_back("[" + section + "]");
    ini.lines.push_back(line);
  } else {
    size_t at = ini.findKey(begin, end, key);
    if (at != std::string::npos) {
      ini.lines[at] = line;
    } else {
      size_t insert = end;
      while (insert > begin && trim(ini.lines[insert - 1]).empty()) --insert;
      ini.lines.insert(ini.lines.begin() + static_cast<long>(insert), line);
    }
  }
  return ini.save(path);
}

bool deleteProfileKey(const std::string& path, const std::string& section, const std::string& key) {
  IniLines ini = IniLines::load(path);
  auto [begin, end] = ini.findSection(section);
  if (begin == std::string::npos) return true;
  size_t at = ini.findKey(begin, end, key);
  if (at == std::string::npos) return true;
  ini.lines.erase(ini.lines.begin() + static_cast<long>(at));
  return ini.save(path);
}

bool deleteProfileSection(const std::string& path, const std::string& section) {
  IniLines ini = IniLines::load(path);
  auto [begin, end] = ini.findSection(section);
  if (begin == std::string::npos) return true;
  ini.lines.erase(ini.lines.begin() + static_cast<long>(begin - 1),
                  ini.lines.begin() + static_cast<long>(end));
  return ini.save(path);
}

std::vector<std::string> profileSectionNames(const std::string& path) {
  IniLines ini = IniLines::load(path);
  std::vector<std::string> names;
  for (const auto& line : ini.lines)
    if (auto name = IniLines::sectionName(line)) names.push_back(*name);
  return names;
}

std::vector<std::string> profileKeys(const std::string& path, const std::string& section) {
  IniLines ini = IniLines::load(path);
  std::vector<std::string> keys;
  auto [begin, end] = ini.findSection(section);
  if (begin == std::string::npos) return keys;
  for (size_t i = begin; i < end; ++i)
    if (auto kv = IniLines::keyValue(ini.lines[i])) keys.push_back(kv->first);
  return keys;
}

}  // namespace platform
