#pragma once
// CSearchDlg: the modal search window. Three condition pages (words, file,
// date) over a hit board (ThumbnailPaneWnd in its hit mode); it drives the
// cross-folder SearchDatabase, keeps word/folder/extension histories and its
// placement in the profile, and ends with what the user chose.
//
//   OpenSearchDatabase, ResetConditions, CheckConditions   before the run
//   OnSearch (0x8fc, Enter in the words), OnNewSearch (0x8fe)
//   RedisplayHits   the hits kept from the previous search
//   SaveHistory     ends the dialog (0x8fd, close box) with a result

#include "browser/search_conditions.h"
#include "browser/board_operations.h"
#include "browser/page_print.h"
#include "browser/thumbnail_pane_wnd.h"
#include "catalogue/search_database.h"
#include "shell/app_bar.h"
#include "shell/entry_holder.h"
#include "shell/ocr_run.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CFD3Doc;
class CImageCtrl;
class ExtensionFilterDlg;
class FolderDatabase;
class RelatedWordsDlg;
class TitleChangeDlg;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;
class QTabWidget;
class ThumbnailPaneWnd;
class SearchHitSource;

class CSearchDlg : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kSearchButton = 0x8fc;
  static constexpr int kEndButton = 0x8fd;
  static constexpr int kClearButton = 0x8fe;
  static constexpr int kHitPane = 0x8ff;
  static constexpr int kHitMaxEdit = 0x900;
  static constexpr int kHitMaxLimit = 1000;

  enum Result { kEnded = 0, kOpened = 1, kShowInViewer = 2, kShowFolder = 3 };

  struct Setup {
    std::string desktopRoot;
    std::string currentFolder;
    bool tidyUp = false;
    FolderDatabase* openFolder = nullptr;  // the browser's catalogue, or null
    int fontSize = 120;                    // KankyoShowFontSize
    int tidyDateType = 1;                  // KankyoToriaezuDateType
    int tidyDateRange = 1;                 // KankyoToriaezuDateRange
    int searchHitMax = 100;
    int folderMax = 2000;                  // KankyoShowFolderMax2000
    bool showExtension = false;            // KankyoShowExtMode
    PagePrintSettings print;
    // The registered applications the hit board's menu offers, and the
    // browser's document lending its work folder and imaging control.
    std::vector<AppRegistration> applications;
    CFD3Doc* document = nullptr;
    // The main window's application-bar button under a screen point, where
    // hits dropped start that application (none: hits drop nowhere).
    std::function<ThumbnailPaneWnd::OutsideTarget(QPoint globalPos)> applicationButtonAt;
    OcrRunSettings ocr;  // the OCR of hits
  };

  struct ChosenHit {
    std::string folder;
    int kind = 0;  // 1 stack, 0 single item
    int number = 0;
  };

  explicit CSearchDlg(const Setup& setup, QWidget* parent = nullptr);
  ~CSearchDlg() override;

  bool OpenSearchDatabase();
  void ResetConditions();
  // -1, or the faulty page with its message.
  int CheckConditions(std::string& message);

  void OnSearch();
  void OnNewSearch();
  void RedisplayHits();
  void ChooseHitAndClose(int hitIndex, int result);
  void SaveHistory(int result);

  // Printing the selected hits (the hit board's print command).
  static constexpr int kPrintCommand = 0x808f;
  bool HasPrintableSelection(bool images, bool listed);
  bool IsHitPrintable(int hitIndex, bool images, bool listed);
  // The selected hits' files in tile order, stacks page by page.
  std::vector<PrintListEntry> CollectPrintPages();
  void OnPrint();
  // Registered application `index` on the selected hits.
  void OnLaunchApplication(int index);
  // The property dialog of the only selected hit.
  void OnHitProperties();
  // The hit board's OCR: the selected hits' images read into their attached
  // texts, each recorded in its own folder.
  void OcrSelectedHits();
  // The title dialog of the only selected hit, when it is a stack.
  void OnHitStackTitle();
  // The page reorder dialog of the only selected hit, when it is a stack,
  // through the hit's own folder.
  void OnHitReorderPages();
  // The export of the selected hits, each read from its own folder.
  void OnHitExport();
  // The delete request on the selected hits (forGood: past the trash): each
  // document goes from its own folder, its tile from the board and the hit
  // count down by one.
  void OnHitDelete(bool forGood);
  // Copies of the selected hits in their own folders (currentPageOnly: the
  // one selected stack's current page as a single item); each copy is added
  // to the hit board.
  void OnHitDuplicate(bool currentPageOnly);
  // The print set-up (tests point the printer at a PDF file); false cancels.
  std::function<bool(QPrinter& printer)> printSetup;
  PrintCommandRunner printCommand = DefaultPrintCommand();
  int printedSheets() const { return printedSheets_; }

  // What the pages show, exchanged with the controls.
  SearchConditions& Conditions() { return conditions_; }
  void LoadPages();  // conditions -> controls
  void StorePages();  // controls -> conditions

  int searchHitMax() const { return searchHitMax_; }
  int hitCount() const { return hitCount_; }
  bool newSearch() const { return newSearch_; }
  int result() const { return result_; }
  const ChosenHit& chosen() const { return chosen_; }
  ThumbnailPaneWnd* hitPane() const { return pane_; }
  QPushButton* searchButton() const { return searchButton_; }
  QTabWidget* pages() const { return tabs_; }
  QLineEdit* hitMaxEdit() const { return hitMax_; }
  QComboBox* wordCombo() const { return words_; }
  const CEntryHolder& hits() const { return hitList_; }
  SearchDatabase& database() { return database_; }
  QComboBox* extensionCombo() const { return extensions_; }
  QPushButton* extensionButton() const { return extensionButton_; }
  QPushButton* relatedButton() const { return related_; }

  // How the page's own dialogs run (tests answer them).
  std::function<int(RelatedWordsDlg&)> relatedRunner;
  std::function<int(ExtensionFilterDlg&)> extensionRunner;
  std::function<int(TitleChangeDlg&)> titleRunner;
  BoardOperations::ReorderDialog reorderRunner;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void reject() override;

 private:
  QWidget* buildWordPage();
  QWidget* buildFilePage();
  QWidget* buildDatePage();
  void updateEnabling();
  void fillDates();
  void placeWindow();
  void layoutBelowPages();
  void loadHistory(QComboBox* box, const char* format);
  void saveHistory(QComboBox* box, const char* format);
  void pushHistory(QComboBox* box);
  void addHit(const SearchHit& hit);
  void showCount();
  void onHitMaxEdited(const QString& text);
  bool runSearch();
  void tellSkippedFolders();

  Setup setup_;
  std::unique_ptr<CFD3Doc> ownDocument_;  // work folder when the browser lends none
  SearchConditions conditions_;
  SearchDatabase database_;
  bool databaseOpen_ = false;
  CEntryHolder hitList_;
  std::unique_ptr<SearchHitSource> source_;
  std::string targetPath_;
  bool newSearch_ = true;
  int hitCount_ = -1;
  int searchHitMax_ = 100;
  int result_ = kEnded;
  ChosenHit chosen_;
  QString previousHitMax_;
  bool filling_ = false;
  bool ended_ = false;
  int pageHeight_ = 0;
  int printedSheets_ = 0;
  std::unique_ptr<CImageCtrl> imagingControl_;

  QTabWidget* tabs_ = nullptr;
  QPushButton* searchButton_ = nullptr;
  QPushButton* endButton_ = nullptr;
  QPushButton* clearButton_ = nullptr;
  QLineEdit* hitMax_ = nullptr;
  ThumbnailPaneWnd* pane_ = nullptr;
  // Word page.
  QComboBox* words_ = nullptr;
  QComboBox* matchMode_ = nullptr;
  QCheckBox* exclude_ = nullptr;
  QPushButton* related_ = nullptr;
  QCheckBox* fields_[5] = {};
  QCheckBox* caseSensitive_ = nullptr;
  QCheckBox* widthSensitive_ = nullptr;
  QSpinBox* similarity_ = nullptr;
  QSlider* similarityBar_ = nullptr;
  QWidget* textGroup_ = nullptr;
  // File page.
  QComboBox* folder_ = nullptr;
  QCheckBox* subfolders_ = nullptr;
  QCheckBox* useColor_ = nullptr;
  QPushButton* chooseColor_ = nullptr;
  QLabel* swatch_ = nullptr;
  QRadioButton* fileKind_[4] = {};
  QComboBox* extensions_ = nullptr;
  QPushButton* extensionButton_ = nullptr;
  // Date page.
  QRadioButton* dateKind_[4] = {};
  QComboBox* period_ = nullptr;
  QRadioButton* within_ = nullptr;
  QRadioButton* before_ = nullptr;
  QLineEdit* dateFields_[6] = {};
};
