#include "browser/fd3_view.h"
#include "shell/fd3_app.h"
#include "shell/main_frame.h"
#include "shell/qt_user_interaction.h"
#include "viewer/viewer_frame.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char* argv[]) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("ブリンデル 3.0\n");
      return 0;
    }
  }
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("ブリンデル"));
  QApplication::setOrganizationName(QStringLiteral("Velnor"));
  // Every question of the program and of the libraries it loads is a
  // QMessageBox over the active window.
  QtUserInteraction boxes;
  platform::ScopedUserInteraction boxesInstalled(&boxes);
  CFD3App app;
  const QStringList arguments = QApplication::arguments().mid(1);
  if (!app.InitInstance(arguments)) return app.ExitInstance(app.ExitCode());
  // The view joins the frame before the frame's posted restore builds the
  // folder tree; the frame owns it from here on.
  auto* view = new CFD3View(app.Frame());
  view->AttachDocument(app.Document());
  view->AttachToFrame(app.Frame());
  view->OnInitialUpdate();
  view->FollowApplicationState();
  // The viewer face lives in the view's viewer slot; the frame reaches it
  // through its viewer interface, the board through the view's opener.
  auto* viewer = new ViewerFrame(app.Frame(), view->GetViewerContainer());
  app.Frame()->SetViewerFace(viewer);
  viewer->SetRefreshThumbnail([view](int kind, int number) { view->RefreshThumbnail(kind, number); });
  view->AttachViewerToFrame();
  view->SetViewerOpener([view](int entryIndex, int page) {
    view->SwitchToViewerMode(entryIndex, page);
    return view->viewerShown();
  });
  return app.ExitInstance(QApplication::exec());
}
