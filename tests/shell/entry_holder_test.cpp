#include "platform/user_interaction.h"
#include "shell/entry_holder.h"

#include <gtest/gtest.h>

namespace {
std::unique_ptr<DisplayEntry> entry(int kind, int number, const char* title) {
  auto e = std::make_unique<DisplayEntry>();
  e->kind = kind;
  e->number = number;
  e->title = title;
  return e;
}
}  // namespace

TEST(CEntryHolder, AddFindDeleteKeepOrder) {
  CEntryHolder holder;
  holder.Add(entry(1, 1, "見積"));
  holder.Add(entry(0, 1, "a.doc"));
  holder.Add(entry(0, 2, "b.bmp"));
  EXPECT_EQ(holder.Find(0, 2), 2);
  EXPECT_EQ(holder.Find(1, 2), -1);
  holder.DeleteAt(1);
  ASSERT_EQ(holder.GetCount(), 2);
  EXPECT_EQ(holder.GetAt(1)->title, "b.bmp");
  auto* slot = holder.ElementAt(0);
  ASSERT_NE(slot, nullptr);
  *slot = entry(1, 9, "replaced");
  EXPECT_EQ(holder.GetAt(0)->number, 9);
  holder.DeleteAll();
  EXPECT_EQ(holder.GetCount(), 0);
}

TEST(CEntryHolder, BadIndexGivesNoneAndIsReportedOnce) {
  platform::RecordingUserInteraction recorder;
  CEntryHolder holder;
  EXPECT_EQ(holder.GetAt(0), nullptr) << "an empty list has no entry 0";
  holder.Add(entry(0, 1, "a.doc"));
  EXPECT_EQ(holder.GetAt(-1), nullptr);
  EXPECT_EQ(holder.ElementAt(1), nullptr);
  holder.DeleteAt(5);
  EXPECT_EQ(holder.GetCount(), 1);
  ASSERT_EQ(recorder.shown().size(), 1u);
  EXPECT_EQ(recorder.shown()[0].text, "データが不正です。HOL(0)");
}
