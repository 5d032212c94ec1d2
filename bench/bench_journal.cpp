// A switch with everything it stores (the synced profile write and the journal's two commits), and the
// open period's heartbeat.
#include "board/BoardDisplay.h"
#include "board/TimerLedger.h"
#include "journal/JournalSink.h"
#include "platform/Clock.h"
#include "platform/Profile.h"

#include <QCoreApplication>
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

} // namespace

// The heartbeat's timer wants an application object.
int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
