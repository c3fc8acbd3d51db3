#pragma once
// UpdateCheckController: the "automatic update" command of the main window.
// It asks the user, fetches the information file from the update server
// (the setting "UpdateServer") under a live wait dialog, compares the
// published build with ours, and downloads a newer updater under a
// progress dialog. The updater is shown in its folder, never started:
// code fetched over the network is not run by the program.
//
//   Run   the whole check; true when it got past the first questions (the
//         busy flag is then set and the window's pump serves what waited)

#include <QObject>
#include <QUrl>

#include <functional>

// The build name that the update check compares with the published one.
inline constexpr const char* kSpecialBuild = "R1";

class UpdateCheckController : public QObject {
  Q_OBJECT

 public:
  // Opens a URL (here: the updater's folder) in the desktop; false when that fails.
  using UrlOpener = std::function<bool(const QUrl& url)>;
  explicit UpdateCheckController(UrlOpener opener);

  bool Run();

 private:
  // The updater of the published version into the program's "Updater"
  // folder, with the user told how it went.
  void DownloadUpdater(const std::string& publishedVersion, const std::string& url);

  UrlOpener opener_;
};
