// The update command's whole exchange against a small HTTP server on the
// loopback address: what the user is told, where the updater lands, and
// that it is only shown in its folder, never started.

#include "shell/update_check_controller.h"

#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "shell/app_profile.h"
#include "shell/busy_flag.h"
#include "tests/shell/fresh_environment.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QFile>

#include <map>
#include <string>
#include <thread>

#include <gtest/gtest.h>

namespace {

// Answers each GET with the response stored for its path (404 for others).
class PathServer {
 public:
  explicit PathServer(std::map<std::string, std::string> responses) : responses_(std::move(responses)) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    ::listen(fd_, 4);
    thread_ = std::thread([this] {
      for (;;) {
        const int client = ::accept(fd_, nullptr, nullptr);
        if (client < 0) return;
        char buffer[4096];
        const auto got = ::recv(client, buffer, sizeof buffer, 0);
        const std::string request(buffer, got > 0 ? static_cast<std::size_t>(got) : 0);
        const auto from = request.find(' ') + 1;
        const auto it = responses_.find(request.substr(from, request.find(' ', from) - from));
        const std::string response =
            it != responses_.end() ? it->second : "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
        (void)::send(client, response.data(), response.size(), MSG_NOSIGNAL);
        ::close(client);
      }
    });
  }
  ~PathServer() {
    ::shutdown(fd_, SHUT_RDWR);
    ::close(fd_);
    thread_.join();
  }
  std::string root() const { return "http://127.0.0.1:" + std::to_string(port_); }

 private:
  std::map<std::string, std::string> responses_;
  int fd_ = -1;
  int port_ = 0;
  std::thread thread_;
};

std::string ok(const std::string& body) {
  return "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

constexpr const char* kInfoPath = "/download/archive/online/vu3rorizi.ziz";

TEST(UpdateCheckController, ANewerBuildIsDownloadedAndOnlyShownInItsFolder) {
  struct Case {
    const char* name;
    const char* published;
    std::string updater;                       // the updater's response
    std::vector<platform::Answer> answers;     // start, then "update?"
    const char* lastMessageStart;
    bool downloaded;
  } cases[] = {
      {"same build", "R1", ok("x"), {platform::Answer::Ok}, "現在のバージョン(R1)は最新です。", false},
      {"newer build, accepted", "R10", ok(std::string(3000, 'u')), {platform::Answer::Ok, platform::Answer::Ok},
       "アップデータ(R10)をダウンロードしました。", true},
      {"newer build, declined", "R10", ok("x"), {platform::Answer::Ok, platform::Answer::Cancel},
       "最新アップデータ(R10)が公開されています。", false},
      {"updater fails on the server", "R2",
       "HTTP/1.1 500 Oops\r\nContent-Length: 4\r\nConnection: close\r\n\r\nfail", {}, "サーバ側でエラーが発生しました。",
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FreshEnvironment env;
    platform::ensureProgramFolder();
    platform::RecordingUserInteraction recorder;
    for (platform::Answer answer : c.answers) recorder.script({answer});
    PathServer server({{"/files/setup.bin", c.updater}});
    // The information file's third line names the updater.
    PathServer info({{kInfoPath, ok(std::string(c.published) + "\r\n-\r\n" + server.root() + "/files/setup.bin\r\n")}});
    OpenAppProfile()->setValue(BrowserKey(QStringLiteral("UpdateServer")), QString::fromStdString(info.root()));
    std::vector<QUrl> opened;
    UpdateCheckController check([&opened](const QUrl& url) {
      opened.push_back(url);
      return true;
    });

    EXPECT_TRUE(check.Run());
    SetBusy(false);

    ASSERT_FALSE(recorder.shown().empty());
    EXPECT_EQ(recorder.shown().back().text.rfind(c.lastMessageStart, 0), 0u) << recorder.shown().back().text;
    const QString folder = QString::fromStdString(platform::programFolder()) + QStringLiteral("/Updater");
    const QString updater = folder + QStringLiteral("/setup.bin");
    EXPECT_EQ(QFile::exists(updater), c.downloaded);
    if (c.downloaded) {
      EXPECT_EQ(QFile(updater).size(), 3000);
      ASSERT_EQ(opened.size(), 1u);
      EXPECT_EQ(opened[0], QUrl::fromLocalFile(folder));  // the folder, never the program
    } else {
      EXPECT_TRUE(opened.empty());
    }
  }
}

}  // namespace
