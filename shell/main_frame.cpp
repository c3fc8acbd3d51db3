#include "shell/main_frame.h"

#include "shell/accelerator_tables.h"

#include "catalogue/file_utilities.h"
#include "catalogue/folder_settings.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "shell/accelerator_tables.h"
#include "shell/app_profile.h"
#include "shell/busy_flag.h"
#include "shell/command_ids.h"
#include "shell/desktop_register_dlg.h"
#include "shell/frame_icons.h"
#include "shell/fd3_doc.h"
#include "shell/frame_view.h"
#include "shell/imaging_control_startup.h"
#include "shell/lead.h"
#include "shell/intake_controller.h"
#include "shell/progress_dialogs.h"
#include "shell/posted_message.h"
#include "shell/progress_dialogs.h"
#include "shell/settings_sheet.h"
#include "shell/app_bar_dlg.h"
#include "shell/update_check_controller.h"
#include "shell/fd3_app.h"
#include "shell/shell_log.h"
#include "shell/splash_window.h"
#include "shell/tidy_up_schedule.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>
#include <optional>

namespace {

constexpr int kDesktopHistorySize = 10;
constexpr int kMainToolBarHeight = 47;
constexpr QSize kMinimumTrackSize(480, 380);
constexpr QSize kSystemPlacedSize(1024, 720);
constexpr int kProbeControlId = 1;

QString hexName(const char* prefix, int id) { return QLatin1String(prefix) + QString::number(id, 16); }


// What SaveState stores for one desktop entry: the path with one trailing
// separator. Nothing is created on disk.
QString desktopHistoryValue(const QString& entry) {
  if (entry.isEmpty()) return {};
  return QString::fromStdString(platform::withTrailingSlash(platform::withoutTrailingSlash(entry.toStdString())));
}

// Desktop paths compare with one trailing separator.
QString asDesktopFolder(const QString& path) {
  return QString::fromStdString(platform::withTrailingSlash(path.toStdString()));
}

bool isFolder(const QString& path) {
  return !path.isEmpty() && QFileInfo(QString::fromStdString(platform::withoutTrailingSlash(path.toStdString()))).isDir();
}

}  // namespace

CMainFrame::CMainFrame(QWidget* parent)
    : QMainWindow(parent),
      driveProbe_(ProbeDesktopDrive),
      desktopDialogRunner_([](DesktopRegisterDlg& dialog) { return dialog.exec(); }),
      settingsSheetRunner_([](SettingsSheet& sheet) { return sheet.exec(); }),
      urlOpener_([](const QUrl& url) { return QDesktopServices::openUrl(url); }),
      appRegistrationRunner_([](AppRegistrationDlg& dialog) { return dialog.exec(); }) {
  setObjectName(QStringLiteral("CMainFrame"));
  setWindowTitle(QStringLiteral("ブリンデル3"));
  setMinimumSize(kMinimumTrackSize);
  setCentralWidget(new QWidget(this));
  centralWidget()->setObjectName(QStringLiteral("viewSlot"));
  scanning_ = std::make_unique<ScanController>(*this, settings_);
  updateCheck_ = std::make_unique<UpdateCheckController>([this](const QUrl& url) { return urlOpener_(url); });
  intake_ = std::make_unique<IntakeController>(
      *this, settings_, [this] { return desktopCombo_->currentText(); }, [this] { ActivateFromOtherInstance(); });
}

CMainFrame::~CMainFrame() {
  if (document_) document_->RemoveObserver(this);
}

void CMainFrame::SetDocument(CFD3Doc* document) {
  if (document_) document_->RemoveObserver(this);
  document_ = document;
  scanning_->SetDocument(document);
  intake_->SetDocument(document);
  if (document_) {
    document_->AddObserver(this);
    ApplyAccelerators(document_->GetDefaultAccelerator());
  }
}

void CMainFrame::DocumentChanged(DocumentChanges changes) {
  if (changes.testFlag(DocumentChange::Editing) && document_) ApplyAccelerators(document_->GetDefaultAccelerator());
}

void CMainFrame::PreCreateWindow() {
  auto profile = OpenAppProfile();
  const int width = profile->value(BrowserKey(QStringLiteral("MainFrameWidth")), 0).toInt();
  const int height = profile->value(BrowserKey(QStringLiteral("MainFrameHeight")), 0).toInt();
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (width > 0 && height > 0 && screen) {
    const QSize area = screen->geometry().size();
    const int w = std::min(width, area.width());
    const int h = std::min(height, area.height());
    const int left = profile->value(BrowserKey(QStringLiteral("MainFrameLeft")), (area.width() - w) / 2).toInt();
    const int top = profile->value(BrowserKey(QStringLiteral("MainFrameTop")), (area.height() - h) / 2).toInt();
    setGeometry(left, top, w, h);
  } else {
    resize(kSystemPlacedSize);
  }
}

