#include "net/ElapsedMs.h"

#include <chrono>

namespace {

int MillisecondOfDay(const SystemTime& t) {
    return t.wHour * 3600000 + t.wMinute * 60000 + t.wSecond * 1000 + t.wMilliseconds;
}

} // namespace

SystemTime GetSystemTime() {
    using namespace std::chrono;
    const auto now = time_point_cast<milliseconds>(system_clock::now());
    const auto day = floor<days>(now);
    const year_month_day date{day};
    const hh_mm_ss time{now - day};
    return SystemTime{static_cast<int>(date.year()),
                      static_cast<int>(static_cast<unsigned>(date.month())),
                      static_cast<int>(static_cast<unsigned>(date.day())),
                      static_cast<int>(time.hours().count()),
                      static_cast<int>(time.minutes().count()),
                      static_cast<int>(time.seconds().count()),
                      static_cast<int>(time.subseconds().count())};
}

int ElapsedMs(const SystemTime& a, const SystemTime& b) {
    if (a.wYear != b.wYear || a.wMonth != b.wMonth || a.wDay != b.wDay) {
        return 0;
    }
    return MillisecondOfDay(b) - MillisecondOfDay(a);
}
