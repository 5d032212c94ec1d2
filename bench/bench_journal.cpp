// A switch with everything it stores (the synced profile write and the journal's two commits), the
// open period's heartbeat, and the health check after the first paint on ten years of history.
#include "GeneratedJournal.h"
#include "board/BoardDisplay.h"
#include "board/TimerLedger.h"
#include "journal/JournalHealth.h"
#include "journal/JournalSink.h"
#include "platform/Clock.h"
#include "platform/Profile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

class NoDisplay final : public BoardDisplay {
public:
    void PushFields() override {}
    void ReadFields() override {}
};

struct Board {
    Board()
        : profile(dir.filePath(QStringLiteral("Kelvra.conf"))),
          sink(dir.filePath(QStringLiteral("Kelvra.conf.journal")), clock, profile),
          ledger(profile, clock, display, sink) {
        sink.Attach();
        ledger.StartStopped();
        ledger.LoadTimers();
    }
    void Switch(int selector) {
        clock.Advance(7);
        display.m_nSelected = selector;
        ledger.SwitchTimer();
    }

    QTemporaryDir dir;
    SettableClock clock;
    NoDisplay display;
    Profile profile;
    JournalSink sink;
    CTimerLedger ledger;
};

void BM_SwitchWithJournal(benchmark::State& state) {
    Board board;
    board.Switch(1);
    int n = 0;
    for (auto _ : state) {
        board.Switch(1 + n++ % 10);
    }
}
BENCHMARK(BM_SwitchWithJournal)->Unit(benchmark::kMillisecond);

void BM_Heartbeat(benchmark::State& state) {
    Board board;
    board.Switch(3);
    for (auto _ : state) {
        board.clock.Advance(60);
        board.ledger.Heartbeat();
    }
}
BENCHMARK(BM_Heartbeat)->Unit(benchmark::kMillisecond);

// The whole quick check, on its own read-only connection, of 200,000 periods.
void BM_QuickCheck(benchmark::State& state) {
    GeneratedJournal& journal = GeneratedJournal::Shared();
    if (!journal.Ready()) {
        state.SkipWithError("the journal could not be generated");
        return;
    }
    for (auto _ : state) {
        if (JournalHealth::Check(journal.Path()).state != JournalHealth::Verdict::State::Healthy) {
            state.SkipWithError("not found healthy");
            break;
        }
    }
}
BENCHMARK(BM_QuickCheck)->Unit(benchmark::kMillisecond)->Repetitions(5)->DisplayAggregatesOnly(true);

// Rebuilding a journal of 200,000 periods from its readable rows (a copy of it each time), as a board
// does when it finds its journal damaged.
void BM_Salvage(benchmark::State& state) {
    GeneratedJournal& journal = GeneratedJournal::Shared();
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("copy.journal"));
    if (!journal.Ready()) {
        state.SkipWithError("the journal could not be generated");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        for (const QString& name : QDir(dir.path()).entryList(QDir::Files)) {
            QFile::remove(dir.filePath(name));
        }
        QFile::copy(journal.Path(), copy);
        state.ResumeTiming();
        if (JournalHealth::Salvage(copy).periods < 200'000) {
            state.SkipWithError("rows were lost");
            break;
        }
    }
}
BENCHMARK(BM_Salvage)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

// The heartbeat's timer wants an application object.
int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