bool CMainFrame::OnCreate() {
  if (!ProbeImagingControl()) return false;
  if (!CreateMainToolBar() || !CreateApplicationBar() || !CreateDesktopBar() || !CreateStatusBar() ||
      !CreateViewerToolBar() || !CreateImageToolBar())
    return false;
  CreateMenus();

  // Docking: the desktop bar and the viewer tool bar top or bottom only.
  addToolBar(Qt::TopToolBarArea, mainToolBar_);
  addToolBar(Qt::TopToolBarArea, viewerToolBar_);
  addToolBarBreak(Qt::TopToolBarArea);
  addToolBar(Qt::TopToolBarArea, desktopBar_);
  addToolBar(Qt::RightToolBarArea, applicationBar_);
  addToolBar(Qt::LeftToolBarArea, imageToolBar_);
  desktopBar_->setAllowedAreas(Qt::TopToolBarArea | Qt::BottomToolBarArea);
  viewerToolBar_->setAllowedAreas(Qt::TopToolBarArea | Qt::BottomToolBarArea);
  viewerToolBar_->hide();
  imageToolBar_->hide();

  auto profile = OpenAppProfile();
  restoreState(profile->value(BrowserKey(QStringLiteral("ToolBarState/State"))).toByteArray());
  // The viewer's bars belong to the viewer, whatever the stored state says.
  viewerToolBar_->hide();
  imageToolBar_->hide();

  CSplashWnd::ShowSplashScreen(this);
  BuildApplicationBar();

  settings_.LoadSettings(*profile, SystemFaceColor());
  searchHitMax_ = profile->value(BrowserKey(QStringLiteral("SearchHitMax")), 100).toInt();
  firstRun_ = profile->value(BrowserKey(QStringLiteral("FirstRun")), 1).toInt();
  profile.reset();

  scanning_->Startup(platform::workFolder(platform::workfolder::kScanTmp));

  CreateConfirmLaunchDialog();
  PostMessage(this, kRestoreAfterStartMessage);
  return true;
}

// ---- bars --------------------------------------------------------------

bool CMainFrame::CreateMainToolBar() {
  mainToolBar_ = new QToolBar(QStringLiteral("メインツールバー"), this);
  mainToolBar_->setObjectName(hexName("bar", bar::kMainToolBar));
  mainToolBar_->setIconSize(QSize(32, 32));
  mainToolBar_->setMinimumHeight(kMainToolBarHeight);
  mainToolBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
  const int layout[] = {cmd::kScan, 0, cmd::kSearch, 0, cmd::kRotateRight, 0,
                        cmd::kStack, cmd::kUnstackAll, cmd::kUnstackOne, 0, cmd::kArrange};
  for (int id : layout) {
    if (id == 0) {
      mainToolBar_->addSeparator();
      continue;
    }
    QAction* action = id == cmd::kArrange
                          ? MakeAction(id, QStringLiteral("等間隔に整列"),
                                       QStringLiteral("サムネイルを等間隔に整列表示します。"))
                          : MakeAction(id, QString());
    action->setIcon(FrameIcon(id));
    mainToolBar_->addAction(action);
  }
  return true;
}

bool CMainFrame::CreateApplicationBar() {
  applicationBar_ = new QToolBar(QStringLiteral("アプリケーションバー"), this);
  applicationBar_->setObjectName(hexName("bar", bar::kApplicationBar));
  applicationBar_->setIconSize(QSize(32, 32));
  // A button's hint goes when the pointer leaves the bar.
  applicationBar_->installEventFilter(this);
  return true;
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
  if (watched == applicationBar_ && event->type() == QEvent::Leave) ShowApplicationHint(-1);
  return QMainWindow::eventFilter(watched, event);
}

bool CMainFrame::CreateDesktopBar() {
  desktopBar_ = new QToolBar(QStringLiteral("デスクトップ"), this);
  desktopBar_->setObjectName(hexName("bar", bar::kDesktopBar));
  auto* panel = new QWidget(desktopBar_);
  panel->setObjectName(QStringLiteral("dlg10010"));
  auto* row = new QHBoxLayout(panel);
  row->setContentsMargins(4, 2, 4, 2);
  row->addWidget(new QLabel(QStringLiteral("デスクトップ"), panel));
  desktopCombo_ = new QComboBox(panel);
  desktopCombo_->setObjectName(QStringLiteral("ctl10011"));
  desktopCombo_->setMinimumWidth(320);
  desktopCombo_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  row->addWidget(desktopCombo_, 1);
  auto* addRemove = new QPushButton(QStringLiteral("追加／削除 ..."), panel);
  addRemove->setObjectName(QStringLiteral("ctl10012"));
  mediaButton_ = new QPushButton(QStringLiteral("メディア入替"), panel);
  mediaButton_->setObjectName(QStringLiteral("ctl10013"));
  mediaButton_->setEnabled(false);  // until the desktop is known to be on a removable medium
  row->addWidget(addRemove);
  row->addWidget(mediaButton_);
  connect(addRemove, &QPushButton::clicked, this, [this] { RunCommand(cmd::kDesktopButton); });
  connect(mediaButton_, &QPushButton::clicked, this, [this] { RunCommand(cmd::kMediaButton); });
  // A choice of the user's, not a change made by the program.
  connect(desktopCombo_, &QComboBox::activated, this, [this] { OnDesktopSelChange(); });
  desktopBar_->addWidget(panel);
  return true;
}

bool CMainFrame::CreateStatusBar() {
  QStatusBar* status = statusBar();
  status->setObjectName(hexName("bar", bar::kStatusBar));
  promptPane_ = new QLabel(QString::fromUtf8(kDefaultPrompt), status);
  status->addWidget(promptPane_, 1);
  const std::pair<int, int> panes[] = {{pane::kPane2400, 85}, {pane::kPane2401, 115},
                                       {pane::kPane2402, 65}, {pane::kDocumentCount, 95}};
  for (const auto& [id, width] : panes) {
    auto* label = new QLabel(status);
    label->setObjectName(QStringLiteral("pane%1").arg(id));
    label->setMinimumWidth(width);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    status->addPermanentWidget(label);
    panes_[id] = label;
  }
  return true;
}

bool CMainFrame::CreateViewerToolBar() {
  viewerToolBar_ = new QToolBar(QStringLiteral("メインツールバー"), this);
  viewerToolBar_->setObjectName(hexName("bar", bar::kViewerToolBar));
  viewerToolBar_->setIconSize(QSize(34, 34));
  const std::pair<int, const char*> buttons[] = {{cmd::kViewerBack, "ブラウザに戻る"},
                                                 {0, nullptr},
                                                 {cmd::kViewerImage, "イメージ"},
                                                 {cmd::kViewerText, "テキスト"},
                                                 {cmd::kViewerInfo, "登録情報"},
                                                 {cmd::kViewerTile, "並べて表示"}};
  for (const auto& [id, text] : buttons) {
    if (id == 0) {
      viewerToolBar_->addSeparator();
      continue;
    }
    QAction* action = MakeAction(id, QString::fromUtf8(text));
    action->setIcon(FrameIcon(id, 34));
    viewerToolBar_->addAction(action);
  }
  return true;
}

