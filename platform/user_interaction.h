#pragma once
// Message boxes and questions go through one service so that the core code
// can ask the user without knowing about widgets, and tests can answer.
//
//   UserInteraction            the service interface
//   messageBox()               asks the installed service
//   setUserInteraction()       installs a service (the program installs the
//                              QMessageBox one of shell/qt_user_interaction.h)
//   ScopedUserInteraction      installs a service for a scope
//   RecordingUserInteraction   answers from a script and keeps every box shown
//   setSessionEnding           no more boxes: the session ends
//
// No widgets here: the libraries that use this service run without Qt Widgets.

#include <deque>
#include <string>
#include <vector>

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

// Without an installed service: the text on standard error and the first
// button's answer.
Answer messageBox(const std::string& text, Buttons buttons = Buttons::Ok, Icon icon = Icon::Warning,
                  const std::string& caption = kDefaultCaption);

// Installs a service (not owned); nullptr restores the default. Returns the previous one.
UserInteraction* setUserInteraction(UserInteraction* service);

// The session is ending (SIGTERM, SIGHUP): from then on no box is shown (the
// text goes to standard error) and every question gets the answer of a box
// closed without a choice, so that nothing waits for a user who is gone and
// nothing is done that a user did not choose. Work that looks for a cancel
// is cancelled. Tests set it back with false.
void setSessionEnding(bool ending);
bool sessionEnding();

Answer firstAnswerOf(Buttons buttons);
// The answer of a box closed without a choice (Escape, or its owner gone).
Answer escapeAnswerOf(Buttons buttons);

class ScopedUserInteraction {
 public:
  explicit ScopedUserInteraction(UserInteraction* service) : previous_(setUserInteraction(service)) {}
  ~ScopedUserInteraction() { setUserInteraction(previous_); }
  ScopedUserInteraction(const ScopedUserInteraction&) = delete;
  ScopedUserInteraction& operator=(const ScopedUserInteraction&) = delete;

 private:
  UserInteraction* previous_;
};

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

}  // namespace platform
