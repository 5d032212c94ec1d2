#include "board/TimerStore.h"

#include "board/TimerLedger.h"
#include "platform/Clock.h"
#include "platform/Profile.h"
#include "platform/ProfileLayout.h"

#include <ctime>

namespace TimerStore {

namespace {

QString DefaultName(int index) {
    return QStringLiteral("My Project Text %1").arg(index + 1);
}

} // namespace

int InstallationNumber(qint64 now) {
    const std::time_t t = static_cast<std::time_t>(now);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    return ((local.tm_mday * 24 * 3600) + local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) * 100 + 10;
}

bool InitProfile(Profile& profile, const Clock& clock, CTimerLedger& ledger) {
    using namespace ProfileLayout;
    if (profile.GetProfileInt(kTimer, kInit, 0) == 0) {
        // Init cleared by hand over a board in use: what is about to be overwritten is kept beside it.
        for (int i = 0; i < CTimerLedger::kTimers; ++i) {
            const QString name = profile.GetProfileString(kTimerText, IndexEntry(i));
            if (profile.GetProfileInt(kTimerSec, IndexEntry(i), 0) != 0 ||
                (!name.isEmpty() && name != DefaultName(i))) {
                profile.KeepCopy(QStringLiteral("before-first-run"));
                break;
            }
        }
        const qint64 now = clock.Now();
        profile.WriteProfileInt(kTimer, kRandomId, InstallationNumber(now));
        ledger.InitTimers(DefaultName);
        profile.WriteProfileInt(kTimer, kInit, 1);
    }
    return profile.GetProfileInt(kTimer, kCc, 0) == 0;
}

void ResetAllTimers(CTimerLedger& ledger, BoardDisplay& display,
                    const std::function<bool(const QString& question)>& confirm) {
    if (!confirm(kResetAllQuestion)) {
        return;
    }
    display.m_nSelected = 0;
    display.PushFields();
    ledger.SwitchTimer();
    ledger.ClearAllSeconds();
    ledger.LoadTimers();
    ledger.ShowTimers();
}

void ApplyFieldResets(CTimerLedger& ledger, const std::array<int, BoardDisplay::kTimers>& resetFlags) {
    std::vector<int> reset;
    for (int i = 0; i < CTimerLedger::kTimers; ++i) {
        if (resetFlags[i] == 1) {
            reset.push_back(i);
        }
    }
    ledger.ClearSeconds(reset);
    ledger.LoadTimers();
    ledger.ShowTimers();
}

} // namespace TimerStore
