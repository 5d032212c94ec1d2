// The history window over ten years of heavy use (200,000 periods): opening it up to its first paint, and
// moving to another week up to the repainted window; and what Undo Reset reads over that history.
#include "GeneratedJournal.h"
#include "board/KelvraView.h"
#include "history/HistoryWindow.h"
#include "journal/JournalSink.h"
#include "platform/Clock.h"
#include "platform/Profile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>

namespace {

// Notes the first paint of the widget it watches.
class PaintSeen final : public QObject {
public:
    bool m_bSeen = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        m_bSeen = m_bSeen || event->type() == QEvent::Paint;
        return QObject::eventFilter(watched, event);
    }
};

// A board on the generated journal, recording into it as the program does, with a clock in the last full
// week of the history.
struct Board {
    Board()
        : profile(std::make_shared<Profile>(dir.filePath(QStringLiteral("Kelvra.conf")))),
          sink(GeneratedJournal::Shared().Path(), clock, *profile), view(profile, clock, nullptr, sink) {
        sink.Attach();
    }
    QTemporaryDir dir;
    SettableClock clock{GeneratedJournal::LastDay().addDays(-1).startOfDay().toSecsSinceEpoch() + 12 * 3600};
    std::shared_ptr<Profile> profile;
    JournalSink sink;
    CKelvraView view;
};

bool Ready(benchmark::State& state) {
    if (!GeneratedJournal::Shared().Ready()) {
        state.SkipWithError("the journal could not be written");
        return false;
    }
    return true;
}

void BM_OpenHistory(benchmark::State& state) {
    if (!Ready(state)) {
        return;
    }
    Board board;
    for (auto _ : state) {
        CHistoryWindow window(board.sink, board.view.Ledger(), board.clock);
        PaintSeen paint;
        window.installEventFilter(&paint);
        window.show();
        QElapsedTimer waited;
        waited.start();
        while (!paint.m_bSeen && waited.elapsed() < 5000) {
            QApplication::processEvents();
        }
        if (!paint.m_bSeen) {
            state.SkipWithError("the window was never painted");
            return;
        }
    }
}

// Weeks spread over the ten years, each read from the journal and the window repainted.
void BM_SwitchWeek(benchmark::State& state) {
    if (!Ready(state)) {
        return;
    }
    Board board;
    CHistoryWindow window(board.sink, board.view.Ledger(), board.clock);
    window.show();
    QApplication::processEvents();
    const QDate last = window.Monday();
    const qint64 weeks = GeneratedJournal::FirstDay().daysTo(last) / 7;
    qint64 step = 0;
    for (auto _ : state) {
        window.ShowWeek(last.addDays(-7 * (++step * 37 % weeks)));
        window.repaint();
    }
}

// Edit > Undo Reset after a Reset All of the whole history: what each timer held before it.
void BM_UndoPlan(benchmark::State& state) {
    if (!Ready(state)) {
        return;
    }
    Board board;
    // Once for every run of this benchmark: a later reset would have nothing before it to sum.
    if (!board.sink.UndoableReset()) {
        struct : BoardDisplay {
            void PushFields() override {}
            void ReadFields() override {}
        } display;
        CTimerLedger(*board.profile, board.clock, display, board.sink).ClearAllSeconds();
    }
    for (auto _ : state) {
        const std::vector<std::pair<int, qint64>> plan = board.sink.UndoPlan();
        if (plan.size() != 10 || plan.front().second < 3600) {
            state.SkipWithError("the plan holds no history");
            return;
        }
        benchmark::DoNotOptimize(plan.data());
    }
}

// Repeated, so that the median is what counts.
BENCHMARK(BM_OpenHistory)->Unit(benchmark::kMillisecond)->Repetitions(5)->DisplayAggregatesOnly(true);
BENCHMARK(BM_SwitchWeek)->Unit(benchmark::kMillisecond)->Repetitions(5)->DisplayAggregatesOnly(true);
BENCHMARK(BM_UndoPlan)->Unit(benchmark::kMillisecond)->Repetitions(5)->DisplayAggregatesOnly(true);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform says this at every showing of a window with a layout; it is not news.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& message) {
        if (message != QLatin1String("This plugin does not support propagateSizeHints()")) {
            std::fprintf(stderr, "%s\n", qPrintable(message));
        }
    });
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
