// Dated reports over ten years of heavy use: 200,000 periods, read and rendered from the journal file.
#include "GeneratedJournal.h"
#include "journal/JournalQuery.h"
#include "journal/JournalReport.h"
#include "journal/JournalSink.h"
#include "platform/Clock.h"
#include "platform/Profile.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

using History = GeneratedJournal;
constexpr int kPeriods = GeneratedJournal::kPeriods;
const QDate kLastDay = GeneratedJournal::LastDay();

void Render(benchmark::State& state, JournalReport::Unit unit, Kelvra::ReportFormat format) {
    const History& history = History::Shared();
    if (!history.Ready()) {
        state.SkipWithError("the journal could not be written");
        return;
    }
    qint64 bytes = 0;
    for (auto _ : state) {
        Journal journal(history.Path());
        QString out;
        Sql::Status status = journal.OpenForReading();
        if (status.Ok()) {
            JournalQuery query(journal);
            status = JournalReport::Render(query, {unit, format, {}, kLastDay, {}}, kLastDay, out);
        }
        if (!status.Ok()) {
            state.SkipWithError("the report failed");
            return;
        }
        bytes = out.size();
        benchmark::DoNotOptimize(out);
    }
    state.counters["characters"] = static_cast<double>(bytes);
}

void BM_ByDayText(benchmark::State& state) {
    Render(state, JournalReport::Unit::Day, Kelvra::ReportFormat::Text);
    // Closed and checkpointed: the whole history is the one file.
    state.counters["journal_bytes_per_period"] =
        static_cast<double>(QFileInfo(History::Shared().Path()).size()) / kPeriods;
}
void BM_ByDayJson(benchmark::State& state) {
    Render(state, JournalReport::Unit::Day, Kelvra::ReportFormat::Json);
}
void BM_ByMonthCsv(benchmark::State& state) {
    Render(state, JournalReport::Unit::Month, Kelvra::ReportFormat::Csv);
}
void BM_PeriodsCsv(benchmark::State& state) {
    Render(state, JournalReport::Unit::Period, Kelvra::ReportFormat::Csv);
}

// What a board adds right after its first paint with ten years of history: open, check and look for a
// period left open.
void BM_AttachAtStart(benchmark::State& state) {
    QTemporaryDir dir;
    Profile profile(dir.filePath(QStringLiteral("Kelvra.conf")));
    SettableClock clock;
    for (auto _ : state) {
        JournalSink sink(History::Shared().Path(), clock, profile);
        benchmark::DoNotOptimize(sink.Attach());
    }
}

// Repeated, so that the median is what counts.
BENCHMARK(BM_ByDayText)->Unit(benchmark::kMillisecond)->Repetitions(5)->DisplayAggregatesOnly(true);
BENCHMARK(BM_ByDayJson)->Unit(benchmark::kMillisecond)->Repetitions(5)->DisplayAggregatesOnly(true);
BENCHMARK(BM_ByMonthCsv)->Unit(benchmark::kMillisecond)->Repetitions(5)->DisplayAggregatesOnly(true);
BENCHMARK(BM_PeriodsCsv)->Unit(benchmark::kMillisecond)->Repetitions(5)->DisplayAggregatesOnly(true);
BENCHMARK(BM_AttachAtStart)->Unit(benchmark::kMillisecond)->Repetitions(5)->DisplayAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
