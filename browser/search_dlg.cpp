#include "browser/search_dlg.h"

#include "browser/entry_commands.h"

#include "browser/page_reorder_dlg.h"

#include "browser/board_export.h"

#include "browser/board_properties.h"
#include "browser/search_related_dlg.h"
#include "browser/thumbnail_board_source.h"
#include "browser/thumbnail_pane_wnd.h"
#include "browser/title_change_dlg.h"
#include "catalogue/search_folders.h"
#include "catalogue/sjis_text.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/user_interaction.h"
#include "shell/app_profile.h"
#include "shell/color_choice_dlg.h"
#include "shell/command_ids.h"
#include "shell/fd3_doc.h"
#include "shell/image_ctrl.h"
#include "shell/launch_documents.h"
#include "shell/import_dialogs.h"
#include "shell/progress_dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <chrono>

namespace {

QString controlName(int id) { return QStringLiteral("ctl%1").arg(id); }

// A history box offers its entries in the drop-down list only: what the
// user types is searched as typed, never completed from the history, and
// Enter adds nothing to the list (the search keeps the history itself).
void keepTypedText(QComboBox* box) {
  box->setCompleter(nullptr);
  box->setInsertPolicy(QComboBox::NoInsert);
}
std::string text(const QString& s) { return s.toStdString(); }

void tell(const std::string& message, const std::string& caption) {
  platform::messageBox(message, platform::Buttons::Ok, platform::Icon::Warning, caption);
}

// Shows the folders being searched and the found count, and asks for cancel.
// The search asks after every item; the window's events are let through
// at most every 20 ms, which keeps it alive and its cancel button quick
// without letting the event loop cost more than the search of a text.
class ProgressForSearch : public SearchProgress {
 public:
  explicit ProgressForSearch(SearchProgressDlg& dialog) : dialog_(dialog) {}
  bool PumpAndCancelled() override {
    const auto now = std::chrono::steady_clock::now();
    if (pumped_ && now - last_ < kPumpInterval) return false;
    pumped_ = true;
    last_ = now;
    return dialog_.PumpAndCheckCancel();
  }
  void SetFoundCount(int count) override { dialog_.SetFound(count); }
  void SetFolder(const std::string& folder) override { dialog_.SetFolder(QString::fromStdString(folder)); }

 private:
  static constexpr std::chrono::milliseconds kPumpInterval{20};
  SearchProgressDlg& dialog_;
  bool pumped_ = false;
  std::chrono::steady_clock::time_point last_;
};

}  // namespace

// The hit board's entries and records: every entry names its folder by the
// search database's folder number (kept in the entry's flags).
class SearchHitSource : public ThumbnailBoardSource {
 public:
  SearchHitSource(CEntryHolder& hits, SearchDatabase& db) : hits_(hits), db_(db) {}

  int EntryCount() const override { return hits_.GetCount(); }
  DisplayEntry* Entry(int index) const override { return hits_.GetAt(index); }
  std::string EntryFolder(int index) const override {
    std::string path;
    if (const DisplayEntry* e = hits_.GetAt(index)) db_.GetFolderPath(e->flags, path);
    return path;
  }
  void ReorderEntries(const std::vector<int>& newOrder) override {
    std::vector<std::unique_ptr<DisplayEntry>> taken;
    for (int i = 0; i < hits_.GetCount(); ++i) taken.push_back(std::move(*hits_.ElementAt(i)));
    for (int i = 0; i < static_cast<int>(newOrder.size()); ++i)
      *hits_.ElementAt(i) = std::move(taken[newOrder[i]]);
  }
  bool ReadRecords(int index, StackInfo& stack, ItemInfo& item) override {
    const DisplayEntry* e = hits_.GetAt(index);
    if (!e) return false;
    if (e->isStack())
      return db_.GetFolderStackInfo(e->flags, e->number, stack) &&
             db_.FolderStack2Item(e->flags, e->number, std::max(1, stack.CurPageNo), item);
    return db_.GetFolderItemInfo(e->flags, e->number, item);
  }
  bool ReadThumbnail(int index, ItemInfo& item, ThumbInfo& thumb, bool& found) override {
    StackInfo stack;
    if (!ReadRecords(index, stack, item)) return false;
    int has = 0;
    if (!db_.GetFolderThumbInfo(hits_.GetAt(index)->flags, item.ItemNo, thumb, has)) return false;
    found = has != 0 && !thumb.ThumbData.empty();
    return true;
  }
  bool HasAnnotations(int index, int itemNo) override {
    int has = 0;
    const DisplayEntry* e = hits_.GetAt(index);
    return e && db_.HasFolderAnnBoxes(e->flags, itemNo, has) && has != 0;
  }
  QSize StackCell(int index) override {
    const DisplayEntry* e = hits_.GetAt(index);
    return e ? QSize(e->cellWidth, e->cellHeight) : QSize();
  }
  bool ReadStackPages(int index, std::vector<ItemInfo>& pages) override {
    const DisplayEntry* e = hits_.GetAt(index);
    StackInfo stack;
    if (!e || !e->isStack() || !db_.GetFolderStackInfo(e->flags, e->number, stack)) return false;
    for (int page = 1; page <= stack.PageCount; ++page) {
      ItemInfo item;
      if (!db_.FolderStack2Item(e->flags, e->number, page, item)) return false;
      pages.push_back(item);
    }
    return true;
  }
  void WritePositions(const std::vector<ItemInfo>&, const std::vector<StackInfo>&) override {}
  int UnregisterEntry(int index) override {
    const DisplayEntry* e = hits_.GetAt(index);
    if (!e) return 1;
    DissolvedStack dissolved;
    return (e->isStack() ? db_.UnregisterFolderStack(e->flags, e->number)
                         : db_.UnregisterFolderItem(e->flags, e->number, dissolved))
               ? 0
               : 1;
  }
  // The hit leaves the list and its tile the board.
  std::function<void(int index)> onRemoved;
  void RemoveEntry(int index) override {
    if (index < 0 || index >= hits_.GetCount()) return;
    hits_.DeleteAt(index);
    if (onRemoved) onRemoved(index);
  }
  int FindStack(int index, const std::string& title, int& found, int& stackNo) override {
    StackInfo info;
    const DisplayEntry* e = hits_.GetAt(index);
    if (!e || !db_.FindFolderStack(e->flags, title, found, info)) return 1;
    stackNo = info.StackNo;
    return 0;
  }
  int FindItem(int index, const std::string& title, const std::string& ext, int& found,
               int& itemNo) override {
    ItemInfo info;
    const DisplayEntry* e = hits_.GetAt(index);
    if (!e || !db_.FindFolderItem(e->flags, title, ext, found, info)) return 1;
    itemNo = info.ItemNo;
    return 0;
  }
  int SetStackInfo(int index, const StackInfo& stack, std::uint32_t mask) override {
    const DisplayEntry* e = hits_.GetAt(index);
    return e && db_.SetFolderStackInfo(e->flags, stack, mask) ? 0 : 1;
  }
  int SetItemInfo(int index, const ItemInfo& item, std::uint32_t mask) override {
    const DisplayEntry* e = hits_.GetAt(index);
    return e && db_.SetFolderItemInfo(e->flags, item, mask) ? 0 : 1;
  }
  bool SortedOrder(int, std::vector<board::EntryKey>&) override { return false; }
  CLead* ImagingControl() override { return nullptr; }
  void ReportDbError(int) override {}
  void SetTitleEditing(bool) override {}
  void ShowDocumentCount(int) override {}
  void ShowItemInfo(int) override {}

