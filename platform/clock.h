#pragma once
// The one clock of the program. Dates are local dates in the program's time
// zone (TZ=JST-9, set at start-up); tests set a fixed moment.
//
//   now, todayYmd, toYmd, setFixedNowForTests

#include <QDateTime>

#include <optional>

namespace platform {

QDateTime now();
// year * 10000 + month * 100 + day of the local date
int todayYmd();
int toYmd(const QDate& date);
QDate fromYmd(int ymd);  // invalid QDate for an impossible value
void setFixedNowForTests(std::optional<QDateTime> moment);

}  // namespace platform
