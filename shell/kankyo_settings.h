#pragma once
// The frame's block of environment settings (the "Kankyo" keys of the
// section "Browser"): loaded once when the frame is created, written when it
// closes, edited by the settings sheet. Other windows read the values from
// the frame's block.
//
//   KankyoSettings::LoadSettings   every key in table order, then the rules on reading
//   KankyoSettings::SaveSettings   every key as stored
//   BuildPrintPatterns             the printable-file pattern list

#include <QSettings>
#include <QString>
#include <QStringList>

#include <cstdint>

struct KankyoSettings {
  int KankyoAutoCmp1 = 2;
  int KankyoAutoCmp2 = 1;
  int KankyoAutoCmp3 = 1;
  int KankyoAutoCmp4 = 1;
  int KankyoBmpRes = 400;
  QString KankyoScanNameBase;
  int KankyoScanNameDate = 1;
  int KankyoScanNameTime = 2;
  int KankyoScanDeskew = 0;
  int KankyoScanDespeckle = 0;
  int KankyoScanSpin = 0;
  int KankyoScanSpinR = 0;
  int KankyoScanInvert = 0;
  int KankyoPrintSpaceX = 0;
  int KankyoPrintSpaceY = 0;
  int KankyoPrintRotate = 1;
  int KankyoPrintImage = 1;
  int KankyoPrintUserSelect = 0;
  QString KankyoPrintFileExt = QStringLiteral("*.doc, *.xls");
  int KankyoShowExtMode = 0;
  int KankyoShowFolderMax2000 = 2000;
  int KankyoShowFontSize = 120;
  int KankyoShowExpand = 1;
  int KankyoOCRLanguage = 2;
  int KankyoOCRProgram = -1;
  int KankyoOCRStringType = 2;
  int KankyoToriaezuDateType = 1;
  int KankyoToriaezuDateRange = 1;
  int KankyoToriaezuScheduleFlg = 0;
  int KankyoToriaezuScheduleDate = 2;
  int KankyoViewerConfirm = 0;
  int KankyoViewerGoFromSearch = 0;
  int KankyoColorBackColor = 0xFFFFFF;  // colours are 0x00BBGGRR
  int KankyoColorItemColor = -1;

  // Patterns such as "*.doc" that printing and the hand-offs consult.
  QStringList printPatterns;

  // faceColor: the system colour of three-dimensional faces (0x00BBGGRR),
  // which a missing item colour reads as.
  void LoadSettings(QSettings& profile, int faceColor);
  void SaveSettings(QSettings& profile) const;
};

inline constexpr int kDefaultFolderMax = 2000;

// The pattern list from the settings: empty unless userSelect is on; any bad
// token empties the whole list.
QStringList BuildPrintPatterns(int userSelect, const QString& fileExt);

// The system's face colour as 0x00BBGGRR.
int SystemFaceColor();
