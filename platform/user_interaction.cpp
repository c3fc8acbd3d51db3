#include "platform/user_interaction.h"

#include <atomic>
#include <cstdio>

namespace platform {
namespace {

UserInteraction* gService = nullptr;
std::atomic<bool> gSessionEnding{false};

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

Answer escapeAnswerOf(Buttons buttons) {
  switch (buttons) {
    case Buttons::Ok: return Answer::Ok;
    case Buttons::YesNo: return Answer::No;
    case Buttons::AbortRetryIgnore: return Answer::Abort;
    default: return Answer::Cancel;
  }
}

UserInteraction* setUserInteraction(UserInteraction* service) {
  UserInteraction* previous = gService;
  gService = service;
  return previous;
}

void setSessionEnding(bool ending) { gSessionEnding = ending; }

bool sessionEnding() { return gSessionEnding; }

Answer messageBox(const std::string& text, Buttons buttons, Icon icon, const std::string& caption) {
  if (gSessionEnding) {
    std::fprintf(stderr, "%s (not shown, the session ends): %s\n", caption.c_str(), text.c_str());
    return escapeAnswerOf(buttons);
  }
  if (gService) return gService->messageBox(text, caption, buttons, icon);
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

}  // namespace platform