bool CMainFrame::CreateImageToolBar() {
  imageToolBar_ = new QToolBar(QStringLiteral("画像ツールバー"), this);
  imageToolBar_->setObjectName(hexName("bar", bar::kImageToolBar));
  return true;
}

void CMainFrame::CreateConfirmLaunchDialog() {
  confirmLaunchDialog_ = new QDialog(this);
  confirmLaunchDialog_->setObjectName(QStringLiteral("dlg10480"));
  confirmLaunchDialog_->setWindowTitle(QStringLiteral("外部プログラム起動確認ダイアログ"));
  confirmLaunchDialog_->setModal(false);
  auto* layout = new QVBoxLayout(confirmLaunchDialog_);
  auto* text = new QLabel(QStringLiteral("は、Viewerでは表示できないファイル形式です。"), confirmLaunchDialog_);
  text->setObjectName(QStringLiteral("fileKindText"));
  layout->addWidget(text);
  auto* launch = new QPushButton(QStringLiteral("外部プログラムを起動"), confirmLaunchDialog_);
  launch->setObjectName(QStringLiteral("launchButton"));
  connect(launch, &QPushButton::clicked, confirmLaunchDialog_, &QDialog::accept);
  layout->addWidget(launch);
  confirmLaunchDialog_->hide();
}

// ---- menus and commands ------------------------------------------------

QAction* CMainFrame::MakeAction(int commandId, const QString& text, const QString& prompt) {
  // A command on both a bar and a menu is one action.
  if (QAction* existing = Action(commandId)) {
    if (!text.isEmpty()) existing->setText(text);
    if (!prompt.isEmpty()) existing->setStatusTip(prompt);
    return existing;
  }
  auto* action = new QAction(text, this);
  action->setObjectName(hexName("cmd", commandId));
  action->setData(commandId);
  action->setStatusTip(prompt);
  action->setEnabled(false);
  connect(action, &QAction::triggered, this, [this, commandId] { RunCommand(commandId); });
  actions_[commandId] = action;
  return action;
}

QAction* CMainFrame::Action(int commandId) const {
  auto it = actions_.find(commandId);
  return it == actions_.end() ? nullptr : it->second;
}

void CMainFrame::SetCommandHandler(int commandId, std::function<void()> handler) {
  handlers_[commandId] = std::move(handler);
  if (QAction* action = Action(commandId)) action->setEnabled(true);
}

void CMainFrame::RunCommand(int commandId) {
  auto it = handlers_.find(commandId);
  if (it != handlers_.end()) it->second();
}