 private:
  CEntryHolder& hits_;
  SearchDatabase& db_;
};

CSearchDlg::CSearchDlg(const Setup& setup, QWidget* parent)
    : QDialog(parent), setup_(setup), searchHitMax_(setup.searchHitMax) {
  setObjectName(QStringLiteral("dlgSearch"));
  setWindowTitle(QStringLiteral("検索"));
  source_ = std::make_unique<SearchHitSource>(hitList_, database_);
  relatedRunner = [](RelatedWordsDlg& dialog) { return dialog.exec(); };
  printSetup = [this](QPrinter& printer) {
    QPrintDialog dialog(&printer, this);
    return dialog.exec() == QDialog::Accepted;
  };
  extensionRunner = [](ExtensionFilterDlg& dialog) { return dialog.exec(); };

  tabs_ = new QTabWidget(this);
  tabs_->addTab(buildWordPage(), QStringLiteral("文字列"));
  tabs_->addTab(buildFilePage(), QStringLiteral("ファイル"));
  tabs_->addTab(buildDatePage(), QStringLiteral("日付"));
  tabs_->adjustSize();
  pageHeight_ = tabs_->sizeHint().height();

  QFont small(QStringLiteral("ＭＳ Ｐゴシック"), 9);
  const auto button = [&](int id, const char* caption) {
    auto* b = new QPushButton(QString::fromUtf8(caption), this);
    b->setObjectName(controlName(id));
    b->setFont(small);
    b->setAutoDefault(false);
    return b;
  };
  searchButton_ = button(kSearchButton, "新規検索(&S)");
  endButton_ = button(kEndButton, "検索終了(&E)");
  clearButton_ = button(kClearButton, "新規クリア(&C)");
  connect(searchButton_, &QPushButton::clicked, this, &CSearchDlg::OnSearch);
  connect(endButton_, &QPushButton::clicked, this, [this] { SaveHistory(kEnded); });
  connect(clearButton_, &QPushButton::clicked, this, &CSearchDlg::OnNewSearch);

  hitMax_ = new QLineEdit(QString::number(searchHitMax_), this);
  hitMax_->setObjectName(controlName(kHitMaxEdit));
  hitMax_->setFont(small);
  hitMax_->setMaxLength(4);
  hitMax_->setValidator(new QIntValidator(0, 9999, hitMax_));
  previousHitMax_ = hitMax_->text();
  connect(hitMax_, &QLineEdit::textEdited, this, &CSearchDlg::onHitMaxEdited);

  pane_ = new ThumbnailPaneWnd(this, ThumbnailPaneWnd::kHitBoard);
  pane_->setObjectName(controlName(kHitPane));
  pane_->SetSource(source_.get());
  BoardSettings board;
  board.fontSize = setup_.fontSize;
  pane_->ApplySettings(board);
  connect(pane_, &ThumbnailPaneWnd::openRequested, this,
          [this](int tile) { ChooseHitAndClose(tile, kOpened); });
  source_->onRemoved = [this](int index) { pane_->RemoveItemAt(index); };
  connect(pane_, &ThumbnailPaneWnd::deleteRequested, this, &CSearchDlg::OnHitDelete);
  connect(pane_, &ThumbnailPaneWnd::hitChosen, this, [this](int tile, int result) { ChooseHitAndClose(tile, result); });
  connect(pane_, &ThumbnailPaneWnd::viewCommandRequested, this, [this](int command) {
    if (command == kPrintCommand) OnPrint();
    if (command == cmd::kProperties) OnHitProperties();
    if (command >= cmd::kFirstApplicationMenuEntry && command < cmd::kFirstApplicationMenuEntry + kMaxRegisteredApplications)
      OnLaunchApplication(command - cmd::kFirstApplicationMenuEntry);
    if (command == ThumbnailPaneWnd::kStackRenameCommand) OnHitStackTitle();
    if (command == cmd::kReorderPages) OnHitReorderPages();
    if (command == cmd::kExport) OnHitExport();
    if (command == cmd::kOcr) OcrSelectedHits();
    if (command == cmd::kDuplicate) OnHitDuplicate(false);
    if (command == ThumbnailPaneWnd::kDuplicatePageCommand) OnHitDuplicate(true);
  });
  if (setup_.applicationButtonAt) {
    pane_->findOutsideTarget = setup_.applicationButtonAt;
    connect(pane_, &ThumbnailPaneWnd::applicationDropRequested, this, &CSearchDlg::OnLaunchApplication);
  }
  pane_->applicationNames = [this] {
    QStringList names;
    for (const AppRegistration& application : setup_.applications) names << application.menuText;
    return names;
  };
  // What the hit board offers beyond opening: printing, properties, stack
  // titles, page order, copies and export (each through the hit's own
  // folder), OCR of the hits' images and the registered applications.
  pane_->commandAvailable = [this](int command) {
    return command == kPrintCommand || command == cmd::kProperties || command == ThumbnailPaneWnd::kStackRenameCommand ||
           command == cmd::kReorderPages || command == cmd::kExport || command == cmd::kOcr ||
           command == cmd::kDuplicate ||
           (command == ThumbnailPaneWnd::kDuplicatePageCommand && pane_->SelectedCount() == 1) ||
           (command == cmd::kFirstApplicationMenuEntry && !setup_.applications.empty());
  };

  const int width = std::max(tabs_->sizeHint().width() + 14, 420);
  setMinimumSize(width, pageHeight_ + 59 + 120);
  resize(width, pageHeight_ + 415);
  layoutBelowPages();
  ResetConditions();
}

CSearchDlg::~CSearchDlg() {
  if (databaseOpen_) database_.Close();
}

// ---- pages ----------------------------------------------------------------

