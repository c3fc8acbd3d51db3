#pragma once
// When the scheduled tidy-up is due, decided at the first start of a day.
//
//   IsTidyUpDue    schedule (0 daily, 1-7 on that weekday with 1 Sunday,
//                  8 weekly, 9 monthly), the previous start's date and today,
//                  both YYYYMMDD
//   WeekdayNumber  1 Sunday to 7 Saturday

class QDate;

int WeekdayNumber(const QDate& date);
bool IsTidyUpDue(int schedule, int previousLastDate, int today);