void CMainFrame::CreateMenus() {
  struct Entry {
    int id;  // 0: separator
    const char* text;
  };
  // Keys come from the accelerator tables, bound by ApplyAccelerators.
  auto fill = [this](QMenu* menu, std::initializer_list<Entry> entries) {
    for (const Entry& e : entries) {
      if (e.id == 0) {
        menu->addSeparator();
        continue;
      }
      menu->addAction(MakeAction(e.id, QString::fromUtf8(e.text)));
    }
  };
  QMenuBar* bar = menuBar();
  QMenu* file = bar->addMenu(QStringLiteral("ファイル(&F)"));
  fill(file, {{cmd::kFileOpen, "開く(&O)"},
              {cmd::kFileNewFolder, "フォルダの新規作成(&N)"},
              {0, nullptr},
              {cmd::kImport, "インポート(&I)..."},
              {cmd::kExport, "エクスポート(&E)..."},
              {0, nullptr},
              {cmd::kScan, "スキャン(&S)..."},
              {cmd::kSelectScanner, "スキャナの選択(&T)..."},
              {0, nullptr},
              {cmd::kPrint, "印刷(&P)..."},
              {cmd::kSendMail, "メール送信(&M)..."},
              {0, nullptr},
              {cmd::kRename, "タイトルの変更(&R)..."},
              {cmd::kProperties, "プロパティ(&K)..."},
              {0, nullptr},
              {cmd::kAppExit, "アプリケーションの終了(&X)"}});
  QMenu* edit = bar->addMenu(QStringLiteral("編集(&E)"));
  fill(edit, {{cmd::kCopy, "コピー(&C)"},
              {cmd::kPaste, "貼り付け(&P)"},
              {cmd::kDuplicate, "複製(&Y)"},
              {cmd::kDelete, "削除(&D)\tDel"},
              {0, nullptr},
              {cmd::kSelectAll, "全てを選択(&A)"},
              {0, nullptr},
              {cmd::kStack, "スタック(&S)"},
              {cmd::kUnstackOne, "１頁解除(&U)"},
              {cmd::kUnstackAll, "全頁解除(&V)"},
              {cmd::kReorderPages, "頁並べ替え(&O)..."},
              {0, nullptr},
              {cmd::kRotateRight, "右９０度(&R)"},
              {cmd::kRotate180, "１８０度(&H)"},
              {cmd::kRotateLeft, "左９０度(&L)"}});
  QMenu* view = bar->addMenu(QStringLiteral("表示(&V)"));
  fill(view, {{cmd::kViewToolBar, "ツールバー(&T)"},
              {cmd::kViewStatusBar, "ステータスバー(&S)"},
              {cmd::kViewApplicationBar, "アプリケーションバー(&A)"},
              {cmd::kViewDesktopBar, "デスクトップバー(&D)"},
              {0, nullptr},
              {cmd::kViewThumbnail, "サムネイル表示(&G)"},
              {cmd::kViewList, "リスト表示(&L)"},
              {0, nullptr}});
  // Position 8 of this menu: the arrangement submenu that the view greys in list mode.
  QMenu* arrange = view->addMenu(QStringLiteral("サムネイルの整列(&I)"));
  arrange->setObjectName(QStringLiteral("arrangeMenu"));
  fill(arrange, {{cmd::kSortTitle, "タイトル順(&N)"},
                 {cmd::kSortIssueDate, "正式発行日順(&P)"},
                 {cmd::kSortModified, "最終更新日順(&U)"},
                 {cmd::kSortAccessed, "最終参照日順(&R)"},
                 {0, nullptr},
                 {cmd::kAutoArrange, "サムネイルの自動整列(&A)"},
                 {cmd::kArrangeEvenly, "等間隔に整列(&U)"}});
  fill(view, {{0, nullptr}, {cmd::kViewRefresh, "最新の情報に更新(&R)"}});
  QMenu* tools = bar->addMenu(QStringLiteral("ツール(&T)"));
  tools->setObjectName(QStringLiteral("toolsMenu"));
  toolsMenu_ = tools;
  fill(tools, {{cmd::kSearch, "検索(&F)..."},
               {cmd::kTidyUp, "文書整理(&C)..."},
               {0, nullptr},
               {cmd::kOcr, "OCR(&O)..."},
               {0, nullptr},
               {cmd::kDictionaryMaintenance, "関連語辞書メンテナンス(&M)..."},
               {0, nullptr},
               {cmd::kDesktopAddRemove, "デスクトップの追加／削除(&E)..."},
               {cmd::kMediaExchange, "メディア入れ替え(&X)..."},
               {0, nullptr},
               {cmd::kApplicationSettings, "アプリケーションの設定(&A)..."},
               {0, nullptr},
               {cmd::kSettings, "環境設定(&S)..."}});
  QMenu* help = bar->addMenu(QStringLiteral("ヘルプ(&H)"));
  fill(help, {{cmd::kHelp, "ヘルプ(&H)"},
              {0, nullptr},
              {cmd::kHomePage, "Velnor ホームページの表示(&W)..."},
              {cmd::kUpdateCheck, "自動アップデート(&U)..."},
              {0, nullptr},
              {cmd::kAbout, "バージョン情報(&A)..."}});

  // Bars shown and hidden from the View menu, checked while visible.
  const std::pair<int, QWidget*> toggles[] = {{cmd::kViewToolBar, mainToolBar_},
                                              {cmd::kViewStatusBar, statusBar()},
                                              {cmd::kViewApplicationBar, applicationBar_},
                                              {cmd::kViewDesktopBar, desktopBar_}};
  for (const auto& [id, widget] : toggles) {
    QAction* action = Action(id);
    action->setCheckable(true);
    QWidget* target = widget;
    SetCommandHandler(id, [target] { target->setVisible(!target->isVisible()); });
    connect(view, &QMenu::aboutToShow, action, [action, target] { action->setChecked(target->isVisible()); });
  }
  CreateTitleEditingKeys();
  ApplyAccelerators(document_ ? document_->GetDefaultAccelerator() : CFD3Doc::AcceleratorTable::Browser);
  SetCommandHandler(cmd::kAppExit, [this] { close(); });
  SetCommandHandler(cmd::kScan, [this] { OnScan(); });
  SetCommandHandler(cmd::kSelectScanner, [this] { OnSelectScanner(); });
  SetCommandHandler(cmd::kAbout, [this] { OnAppAbout(); });
  SetCommandHandler(cmd::kSettings, [this] { OnSettings(); });
  SetCommandHandler(cmd::kHomePage, [this] { OnHomePage(); });
  SetCommandHandler(cmd::kHelp, [this] { OnHelp(); });
  SetCommandHandler(cmd::kApplicationSettings, [this] { OnApplicationSettings(); });
  SetCommandHandler(cmd::kUpdateCheck, [this] { OnUpdateCheck(); });
  SetCommandHandler(cmd::kScheduledTidyUp, [this] { OnScheduledTidyUp(); });
  SetCommandHandler(cmd::kTidyUp, [this] { RunTidyUp(); });
  SetCommandHandler(cmd::kDesktopAddRemove, [this] { PostCommand(this, cmd::kDesktopButton); });
  SetCommandHandler(cmd::kDesktopButton, [this] { OnDesktopAddRemove(); });
  SetCommandHandler(cmd::kMediaExchange, [this] { OnMediaExchange(); });
  SetCommandHandler(cmd::kMediaButton, [this] { OnMediaExchange(); });
  Action(cmd::kMediaExchange)->setEnabled(false);
  // The tidy-up runs from the schedule, but its dialog is not there yet.
  Action(cmd::kTidyUp)->setEnabled(false);
}

// While an in-place editor is open, plain Ctrl+C and Ctrl+V belong to it;
// the title-editing table's keys reach it through the frame's own copy and
// paste. The viewer's help key has no menu item of its own.
void CMainFrame::CreateTitleEditingKeys() {
  const auto focusedEdit = [] { return qobject_cast<QLineEdit*>(QApplication::focusWidget()); };
  addAction(MakeAction(cmd::kEditCopy, QString()));
  SetCommandHandler(cmd::kEditCopy, [focusedEdit] {
    if (QLineEdit* edit = focusedEdit()) edit->copy();
  });
  addAction(MakeAction(cmd::kEditPaste, QString()));
  SetCommandHandler(cmd::kEditPaste, [focusedEdit] {
    if (QLineEdit* edit = focusedEdit()) edit->paste();
  });
  addAction(MakeAction(cmd::kViewerHelp, QStringLiteral("ヘルプ(&H)")));
  SetCommandHandler(cmd::kViewerHelp, [this] { OnHelp(); });
}

