#pragma once
// QtUserInteraction: the message-box service of the program, a QMessageBox
// owned by a window. The application installs one at start-up (see
// platform/user_interaction.h); the libraries only know the interface.

#include "platform/user_interaction.h"

class QWidget;

class QtUserInteraction : public platform::UserInteraction {
 public:
  // owner may be null: the box is then owned by the active window.
  explicit QtUserInteraction(QWidget* owner = nullptr) : owner_(owner) {}
  platform::Answer messageBox(const std::string& text, const std::string& caption, platform::Buttons buttons,
                              platform::Icon icon) override;

 private:
  QWidget* owner_;
};
