#include "shell/update_check_controller.h"

#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "shell/app_profile.h"
#include "shell/busy_flag.h"
#include "shell/progress_dialogs.h"
#include "shell/update_check.h"

#include <QCoreApplication>
#include <QDir>
#include <QString>

#include <atomic>
#include <optional>
#include <thread>

namespace {

using platform::Buttons;
using platform::Icon;

constexpr const char* kManualUpdate =
    "お急ぎの場合はお手数ですがヴェルノアホームページより手動でアップデータをダウンロードして適用してください。";

// Runs work on a thread of its own while the window stays live: the dialog
// repaints and moves, and its Cancel sets cancel, which the transfer looks
// at while it connects. work may post to relay to reach the window; what is
// still posted when work ends is dropped with relay.
void runBesideDialog(ProgressDialog& dialog, std::atomic<bool>& cancel, const std::function<void(QObject&)>& work) {
  QObject relay;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    work(relay);
    done = true;
    QMetaObject::invokeMethod(&relay, [] {}, Qt::QueuedConnection);  // wakes the loop below
  });
  while (!done) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (dialog.PumpAndCheckCancel()) cancel = true;
  }
  worker.join();
}

}  // namespace

UpdateCheckController::UpdateCheckController(UrlOpener opener) : opener_(std::move(opener)) {}

bool UpdateCheckController::Run() {
  if (platform::messageBox("インターネットに接続し、アップデート情報を取得します。\n接続には現在のインターネット設定が使用されます。\n\n"
                           "自動アップデートを開始するには[OK]ボタンをクリックしてください。",
                           Buttons::OkCancel, Icon::Information) != platform::Answer::Ok)
    return false;
  const std::string server =
      OpenAppProfile()->value(BrowserKey(QStringLiteral("UpdateServer"))).toString().trimmed().toStdString();
  if (server.empty()) {
    platform::messageBox("アップデートサーバが設定されていません。", Buttons::Ok, Icon::Information);
    return false;
  }
  SetBusy(true);
  std::string body;
  update::Result fetched = update::Result::Unreachable;
  {
    // The information file is small: a wait dialog while the server
    // answers, live the whole time, whose Cancel ends the wait.
    WaitDialog wait(QStringLiteral("サーバに接続中です。"), {}, true);
    wait.Create();
    std::atomic<bool> cancel{false};
    runBesideDialog(wait, cancel, [&](QObject&) {
      fetched = update::FetchText(server + "/download/archive/online/vu3rorizi.ziz", body, 30, &cancel);
    });
    wait.Close();
  }
  if (fetched == update::Result::Cancelled) return true;
  const auto info = fetched == update::Result::Ok ? update::ParseUpdateInfo(body) : std::nullopt;
  if (!info) {
    const std::string first =
        fetched == update::Result::Unreachable || fetched == update::Result::NotAllowed
            ? "ヴェルノアサーバーに接続できませんでした。しばらく経った後に再度自動アップデートを行ってください。\n\n"
            : "アップデート情報が取得できませんでした。\n\n";
    platform::messageBox(first + kManualUpdate, Buttons::Ok, Icon::Warning);
    return true;
  }
  if (!update::IsNewer(kSpecialBuild, info->publishedVersion)) {
    platform::messageBox(QStringLiteral("現在のバージョン(%1)は最新です。アップデータはありません。")
                             .arg(QString::fromUtf8(kSpecialBuild)).toStdString(),
                         Buttons::Ok, Icon::Information);
    return true;
  }
  if (platform::messageBox(QStringLiteral("最新アップデータ(%1)が公開されています。アップデートを行いますか？")
                               .arg(QString::fromStdString(info->publishedVersion)).toStdString(),
                           Buttons::OkCancel, Icon::Question) != platform::Answer::Ok)
    return true;
  DownloadUpdater(info->publishedVersion, info->updaterUrl);
  return true;
}

void UpdateCheckController::DownloadUpdater(const std::string& publishedVersion, const std::string& url) {
  const QString folder = QString::fromStdString(platform::programFolder()) + QStringLiteral("/Updater");
  const std::string name = update::FileNameOfUrl(url);
  if (!QDir().mkpath(folder) || name.empty()) return;
  const std::string destination = (folder + QLatin1Char('/')).toStdString() + name;
  update::Result got = update::Result::Unreachable;
  {
    DownloadProgressDlg progress;
    progress.setWindowTitle(QStringLiteral("自動アップデート"));
    progress.Create();
    progress.SetText(QStringLiteral("サーバ接続中..."));
    progress.PumpAndCheckCancel();
    const QString downloading =
        QStringLiteral("アップデータ(%1)のダウンロード中...").arg(QString::fromStdString(publishedVersion));
    std::atomic<bool> cancel{false};
    runBesideDialog(progress, cancel, [&](QObject& relay) {
      got = update::DownloadFile(url, destination, &cancel, [&](int percent) {
        QMetaObject::invokeMethod(
            &relay,
            [&progress, &downloading, percent] {
              progress.SetText(downloading);
              progress.SetPosition(percent);
            },
            Qt::QueuedConnection);
      });
    });
    progress.Close();
  }
  if (got == update::Result::ServerError)
    platform::messageBox(std::string("サーバ側でエラーが発生しました。しばらく経った後に再度自動アップデートを行ってください。\n\n") +
                             kManualUpdate,
                         Buttons::Ok, Icon::Error);
  else if (got == update::Result::ShortBody || got == update::Result::WriteFailed || got == update::Result::Unreachable ||
           got == update::Result::TooLarge)
    platform::messageBox(std::string("アップデータのダウンロードに失敗しました。\n\n") + kManualUpdate, Buttons::Ok,
                         Icon::Error);
  if (got == update::Result::Ok) {
    // The user starts the updater from its folder after closing the program.
    opener_(QUrl::fromLocalFile(folder));
    platform::messageBox(QStringLiteral("アップデータ(%1)をダウンロードしました。\nブリンデルを終了して、%2 を実行してください。")
                             .arg(QString::fromStdString(publishedVersion), QString::fromStdString(destination))
                             .toStdString(),
                         Buttons::Ok, Icon::Information);
  }
}