void CMainFrame::ApplyAccelerators(CFD3Doc::AcceleratorTable table) {
  accelerators_ = table;
  for (const AcceleratorRow& row : AcceleratorRows())
    if (row.table != table)
      if (QAction* action = Action(row.command)) action->setShortcut(QKeySequence());
  for (const AcceleratorRow& row : AcceleratorRows())
    if (row.table == table)
      if (QAction* action = Action(row.command)) action->setShortcut(QKeySequence(row.key));
}

void CMainFrame::OnSettings() {
  SetBusy(true);
  const int backBefore = settings_.KankyoColorBackColor;
  const int itemBefore = settings_.KankyoColorItemColor;
  SettingsSheet sheet(settings_, CFD3App::FindOcrApplication(), this);
  sheet.SetColorPreview([this](int back, int item) {
    settings_.KankyoColorBackColor = back;
    settings_.KankyoColorItemColor = item;
    emit settingsApplied();
  });
  if (settingsSheetRunner_(sheet) == QDialog::Accepted) {
    KankyoSettings result = sheet.Values();
    result.KankyoScanNameBase = result.KankyoScanNameBase.trimmed();
    result.printPatterns = BuildPrintPatterns(result.KankyoPrintUserSelect, result.KankyoPrintFileExt);
    const bool extChanged = result.KankyoShowExtMode != settings_.KankyoShowExtMode;
    const bool thumbnails = document_ && document_->PaneMode() == CFD3Doc::kThumbnailMode;
    const bool fontChanged = result.KankyoShowFontSize != settings_.KankyoShowFontSize && thumbnails;
    settings_ = result;
    emit settingsApplied();
    if ((extChanged || fontChanged) && document_ && !document_->FolderPath().empty())
      document_->LoadFolder(platform::withTrailingSlash(document_->FolderPath()), 0);
    auto profile = OpenAppProfile();
    settings_.SaveSettings(*profile);
    profile->sync();
  } else {
    settings_.KankyoColorBackColor = backBefore;
    settings_.KankyoColorItemColor = itemBefore;
    emit settingsApplied();
  }
  update();
  RunPendingWork();
}

void CMainFrame::OnApplicationSettings() {
  AppRegistrationDlg dialog(platform::programIniPath(),
                            QString::fromStdString(platform::programFolder()) + QStringLiteral("/AppReg.dat"), this);
  appRegistrationRunner_(dialog);
  BuildApplicationBar();
}

void CMainFrame::OnUpdateCheck() {
  if (updateCheck_->Run()) RunPendingWork();
}

void CMainFrame::OnHomePage() {
  if (!urlOpener_(QUrl(QString::fromUtf8(kHomePageUrl))))
    platform::messageBox("Webページが開けませんでした。\nWebブラウザがインストールされているか確認してください。",
                         platform::Buttons::Ok, platform::Icon::Error);
}

void CMainFrame::OnHelp() {
  // The HTML help beside the program, when it was installed.
  const QString index = QString::fromStdString(platform::resourceFolder()) + QStringLiteral("/help/index.html");
  if (!QFile::exists(index) || !urlOpener_(QUrl::fromLocalFile(index)))
    platform::messageBox("ヘルプがインストールされていません。", platform::Buttons::Ok, platform::Icon::Warning);
}

void CMainFrame::OnAppAbout() {
  QDialog dialog(this);
  dialog.setObjectName(QStringLiteral("dlg10532"));
  dialog.setWindowTitle(QStringLiteral("ブリンデル3のバージョン情報"));
  auto* layout = new QVBoxLayout(&dialog);
  auto* picture = new QLabel(&dialog);
  picture->setPixmap(DrawSplashPicture().scaledToWidth(320, Qt::SmoothTransformation));
  layout->addWidget(picture);
  layout->addWidget(new QLabel(QStringLiteral("ブリンデル  バージョン 3.0"), &dialog));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
  connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  layout->addWidget(buttons);
  dialog.exec();
}

// ---- status bar --------------------------------------------------------

void CMainFrame::SetStatusPaneText(int paneId, const QString& text) {
  if (auto it = panes_.find(paneId); it != panes_.end()) it->second->setText(text);
  else if (paneId == 0 && promptPane_) promptPane_->setText(text);
}

QString CMainFrame::StatusPaneText(int paneId) const {
  if (auto it = panes_.find(paneId); it != panes_.end()) return it->second->text();
  return paneId == 0 && promptPane_ ? promptPane_->text() : QString();
}

void CMainFrame::ShowDocumentCount(int count) {
  SetStatusPaneText(pane::kDocumentCount, count == -1 ? QString() : QStringLiteral("%1 個の文書").arg(count));
}

void CMainFrame::SetRegisteredApplications(std::vector<RegisteredApplication> applications) {
  if (applications.size() > kMaxRegisteredApplications) applications.resize(kMaxRegisteredApplications);
  applications_ = std::move(applications);
  // One button per application, with the command of its index.
  applicationBar_->clear();
  for (QAction* entry : toolsApplicationEntries_) delete entry;
  toolsApplicationEntries_.clear();
  if (toolsMenu_ && !applications_.empty()) toolsApplicationEntries_.push_back(toolsMenu_->addSeparator());
  for (std::size_t i = 0; i < applications_.size(); ++i) {
    const int index = static_cast<int>(i);
    const RegisteredApplication& entry = applications_[i];
    QAction* button = applicationBar_->addAction(IconOfRegistration(entry), entry.menuText);
    button->setObjectName(hexName("cmd", cmd::kFirstApplicationButton + index));
    button->setData(cmd::kFirstApplicationButton + index);
    button->setToolTip(entry.menuText);
    connect(button, &QAction::triggered, this, [this, index] { emit applicationLaunchRequested(index); });
    connect(button, &QAction::hovered, this, [this, index] { ShowApplicationHint(index); });
    if (!toolsMenu_) continue;
    QAction* menuEntry = toolsMenu_->addAction(entry.menuText);
    menuEntry->setObjectName(hexName("cmd", cmd::kFirstApplicationMenuEntry + index));
    menuEntry->setData(cmd::kFirstApplicationMenuEntry + index);
    connect(menuEntry, &QAction::triggered, this, [this, index] { emit applicationLaunchRequested(index); });
    toolsApplicationEntries_.push_back(menuEntry);
  }
}