QWidget* CSearchDlg::buildWordPage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("dlg10310"));
  auto* grid = new QGridLayout(page);
  grid->addWidget(new QLabel(QStringLiteral("検索語")), 0, 0);
  words_ = new QComboBox;
  words_->setObjectName(controlName(0x2847));
  words_->setEditable(true);
  keepTypedText(words_);
  words_->setMinimumWidth(260);
  grid->addWidget(words_, 0, 1, 1, 3);
  matchMode_ = new QComboBox;
  matchMode_->setObjectName(controlName(0x2848));
  matchMode_->addItems({QStringLiteral("と完全に一致する"), QStringLiteral("で始まる"),
                        QStringLiteral("で終わる"), QStringLiteral("を含む")});
  grid->addWidget(matchMode_, 1, 1);
  exclude_ = new QCheckBox(QStringLiteral("を除く"));
  exclude_->setObjectName(controlName(0x2849));
  grid->addWidget(exclude_, 1, 2);
  related_ = new QPushButton(QStringLiteral("関連語の追加・削除"));
  related_->setObjectName(controlName(0x284a));
  related_->setAutoDefault(false);
  grid->addWidget(related_, 1, 3);
  auto* fieldRow = new QHBoxLayout;
  const char* names[] = {"テキスト本文", "タイトル", "作成者", "キーワード", "コメント"};
  for (int i = 0; i < 5; ++i) {
    fields_[i] = new QCheckBox(QString::fromUtf8(names[i]));
    fields_[i]->setObjectName(controlName(0x284b + i));
    fieldRow->addWidget(fields_[i]);
  }
  grid->addLayout(fieldRow, 2, 0, 1, 4);
  auto* group = new QGroupBox(QStringLiteral("テキスト比較条件"));
  group->setObjectName(controlName(0x2854));
  textGroup_ = group;
  auto* g = new QHBoxLayout(group);
  caseSensitive_ = new QCheckBox(QStringLiteral("大文字と小文字を区別"));
  caseSensitive_->setObjectName(controlName(0x2850));
  widthSensitive_ = new QCheckBox(QStringLiteral("全角と半角を区別"));
  widthSensitive_->setObjectName(controlName(0x2851));
  auto* label = new QLabel(QStringLiteral("類似度"));
  label->setObjectName(controlName(0x2855));
  similarity_ = new QSpinBox;
  similarity_->setObjectName(controlName(0x2852));
  similarity_->setRange(0, 999);
  similarityBar_ = new QSlider(Qt::Horizontal);
  similarityBar_->setObjectName(controlName(0x2853));
  similarityBar_->setRange(50, 100);
  similarityBar_->setTickInterval(10);
  similarityBar_->setTickPosition(QSlider::TicksBelow);
  similarityBar_->setSingleStep(1);
  similarityBar_->setPageStep(10);
  auto* percent = new QLabel(QStringLiteral("％"));
  percent->setObjectName(controlName(0x2856));
  for (QWidget* w : std::initializer_list<QWidget*>{caseSensitive_, widthSensitive_, label, similarity_, percent,
                                                    similarityBar_})
    g->addWidget(w);
  grid->addWidget(group, 3, 0, 1, 4);
  connect(similarity_, &QSpinBox::valueChanged, this, [this](int v) {
    if (v >= 50 && v <= 100) similarityBar_->setValue(v);
  });
  connect(similarityBar_, &QSlider::valueChanged, this, [this](int v) { similarity_->setValue(v); });
  connect(fields_[0], &QCheckBox::toggled, this, [this] { updateEnabling(); });
  connect(words_, &QComboBox::editTextChanged, this, [this] { updateEnabling(); });
  connect(related_, &QPushButton::clicked, this, [this] {
    RelatedWordsDlg dialog(words_->currentText(), this);
    if (relatedRunner(dialog) == QDialog::Accepted) words_->setEditText(dialog.SearchWords());
  });
  // Enter in the words runs the search, as the search button does.
  connect(words_->lineEdit(), &QLineEdit::returnPressed, this,
          [this] { QTimer::singleShot(0, this, &CSearchDlg::OnSearch); });
  return page;
}

QWidget* CSearchDlg::buildFilePage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("dlg10330"));
  auto* grid = new QGridLayout(page);
  grid->addWidget(new QLabel(QStringLiteral("対象フォルダ")), 0, 0);
  folder_ = new QComboBox;
  folder_->setObjectName(controlName(0x285b));
  folder_->setEditable(true);
  keepTypedText(folder_);
  folder_->setMinimumWidth(240);
  grid->addWidget(folder_, 0, 1, 1, 2);
  auto* browse = new QPushButton(QStringLiteral("参照..."));
  browse->setObjectName(controlName(0x285c));
  browse->setAutoDefault(false);
  grid->addWidget(browse, 0, 3);
  auto* desktop = new QPushButton(QStringLiteral("デスクトップ"));
  desktop->setObjectName(controlName(0x285d));
  desktop->setAutoDefault(false);
  grid->addWidget(desktop, 0, 4);
  subfolders_ = new QCheckBox(QStringLiteral("サブフォルダも検索"));
  subfolders_->setObjectName(controlName(0x285e));
  grid->addWidget(subfolders_, 1, 1);
  useColor_ = new QCheckBox(QStringLiteral("対象フォルダの色を指定"));
  useColor_->setObjectName(controlName(0x438));
  grid->addWidget(useColor_, 1, 2);
  swatch_ = new QLabel;
  swatch_->setObjectName(controlName(0x43a));
  swatch_->setFixedSize(24, 16);
  swatch_->setAutoFillBackground(true);
  grid->addWidget(swatch_, 1, 3);
  chooseColor_ = new QPushButton(QStringLiteral("色の選択"));
  chooseColor_->setObjectName(controlName(0x439));
  chooseColor_->setAutoDefault(false);
  grid->addWidget(chooseColor_, 1, 4);
  const char* kinds[] = {"登録ファイルすべて", "画像ファイルのみ", "画像ファイル以外", "指定ファイルのみ"};
  for (int i = 0; i < 4; ++i) {
    fileKind_[i] = new QRadioButton(QString::fromUtf8(kinds[i]));
    fileKind_[i]->setObjectName(controlName(0x285f + i));
    grid->addWidget(fileKind_[i], 2 + i / 2, 1 + i % 2);
    connect(fileKind_[i], &QRadioButton::toggled, this, [this] { updateEnabling(); });
  }
  extensions_ = new QComboBox;
  extensions_->setObjectName(controlName(0x2863));
  extensions_->setEditable(true);
  keepTypedText(extensions_);
  grid->addWidget(extensions_, 4, 1, 1, 2);
  extensionButton_ = new QPushButton(QStringLiteral("参照 ..."));
  extensionButton_->setObjectName(controlName(0x2864));
  extensionButton_->setAutoDefault(false);
  grid->addWidget(extensionButton_, 4, 3);
  connect(useColor_, &QCheckBox::toggled, this, [this] { updateEnabling(); });
  connect(extensionButton_, &QPushButton::clicked, this, [this] {
    ExtensionFilterDlg dialog(this);
    dialog.SetResult(extensions_->currentText());
    if (extensionRunner(dialog) == QDialog::Accepted) extensions_->setEditText(dialog.Result());
  });
  connect(desktop, &QPushButton::clicked, this, [this] { folder_->setEditText(QString::fromUtf8(kDesktopName)); });
  connect(browse, &QPushButton::clicked, this, [this] {
    const QString root = QString::fromStdString(setup_.desktopRoot);
    const QString chosen = QFileDialog::getExistingDirectory(
        this, QStringLiteral("検索の対象となるフォルダを選択してください。"), root);
    if (!chosen.isEmpty())
      folder_->setEditText(QString::fromStdString(FolderTextFor(setup_.desktopRoot, text(chosen))));
  });
  connect(chooseColor_, &QPushButton::clicked, this, [this] {
    ColorChoiceDlg dialog(this);
    if (dialog.exec() != QDialog::Accepted) return;
    conditions_.colorIndex = dialog.chosenIndex();
    QPalette palette = swatch_->palette();
    palette.setColor(QPalette::Window, FolderColour(conditions_.colorIndex));
    swatch_->setPalette(palette);
  });
  return page;
}

