#pragma once
// Message boxes and questions go through one service so that the core code
// can ask the user without knowing about widgets, and tests can answer.
//
//   UserInteraction            the service interface
//   messageBox()               asks the installed service
//   setUserInteraction()       installs a service (the program: QtUserInteraction)
//   RecordingUserInteraction   answers from a script and keeps every box shown
//   QtUserInteraction          a QMessageBox owned by the given window

#include <deque>
#include <string>
#include <vector>

class QWidget;

namespace platform {

enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };
enum class Icon { None, Information, Warning, Error, Question };
enum class Answer { Ok, Cancel, Yes, No, Retry, Abort, Ignore };

inline constexpr const char* kDefaultCaption = "ブリンデル";

class UserInteraction {
 public:
  virtual ~UserInteraction() = default;
  virtual Answer messageBox(const std::string& text, const std::string& caption, Buttons buttons,
                            Icon icon) = 0;
};

// Without an installed service: a QMessageBox when a QApplication exists,
// else the text on standard error and the first button's answer.
Answer messageBox(const std::string& text, Buttons buttons = Buttons::Ok, Icon icon = Icon::Warning,
                  const std::string& caption = kDefaultCaption);

// Installs a service (not owned); nullptr restores the default. Returns the previous one.
UserInteraction* setUserInteraction(UserInteraction* service);

Answer firstAnswerOf(Buttons buttons);

class RecordingUserInteraction : public UserInteraction {
 public:
  struct Shown {
    std::string text;
    std::string caption;
    Buttons buttons;
    Icon icon;
    Answer answer;
  };

  // Installs itself for its lifetime.
  RecordingUserInteraction();
  ~RecordingUserInteraction() override;

  // Answers given in order; when the script is empty a box gets its first button.
  void script(std::initializer_list<Answer> answers) { script_.insert(script_.end(), answers); }
  const std::vector<Shown>& shown() const { return shown_; }
  std::vector<std::string> texts() const;
  void clear() { shown_.clear(); }

  Answer messageBox(const std::string& text, const std::string& caption, Buttons buttons,
                    Icon icon) override;

 private:
  std::deque<Answer> script_;
  std::vector<Shown> shown_;
  UserInteraction* previous_ = nullptr;
};

class QtUserInteraction : public UserInteraction {
 public:
  // owner may be null: the box is then owned by the active window.
  explicit QtUserInteraction(QWidget* owner = nullptr) : owner_(owner) {}
  void setOwner(QWidget* owner) { owner_ = owner; }
  Answer messageBox(const std::string& text, const std::string& caption, Buttons buttons,
                    Icon icon) override;

 private:
  QWidget* owner_;
};

}  // namespace platform