void CMainFrame::ShowApplicationHint(int index) {
  const bool known = index >= 0 && static_cast<std::size_t>(index) < applications_.size();
  SetStatusPaneText(0, known ? applications_[static_cast<std::size_t>(index)].menuText
                             : QString::fromUtf8(kDefaultPrompt));
}

void CMainFrame::SetView(QWidget* view) { setCentralWidget(view); }

// ---- messages ----------------------------------------------------------

bool CMainFrame::event(QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == kRestoreAfterStartMessage) {
    OnRestoreAfterStart();
    return true;
  }
  if (type == kScanRequestMessage || type == kEarlierImportMessage || type == kListImportMessage) {
    const auto wParam = static_cast<PostedMessage*>(event)->wParam();
    OnRequestMessage(type == kScanRequestMessage      ? Request::Scan
                     : type == kEarlierImportMessage ? Request::EarlierImport
                                                     : Request::ListImport,
                     wParam);
    return true;
  }
  if (type == kSwitchDesktopMessage) {
    OnDesktopSelChange();
    return true;
  }
  if (type == PostedCommand::kType) {
    RunCommand(static_cast<PostedCommand*>(event)->id());
    return true;
  }
  return QMainWindow::event(event);
}

namespace {
// The command line that a repeated start stored for us.
QString storedCommandLine() { return QString::fromStdString(GetCmdLineSetting()); }
const char* requestName(CMainFrame::Request r) {
  switch (r) {
    case CMainFrame::Request::Scan: return "BRDLPOSTCOMTWAINHOTSCANMESSAGE";
    case CMainFrame::Request::EarlierImport: return "BRDLFD2CONVERTMESSAGE";
    case CMainFrame::Request::ListImport: return "BRDLKPX70IMPORTMESSAGE";
  }
  return "";
}
}  // namespace

void CMainFrame::OnRequestMessage(Request request, std::intptr_t wParam) {
  qCInfo(lcRequests).nospace() << "received " << requestName(request) << " wParam=" << wParam;
  emit requestReceived(request, wParam);
  switch (request) {
    case Request::Scan:
      scanRequested_ = true;
      break;
    case Request::EarlierImport:
      if (wParam) commandLine_ = storedCommandLine();
      earlierImportRequested_ = true;
      break;
    case Request::ListImport:
      if (wParam) commandLine_ = storedCommandLine();
      listImportRequested_ = true;
      break;
  }
  if (!IsBusy()) RunPendingWork();
}

void CMainFrame::RunPendingWork() {
  SetBusy(true);
  for (;;) {
    if (scanRequested_) {
      scanRequested_ = false;
      RunHotScan();
    } else if (earlierImportRequested_) {
      earlierImportRequested_ = false;
      ImportFromEarlierProduct();
    } else if (listImportRequested_) {
      listImportRequested_ = false;
      ImportFromRecognitionApp();
    } else {
      break;
    }
  }
  SetBusy(false);
}

void CMainFrame::ActivateFromOtherInstance() {
  if (isMinimized()) showNormal();
  raise();
  activateWindow();
  if (QWidget* popup = QApplication::activeModalWidget()) {
    popup->raise();
    popup->activateWindow();
  }
}

void CMainFrame::OnRestoreAfterStart() {
  SetBusy(true);
  auto profile = OpenAppProfile();
  desktopCombo_->clear();
  for (int i = 0; i < kDesktopHistorySize; ++i) {
    const QString path = profile->value(BrowserKey(QStringLiteral("DesktopHistory%1").arg(i))).toString();
    if (path.isEmpty()) break;
    desktopCombo_->addItem(desktopHistoryValue(path));
  }
  const QString sample = QString::fromStdString(GetSamplesFolder());
  if (desktopCombo_->count() == 0) {
    profile->setValue(BrowserKey(QStringLiteral("DesktopHistory0")), desktopHistoryValue(sample));
    desktopCombo_->addItem(desktopHistoryValue(sample));
  }
  const int index = profile->value(BrowserKey(QStringLiteral("CurrentDesktopIndex")), 0).toInt();
  desktopCombo_->setCurrentIndex(index >= 0 && index < desktopCombo_->count() ? index : 0);
  const QString desktop = desktopCombo_->currentText();
  // The sample desktop is ours: a new user finds it ready to file into.
  if (asDesktopFolder(desktop) == sample && !QDir().mkpath(sample))
    qCWarning(lcStartup) << "cannot create the sample desktop" << sample;
  currentFolderPath_ = profile->value(BrowserKey(QStringLiteral("CurrentFolderPath"))).toString();
  NoteDesktopDrive(desktop);
  RestoreFolderTree(desktop, currentFolderPath_, settings_.KankyoShowExpand != 0);
  profile->sync();

  QCoreApplication::processEvents();

  const int today = platform::todayYmd();
  const int lastDate = profile->value(BrowserKey(QStringLiteral("LastDate")), 0).toInt();
  bool due = false;
  if (lastDate != today) {
    profile->setValue(BrowserKey(QStringLiteral("LastDate")), today);
    due = settings_.KankyoToriaezuScheduleFlg && IsTidyUpDue(settings_.KankyoToriaezuScheduleDate, lastDate, today);
  }
  profile.reset();
  emit restoredAfterStart();
  if (due) {
    // The busy flag stays set until the tidy-up ends.
    PostCommand(this, cmd::kScheduledTidyUp);
    return;
  }
  RunPendingWork();
}

