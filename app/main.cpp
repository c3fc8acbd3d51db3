#include "platform/program_folder.h"
#include "platform/user_interaction.h"

#include <QApplication>
#include <QMainWindow>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char* argv[]) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("ブリンデル 3.0\n");
      return 0;
    }
  }
  setenv("TZ", "JST-9", 1);
  tzset();
  QApplication app(argc, argv);
  std::string error;
  if (!platform::ensureProgramFolder(&error)) {
    platform::messageBox("初期化に失敗しました。\nプログラムを終了します。\n" + error,
                         platform::Buttons::Ok, platform::Icon::Error);
    return 1;
  }
  QMainWindow window;
  window.setWindowTitle(QStringLiteral("ブリンデル3"));
  window.resize(1024, 720);
  window.show();
  return app.exec();
}
