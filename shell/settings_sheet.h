#pragma once
// SettingsSheet: the modal "環境設定" sheet over a copy of the frame's
// settings block, eight pages in tabs (scan, image, show, OCR, print,
// tidy-up, viewer, colour). Each page moves its values into its controls
// when it is first shown and back when the sheet ends with OK; a page never
// shown leaves its keys as they were. A page's checks run when it is left
// (another tab or OK) and keep it current when they fail.
//
// The colour page shows its colours at once through the colour preview;
// the frame undoes the preview when the sheet is cancelled.
//
//   SettingsSheet::Values         the edited copy (meaningful after OK)
//   SettingsSheet::SetColorPreview called with both colours on every change
//   SettingsSheet::SetColorPicker  replaces the colour dialog (tests)
//   ColorButton                    the push button painted in its colour

#include "shell/kankyo_settings.h"

#include <QColor>
#include <QDialog>
#include <QPushButton>

#include <functional>
#include <optional>
#include <vector>

class QTabWidget;
class SettingsPage;

// 0x00BBGGRR and back.
QColor ColorOfRef(int colorRef);
int RefOfColor(const QColor& color);

class ColorButton : public QPushButton {
  Q_OBJECT
 public:
  explicit ColorButton(QWidget* parent = nullptr) : QPushButton(parent) {}
  void SetColor(const QColor& color) {
    color_ = color;
    update();
  }
  QColor Color() const { return color_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QColor color_ = Qt::white;
};

class SettingsSheet : public QDialog {
  Q_OBJECT
 public:
  // Opens the colour dialog on `current` with the sixteen custom colours;
  // nothing when the user cancels.
  using ColorPicker = std::function<std::optional<QColor>(const QColor& current, const std::vector<QColor>& custom)>;
  using ColorPreview = std::function<void(int backColor, int itemColor)>;

  // ocrLevel: what the search for the sibling OCR application found (below
  // 4: it is not installed).
  SettingsSheet(const KankyoSettings& values, int ocrLevel, QWidget* parent = nullptr);
  ~SettingsSheet() override;

  const KankyoSettings& Values() const { return values_; }
  KankyoSettings& MutableValues() { return values_; }
  int OcrLevel() const { return ocrLevel_; }
  QTabWidget* Tabs() const { return tabs_; }
  SettingsPage* Page(int index) const { return pages_[static_cast<std::size_t>(index)]; }

  void SetColorPreview(ColorPreview preview) { preview_ = std::move(preview); }
  void SetColorPicker(ColorPicker picker) { picker_ = std::move(picker); }
  void PreviewColors();
  std::optional<QColor> PickColor(const QColor& current, const std::vector<QColor>& custom);

  void accept() override;

 private:
  void OnTabChanged(int index);

  KankyoSettings values_;
  int ocrLevel_;
  QTabWidget* tabs_;
  std::vector<SettingsPage*> pages_;
  int current_ = 0;
  bool switching_ = false;
  ColorPreview preview_;
  ColorPicker picker_;
};

// One page of the sheet.
class SettingsPage : public QWidget {
  Q_OBJECT
 public:
  explicit SettingsPage(SettingsSheet& sheet) : sheet_(sheet) {}
  // Fills the controls once, when the page is first shown.
  void EnsureLoaded() {
    if (loaded_) return;
    loaded_ = true;
    Load();
  }
  bool IsLoaded() const { return loaded_; }
  // The checks on leaving the page; false keeps it current (a message was shown).
  virtual bool Check() { return true; }
  // The controls back into the sheet's copy (only for a page that was shown).
  virtual void Store() = 0;

 protected:
  virtual void Load() = 0;
  KankyoSettings& values() { return sheet_.MutableValues(); }
  SettingsSheet& sheet_;

 private:
  bool loaded_ = false;
};

// The checks of the scan page's title base (empty only with a date or time
// form): the message, or empty when it passes.
QString CheckTitleBase(const QString& titleBase, int dateForm, int timeForm);
// The checks of the print page's extension list: the message, or empty.
QString CheckExtensionList(const QString& trimmedList);
