#include "shell/kankyo_settings.h"

#include "shell/app_profile.h"

#include "catalogue/sjis_text.h"

#include <QGuiApplication>
#include <QPalette>

#include <string>
#include <variant>
#include <vector>

namespace {

using Member = std::variant<int KankyoSettings::*, QString KankyoSettings::*>;

struct Key {
  const char* name;
  Member member;
};

// In the order in which the keys are read and written.
const Key kKeys[] = {
    {"KankyoAutoCmp1", &KankyoSettings::KankyoAutoCmp1},
    {"KankyoAutoCmp2", &KankyoSettings::KankyoAutoCmp2},
    {"KankyoAutoCmp3", &KankyoSettings::KankyoAutoCmp3},
    {"KankyoAutoCmp4", &KankyoSettings::KankyoAutoCmp4},
    {"KankyoBmpRes", &KankyoSettings::KankyoBmpRes},
    {"KankyoScanNameBase", &KankyoSettings::KankyoScanNameBase},
    {"KankyoScanNameDate", &KankyoSettings::KankyoScanNameDate},
    {"KankyoScanNameTime", &KankyoSettings::KankyoScanNameTime},
    {"KankyoScanDeskew", &KankyoSettings::KankyoScanDeskew},
    {"KankyoScanDespeckle", &KankyoSettings::KankyoScanDespeckle},
    {"KankyoScanSpin", &KankyoSettings::KankyoScanSpin},
    {"KankyoScanSpinR", &KankyoSettings::KankyoScanSpinR},
    {"KankyoScanInvert", &KankyoSettings::KankyoScanInvert},
    {"KankyoPrintSpaceX", &KankyoSettings::KankyoPrintSpaceX},
    {"KankyoPrintSpaceY", &KankyoSettings::KankyoPrintSpaceY},
    {"KankyoPrintRotate", &KankyoSettings::KankyoPrintRotate},
    {"KankyoPrintImage", &KankyoSettings::KankyoPrintImage},
    {"KankyoPrintUserSelect", &KankyoSettings::KankyoPrintUserSelect},
    {"KankyoPrintFileExt", &KankyoSettings::KankyoPrintFileExt},
    {"KankyoShowExtMode", &KankyoSettings::KankyoShowExtMode},
    {"KankyoShowFolderMax2000", &KankyoSettings::KankyoShowFolderMax2000},
    {"KankyoShowFontSize", &KankyoSettings::KankyoShowFontSize},
    {"KankyoShowExpand", &KankyoSettings::KankyoShowExpand},
    {"KankyoOCRLanguage", &KankyoSettings::KankyoOCRLanguage},
    {"KankyoOCRProgram", &KankyoSettings::KankyoOCRProgram},
    {"KankyoOCRStringType", &KankyoSettings::KankyoOCRStringType},
    {"KankyoToriaezuDateType", &KankyoSettings::KankyoToriaezuDateType},
    {"KankyoToriaezuDateRange", &KankyoSettings::KankyoToriaezuDateRange},
    {"KankyoToriaezuScheduleFlg", &KankyoSettings::KankyoToriaezuScheduleFlg},
    {"KankyoToriaezuScheduleDate", &KankyoSettings::KankyoToriaezuScheduleDate},
    {"KankyoViewerConfirm", &KankyoSettings::KankyoViewerConfirm},
    {"KankyoViewerGoFromSearch", &KankyoSettings::KankyoViewerGoFromSearch},
    {"KankyoColorBackColor", &KankyoSettings::KankyoColorBackColor},
    {"KankyoColorItemColor", &KankyoSettings::KankyoColorItemColor},
};

constexpr int kMaxPatterns = 16;
constexpr int kMaxPatternChars = 10;

}  // namespace

QStringList BuildPrintPatterns(int userSelect, const QString& fileExt) {
  QStringList patterns;
  if (!userSelect) return patterns;
  int count = 0;
  std::vector<std::string> tokens;
  // The tokens taken before any fault of the list: at most 16.
  ParseTokenList(fileExt.toStdString(), count, &tokens, kMaxPatterns, kMaxPatternChars + 1, kMaxPatternChars, 0);
  for (int i = 0; i < count; ++i) {
    QString token = QString::fromStdString(tokens[static_cast<std::size_t>(i)]);
    if (!token.startsWith(QLatin1String("*.")))
      token.prepend(token.startsWith(QLatin1Char('.')) ? QStringLiteral("*") : QStringLiteral("*."));
    const QString rest = token.mid(2);
    if (token.size() > kMaxPatternChars || token.size() == 2 || rest.contains(QLatin1Char('*')) ||
        rest.contains(QLatin1Char('.')))
      return {};
    patterns.push_back(token);
  }
  return patterns;
}

int SystemFaceColor() {
  const QColor c = QGuiApplication::palette().color(QPalette::Button);
  return c.red() | (c.green() << 8) | (c.blue() << 16);
}

void KankyoSettings::LoadSettings(QSettings& profile, int faceColor) {
  *this = KankyoSettings{};  // a missing key reads as its default
  for (const Key& key : kKeys) {
    const QString name = BrowserKey(QLatin1String(key.name));
    if (auto* i = std::get_if<int KankyoSettings::*>(&key.member)) {
      bool ok = false;
      const int value = profile.value(name).toInt(&ok);
      // A missing or unreadable value gives the default, which the member holds.
      if (ok) this->**i = value;
    } else {
      auto s = std::get<QString KankyoSettings::*>(key.member);
      this->*s = profile.value(name, this->*s).toString();
    }
  }
  printPatterns = BuildPrintPatterns(KankyoPrintUserSelect, KankyoPrintFileExt);
  if (KankyoShowFolderMax2000 < 10 || KankyoShowFolderMax2000 > kDefaultFolderMax)
    KankyoShowFolderMax2000 = kDefaultFolderMax;
  if (KankyoColorItemColor == -1) KankyoColorItemColor = faceColor;
}

void KankyoSettings::SaveSettings(QSettings& profile) const {
  for (const Key& key : kKeys) {
    const QString name = BrowserKey(QLatin1String(key.name));
    if (auto* i = std::get_if<int KankyoSettings::*>(&key.member))
      profile.setValue(name, this->**i);
    else
      profile.setValue(name, this->*std::get<QString KankyoSettings::*>(key.member));
  }
}
