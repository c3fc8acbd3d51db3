#pragma once
// The control's property sheet and its two pages.
//
//   PropertyBinding    reads and writes the control's properties by name,
//                      through its dispatch interface, as a host would
//   OcrPropPage        "認識パラメータ": Form, LetterDirection, InsertCRMode,
//                      BlancOutMode, Language, CharAttr
//   PropEnvPage        "環境設定": frame colours and pen widths of the area
//                      view, colours of the recognition progress
//   OcrPropertySheet   both pages, OK / キャンセル / 適用
//   showPropertySheet  ShowParamSet
//
// Opening reads each bound property into its member and the member into the
// controls; applying takes the controls into the members and writes the
// members whose value differs from what was read, in the page's exchange
// order. A page the user did not touch writes nothing.
#include "ocrctl/control_dialogs.h"

#include <QDialog>
#include <QFrame>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

class QButtonGroup;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;

namespace platform {
class DispatchObject;
}

namespace ocrctl {

class CharKindDlg;

class PropertyBinding {
 public:
  explicit PropertyBinding(platform::DispatchObject& control) : control_(control) {}
  // Dispatch id of a property the pages bind; -1 for any other name.
  static int dispidOf(std::string_view name);
  std::optional<std::int32_t> get(std::string_view name) const;
  bool put(std::string_view name, std::int32_t value);

 private:
  platform::DispatchObject& control_;
};

// COLORREF (red in the low byte) and QColor.
QColor colorFromRef(std::uint32_t ref);
std::uint32_t refFromColor(const QColor& color);

class PropertyPage : public QWidget {
 public:
  PropertyPage(PropertyBinding& binding, QWidget* parent) : QWidget(parent), binding_(binding) {}
  virtual QString caption() const = 0;
  virtual void load() = 0;
  virtual void apply() = 0;
  bool isModified() const { return modified_; }
  void setModified(bool modified);
  // The sheet enables 適用 while a page is modified.
  std::function<void()> modifiedChanged;

 protected:
  // Writes the member when it differs from the value read; true when written.
  void exchange(std::string_view name, std::int32_t member, std::int32_t& read);
  PropertyBinding& binding_;

 private:
  bool modified_ = false;
};

class OcrPropPage : public PropertyPage {
 public:
  OcrPropPage(PropertyBinding& binding, QWidget* parent);
  QString caption() const override { return QStringLiteral("認識パラメータ"); }
  void load() override;
  void apply() override;

  // Runs the character-kind dialog in place of exec(); tests answer it.
  std::function<int(CharKindDlg&)> charKindRunner;
  void chooseCharKinds();

 private:
  void languageSetup(bool japanese);
  void blankOutputRule();
  void fillDirections(int entries);
  void toControls();
  void fromControls();

  // One per binding, in the exchange order: Language, BlancOutMode, Form,
  // InsertCRMode, LetterDirection, CharAttr.
  std::int32_t language_ = -1, blancOut_ = -1, form_ = -1, insertCr_ = -1, direction_ = -1;
  std::uint32_t charAttr_ = 0;
  std::array<std::int32_t, 6> read_{};

  QButtonGroup* formGroup_ = nullptr;
  QButtonGroup* crGroup_ = nullptr;
  QButtonGroup* blankGroup_ = nullptr;
  QButtonGroup* languageGroup_ = nullptr;
  QComboBox* directions_ = nullptr;
  QLineEdit* charAttrEdit_ = nullptr;
  QPushButton* charKinds_ = nullptr;
};

// A colour sample: an outlined frame, or a filled box for the progress colours.
class ColourSwatch : public QFrame {
 public:
  ColourSwatch(bool filled, QWidget* parent);
  void setColour(std::uint32_t ref);
  std::uint32_t colour() const { return colour_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool filled_;
  std::uint32_t colour_ = 0;
};

class PropEnvPage : public PropertyPage {
 public:
  PropEnvPage(PropertyBinding& binding, QWidget* parent);
  QString caption() const override { return QStringLiteral("環境設定"); }
  void load() override;
  void apply() override;

  // Picks a colour starting from the given one; nullopt = cancelled. By
  // default the colour dialog; tests answer it.
  std::function<std::optional<QColor>(const QColor&)> pickColour;
  void chooseColour(int row);

  static constexpr int kColourRows = 5;
  static constexpr int kPenRows = 3;

 private:
  std::array<std::int32_t, kPenRows> pens_{};
  std::array<std::int32_t, kPenRows> pensRead_{};
  std::array<std::uint32_t, kColourRows> colours_{};
  std::array<std::int32_t, kColourRows> coloursRead_{};
  std::array<QSpinBox*, kPenRows> penEdits_{};
  std::array<ColourSwatch*, kColourRows> swatches_{};
  std::array<QLineEdit*, kColourRows> colourEdits_{};
};

class OcrPropertySheet : public QDialog {
 public:
  OcrPropertySheet(platform::DispatchObject& control, QWidget* parent);
  OcrPropPage& parameters() { return *parameters_; }
  PropEnvPage& environment() { return *environment_; }
  QTabWidget* tabs() { return tabs_; }
  void applyPages();

  void accept() override;

 private:
  PropertyBinding binding_;
  QTabWidget* tabs_ = nullptr;
  OcrPropPage* parameters_ = nullptr;
  PropEnvPage* environment_ = nullptr;
  QPushButton* apply_ = nullptr;
};

// ShowParamSet: runs the sheet over the control's properties; 0.
short showPropertySheet(platform::DispatchObject& control, QWidget* parent, const DialogRunner& runner);

}  // namespace ocrctl
