// The library's dialogs name their controls after the controls' identifiers
// ("ctl1041"), so that tests and hosts find them by id.
#pragma once

#include <QString>

namespace layout::dialogs {

template <typename W>
W* withControlId(W* widget, int id) {
  widget->setObjectName(QStringLiteral("ctl%1").arg(id));
  return widget;
}

}  // namespace layout::dialogs