QWidget* CSearchDlg::buildDatePage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("dlg10350"));
  auto* grid = new QGridLayout(page);
  const char* kinds[] = {"指定なし", "正式発行日", "最終更新日", "最終参照日"};
  for (int i = 0; i < 4; ++i) {
    dateKind_[i] = new QRadioButton(QString::fromUtf8(kinds[i]));
    dateKind_[i]->setObjectName(controlName(0x286f + i));
    grid->addWidget(dateKind_[i], 0, i);
    connect(dateKind_[i], &QRadioButton::toggled, this, [this] { updateEnabling(); });
  }
  grid->addWidget(new QLabel(QStringLiteral("対象期間")), 1, 0);
  period_ = new QComboBox;
  period_->setObjectName(controlName(0x2873));
  period_->addItems({QStringLiteral("ﾕｰｻﾞｰ指定"), QStringLiteral("過去３日"), QStringLiteral("過去１週間"),
                     QStringLiteral("過去１ヶ月"), QStringLiteral("過去３ヶ月"), QStringLiteral("過去６ヶ月"),
                     QStringLiteral("過去１年")});
  grid->addWidget(period_, 1, 1);
  auto* withinGroup = new QWidget;
  auto* wl = new QHBoxLayout(withinGroup);
  wl->setContentsMargins(0, 0, 0, 0);
  within_ = new QRadioButton(QStringLiteral("以内"));
  within_->setObjectName(controlName(0x406));
  before_ = new QRadioButton(QStringLiteral("以前"));
  before_->setObjectName(controlName(0x407));
  wl->addWidget(within_);
  wl->addWidget(before_);
  grid->addWidget(withinGroup, 1, 2, 1, 2);
  const char* units[] = {"年", "月", "日"};
  for (int row = 0; row < 2; ++row) {
    auto* line = new QHBoxLayout;
    line->addWidget(new QLabel(row == 0 ? QStringLiteral("開始") : QStringLiteral("終了")));
    for (int k = 0; k < 3; ++k) {
      auto* edit = new QLineEdit;
      edit->setObjectName(controlName(0x2874 + row * 3 + k));
      edit->setMaxLength(k == 0 ? 4 : 2);
      edit->setValidator(new QIntValidator(0, 9999, edit));
      edit->setFixedWidth(k == 0 ? 48 : 32);
      dateFields_[row * 3 + k] = edit;
      line->addWidget(edit);
      line->addWidget(new QLabel(QString::fromUtf8(units[k])));
      // A date typed by hand is the user's own range.
      connect(edit, &QLineEdit::textChanged, this, [this] {
        if (filling_) return;
        period_->setCurrentIndex(0);
        updateEnabling();
      });
    }
    line->addStretch();
    grid->addLayout(line, 2 + row, 0, 1, 4);
  }
  connect(period_, &QComboBox::activated, this, [this] { fillDates(); });
  connect(within_, &QRadioButton::clicked, this, [this] { fillDates(); });
  connect(before_, &QRadioButton::clicked, this, [this] { fillDates(); });
  return page;
}

void CSearchDlg::fillDates() {
  const DateRange r = GetDateRange(period_->currentIndex(), before_->isChecked(), platform::todayYmd());
  const int values[] = {r.startYear, r.startMonth, r.startDay, r.endYear, r.endMonth, r.endDay};
  filling_ = true;
  for (int i = 0; i < 6; ++i)
    dateFields_[i]->setText(before_->isChecked() && i < 3 ? QString() : QString::number(values[i]));
  filling_ = false;
  updateEnabling();
}

void CSearchDlg::updateEnabling() {
  related_->setEnabled(!words_->currentText().isEmpty());
  textGroup_->setEnabled(fields_[0]->isChecked());
  chooseColor_->setEnabled(useColor_->isChecked());
  swatch_->setEnabled(useColor_->isChecked());
  const bool listed = fileKind_[3]->isChecked();
  extensions_->setEnabled(listed);
  extensionButton_->setEnabled(listed);
  const bool dated = !dateKind_[0]->isChecked();
  period_->setEnabled(dated);
  for (QLineEdit* e : dateFields_) e->setEnabled(dated);
  within_->setEnabled(dated && period_->currentIndex() != 0);
  before_->setEnabled(dated && period_->currentIndex() != 0);
}

void CSearchDlg::LoadPages() {
  SearchConditions& c = conditions_;
  words_->setEditText(QString::fromStdString(c.words));
  matchMode_->setCurrentIndex(c.matchMode);
  exclude_->setChecked(c.exclude);
  const bool fields[] = {c.fullText, c.title, c.creator, c.keyword, c.comment};
  for (int i = 0; i < 5; ++i) fields_[i]->setChecked(fields[i]);
  caseSensitive_->setChecked(c.caseSensitive);
  widthSensitive_->setChecked(c.widthSensitive);
  similarity_->setValue(c.similarity);
  folder_->setEditText(QString::fromStdString(c.folder));
  subfolders_->setChecked(c.subfolders);
  useColor_->setChecked(c.useColor);
  fileKind_[std::clamp(c.fileKind, 0, 3)]->setChecked(true);
  extensions_->setEditText(QString::fromStdString(c.extensions));
  dateKind_[std::clamp(c.dateKind, 0, 3)]->setChecked(true);
  period_->setCurrentIndex(c.period);
  (c.before ? before_ : within_)->setChecked(true);
  const std::string* dates[] = {&c.startYear, &c.startMonth, &c.startDay, &c.endYear, &c.endMonth, &c.endDay};
  filling_ = true;
  for (int i = 0; i < 6; ++i) dateFields_[i]->setText(QString::fromStdString(*dates[i]));
  filling_ = false;
  QPalette palette = swatch_->palette();
  palette.setColor(QPalette::Window, FolderColour(c.colorIndex));
  swatch_->setPalette(palette);
  updateEnabling();
}

void CSearchDlg::StorePages() {
  SearchConditions& c = conditions_;
  c.words = text(words_->currentText());
  c.matchMode = matchMode_->currentIndex();
  c.exclude = exclude_->isChecked();
  bool* fields[] = {&c.fullText, &c.title, &c.creator, &c.keyword, &c.comment};
  for (int i = 0; i < 5; ++i) *fields[i] = fields_[i]->isChecked();
  c.caseSensitive = caseSensitive_->isChecked();
  c.widthSensitive = widthSensitive_->isChecked();
  c.similarity = similarity_->value();
  c.folder = text(folder_->currentText());
  c.subfolders = subfolders_->isChecked();
  c.useColor = useColor_->isChecked();
  for (int i = 0; i < 4; ++i)
    if (fileKind_[i]->isChecked()) c.fileKind = i;
  c.extensions = text(extensions_->currentText());
  for (int i = 0; i < 4; ++i)
    if (dateKind_[i]->isChecked()) c.dateKind = i;
  c.period = period_->currentIndex();
  c.before = before_->isChecked() ? 1 : 0;
  std::string* dates[] = {&c.startYear, &c.startMonth, &c.startDay, &c.endYear, &c.endMonth, &c.endDay};
  for (int i = 0; i < 6; ++i) *dates[i] = text(dateFields_[i]->text());
}

