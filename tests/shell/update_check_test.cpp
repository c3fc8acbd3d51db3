// The update exchange against a small HTTP server on the loopback address:
// each connection gets one canned response.

#include "shell/update_check.h"

#include "tests/support/loopback_server.h"
#include "tests/support/test_env.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

namespace {

std::string ok(const std::string& body, bool withLength = true, std::size_t announced = 0) {
  std::string head = "HTTP/1.1 200 OK\r\nConnection: close\r\n";
  if (withLength) head += "Content-Length: " + std::to_string(announced ? announced : body.size()) + "\r\n";
  return head + "\r\n" + body;
}

TEST(UpdateCheck, VersionsAndTheInformationFile) {
  struct Row {
    const char* current;
    const char* published;
    bool newer;
  };
  const Row rows[] = {{"R1a", "R1b", true}, {"R2", "r2", false}, {"R9", "R10", true}, {"R10", "R9", false},
                      {"RC3", "R1", true},  {"R2", "R1", false}, {"R1", "R1a", true}};
  for (const Row& row : rows) EXPECT_EQ(update::IsNewer(row.current, row.published), row.newer) << row.current << " " << row.published;

  const auto info = update::ParseUpdateInfo("R2b\r\nnotes\r\nhttps://example.invalid/files/setup_r2b.bin\r\n");
  ASSERT_TRUE(info);
  EXPECT_EQ(info->publishedVersion, "R2b");
  EXPECT_EQ(update::FileNameOfUrl(info->updaterUrl), "setup_r2b.bin");
  EXPECT_FALSE(update::ParseUpdateInfo("R2b\nnotes\n"));
  EXPECT_FALSE(update::ParseUpdateInfo(""));

  EXPECT_TRUE(update::IsAllowedUrl("https://updates.example.invalid/x"));
  EXPECT_TRUE(update::IsAllowedUrl("http://127.0.0.1:8080/x"));
  EXPECT_FALSE(update::IsAllowedUrl("http://updates.example.invalid/x"));
  EXPECT_FALSE(update::IsAllowedUrl("file:///etc/passwd"));
  std::string body;
  EXPECT_EQ(update::FetchText("http://updates.example.invalid/x", body), update::Result::NotAllowed);
}

TEST(UpdateCheck, FetchesTheInformationFile) {
  LoopbackServer server(ok("R3\nx\nhttp://127.0.0.1/u.bin\n"));
  std::string body;
  ASSERT_EQ(update::FetchText(server.url("/download/archive/online/vu3rorizi.ziz"), body, 10), update::Result::Ok);
  ASSERT_TRUE(update::ParseUpdateInfo(body));
  EXPECT_TRUE(update::IsNewer("R2", update::ParseUpdateInfo(body)->publishedVersion));
  LoopbackServer missing(LoopbackServer::kNotFound);
  EXPECT_EQ(update::FetchText(missing.url("/x"), body, 10), update::Result::ServerError);
}

TEST(UpdateCheck, DownloadKeepsOnlyWholeFiles) {
  testsupport::TempDir dir;
  const std::string dest = dir.file("setup.bin");
  const std::string payload(5000, 'z');
  {
    LoopbackServer server(ok(payload));
    int last = -1;
    ASSERT_EQ(update::DownloadFile(server.url("/setup.bin"), dest, nullptr, [&](int p) { last = p; }, 10),
              update::Result::Ok);
    EXPECT_EQ(std::filesystem::file_size(dest), payload.size());
    EXPECT_EQ(last, 100);
    std::filesystem::remove(dest);
  }
  struct Row {
    const char* name;
    std::string response;
    update::Result result;
  };
  const Row rows[] = {
      {"no length", ok(payload, false), update::Result::NoLength},
      {"short body", ok(payload, true, 8000), update::Result::ShortBody},
      {"server error", "HTTP/1.1 500 Oops\r\nContent-Length: 4\r\nConnection: close\r\n\r\nfail", update::Result::ServerError},
  };
  for (const Row& row : rows) {
    LoopbackServer server(row.response);
    EXPECT_EQ(update::DownloadFile(server.url("/setup.bin"), dest, nullptr, {}, 10), row.result) << row.name;
    EXPECT_FALSE(std::filesystem::exists(dest)) << row.name;
  }
  LoopbackServer server(ok(payload));
  std::atomic<bool> cancel{true};
  EXPECT_EQ(update::DownloadFile(server.url("/setup.bin"), dest, &cancel, {}, 10), update::Result::Cancelled);
  EXPECT_FALSE(std::filesystem::exists(dest));
}

// A server that takes the connection and never answers: the request waits
// in its backlog.
class SilentServer {
 public:
  SilentServer() {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    ::listen(fd_, 4);
  }
  ~SilentServer() { ::close(fd_); }
  std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

TEST(UpdateCheck, WhatTheServerSendsIsCapped) {
  std::string body;
  {
    LoopbackServer server(ok(std::string(update::kMaxInfoBytes + 1, 'v')));
    EXPECT_EQ(update::FetchText(server.url("/info"), body, 10), update::Result::TooLarge);
    EXPECT_TRUE(body.empty());
  }
  {
    // Without a length the cap still holds.
    LoopbackServer server(ok(std::string(update::kMaxInfoBytes + 1, 'v'), false));
    EXPECT_EQ(update::FetchText(server.url("/info"), body, 10), update::Result::TooLarge);
  }
  {
    LoopbackServer server(ok("R3\nx\nhttp://127.0.0.1/u.bin\n"));
    EXPECT_EQ(update::FetchText(server.url("/info"), body, 10), update::Result::Ok);
  }
  testsupport::TempDir dir;
  const std::string dest = dir.file("setup.bin");
  {
    // Announced beyond the cap: nothing is fetched into a file.
    LoopbackServer server(ok(std::string(5000, 'z')));
    EXPECT_EQ(update::DownloadFile(server.url("/setup.bin"), dest, nullptr, {}, 10, 4999), update::Result::TooLarge);
    EXPECT_FALSE(std::filesystem::exists(dest));
  }
}

// A cancel given while the server keeps silent ends the request: the
// transfer looks at it while it waits, not only when bytes arrive.
TEST(UpdateCheck, ACancelEndsAWaitOnASilentServer) {
  SilentServer server;
  std::atomic<bool> cancel{false};
  std::string body;
  update::Result fetched = update::Result::Ok;
  std::thread request([&] { fetched = update::FetchText(server.url("/info"), body, 600, &cancel); });
  cancel = true;
  request.join();
  EXPECT_EQ(fetched, update::Result::Cancelled);
  testsupport::TempDir dir;
  EXPECT_EQ(update::DownloadFile(server.url("/setup.bin"), dir.file("s.bin"), &cancel, {}, 600),
            update::Result::Cancelled);
  EXPECT_FALSE(std::filesystem::exists(dir.file("s.bin")));
}

}  // namespace
