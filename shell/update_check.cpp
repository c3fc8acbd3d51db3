#include "shell/update_check.h"

#include <curl/curl.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <mutex>

namespace update {

namespace {

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

void initCurl() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Easy {
  CURL* handle = curl_easy_init();
  ~Easy() {
    if (handle) curl_easy_cleanup(handle);
  }
};

void commonOptions(CURL* h, const std::string& url, long timeoutSeconds) {
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h, CURLOPT_USERAGENT, "Brindel");
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, 15L);
  curl_easy_setopt(h, CURLOPT_TIMEOUT, timeoutSeconds);
  // No redirect may lead away from HTTPS.
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
}

struct Text {
  std::string* body;
  std::size_t maxBytes;
  bool tooLarge = false;
};

size_t appendText(char* data, size_t size, size_t count, void* user) {
  auto& t = *static_cast<Text*>(user);
  const size_t bytes = size * count;
  if (t.body->size() + bytes > t.maxBytes) {
    t.tooLarge = true;
    return CURL_WRITEFUNC_ERROR;
  }
  t.body->append(data, bytes);
  return bytes;
}

// Called by libcurl while it connects and transfers, also when nothing
// arrives: a cancel never waits for the server.
int cancelled(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  const auto* cancel = static_cast<const std::atomic<bool>*>(user);
  return cancel && cancel->load() ? 1 : 0;
}

void cancelOption(CURL* h, const std::atomic<bool>* cancel) {
  if (!cancel) return;
  curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, cancelled);
  curl_easy_setopt(h, CURLOPT_XFERINFODATA, cancel);
  curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
}

struct Download {
  CURL* handle;
  std::FILE* file = nullptr;
  const std::string* destination;
  const std::atomic<bool>* cancel;
  const std::function<void(int)>* progress;
  curl_off_t maxBytes;
  curl_off_t length = -1;
  curl_off_t received = 0;
  Result stop = Result::Ok;
};

size_t writeBlock(char* data, size_t size, size_t count, void* user) {
  auto& d = *static_cast<Download*>(user);
  const size_t bytes = size * count;
  if (!d.file) {
    long status = 0;
    curl_easy_getinfo(d.handle, CURLINFO_RESPONSE_CODE, &status);
    if (status != 200) return bytes;  // the error body is not kept
    curl_off_t length = -1;
    curl_easy_getinfo(d.handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    if (length <= 0) {
      d.stop = Result::NoLength;
      return CURL_WRITEFUNC_ERROR;
    }
    if (length > d.maxBytes) {
      d.stop = Result::TooLarge;
      return CURL_WRITEFUNC_ERROR;
    }
    d.length = length;
    d.file = std::fopen(d.destination->c_str(), "wb");
    if (!d.file) {
      d.stop = Result::WriteFailed;
      return CURL_WRITEFUNC_ERROR;
    }
  }
  if (d.cancel && d.cancel->load()) {
    d.stop = Result::Cancelled;
    return CURL_WRITEFUNC_ERROR;
  }
  if (std::fwrite(data, 1, bytes, d.file) != bytes) {
    d.stop = Result::WriteFailed;
    return CURL_WRITEFUNC_ERROR;
  }
  d.received += static_cast<curl_off_t>(bytes);
  if (d.progress && *d.progress) (*d.progress)(static_cast<int>(std::min<curl_off_t>(100, d.received * 100 / d.length)));
  return bytes;
}

// A URL's scheme and host, lower-case.
bool splitUrl(const std::string& url, std::string& scheme, std::string& host) {
  CURLU* u = curl_url();
  if (!u) return false;
  bool ok = curl_url_set(u, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK;
  char* s = nullptr;
  char* h = nullptr;
  ok = ok && curl_url_get(u, CURLUPART_SCHEME, &s, 0) == CURLUE_OK && curl_url_get(u, CURLUPART_HOST, &h, 0) == CURLUE_OK;
  if (ok) {
    scheme = lower(s);
    host = lower(h);
  }
  curl_free(s);
  curl_free(h);
  curl_url_cleanup(u);
  return ok;
}

}  // namespace

bool IsNewer(const std::string& current, const std::string& published) {
  if (current.rfind("RC", 0) == 0) return true;
  const std::string a = lower(current);
  const std::string b = lower(published);
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (std::isdigit(static_cast<unsigned char>(a[i])) && std::isdigit(static_cast<unsigned char>(b[j]))) {
      std::size_t ie = i, je = j;
      while (ie < a.size() && std::isdigit(static_cast<unsigned char>(a[ie]))) ++ie;
      while (je < b.size() && std::isdigit(static_cast<unsigned char>(b[je]))) ++je;
      // Numbers compare by value: without leading zeros, the longer is larger.
      std::string na = a.substr(i, ie - i), nb = b.substr(j, je - j);
      na.erase(0, std::min(na.find_first_not_of('0'), na.size()));
      nb.erase(0, std::min(nb.find_first_not_of('0'), nb.size()));
      if (na.size() != nb.size()) return na.size() < nb.size();
      if (na != nb) return na < nb;
      i = ie;
      j = je;
      continue;
    }
    if (a[i] != b[j]) return a[i] < b[j];
    ++i;
    ++j;
  }
  return a.size() - i < b.size() - j;
}