// ---- opening --------------------------------------------------------------

bool CSearchDlg::OpenSearchDatabase() {
  // The hit tables live in the program folder's work catalogue, so that the
  // desktop itself is not written to by a search.
  databaseOpen_ = database_.OpenWorkCatalogue();
  if (!databaseOpen_) return false;
  database_.SetOpenFolder(setup_.openFolder);
  return true;
}

void CSearchDlg::ResetConditions() {
  ResetSearchConditions(conditions_, FolderTextFor(setup_.desktopRoot, setup_.currentFolder), setup_.tidyUp,
                        setup_.tidyDateType, setup_.tidyDateRange, platform::todayYmd());
  LoadPages();
}

int CSearchDlg::CheckConditions(std::string& message) {
  const int page = CheckSearchConditions(conditions_, setup_.desktopRoot, platform::todayYmd(), message);
  // The completed dates are shown as they will be searched.
  LoadPages();
  return page;
}

void CSearchDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  static bool placing = false;
  if (placing || property("placed").toBool()) return;
  placing = true;
  setProperty("placed", true);
  loadHistory(words_, "SearchWordHistory%1");
  loadHistory(folder_, "SearchFolderHistory%1");
  loadHistory(extensions_, "SearchExtentHistory%1");
  LoadPages();
  placeWindow();
  placing = false;
  if (setup_.tidyUp) {
    setWindowTitle(QStringLiteral("文書整理"));
    QTimer::singleShot(0, this, &CSearchDlg::OnSearch);
  } else {
    RedisplayHits();
  }
}

void CSearchDlg::placeWindow() {
  auto profile = OpenAppProfile();
  int left = profile->value(BrowserKey(QStringLiteral("SearchDlgLeft")), 0).toInt();
  int top = profile->value(BrowserKey(QStringLiteral("SearchDlgTop")), 0).toInt();
  int width = profile->value(BrowserKey(QStringLiteral("SearchDlgWidth")), 0).toInt();
  int height = profile->value(BrowserKey(QStringLiteral("SearchDlgHeight")), 0).toInt();
  if (left == 0) left = x();
  if (top == 0) top = y();
  if (width == 0) width = this->width();
  if (height == 0) height = this->height();
  QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
  const QRect area = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
  if (left < 0) left = 0;
  if (top < 0) top = 0;
  if (width > area.width()) {
    width = area.width();
    left = 0;
  }
  if (height > area.height()) {
    height = area.height();
    top = 0;
  }
  if (left + width > area.width()) left = area.width() - width;
  if (top + height > area.height()) top = area.height() - height;
  setGeometry(left, top, std::max(width, minimumWidth()), std::max(height, minimumHeight()));
}

void CSearchDlg::loadHistory(QComboBox* box, const char* format) {
  auto profile = OpenAppProfile();
  box->clear();
  for (int i = 0; i < kHistoryMax; ++i) {
    const QString value = profile->value(BrowserKey(QString::fromUtf8(format).arg(i))).toString();
    if (!value.isEmpty()) box->addItem(value);
  }
  if (box->count() == 0) box->addItem(QString());
}

void CSearchDlg::saveHistory(QComboBox* box, const char* format) {
  auto profile = OpenAppProfile();
  for (int i = 0; i < kHistoryMax; ++i)
    profile->setValue(BrowserKey(QString::fromUtf8(format).arg(i)), i < box->count() ? box->itemText(i) : QString());
}

void CSearchDlg::pushHistory(QComboBox* box) {
  const QString current = box->currentText();
  if (current.isEmpty()) return;
  std::vector<std::string> list;
  for (int i = 0; i < box->count(); ++i)
    if (!box->itemText(i).isEmpty()) list.push_back(text(box->itemText(i)));
  PushHistory(list, text(current));
  box->clear();
  for (const std::string& entry : list) box->addItem(QString::fromStdString(entry));
  box->setCurrentIndex(0);
  box->setEditText(current);
}

// ---- hits -----------------------------------------------------------------

void CSearchDlg::addHit(const SearchHit& hit) {
  auto entry = std::make_unique<DisplayEntry>();
  entry->kind = hit.IsStack ? 1 : 0;
  entry->number = hit.IsStack ? hit.Stack.StackNo : hit.Item.ItemNo;
  int w = hit.ThumbSizeX, h = hit.ThumbSizeY;
  if (!hit.IsStack && hit.Thumb.ThumbData.empty()) w = h = 32;
  entry->cellWidth = std::max(w, DisplayEntry::kMinCell);
  entry->cellHeight = std::max(h, DisplayEntry::kMinCell);
  entry->flags = hit.FolderNo;
  if (hit.IsStack) {
    entry->title = hit.Stack.Title;
    entry->officialDate = hit.Stack.OfficialDate;
    entry->lastModifiedDate = hit.Stack.LastModifiedDate;
    entry->lastAccessedDate = hit.Stack.LastAccessedDate;
  } else {
    entry->title = hit.Item.Title + "." + hit.Item.Ext;
    entry->officialDate = hit.Item.OfficialDate;
    entry->lastModifiedDate = hit.Item.LastModifiedDate;
    entry->lastAccessedDate = hit.Item.LastAccessedDate;
  }
  const int index = hitList_.Add(std::move(entry));
  pane_->AddItem(index, hit.IsStack ? &hit.Stack : nullptr, &hit.Item);
}

void CSearchDlg::RedisplayHits() {
  std::unique_ptr<QLabel> wait;
  if (searchHitMax_ > 99) {
    wait = std::make_unique<QLabel>(QStringLiteral("検索結果の再表示処理中..."), this, Qt::Tool);
    wait->setWindowTitle(QStringLiteral("検索"));
    wait->show();
  }
  pane_->SetRedraw(false);
  int shown = 0;
  bool more = false;
  if (databaseOpen_ && database_.GetFirstHit()) {
    SearchHit hit;
    int atEnd = 0;
    while (database_.GetNextHit(hit, atEnd) && atEnd == 0) {
      if (shown >= searchHitMax_) {
        more = true;
        break;
      }
      addHit(hit);
      ++shown;
    }
    database_.PostHit();
  }
  if (!more) {
    hitCount_ = shown;
  } else {
    const int stored = OpenAppProfile()->value(BrowserKey(QStringLiteral("SearchDlgCount")), -1).toInt();
    hitCount_ = stored < shown ? -1 : stored;
  }
  newSearch_ = shown == 0;
  searchButton_->setText(newSearch_ ? QStringLiteral("新規検索(&S)") : QStringLiteral("絞り込み検索(&S)"));
  searchButton_->setEnabled(true);
  pane_->SetRedraw(true);
  pane_->ArrangeItems(ThumbnailPaneWnd::kSortNone, 1, 0);
  showCount();
}

