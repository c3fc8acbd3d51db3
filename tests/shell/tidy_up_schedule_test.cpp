#include "shell/tidy_up_schedule.h"

#include <QDate>

#include <gtest/gtest.h>

#include <ostream>

namespace {

struct Row {
  const char* name;
  int schedule;
  int previous;
  int today;
  bool due;
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

class TidyUpSchedule : public ::testing::TestWithParam<Row> {};

TEST_P(TidyUpSchedule, Decides) {
  EXPECT_EQ(IsTidyUpDue(GetParam().schedule, GetParam().previous, GetParam().today), GetParam().due);
}

// 2024-01-02 is a Tuesday (3), 2024-03-01 a Friday (6), 2023-12-31 a Sunday (1).
INSTANTIATE_TEST_SUITE_P(
    Cases, TidyUpSchedule,
    ::testing::Values(
        Row{"daily", 0, 20240101, 20240102, true},
        Row{"weekday_match", 3, 20231225, 20240102, true},
        Row{"weekday_other", 4, 20231225, 20240102, false},
        Row{"sunday_is_one", 1, 20231224, 20231231, true},
        // Weekly: the week runs Sunday to Saturday, across the year end.
        Row{"weekly_same_week_across_year", 8, 20231231, 20240102, false},
        Row{"weekly_last_saturday", 8, 20231230, 20240102, true},
        Row{"weekly_first_start_on_sunday", 8, 20231230, 20231231, true},
        Row{"weekly_same_week_across_month", 8, 20240226, 20240301, false},
        Row{"weekly_previous_week_across_month", 8, 20240224, 20240301, true},
        Row{"weekly_leap_day_same_week", 8, 20240229, 20240301, false},
        Row{"weekly_never_run", 8, 0, 20240102, true},
        Row{"monthly_new_month", 9, 20240229, 20240301, true},
        Row{"monthly_new_year", 9, 20231231, 20240101, true},
        Row{"monthly_same_month", 9, 20240301, 20240315, false},
        Row{"monthly_same_month_other_year", 9, 20230315, 20240316, true},
        Row{"unknown_schedule", 10, 20230101, 20240101, false},
        Row{"negative_schedule", -1, 20230101, 20240101, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WeekdayNumber, SundayIsOne) {
  EXPECT_EQ(WeekdayNumber(QDate(2023, 12, 31)), 1);
  EXPECT_EQ(WeekdayNumber(QDate(2024, 1, 6)), 7);
  EXPECT_EQ(WeekdayNumber(QDate(2024, 1, 2)), 3);
}

}  // namespace
