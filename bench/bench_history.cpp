// The history window over ten years of heavy use (200,000 periods): opening it up to its first paint, and
// moving to another week or month up to the repainted window; and a correction of a period, and its undo,
// each with its journal transaction and its profile write, over that history.
#include "GeneratedJournal.h"
#include "board/KelvraView.h"
#include "history/HistoryWindow.h"
#include "journal/JournalQuery.h"
#include "journal/JournalSink.h"
#include "platform/Clock.h"
#include "platform/Profile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <algorithm>
#include <array>
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
        : profile(Agreeing(dir.filePath(QStringLiteral("Kelvra.conf")))),
          sink(GeneratedJournal::Shared().Path(), clock, *profile), view(profile, clock, nullptr, sink) {
        sink.Attach();
    }
    // A profile that holds what the journal sums up, as a board's would: nothing for a start to balance.
    static std::shared_ptr<Profile> Agreeing(const QString& file) {
        auto profile = std::make_shared<Profile>(file);
        Journal journal(GeneratedJournal::Shared().Path());
        std::array<qint64, 10> sums{};
        if (journal.OpenForReading().Ok() && JournalQuery(journal).SecondsSinceReset(sums).Ok()) {
            for (int i = 0; i < 10; ++i) {
                profile->WriteProfileInt(QStringLiteral("TimerSec"), QString::number(i),
                                         static_cast<int>(std::min<qint64>(sums[i], 1'000'000'000)));
            }
        }
        return profile;
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

// Months spread over the ten years, each read from the journal, summed and the window repainted.
void BM_OpenMonth(benchmark::State& state) {
    if (!Ready(state)) {
        return;
    }
    Board board;
    CHistoryWindow window(board.sink, board.view.Ledger(), board.clock);
    window.show();
    QApplication::processEvents();
    const QDate last = GeneratedJournal::LastDay();
    qint64 step = 0;
    for (auto _ : state) {
        window.ShowMonth(last.addMonths(-(++step * 7 % 119)));
        window.repaint();
    }
}

// The newest period that ended before `now`, and the correction that ends it a second earlier.
PeriodSink::Correction ShorterLast(const QString& path, qint64 now) {
    Journal journal(path);
    PeriodSink::Correction edit;
    edit.kind = PeriodSink::Correction::Kind::Edit;
    Sql::Statement last;
    if (journal.OpenForReading().Ok() &&
        journal.Database()
            .Prepare("SELECT id, timer, start_utc, end_utc FROM periods WHERE end_utc < ?1 AND live = 1 "
                     "ORDER BY start_utc DESC LIMIT 1",
                     last)
            .Ok() &&
        last.Bind(1, now).Next()) {
        edit.period = last.Int(0);
        edit.index = static_cast<int>(last.Int(1));
        edit.start = last.Int(2);
        edit.end = last.Int(3) - 1;
    }
    return edit;
}

// An edit of a period from the history window: one journal transaction, then the timer's profile entry.
// Each is undone again outside the timing, so that every run edits the same period.
void BM_EditPeriod(benchmark::State& state, bool bUndo) {
    if (!Ready(state)) {
        return;
    }
    Board board;
    const PeriodSink::Correction edit = ShorterLast(board.sink.Path(), board.clock.Now());
    PeriodSink::Correction undo;
    undo.kind = PeriodSink::Correction::Kind::Undo;
    using Outcome = PeriodSink::Corrected::Outcome;
    for (auto _ : state) {
        if (bUndo) {
            state.PauseTiming();
        }
        const bool bEdited = board.view.Correct(edit).outcome == Outcome::Done;
        if (bUndo) {
            state.ResumeTiming();
        } else {
            state.PauseTiming();
        }
        const bool bUndone = board.view.Correct(undo).outcome == Outcome::Done;
        if (!bUndo) {
            state.ResumeTiming();
        }
        if (!bEdited || !bUndone) {
            state.SkipWithError("the correction was not made");
            return;
        }
    }
}

void BM_Edit(benchmark::State& state) {
    BM_EditPeriod(state, false);
}

void BM_Undo(benchmark::State& state) {
    BM_EditPeriod(state, true);
}

// Repeated, so that the median is what counts.
BENCHMARK(BM_OpenHistory)->Unit(benchmark::kMillisecond)->Repetitions(5)->DisplayAggregatesOnly(true);
BENCHMARK(BM_SwitchWeek)->Unit(benchmark::kMillisecond)->Repetitions(5)->DisplayAggregatesOnly(true);
BENCHMARK(BM_OpenMonth)->Unit(benchmark::kMillisecond)->Repetitions(5)->DisplayAggregatesOnly(true);
BENCHMARK(BM_Edit)->Unit(benchmark::kMillisecond)->Repetitions(5)->DisplayAggregatesOnly(true);
BENCHMARK(BM_Undo)->Unit(benchmark::kMillisecond)->Repetitions(5)->DisplayAggregatesOnly(true);

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
