#pragma once
// The image-format, colour and compression choices that the export and file
// conversion dialogs offer, and the combo boxes that show them.
//
//   ExportFormatCodes, ConvertFormatCodes   the format lists, in the order shown
//   ColourClassOf, CompressionClassOf       which colour and compression list a format takes
//   ColourChoices, CompressionChoices       the entries of those lists
//   FormatHoldsPages                        the multi-page check box's rule
//   ImageFormatChoices                      three combo boxes kept in step
//
// Only formats the imaging layer writes are offered: a listed format whose
// save could only fail would be a trap. Bits per pixel 0 is the format's
// default: the held image's depth, or for the grey-or-colour formats
// (JPEG kinds) 8 bits of grey, as the entry "グレースケール" says.

#include <QString>

#include <vector>

class QComboBox;

namespace imageformat {

// Code 0: "(同一形式)", the file is copied as it is.
inline constexpr int kSameFormat = 0;
// A colour or compression class without entries of its own.
inline constexpr int kNoClass = -1;
// Formats whose lists stay as they were when they are chosen.
inline constexpr int kKeepLists = -2;

struct Choice {
  QString text;
  int data = 0;
  bool preferred = false;  // the entry chosen when the list is refilled
};

std::vector<int> ExportFormatCodes(bool sameFormatOnly);
std::vector<int> ConvertFormatCodes();
int ColourClassOf(int formatCode);
int CompressionClassOf(int formatCode);
std::vector<Choice> ColourChoices(int colourClass);
std::vector<Choice> CompressionChoices(int compressionClass);
bool FormatHoldsPages(int formatCode);
QString FormatText(int formatCode);

}  // namespace imageformat

// The format, colour and compression lists of one dialog. Changing the
// format refills the other two and selects their preferred entries.
class ImageFormatChoices {
 public:
  ImageFormatChoices(QComboBox* format, QComboBox* colour, QComboBox* compression);

  void FillFormats(const std::vector<int>& codes);
  // Selects the entry whose data equals value (else the first).
  static void SelectData(QComboBox* box, int value);
  // Refills the colour and compression lists for the chosen format.
  void RefillForFormat();
  int FormatCode() const;
  int ColourBits() const;
  int Quality() const;

 private:
  QComboBox* format_;
  QComboBox* colour_;
  QComboBox* compression_;
};
