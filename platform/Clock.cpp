#include "platform/Clock.h"

#include <ctime>

qint64 SystemClock::Now() const {
    return static_cast<qint64>(std::time(nullptr));
}