void CSearchDlg::onHitMaxEdited(const QString& value) {
  if (!value.isEmpty() && value.toInt() > kHitMaxLimit) {
    const int caret = hitMax_->cursorPosition();
    hitMax_->setText(previousHitMax_);
    hitMax_->setCursorPosition(std::max(0, caret - 1));
    QApplication::beep();
    return;
  }
  previousHitMax_ = value;
}

void CSearchDlg::OnSearch() {
  if (hitMax_->text().isEmpty()) {
    tell("最大表示数が未入力です。", "検索");
    return;
  }
  searchHitMax_ = hitMax_->text().toInt();
  StorePages();
  pushHistory(words_);
  pushHistory(folder_);
  pushHistory(extensions_);
  std::string message;
  const int page = CheckConditions(message);
  if (page >= 0) {
    tell(message, platform::kDefaultCaption);
    tabs_->setCurrentIndex(page);
    return;
  }
  runSearch();
}

bool CSearchDlg::runSearch() {
  const SearchConditions& c = conditions_;
  // Words.
  const unsigned mask = c.FieldMask();
  std::vector<std::string> words;
  if (mask != 0) {
    int count = 0;
    if (ParseTokenList(c.words, count, &words, 30, 129, 64, tokenlist::kNoSpaces) != 0 || count == 0) {
      tell("検索文字が不正です。\n処理を中断します。", "Code 001");
      return false;
    }
    words.resize(count);
  }
  static constexpr int kModes[] = {searchmode::kExact, searchmode::kPrefix, searchmode::kSuffix,
                                   searchmode::kContains};
  static constexpr int kDateKinds[] = {searchdate::kNone, searchdate::kOfficial, searchdate::kLastModified,
                                       searchdate::kLastAccessed};
  static constexpr int kFileKinds[] = {searchfile::kAny, searchfile::kImages, searchfile::kNotImages,
                                       searchfile::kExtensions};
  database_.SetDateFilter(kDateKinds[std::clamp(c.dateKind, 0, 3)], c.DatePeriodStart(), c.DatePeriodEnd());
  database_.SetFulltextParameter(c.widthSensitive ? 0 : 1, c.caseSensitive ? 0 : 1, c.similarity);
  if (!database_.SetWordFilter(mask, words, kModes[std::clamp(c.matchMode, 0, 3)], c.exclude)) {
    tell("検索文字が不正です。\n処理を中断します。", "Code 001");
    return false;
  }
  std::vector<std::string> extensions;
  if (c.fileKind == 3) {
    std::string message;
    if (NormalizeExtensions(c.extensions, extensions, message) != 0) {
      tell("対象拡張子が不正です。\n処理を中断します。", "Code 002");
      return false;
    }
  }
  database_.SetFileFilter(kFileKinds[std::clamp(c.fileKind, 0, 3)], extensions);
  if (!ResolveTargetFolder(c.folder, setup_.desktopRoot, targetPath_)) {
    tell("検索対象フォルダが不正です。\n処理を中断します。", "Code 003");
    return false;
  }
  GlobalSearchFolders().SetRange(setup_.tidyUp ? 1 : 0, c.useColor ? c.colorIndex : -1);

  QApplication::setOverrideCursor(Qt::WaitCursor);
  SearchProgressDlg progress;
  progress.Create(this);
  progress.SetFound(0);
  ProgressForSearch reporter(progress);
  pane_->SetRedraw(false);
  pane_->RemoveAllItems();
  hitList_.DeleteAll();
  database_.SetProgress(&reporter);
  const bool wasNew = newSearch_;
  const bool ok = newSearch_ ? database_.Search(targetPath_, c.subfolders)
                             : database_.NarrowSearch(targetPath_, c.subfolders);
  progress.SetFolder(QStringLiteral("表示中..."));
  if (ok && database_.GetFirstHit()) {
    SearchHit hit;
    int atEnd = 0;
    const int total = database_.GetHitCount();
    int shown = 0;
    while (shown < searchHitMax_ && !progress.PumpAndCheckCancel() && database_.GetNextHit(hit, atEnd) &&
           atEnd == 0) {
      addHit(hit);
      progress.SetProgress(++shown, total);
    }
    database_.PostHit();
  }
  database_.SetProgress(nullptr);
  hitCount_ = ok ? std::max(-1, database_.GetHitCount()) : -1;
  progress.Close();
  QApplication::restoreOverrideCursor();
  activateWindow();
  searchButton_->setText(QStringLiteral("絞り込み検索(&S)"));
  searchButton_->setEnabled(hitCount_ != 0);
  pane_->SetRedraw(true);
  pane_->ArrangeItems(ThumbnailPaneWnd::kSortNone, 1, 0);
  showCount();
  if (!ok) tell(database_.LastError(), "検索");
  else if (database_.SkippedFolderCount() > 0) tellSkippedFolders();
  newSearch_ = false;
  if (setup_.tidyUp && wasNew && hitCount_ == 0) {
    tell("整理対象の文書はありませんでした。", "文書整理");
    QTimer::singleShot(0, this, [this] { SaveHistory(kEnded); });
  }
  return ok;
}

// A folder that could not be read is never left out silently: the user
// learns how many and which (the first ten).
void CSearchDlg::tellSkippedFolders() {
  constexpr std::size_t kListed = 10;
  const std::vector<std::string>& skipped = database_.SkippedFolders();
  std::string message = std::to_string(skipped.size()) + "個のフォルダは読み込めなかったため検索していません。";
  for (std::size_t i = 0; i < skipped.size() && i < kListed; ++i) message += "\n" + skipped[i];
  if (skipped.size() > kListed) message += "\n...";
  tell(message, "検索");
}

void CSearchDlg::OnNewSearch() {
  pane_->SetRedraw(false);
  pane_->RemoveAllItems();
  pane_->SetRedraw(true);
  hitList_.DeleteAll();
  if (databaseOpen_) database_.ClearWorkTables();
  newSearch_ = true;
  searchButton_->setText(QStringLiteral("新規検索(&S)"));
  searchButton_->setEnabled(true);
  hitCount_ = 0;
  setWindowTitle(QStringLiteral("検索"));
  pane_->UpdateScrollExtent(1, 0);
  showCount();
}

void CSearchDlg::ChooseHitAndClose(int hitIndex, int result) {
  const DisplayEntry* entry = hitList_.GetAt(hitIndex);
  if (!entry) return;
  chosen_ = ChosenHit();
  database_.GetFolderPath(entry->flags, chosen_.folder);
  chosen_.kind = entry->kind;
  if (entry->isStack()) {
    StackInfo stack;
    chosen_.number = database_.GetFolderStackInfo(entry->flags, entry->number, stack) ? stack.StackNo : 0;
  } else {
    ItemInfo item;
    chosen_.number = database_.GetFolderItemInfo(entry->flags, entry->number, item) ? item.ItemNo : 0;
  }
  SaveHistory(result);
}

