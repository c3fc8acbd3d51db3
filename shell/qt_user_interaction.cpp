#include "shell/qt_user_interaction.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>

using platform::Answer;
using platform::Buttons;
using platform::Icon;

namespace {

QMessageBox::StandardButtons standardButtons(Buttons buttons) {
  switch (buttons) {
    case Buttons::Ok: return QMessageBox::Ok;
    case Buttons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case Buttons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case Buttons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case Buttons::RetryCancel: return QMessageBox::Retry | QMessageBox::Cancel;
    case Buttons::AbortRetryIgnore: return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
  }
  return QMessageBox::Ok;
}

Answer answerOf(int button) {
  switch (button) {
    case QMessageBox::Ok: return Answer::Ok;
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Retry: return Answer::Retry;
    case QMessageBox::Abort: return Answer::Abort;
    case QMessageBox::Ignore: return Answer::Ignore;
    default: return Answer::Cancel;
  }
}

QMessageBox::Icon qtIcon(Icon icon) {
  switch (icon) {
    case Icon::None: return QMessageBox::NoIcon;
    case Icon::Information: return QMessageBox::Information;
    case Icon::Warning: return QMessageBox::Warning;
    case Icon::Error: return QMessageBox::Critical;
    case Icon::Question: return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

Answer QtUserInteraction::messageBox(const std::string& text, const std::string& caption, Buttons buttons,
                                     Icon icon) {
  QWidget* owner = owner_ ? owner_ : QApplication::activeWindow();
  // A window that closes by itself (the splash) would take the box with it.
  while (owner && owner->windowType() == Qt::SplashScreen) owner = owner->parentWidget();
  // On the heap: an owner destroyed while the box waits deletes the box with
  // its other children, which a box on the stack would not survive.
  QPointer<QMessageBox> box = new QMessageBox(qtIcon(icon), QString::fromStdString(caption),
                                              QString::fromStdString(text), standardButtons(buttons), owner);
  const int button = box->exec();
  if (!box) return platform::escapeAnswerOf(buttons);
  delete box.data();
  return answerOf(button);
}