// ---- desktops and media ---------------------------------------------------

void CMainFrame::OnDesktopAddRemove() {
  SetBusy(true);
  DesktopRegisterDlg dialog(this);
  dialog.SetDriveProbe(driveProbe_);
  for (int i = 0; i < desktopCombo_->count(); ++i) dialog.desktops.push_back(desktopCombo_->itemText(i));
  if (desktopDialogRunner_(dialog) == QDialog::Accepted) RefillDesktops(dialog.desktops);
  RunPendingWork();
}

void CMainFrame::RefillDesktops(const QStringList& desktops) {
  const QString current = desktopCombo_->currentText();
  desktopCombo_->clear();
  // One spelling of each desktop: with one trailing separator.
  for (const QString& desktop : desktops) desktopCombo_->addItem(desktopHistoryValue(desktop));
  const int kept = desktopCombo_->findText(desktopHistoryValue(current));
  desktopCombo_->setCurrentIndex(std::max(kept, 0));
  // The tree must not go on showing a desktop that is no longer registered.
  if (kept < 0 && desktopCombo_->count() > 0) OnDesktopSelChange();
}

void CMainFrame::OnDesktopSelChange() {
  QString desktop = desktopCombo_->currentText();
  ReleaseOpenFolder();
  if (!isFolder(desktop)) {
    platform::messageBox("パスを発見できませんでした。\nデスクトップをデフォルトに変更します。", platform::Buttons::Ok,
                         platform::Icon::Warning, "デスクトップの変更");
    desktop = SelectDefaultDesktop();
  }
  NoteDesktopDrive(desktop);
  RestoreFolderTree(desktop, {}, false);
}

QString CMainFrame::SelectDefaultDesktop() {
  const QString sample = QString::fromStdString(GetSamplesFolder());
  if (!QDir().mkpath(sample)) qCWarning(lcStartup) << "cannot create the sample desktop" << sample;
  int index = -1;
  for (int i = 0; i < desktopCombo_->count() && index < 0; ++i)
    if (asDesktopFolder(desktopCombo_->itemText(i)) == sample) index = i;
  if (index < 0 && desktopCombo_->count() < kDesktopHistorySize) {
    desktopCombo_->addItem(desktopHistoryValue(sample));
    index = desktopCombo_->count() - 1;
  } else if (index < 0) {
    // A full list: the default takes the place of the entry that was not found.
    index = std::max(desktopCombo_->currentIndex(), 0);
    desktopCombo_->setItemText(index, desktopHistoryValue(sample));
  }
  desktopCombo_->setCurrentIndex(index);
  return sample;
}

void CMainFrame::NoteDesktopDrive(const QString& desktop) {
  // Media that cannot be told (unknown, read-only) leave the flag as it was.
  switch (driveProbe_(platform::withoutTrailingSlash(desktop.toStdString())).kind) {
    case DriveKind::Removable:
      removableDesktop_ = true;
      break;
    case DriveKind::Fixed:
      removableDesktop_ = false;
      break;
    case DriveKind::ReadOnly:
    case DriveKind::Unknown:
      break;
  }
  Action(cmd::kMediaExchange)->setEnabled(removableDesktop_);
  mediaButton_->setEnabled(removableDesktop_);
}

void CMainFrame::OnMediaExchange() {
  if (!removableDesktop_) return;
  SetBusy(true);
  const QString reopen = DocumentFolderPath();
  ReleaseOpenFolder();
  platform::messageBox("メディアの交換ができます。\n交換後、「ＯＫ」をクリックして下さい。", platform::Buttons::Ok,
                       platform::Icon::Information, "メディアの交換");
  RestoreFolderTree(desktopCombo_->currentText(), reopen, true);
  RunPendingWork();
}

void CMainFrame::OnScheduledTidyUp() {
  const auto answer = platform::messageBox("文書整理の予定時間になりました。\n検索を開始しますか？",
                                           platform::Buttons::OkCancel, platform::Icon::Question, "文書整理");
  if (answer == platform::Answer::Ok)
    PostCommand(this, cmd::kTidyUp);
  else
    RunPendingWork();
}

// ---- closing -----------------------------------------------------------

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (ViewerShown() && !SwitchViewerToBrowser()) {
    event->ignore();
    return;
  }
  SaveState();
  event->accept();
}

bool CMainFrame::QueryEndSession() {
  if (ViewerShown() && !SwitchViewerToBrowser()) return false;
  SaveState();
  return true;
}

void CMainFrame::SaveState() {
  auto profile = OpenAppProfile();
  profile->setValue(BrowserKey(QStringLiteral("ToolBarState/State")), saveState());
  const QRect r = isMaximized() || isMinimized() ? normalGeometry() : geometry();
  profile->setValue(BrowserKey(QStringLiteral("MainFrameWidth")), r.width());
  profile->setValue(BrowserKey(QStringLiteral("MainFrameHeight")), r.height());
  profile->setValue(BrowserKey(QStringLiteral("MainFrameLeft")), r.left());
  profile->setValue(BrowserKey(QStringLiteral("MainFrameTop")), r.top());
  for (int i = 0; i < kDesktopHistorySize; ++i) {
    const QString value = i < desktopCombo_->count() ? desktopHistoryValue(desktopCombo_->itemText(i)) : QString();
    profile->setValue(BrowserKey(QStringLiteral("DesktopHistory%1").arg(i)), value);
  }
  profile->setValue(BrowserKey(QStringLiteral("CurrentDesktopIndex")), std::max(0, desktopCombo_->currentIndex()));
  settings_.SaveSettings(*profile);
  profile->setValue(BrowserKey(QStringLiteral("SearchHitMax")), searchHitMax_);
  profile->setValue(BrowserKey(QStringLiteral("FirstRun")), firstRun_);
  profile->setValue(BrowserKey(QStringLiteral("CurrentFolderPath")), DocumentFolderPath());
  profile->sync();
  if (profile->status() != QSettings::NoError)
    qCWarning(lcStartup) << "cannot write the settings file" << AppProfilePath();
  CloseDocumentFolder();
}

