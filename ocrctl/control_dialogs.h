#pragma once
// What the control's dialogs share.
//
// Dialog sizes are given in dialog units of the dialog's font: a horizontal
// unit is a quarter of the average character width, a vertical one an
// eighth of the character height. The control's dialogs use the UI font at
// 9 points (the CJK sans face the program installs).
#include <QDialog>
#include <QFont>
#include <QFontMetrics>
#include <QSize>
#include <QWidget>

#include <functional>

namespace ocrctl {

inline QFont controlDialogFont() { return QFont(QStringLiteral("Noto Sans CJK JP"), 9); }

// The horizontal base is the mean width of the Latin letters: a CJK font's
// average character width counts its full-width glyphs and would make the
// dialogs twice as wide as their layout means.
inline QSize dialogUnits(const QWidget& widget, int x, int y) {
  const QFontMetrics metrics(widget.font());
  const int letters = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  const int base = (letters / 26 + 1) / 2;
  return {x * base / 4, y * metrics.height() / 8};
}

// How a modal dialog of the control runs: exec() unless a test answers it.
using DialogRunner = std::function<int(QDialog&)>;

inline int runDialog(QDialog& dialog, const DialogRunner& runner) { return runner ? runner(dialog) : dialog.exec(); }

}  // namespace ocrctl