void CSearchDlg::SaveHistory(int result) {
  if (ended_) return;
  ended_ = true;
  result_ = result;
  if (databaseOpen_) {
    database_.Close();
    databaseOpen_ = false;
  }
  pane_->SetRedraw(false);
  pane_->RemoveAllItems();
  hitList_.DeleteAll();
  saveHistory(words_, "SearchWordHistory%1");
  saveHistory(folder_, "SearchFolderHistory%1");
  saveHistory(extensions_, "SearchExtentHistory%1");
  if (!hitMax_->text().isEmpty()) searchHitMax_ = hitMax_->text().toInt();
  auto profile = OpenAppProfile();
  profile->setValue(BrowserKey(QStringLiteral("SearchDlgLeft")), x());
  profile->setValue(BrowserKey(QStringLiteral("SearchDlgTop")), y());
  profile->setValue(BrowserKey(QStringLiteral("SearchDlgWidth")), width());
  profile->setValue(BrowserKey(QStringLiteral("SearchDlgHeight")), height());
  profile->setValue(BrowserKey(QStringLiteral("SearchDlgCount")), hitCount_);
  done(result);
}

void CSearchDlg::closeEvent(QCloseEvent* event) {
  SaveHistory(kEnded);
  event->accept();
}

void CSearchDlg::reject() { SaveHistory(kEnded); }

void CSearchDlg::OnLaunchApplication(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= setup_.applications.size()) return;
  HitSelection selection(database_, hitList_, pane_->SelectedEntryIndices());
  LaunchServices services;
  if (!setup_.document && !ownDocument_) ownDocument_ = std::make_unique<CFD3Doc>();
  services.document = setup_.document ? setup_.document : ownDocument_.get();
  services.printImages = setup_.print.printImages;
  services.printOthers = setup_.print.printListed;
  // The print code reaches the hit board's own printing.
  services.print = [this] { OnPrint(); };
  LaunchApplication(setup_.applications[static_cast<std::size_t>(index)], selection, services);
}

void CSearchDlg::OcrSelectedHits() {
  const std::vector<int> selected = pane_->SelectedEntryIndices();
  HitSelection selection(database_, hitList_, selected);
  HitOcrStore store(database_);
  if (!setup_.document && !ownDocument_) ownDocument_ = std::make_unique<CFD3Doc>();
  CFD3Doc& document = setup_.document ? *setup_.document : *ownDocument_;
  RunOcr(selection, store, document, setup_.ocr, OcrReading::Batch, this);
  for (int tile : selected) pane_->RebuildTile(tile);
}

void CSearchDlg::OnHitProperties() {
  const std::vector<int> selected = pane_->SelectedEntryIndices();
  if (selected.size() != 1) return;
  DisplayEntry* entry = hitList_.GetAt(selected.front());
  std::string folder;
  FolderDatabase* db = entry && database_.GetFolderPath(entry->flags, folder) ? database_.FolderByNo(entry->flags)
                                                                              : nullptr;
  if (!db) return;
  if (!imagingControl_) imagingControl_ = std::make_unique<CImageCtrl>();
  ShowHitProperties(*db, folder, *entry, imagingControl_.get(), this);
  pane_->RebuildTile(selected.front());
}

void CSearchDlg::OnHitStackTitle() {
  const std::vector<int> selected = pane_->SelectedEntryIndices();
  if (selected.size() != 1) return;
  DisplayEntry* entry = hitList_.GetAt(selected.front());
  if (!entry || !entry->isStack()) return;
  std::string folder;
  FolderDatabase* db = database_.GetFolderPath(entry->flags, folder) ? database_.FolderByNo(entry->flags) : nullptr;
  if (!db) return;
  TitleChangeDlg dialog(*db, folder, entry->number, this);
  const int result = titleRunner ? titleRunner(dialog) : dialog.exec();
  if (result != QDialog::Accepted) return;
  StackInfo stack;
  if (db->GetStackInfo(entry->number, stack) == 0) entry->title = stack.Title;
  pane_->RebuildTile(selected.front());
}

void CSearchDlg::OnHitReorderPages() {
  const std::vector<int> selected = pane_->SelectedEntryIndices();
  if (selected.size() != 1) return;
  DisplayEntry* entry = hitList_.GetAt(selected.front());
  if (!entry || !entry->isStack()) return;
  FolderDatabase* db = database_.FolderByNo(entry->flags);
  if (!db) return;
  const BoardOperations::ReorderDialog dialog =
      reorderRunner ? reorderRunner : [this](const std::vector<ItemInfo>& pages) -> std::optional<std::vector<int>> {
    PageReorderDlg reorder(pages, setup_.showExtension, this);
    if (reorder.exec() != QDialog::Accepted) return std::nullopt;
    return reorder.ResultOrder();
  };
  if (!BoardOperations::ReorderPagesOf(*db, entry->number, dialog)) return;
  entry->lastModifiedDate = entry->lastAccessedDate = platform::todayYmd();
  pane_->RebuildTile(selected.front());
}

void CSearchDlg::OnHitDelete(bool forGood) {
  const std::vector<int> selected = pane_->SelectedEntryIndices();
  if (!EntryCommands::ConfirmDelete(selected.size(), forGood)) return;
  pane_->SetRedraw(false);
  const CommandResult result = EntryCommands(*source_).DeleteEntries(selected, !forGood);
  pane_->SetRedraw(true);
  hitCount_ = std::max(0, hitCount_ - static_cast<int>(result.changed.size()));
  pane_->ArrangeItems(ThumbnailPaneWnd::kVisualOrder, 0, 1);
  showCount();
  if (!result.message.empty())
    platform::messageBox(result.message, platform::Buttons::Ok, platform::Icon::Warning,
                         EntryCommands::kDeleteCaption);
}

