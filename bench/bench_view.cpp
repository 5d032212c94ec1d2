// The one-second tick on the real board: read-back from the form, refresh, push to the labels.
#include "app/KelvraDoc.h"
#include "app/MainFrame.h"
#include "board/KelvraView.h"
#include "platform/Clock.h"
#include "platform/FormLabel.h"
#include "platform/Profile.h"
#include "res/resource.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

void BM_BoardTick(benchmark::State& state) {
    QTemporaryDir dir;
    auto profile = std::make_shared<Profile>(dir.filePath(QStringLiteral("Kelvra.conf")));
    SettableClock clock;
    CKelvraDoc document;
    CMainFrame frame(profile, clock, document);
    frame.View()->OnInitialUpdate();
    frame.show();
    QApplication::processEvents();
    Q_EMIT qobject_cast<FormLabel*>(frame.View()->Form().Control(IDC_NAME_FIRST + 4))->clicked();
    const quint64 readsBefore = profile->ReadCount();
    for (auto _ : state) {
        clock.Advance(1);
        frame.View()->OnTimer(ID_TIMER_TICK);
    }
    state.counters["profile_reads_per_tick"] =
        static_cast<double>(profile->ReadCount() - readsBefore) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_BoardTick)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
