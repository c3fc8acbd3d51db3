#pragma once
// ColorChoiceDlg: the small "色の変更" dialog with nine colour buttons. The
// modal run ends with the chosen colour index 0-8, or -1 when none was
// chosen. FolderColour gives the colour of an index, so that the folder
// tree's icons and the swatches here agree.

#include <QColor>
#include <QDialog>

inline constexpr int kFolderColourCount = 9;

// The colour of index 0-8; index 0 is the default folder colour. Indexes
// outside that range give the default colour.
QColor FolderColour(int index);

class ColorChoiceDlg : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kTemplateId = 165;
  static constexpr int kFirstButtonId = 1060;

  explicit ColorChoiceDlg(QWidget* parent = nullptr);
  // The chosen index 0-8, or -1.
  int exec() override;
  int chosenIndex() const { return chosen_; }

 private:
  int chosen_ = -1;
};
