#pragma once
// The update exchange with the maker's update server, over libcurl: the
// information file (published version, an unused line, the updater's URL),
// the version comparison, and the download of the updater. The updater is
// never started by the program: the caller shows the folder that holds it.
// No Qt Widgets here.
//
//   IsNewer            "RC" builds are older than anything; else numbers part by part
//   ParseUpdateInfo    the three lines of the information file
//   FetchText          one GET of a small text file
//   DownloadFile       the updater, checked against the announced length

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace update {

struct UpdateInfo {
  std::string publishedVersion;
  std::string unusedLine;
  std::string updaterUrl;
};

// True when `published` is newer than `current`. A current version that
// begins with "RC" is older than any published one. Otherwise the texts are
// compared without regard to case, runs of digits as numbers ("R10" is
// newer than "R9").
bool IsNewer(const std::string& current, const std::string& published);

// The first three lines; nothing when one is missing.
std::optional<UpdateInfo> ParseUpdateInfo(const std::string& text);

// Only HTTPS, or plain HTTP to the loopback address (a local server).
bool IsAllowedUrl(const std::string& url);

enum class Result { Ok, Unreachable, ServerError, NoLength, ShortBody, Cancelled, WriteFailed, NotAllowed, TooLarge };

// The information file is three short lines; the updater a setup program.
// A server that sends more is not followed (TooLarge).
inline constexpr std::size_t kMaxInfoBytes = 64 * 1024;
inline constexpr std::int64_t kMaxDownloadBytes = 512LL * 1024 * 1024;

// GET of the whole body into `body` (status 200 only). `cancel` is looked
// at while connecting and receiving, at least once a second.
Result FetchText(const std::string& url, std::string& body, long timeoutSeconds = 30,
                 const std::atomic<bool>* cancel = nullptr, std::size_t maxBytes = kMaxInfoBytes);

// The file name of the URL (after its last "/").
std::string FileNameOfUrl(const std::string& url);

// Downloads `url` to `destination`. The server must announce a length (none
// or 0: NoLength, nothing written; more than maxBytes: TooLarge, nothing
// written); fewer bytes than announced is ShortBody. `progress` gets 0-100
// after each block; `cancel` is looked at while connecting and between
// blocks. Any failure leaves no file at `destination`.
Result DownloadFile(const std::string& url, const std::string& destination, const std::atomic<bool>* cancel = nullptr,
                    const std::function<void(int percent)>& progress = {}, long timeoutSeconds = 120,
                    std::int64_t maxBytes = kMaxDownloadBytes);

}  // namespace update
