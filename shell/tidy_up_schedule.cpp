#include "shell/tidy_up_schedule.h"

#include "platform/clock.h"

#include <QDate>

int WeekdayNumber(const QDate& date) { return date.dayOfWeek() % 7 + 1; }

bool IsTidyUpDue(int schedule, int previousLastDate, int today) {
  const QDate day = platform::fromYmd(today);
  if (!day.isValid()) return false;
  switch (schedule) {
    case 0:
      return true;
    case 1: case 2: case 3: case 4: case 5: case 6: case 7:
      return WeekdayNumber(day) == schedule;
    case 8: {
      // Due at the first start of a week (Sunday to Saturday): the previous
      // start lies on or before last Saturday. Counted in calendar days, so
      // the week may begin in the previous month or year.
      const QDate lastSaturday = day.addDays(-WeekdayNumber(day));
      return previousLastDate <= platform::toYmd(lastSaturday);
    }
    case 9:
      return previousLastDate / 100 != today / 100;
    default:
      return false;
  }
}
