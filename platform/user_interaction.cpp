#include "platform/user_interaction.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>

#include <cstdio>

namespace platform {
namespace {

UserInteraction* gService = nullptr;

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

namespace {

// The answer of a box closed without a choice.
Answer escapeAnswerOf(Buttons buttons) {
  switch (buttons) {
    case Buttons::Ok:
      return Answer::Ok;
    case Buttons::YesNo:
      return Answer::No;
    case Buttons::AbortRetryIgnore:
      return Answer::Abort;
    default:
      return Answer::Cancel;
  }
}

}  // namespace

Answer firstAnswerOf(Buttons buttons) {
  switch (buttons) {
    case Buttons::Ok:
    case Buttons::OkCancel: return Answer::Ok;
    case Buttons::YesNo:
    case Buttons::YesNoCancel: return Answer::Yes;
    case Buttons::RetryCancel: return Answer::Retry;
    case Buttons::AbortRetryIgnore: return Answer::Abort;
  }
  return Answer::Ok;
}

UserInteraction* setUserInteraction(UserInteraction* service) {
  UserInteraction* previous = gService;
  gService = service;
  return previous;
}

Answer messageBox(const std::string& text, Buttons buttons, Icon icon, const std::string& caption) {
  if (gService) return gService->messageBox(text, caption, buttons, icon);
  if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
    QtUserInteraction qt;
    return qt.messageBox(text, caption, buttons, icon);
  }
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  return firstAnswerOf(buttons);
}

RecordingUserInteraction::RecordingUserInteraction() { previous_ = setUserInteraction(this); }

RecordingUserInteraction::~RecordingUserInteraction() { setUserInteraction(previous_); }

std::vector<std::string> RecordingUserInteraction::texts() const {
  std::vector<std::string> out;
  for (const auto& s : shown_) out.push_back(s.text);
  return out;
}

Answer RecordingUserInteraction::messageBox(const std::string& text, const std::string& caption,
                                            Buttons buttons, Icon icon) {
  Answer answer = firstAnswerOf(buttons);
  if (!script_.empty()) {
    answer = script_.front();
    script_.pop_front();
  }
  shown_.push_back({text, caption, buttons, icon, answer});
  return answer;
}

Answer QtUserInteraction::messageBox(const std::string& text, const std::string& caption,
                                     Buttons buttons, Icon icon) {
  QWidget* owner = owner_ ? owner_ : QApplication::activeWindow();
  // A window that closes by itself (the splash) would take the box with it.
  while (owner && owner->windowType() == Qt::SplashScreen) owner = owner->parentWidget();
  // On the heap: an owner destroyed while the box waits deletes the box with
  // its other children, which a box on the stack would not survive.
  QPointer<QMessageBox> box = new QMessageBox(qtIcon(icon), QString::fromStdString(caption),
                                              QString::fromStdString(text), standardButtons(buttons), owner);
  const int button = box->exec();
  if (!box) return escapeAnswerOf(buttons);
  delete box.data();
  return answerOf(button);
}

}  // namespace platform
