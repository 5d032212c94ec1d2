// The one-second tick and one durable profile write.
#include "board/BoardDisplay.h"
#include "board/TimerLedger.h"
#include "platform/Clock.h"
#include "platform/Profile.h"
#include "platform/ProfileLayout.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

// Pushes the fields into copies, as the form's controls would hold them.
class CopyingDisplay final : public BoardDisplay {
public:
    void PushFields() override {
        m_time = m_strShowTime;
        m_percent = m_strShowPercent;
        m_total = m_strShowTotal;
    }
    void ReadFields() override {}
    std::array<QString, kTimers> m_time, m_percent;
    QString m_total;
};

void BM_Tick(benchmark::State& state) {
    QTemporaryDir dir;
    Profile profile(dir.filePath(QStringLiteral("Kelvra.conf")));
    for (int i = 0; i < 10; ++i) {
        profile.WriteProfileInt(ProfileLayout::kTimerSec, ProfileLayout::IndexEntry(i), 1000 * i + 17);
    }
    SettableClock clock;
    CopyingDisplay display;
    CTimerLedger ledger(profile, clock, display);
    ledger.StartStopped();
    ledger.LoadTimers();
    ledger.ShowTimers();
    display.m_nSelected = 3;
    ledger.SwitchTimer();
    const quint64 readsBefore = profile.ReadCount();
    for (auto _ : state) {
        clock.Advance(1);
        ledger.RefreshRunningTimer();
        benchmark::DoNotOptimize(display.m_total);
    }
    state.counters["profile_reads_per_tick"] =
        static_cast<double>(profile.ReadCount() - readsBefore) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_Tick)->Unit(benchmark::kMicrosecond);

void BM_DurableWrite(benchmark::State& state) {
    QTemporaryDir dir;
    Profile profile(dir.filePath(QStringLiteral("Kelvra.conf")));
    for (int i = 0; i < 10; ++i) {
        profile.WriteProfileString(ProfileLayout::kTimerText, ProfileLayout::IndexEntry(i),
                                   QStringLiteral("My Project Text %1").arg(i + 1));
    }
    int n = 0;
    for (auto _ : state) {
        profile.WriteProfileInt(ProfileLayout::kTimerSec, ProfileLayout::IndexEntry(n % 10), n);
        ++n;
    }
}
BENCHMARK(BM_DurableWrite)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
