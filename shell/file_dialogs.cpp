#include "shell/file_dialogs.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QSplitter>
#include <QStandardPaths>
#include <QStyledItemDelegate>
#include <QTreeView>

#include <algorithm>
#include <map>

namespace {

std::map<FileDialogPurpose, QString>& lastFolders() {
  static std::map<FileDialogPurpose, QString> folders;
  return folders;
}

// Qt's Japanese catalogue lacks the type names of its file model; these are
// the words a Japanese desktop shows.
class JapaneseIconProvider : public QFileIconProvider {
 public:
  QString type(const QFileInfo& info) const override {
    if (info.isDir()) return QStringLiteral("フォルダー");
    const QString suffix = info.suffix();
    return suffix.isEmpty() ? QStringLiteral("ファイル") : suffix.toUpper() + QStringLiteral(" ファイル");
  }
};

constexpr int kColumnPadding = 28;  // pixels of a column beyond its text: margins and the sort mark
constexpr int kNameColumnWidth = 280;

}  // namespace

QString StartFolder(FileDialogPurpose purpose) {
  const QString& last = lastFolders()[purpose];
  if (!last.isEmpty() && QFileInfo(last).isDir()) return last;
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  return !documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

void RememberFolder(FileDialogPurpose purpose, const QString& folder) {
  if (!folder.isEmpty()) lastFolders()[purpose] = folder;
}

void FitFileDialog(QFileDialog& dialog) {
  static JapaneseIconProvider provider;
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setIconProvider(&provider);
  auto* details = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
  int columns = kNameColumnWidth;
  if (details) {
    const QFontMetrics metrics = details->fontMetrics();
    // A date as the list shows it, in the user's locale.
    const auto* delegate = qobject_cast<const QStyledItemDelegate*>(details->itemDelegate());
    const QDateTime widest(QDate(2026, 12, 31), QTime(23, 59, 59));
    const QString date = delegate ? delegate->displayText(widest, details->locale()) : widest.toString();
    const int widths[] = {kNameColumnWidth, metrics.horizontalAdvance(QStringLiteral("999.9 KB")) + kColumnPadding,
                          metrics.horizontalAdvance(QStringLiteral("フォルダー")) + kColumnPadding,
                          metrics.horizontalAdvance(date) + kColumnPadding};
    QHeaderView* header = details->header();
    header->setStretchLastSection(false);
    columns = 0;
    for (int c = 0; c < 4; ++c) {
      header->resizeSection(c, widths[c]);
      columns += widths[c];
    }
  }
  // The places list on the left wide enough for its names.
  constexpr int kPlacesWidth = 170;
  if (auto* splitter = dialog.findChild<QSplitter*>(QStringLiteral("splitter")))
    splitter->setSizes({kPlacesWidth, columns + 40});
  // The places list, the columns, the frames and a scroll bar.
  constexpr int kBeside = kPlacesWidth + 90;
  QSize wanted(columns + kBeside, 500);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    wanted = wanted.boundedTo(screen->availableGeometry().size() * 9 / 10);
  dialog.resize(wanted.expandedTo(dialog.size()));
}

QString ChooseFolder(QWidget* parent, const QString& title, FileDialogPurpose purpose) {
  QFileDialog dialog(parent, title, StartFolder(purpose));
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly, true);
  FitFileDialog(dialog);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  const QString chosen = dialog.selectedFiles().front();
  RememberFolder(purpose, chosen);
  return chosen;
}
