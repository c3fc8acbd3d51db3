// The library's dialogs name their controls after the controls' identifiers
// ("ctl1041"), so that tests and hosts find them by id; and they can only be
// shown inside a host that runs a QApplication.
#pragma once

#include <QApplication>
#include <QString>

namespace layout::dialogs {

template <typename W>
W* withControlId(W* widget, int id) {
  widget->setObjectName(QStringLiteral("ctl%1").arg(id));
  return widget;
}

// False in a host without widgets: the exports that would open a dialog
// then give -1 instead.
inline bool can_show_dialogs() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

}  // namespace layout::dialogs