// ---- seams ---------------------------------------------------------------

bool CMainFrame::ProbeImagingControl() {
  // A probe instance, destroyed again at once: a program whose imaging
  // control cannot be made ends here (the routine has told the user).
  CLead probe;
  return CreateImagingControl(this, &probe, kProbeControlId) == 0;
}

void CMainFrame::BuildApplicationBar() {
  SetRegisteredApplications(ReadRegistrations(platform::programIniPath()));
}

void CMainFrame::RestoreFolderTree(const QString& desktop, const QString& folderPath, bool openFolder) {
  auto* view = dynamic_cast<FrameView*>(centralWidget());
  if (!view) return;
  view->BuildFolderTreeForDesktop(desktop.toStdString());
  // A folder that is gone since the last run is not opened (the document
  // would stop the start with a message about it); the desktop is instead.
  if (desktop.isEmpty() || !QDir(desktop).exists()) return;
  const bool folderThere = openFolder && !folderPath.isEmpty() && QDir(folderPath).exists();
  view->SelectFolderInTree(folderThere ? folderPath.toStdString() : desktop.toStdString());
}

QString CMainFrame::DocumentFolderPath() const {
  // Before a folder is opened the stored value is kept as it was.
  if (document_ && !document_->FolderPath().empty()) return QString::fromStdString(document_->FolderPath());
  return currentFolderPath_;
}

void CMainFrame::CloseDocumentFolder() {
  if (document_) document_->CloseFolderDatabase();
}

void CMainFrame::ReleaseOpenFolder() {
  if (!document_) return;
  document_->CloseFolderDatabase();
  document_->LoadFolder({}, 1);
}

bool CMainFrame::ViewerShown() const { return viewerShown_ && viewerShown_(); }

// Closing the window or ending the session leaves the viewer first; the
// user's Cancel there keeps the viewer, and the window, open.
bool CMainFrame::SwitchViewerToBrowser() { return !toBrowser_ || toBrowser_(true) == 0; }

// ---- the viewer face ------------------------------------------------------

void CMainFrame::OpenViewer(const ViewerRequest& request) {
  if (viewerFace_) viewerFace_->OpenViewer(request);
}

bool CMainFrame::CloseViewer(bool offerCancel) { return !viewerFace_ || viewerFace_->CloseViewer(offerCancel); }

bool CMainFrame::QuerySaveDocument(bool offerCancel) {
  return !viewerFace_ || viewerFace_->QuerySaveDocument(offerCancel);
}

void CMainFrame::SetBrowserReturn(std::function<bool()> viewerShown, std::function<int(bool)> toBrowser) {
  viewerShown_ = std::move(viewerShown);
  toBrowser_ = std::move(toBrowser);
}

QAction* CMainFrame::AddCommand(int commandId, const QString& text) { return MakeAction(commandId, text); }

void CMainFrame::AddViewerMenu(QMenu* menu) {
  viewerMenus_.push_back(menu);
  menuBar()->addMenu(menu);
  menu->menuAction()->setVisible(viewerMenusShown_);
}

void CMainFrame::ShowViewerMenus(bool viewer) {
  viewerMenusShown_ = viewer;
  for (QAction* entry : menuBar()->actions()) {
    const bool ofViewer = entry->menu() && std::find(viewerMenus_.begin(), viewerMenus_.end(), entry->menu()) !=
                                               viewerMenus_.end();
    entry->setVisible(ofViewer == viewer);
  }
  ApplyAccelerators(viewer ? CFD3Doc::AcceleratorTable::Viewer
                           : (document_ ? document_->GetDefaultAccelerator() : CFD3Doc::AcceleratorTable::Browser));
}

void CMainFrame::RunHotScan() {
  // Not over the viewer, and not inside another scan or modal operation.
  if (ViewerShown() || !isEnabled()) {
    qCInfo(lcRequests) << "scan request dropped";
    return;
  }
  qCInfo(lcRequests) << "serving scan request";
  emit pendingWorkServed(Request::Scan, commandLine_);
  // Pages need a folder to go into; without one a scan would only be kept.
  if (!document_ || document_->EntryList().GetFolderPath().empty()) {
    qCInfo(lcRequests) << "no folder is open: nothing scanned";
    return;
  }
  scanning_->Scan(true);
}

void CMainFrame::ImportFromEarlierProduct() {
  qCInfo(lcRequests).noquote() << "serving earlier-product import:" << commandLine_;
  emit pendingWorkServed(Request::EarlierImport, commandLine_);
  intake_->MigrateEarlierProduct(commandLine_);
}

void CMainFrame::ImportFromRecognitionApp() {
  qCInfo(lcRequests).noquote() << "serving list import:" << commandLine_;
  emit pendingWorkServed(Request::ListImport, commandLine_);
  intake_->ImportList(commandLine_);
}

void CMainFrame::RunTidyUp() {
  SetBusy(true);
  qCWarning(lcRequests) << "the tidy-up is not available yet";
  RunPendingWork();
}

// ---- scanning ----------------------------------------------------------------

void CMainFrame::OnSelectScanner() {
  SetBusy(true);
  scanning_->SelectScanner();
  RunPendingWork();
}

void CMainFrame::OnScan() {
  SetBusy(true);
  scanning_->Scan(false);
  RunPendingWork();
}
