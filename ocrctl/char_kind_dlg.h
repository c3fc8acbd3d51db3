#pragma once
// "認識字種設定": six check boxes, one bit of CharAttr each.
#include <QDialog>

#include <array>

class QCheckBox;

namespace ocrctl {

struct CharKind {
  int id;
  const char* text;
  unsigned bit;
};
// In the dialog's order.
inline constexpr std::array<CharKind, 6> kCharKinds = {{{223, "ひらかな", 1},
                                                        {224, "カタカナ", 2},
                                                        {225, "漢字", 4},
                                                        {227, "数字", 8},
                                                        {226, "英字", 16},
                                                        {228, "記号", 32}}};

class CharKindDlg : public QDialog {
 public:
  CharKindDlg(unsigned value, QWidget* parent);
  // The sum of the bits of the checked boxes (0 when none is).
  unsigned value() const;

 private:
  std::array<QCheckBox*, kCharKinds.size()> boxes_{};
};

}  // namespace ocrctl