std::optional<UpdateInfo> ParseUpdateInfo(const std::string& text) {
  std::string lines[3];
  std::size_t pos = 0;
  for (std::string& line : lines) {
    if (pos >= text.size()) return std::nullopt;
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    pos = end + 1;
  }
  if (lines[0].empty() || lines[2].empty()) return std::nullopt;
  return UpdateInfo{lines[0], lines[1], lines[2]};
}

bool IsAllowedUrl(const std::string& url) {
  std::string scheme, host;
  if (!splitUrl(url, scheme, host)) return false;
  if (scheme == "https") return true;
  return scheme == "http" && (host == "127.0.0.1" || host == "localhost" || host == "[::1]");
}

std::string FileNameOfUrl(const std::string& url) {
  const std::size_t slash = url.rfind('/');
  return slash == std::string::npos ? url : url.substr(slash + 1);
}

Result FetchText(const std::string& url, std::string& body, long timeoutSeconds, const std::atomic<bool>* cancel,
                 std::size_t maxBytes) {
  if (!IsAllowedUrl(url)) return Result::NotAllowed;
  initCurl();
  Easy easy;
  if (!easy.handle) return Result::Unreachable;
  commonOptions(easy.handle, url, timeoutSeconds);
  Text text{&body, maxBytes};
  curl_easy_setopt(easy.handle, CURLOPT_WRITEFUNCTION, appendText);
  curl_easy_setopt(easy.handle, CURLOPT_WRITEDATA, &text);
  curl_easy_setopt(easy.handle, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(maxBytes));
  cancelOption(easy.handle, cancel);
  const CURLcode code = curl_easy_perform(easy.handle);
  if (text.tooLarge || code == CURLE_FILESIZE_EXCEEDED) {
    body.clear();
    return Result::TooLarge;
  }
  if (code == CURLE_ABORTED_BY_CALLBACK) return Result::Cancelled;
  if (code != CURLE_OK) return Result::Unreachable;
  long status = 0;
  curl_easy_getinfo(easy.handle, CURLINFO_RESPONSE_CODE, &status);
  return status == 200 ? Result::Ok : Result::ServerError;
}

Result DownloadFile(const std::string& url, const std::string& destination, const std::atomic<bool>* cancel,
                    const std::function<void(int)>& progress, long timeoutSeconds, std::int64_t maxBytes) {
  if (!IsAllowedUrl(url)) return Result::NotAllowed;
  initCurl();
  Easy easy;
  if (!easy.handle) return Result::Unreachable;
  Download d{easy.handle, nullptr, &destination, cancel, &progress, static_cast<curl_off_t>(maxBytes)};
  commonOptions(easy.handle, url, timeoutSeconds);
  curl_easy_setopt(easy.handle, CURLOPT_WRITEFUNCTION, writeBlock);
  curl_easy_setopt(easy.handle, CURLOPT_WRITEDATA, &d);
  cancelOption(easy.handle, cancel);
  CURLcode code = curl_easy_perform(easy.handle);
  if (code == CURLE_ABORTED_BY_CALLBACK && d.stop == Result::Ok) d.stop = Result::Cancelled;
  long status = 0;
  curl_easy_getinfo(easy.handle, CURLINFO_RESPONSE_CODE, &status);
  const bool opened = d.file != nullptr;
  if (opened && std::fclose(d.file) != 0 && d.stop == Result::Ok) d.stop = Result::WriteFailed;
  Result result = d.stop;
  if (result == Result::Ok) {
    if (status != 0 && status != 200) result = Result::ServerError;
    else if (code == CURLE_PARTIAL_FILE || (opened && d.received < d.length)) result = Result::ShortBody;
    else if (code != CURLE_OK) result = Result::Unreachable;
    else if (!opened) result = Result::NoLength;  // an empty body announces nothing to write
  }
  if (result != Result::Ok) {
    std::error_code ignored;
    if (opened) std::filesystem::remove(destination, ignored);
    return result;
  }
  if (progress) progress(100);
  return Result::Ok;
}

}  // namespace update
