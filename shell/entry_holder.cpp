#include "shell/entry_holder.h"

#include "platform/user_interaction.h"

#include <atomic>

namespace {
// Shown once per run: a bad index is a program fault, and a box at every
// repaint would make the program unusable.
std::atomic<bool> gBadIndexReported{false};
}  // namespace

bool CEntryHolder::checkIndex(int i) const {
  if (i >= 0 && i < GetCount()) return true;
  if (!gBadIndexReported.exchange(true)) {
    platform::messageBox("データが不正です。HOL(" + std::to_string(i) + ")", platform::Buttons::Ok,
                         platform::Icon::Error);
  }
  return false;
}

DisplayEntry* CEntryHolder::GetAt(int i) const {
  return checkIndex(i) ? entries_[static_cast<size_t>(i)].get() : nullptr;
}

std::unique_ptr<DisplayEntry>* CEntryHolder::ElementAt(int i) {
  return checkIndex(i) ? &entries_[static_cast<size_t>(i)] : nullptr;
}

int CEntryHolder::Add(std::unique_ptr<DisplayEntry> entry) {
  if (entries_.size() == entries_.capacity()) entries_.reserve(entries_.size() + kGrowBy);
  entries_.push_back(std::move(entry));
  return GetCount() - 1;
}

void CEntryHolder::DeleteAt(int i) {
  if (checkIndex(i)) entries_.erase(entries_.begin() + i);
}

void CEntryHolder::DeleteAll() { entries_.clear(); }

int CEntryHolder::Find(int kind, int number) const {
  for (int i = 0; i < GetCount(); ++i)
    if (entries_[static_cast<size_t>(i)]->kind == kind && entries_[static_cast<size_t>(i)]->number == number)
      return i;
  return -1;
}
