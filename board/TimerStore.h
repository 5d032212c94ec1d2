#pragma once

#include "board/BoardDisplay.h"

#include <QString>
#include <array>
#include <functional>

class CTimerLedger;
class Clock;
class Profile;

// The store operations of the board: first-run set-up of the profile and the two reset paths.
namespace TimerStore {

inline const QString kResetAllQuestion =
    QStringLiteral("Do you really want to reset ALL Timers?\nAre you sure ?");

// The installation number of the first run, from the local time of `now`:
// ((day * 24 * 3600) + hour * 3600 + minute * 60 + second) * 100 + 10.
int InstallationNumber(qint64 now);

// Writes the first-run defaults when "Timer"/"Init" is 0. Returns true when no country code is stored
// yet, that is when the caller must arm the one-shot lookup timer. The timers' seconds and names are the
// ledger's to write.
bool InitProfile(Profile& profile, const Clock& clock, CTimerLedger& ledger);

// Asks `confirm` with the question; on Yes the running timer is charged and stopped and all ten timers
// are set to 0 seconds. The names stay.
void ResetAllTimers(CTimerLedger& ledger, BoardDisplay& display,
                    const std::function<bool(const QString& question)>& confirm);

// What the names dialog leaves behind: timers whose flag is 1 go to 0 seconds, in index order; then
// the board is reloaded and shown. The running state is not touched.
void ApplyFieldResets(CTimerLedger& ledger, const std::array<int, BoardDisplay::kTimers>& resetFlags);

} // namespace TimerStore