void CSearchDlg::OnHitDuplicate(bool currentPageOnly) {
  const std::vector<int> selected = pane_->SelectedEntryIndices();
  if (selected.empty() || (currentPageOnly && selected.size() != 1)) return;
  std::vector<std::pair<int, std::unique_ptr<DisplayEntry>>> made;  // folder number, entry
  const auto add = [&](int folderNo, int kind, int number, const std::string& title, int width, int height,
                       const ItemInfo* item, const StackInfo* stack) {
    auto e = std::make_unique<DisplayEntry>();
    e->kind = kind;
    e->number = number;
    e->flags = folderNo;
    e->cellWidth = std::max(width, DisplayEntry::kMinCell);
    e->cellHeight = std::max(height, DisplayEntry::kMinCell);
    e->title = title;
    e->officialDate = stack ? stack->OfficialDate : item->OfficialDate;
    e->lastModifiedDate = stack ? stack->LastModifiedDate : item->LastModifiedDate;
    e->lastAccessedDate = stack ? stack->LastAccessedDate : item->LastAccessedDate;
    made.emplace_back(folderNo, std::move(e));
  };
  for (int index : selected) {
    const DisplayEntry* entry = hitList_.GetAt(index);
    std::string folder;
    FolderDatabase* db = entry && database_.GetFolderPath(entry->flags, folder) ? database_.FolderByNo(entry->flags)
                                                                                : nullptr;
    if (!db) break;
    const std::string dir = platform::withTrailingSlash(folder);
    const int folderNo = entry->flags;
    const int width = entry->cellWidth, height = entry->cellHeight;
    // Copies land beside their source in the hit's own folder.
    constexpr int kPlace = BoardOperations::kDuplicateOffset;
    if (!entry->isStack() || currentPageOnly) {
      ItemInfo source;
      int x = 0, y = 0;
      if (entry->isStack()) {
        StackInfo stack;
        if (!database_.GetFolderStackInfo(folderNo, entry->number, stack) ||
            !database_.FolderStack2Item(folderNo, entry->number, std::max(1, stack.CurPageNo), source))
          break;
        x = stack.StackPosX;
        y = stack.StackPosY;
      } else {
        if (!database_.GetFolderItemInfo(folderNo, entry->number, source)) break;
        x = source.SingleItemPosX;
        y = source.SingleItemPosY;
      }
      ItemInfo copy;
      if (!BoardOperations::RoomForCopies(*db, dir, 1, setup_.folderMax) ||
          BoardOperations::CopyItem(*db, dir, source, x, y, kPlace, copy) != 0)
        break;
      add(folderNo, 0, copy.ItemNo, copy.Title + "." + copy.Ext, width, height, &copy, nullptr);
      continue;
    }
    StackInfo stack;
    if (!database_.GetFolderStackInfo(folderNo, entry->number, stack) ||
        !BoardOperations::RoomForCopies(*db, dir, stack.PageCount, setup_.folderMax))
      break;
    const BoardOperations::StackCopy copied = BoardOperations::CopyStackPages(*db, dir, stack, kPlace, nullptr);
    if (copied.stacked) {
      add(folderNo, 1, copied.record.StackNo, copied.record.Title, width, height, nullptr, &copied.record);
    } else {
      for (const ItemInfo& copy : copied.copies)
        add(folderNo, 0, copy.ItemNo, copy.Title + "." + copy.Ext, width, height, &copy, nullptr);
    }
    if (copied.failed || copied.cancelled) break;
  }
  if (made.empty()) return;
  // The copies join the board behind the hits, in the hits' folders.
  for (auto& [folderNo, e] : made) {
    const int index = hitList_.Add(std::move(e));
    StackInfo stack;
    ItemInfo item;
    if (source_->ReadRecords(index, stack, item))
      pane_->AddItem(index, hitList_.GetAt(index)->isStack() ? &stack : nullptr, &item);
  }
  pane_->ArrangeItems(ThumbnailPaneWnd::kSortNone, 1, 0);
}

void CSearchDlg::OnHitExport() {
  std::vector<ExportDocument> documents;
  for (int index : pane_->SelectedEntryIndices()) {
    const DisplayEntry* entry = hitList_.GetAt(index);
    std::string folder;
    FolderDatabase* db = entry && database_.GetFolderPath(entry->flags, folder) ? database_.FolderByNo(entry->flags)
                                                                                : nullptr;
    // Each hit is read while its folder is the one open.
    if (db && !CollectExportDocument(*db, folder, *entry, documents)) return;
  }
  if (documents.empty()) return;
  if (!setup_.document && !ownDocument_) ownDocument_ = std::make_unique<CFD3Doc>();
  ExportDocuments(setup_.document ? *setup_.document : *ownDocument_, documents, this);
}

// ---- printing -------------------------------------------------------------

bool CSearchDlg::IsHitPrintable(int hitIndex, bool images, bool listed) {
  const DisplayEntry* entry = hitList_.GetAt(hitIndex);
  if (!entry) return false;
  PagePrintSettings settings = setup_.print;
  settings.printImages = images;
  settings.printListed = listed;
  const auto printable = [&](const ItemInfo& item) {
    return IsPagePrintable(item.ImageLevel == 1, item.Ext, settings);
  };
  if (!entry->isStack()) {
    ItemInfo item;
    return database_.GetFolderItemInfo(entry->flags, entry->number, item) && printable(item);
  }
  StackInfo stack;
  if (!database_.GetFolderStackInfo(entry->flags, entry->number, stack)) return false;
  for (int page = 1; page <= stack.PageCount; ++page) {
    ItemInfo item;
    if (database_.FolderStack2Item(entry->flags, entry->number, page, item) && printable(item)) return true;
  }
  return false;
}

bool CSearchDlg::HasPrintableSelection(bool images, bool listed) {
  for (int index : pane_->SelectedEntryIndices())
    if (IsHitPrintable(index, images, listed)) return true;
  return false;
}

std::vector<PrintListEntry> CSearchDlg::CollectPrintPages() {
  std::vector<PrintListEntry> pages;
  for (int index : pane_->SelectedEntryIndices()) {
    const DisplayEntry* entry = hitList_.GetAt(index);
    std::string folder;
    if (!entry || !database_.GetFolderPath(entry->flags, folder)) continue;
    const auto add = [&](const ItemInfo& item) {
      pages.push_back({folder + "/" + item.Title + "." + item.Ext, item.ImageLevel == 1});
    };
    if (!entry->isStack()) {
      ItemInfo item;
      if (database_.GetFolderItemInfo(entry->flags, entry->number, item)) add(item);
      continue;
    }
    StackInfo stack;
    if (!database_.GetFolderStackInfo(entry->flags, entry->number, stack)) continue;
    for (int page = 1; page <= stack.PageCount; ++page) {
      ItemInfo item;
      if (database_.FolderStack2Item(entry->flags, entry->number, page, item)) add(item);
    }
  }
  return pages;
}

void CSearchDlg::OnPrint() {
  printedSheets_ = 0;
  const PagePrintSettings& settings = setup_.print;
  if ((!settings.printImages && !settings.printListed) ||
      !HasPrintableSelection(settings.printImages, settings.printListed)) {
    tell("文書を選択してください", "印刷");
    return;
  }
  printedSheets_ = PrintList(CollectPrintPages(), settings, printSetup, printCommand);
}

// ---- drawing and sizing ---------------------------------------------------

void CSearchDlg::showCount() { update(); }

void CSearchDlg::layoutBelowPages() {
  const int top = pageHeight_;
  tabs_->setGeometry(0, 0, width(), top);
  searchButton_->setGeometry(7, top + 2, 120, 25);
  clearButton_->setGeometry(131, top + 2, 120, 25);
  endButton_->setGeometry(255, top + 2, 120, 25);
  pane_->setGeometry(9, top + 31, width() - 18, std::max(40, height() - top - 59));
  hitMax_->setGeometry(109, height() - 21, 56, 16);
}

void CSearchDlg::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  layoutBelowPages();
}

void CSearchDlg::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  QPainter painter(this);
  painter.setFont(QFont(QStringLiteral("ＭＳ Ｐゴシック"), 9));
  const int baseline = height() - 8;
  painter.drawText(7, baseline, QStringLiteral("最大表示数"));
  painter.drawText(247, baseline, QStringLiteral("ヒット件数"));
  if (hitCount_ >= 0) painter.drawText(327, baseline, QStringLiteral("%1件").arg(hitCount_));
  painter.setPen(QColor(0xA0, 0xA0, 0xA0));
  painter.drawRect(pane_->geometry().adjusted(-1, -1, 0, 0));
  painter.drawRect(hitMax_->geometry().adjusted(-1, -1, 0, 0));
}

