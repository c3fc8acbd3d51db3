#pragma once
// The one clock of the program. Dates are local dates in the program's time
// zone (TZ=JST-9, set at start-up); tests set a fixed moment.
//
//   now, todayYmd, toYmd, setFixedNowForTests
//   monotonicMs, setMonotonicClockForTests   time limits of long work

#include <QDateTime>

#include <cstdint>
#include <functional>
#include <optional>

namespace platform {

QDateTime now();
// year * 10000 + month * 100 + day of the local date
int todayYmd();
int toYmd(const QDate& date);
QDate fromYmd(int ymd);  // invalid QDate for an impossible value
void setFixedNowForTests(std::optional<QDateTime> moment);

// Milliseconds of a clock that never goes back, for the time limits of work
// that must not run on (drawing a page). A test installs a clock of its
// own that moves as the test says; an empty function puts the real one back.
std::int64_t monotonicMs();
void setMonotonicClockForTests(std::function<std::int64_t()> clock);

}  // namespace platform
