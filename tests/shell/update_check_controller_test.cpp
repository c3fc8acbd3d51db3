// The update command's whole exchange against a small HTTP server on the
// loopback address: what the user is told, where the updater lands, and
// that it is only shown in its folder, never started.

#include "shell/update_check_controller.h"

#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "shell/app_profile.h"
#include "shell/busy_flag.h"
#include "tests/shell/fresh_environment.h"
#include "tests/support/loopback_server.h"

#include <QFile>

#include <map>
#include <string>

#include <gtest/gtest.h>

namespace {

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
    LoopbackServer server(LoopbackServer::Routes{{"/files/setup.bin", c.updater}});
    // The information file's third line names the updater.
    LoopbackServer info(LoopbackServer::Routes{{kInfoPath, ok(std::string(c.published) + "\r\n-\r\n" + server.root() + "/files/setup.bin\r\n")}});
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
