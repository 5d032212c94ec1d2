// Building the shaded faces, and painting: a face alone (copy and blit) and a whole button.
#include "controls/ShadeButton.h"
#include "controls/Shading.h"
#include "platform/Random15.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

namespace {

constexpr Shading::ButtonColours kClassic{0x808080, 0xC0C0C0, 0xFFFFFF};
constexpr Shading::ShadeOptions kBoard{Shading::Scratches, 20, 15, 36, 0xFF4060};
// The board's buttons are 56 x 9 dialog units; at 11 x 21 pixel base units that is 154 x 24 pixels.
constexpr int kButtonWidth = 154;
constexpr int kButtonHeight = 24;

void BuildBoardFace(CShadeButton& button, Random15& random) {
    button.BuildShading(kBoard.m_kind, kBoard.m_noise, kBoard.m_hoverPercent, kBoard.m_tintPercent,
                        kBoard.m_tintColour, random);
}

void BM_BuildShading(benchmark::State& state) {
    const auto width = static_cast<int>(state.range(0));
    const auto height = static_cast<int>(state.range(1));
    CDibSurface normal;
    CDibSurface hover;
    Random15 random;
    for (auto _ : state) {
        Shading::BuildShading(normal, hover, width, height, kClassic, kBoard, random);
        benchmark::DoNotOptimize(hover.GetBits());
    }
}
BENCHMARK(BM_BuildShading)
    ->Args({kButtonWidth, kButtonHeight})
    ->Args({400, 100})
    ->Unit(benchmark::kMicrosecond);

// Step 8 of the board's initial update: both buttons, the second continuing the first's sequence.
void BM_BuildBothBoardButtons(benchmark::State& state) {
    CShadeButton manual;
    CShadeButton sponsor;
    manual.resize(kButtonWidth, kButtonHeight);
    sponsor.resize(kButtonWidth, kButtonHeight);
    Random15 random;
    for (auto _ : state) {
        BuildBoardFace(manual, random);
        BuildBoardFace(sponsor, random);
        benchmark::DoNotOptimize(sponsor.FaceHover().GetBits());
    }
}
BENCHMARK(BM_BuildBothBoardButtons)->Unit(benchmark::kMicrosecond);

void BM_DrawFace(benchmark::State& state) {
    CDibSurface normal;
    CDibSurface hover;
    Random15 random;
    Shading::BuildShading(normal, hover, kButtonWidth, kButtonHeight, kClassic, kBoard, random);
    QImage target(kButtonWidth, kButtonHeight, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&target);
    for (auto _ : state) {
        normal.Draw(painter, 0, 0);
    }
    painter.end();
    benchmark::DoNotOptimize(target.constBits());
}
BENCHMARK(BM_DrawFace)->Unit(benchmark::kMicrosecond);

void BM_PaintButton(benchmark::State& state) {
    CShadeButton button;
    button.resize(kButtonWidth, kButtonHeight);
    button.setText(QStringLiteral("Online Manual"));
    Random15 random;
    BuildBoardFace(button, random);
    QImage target(kButtonWidth, kButtonHeight, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        button.render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
}
BENCHMARK(BM_PaintButton)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
