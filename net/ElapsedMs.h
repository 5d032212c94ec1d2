#pragma once

// A UTC calendar time to the millisecond, as the HTTP timings take it.
struct SystemTime {
    int wYear = 0;
    int wMonth = 0;
    int wDay = 0;
    int wHour = 0;
    int wMinute = 0;
    int wSecond = 0;
    int wMilliseconds = 0;
};

// Now, from the system clock, in UTC.
SystemTime GetSystemTime();

// Milliseconds from a to b when both lie on the same UTC day, otherwise 0: an interval across
// midnight UTC counts as 0.
int ElapsedMs(const SystemTime& a, const SystemTime& b);
