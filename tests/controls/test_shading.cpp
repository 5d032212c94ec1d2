#include "CoreSuites.h"
#include "controls/Shading.h"

#include <QTest>
#include <algorithm>
#include <limits>
#include <vector>

using namespace Shading;

namespace {

// The classic button colours: shadow (128, 128, 128), face (192, 192, 192), highlight (255, 255, 255).
constexpr ButtonColours kClassic{0x808080, 0xC0C0C0, 0xFFFFFF};
// The board's call.
constexpr ShadeOptions kBoard{Scratches, 20, 15, 36, 0xFF4060};

// Pixel rows as the test reads them: rows[r][x], r = 0 the bottom row.
using Image = std::vector<std::vector<int>>;

Image Rows(const CDibSurface& s) {
    Image rows(static_cast<std::size_t>(s.GetHeight()));
    for (int r = 0; r < s.GetHeight(); ++r) {
        const quint8* row = s.GetBits() + static_cast<std::size_t>(r) * s.GetStride();
        rows[r].assign(row, row + s.GetWidth());
    }
    return rows;
}

Image Shade(int width, int height, unsigned kind, unsigned noise, quint32 seed = 1) {
    CDibSurface s;
    s.Create(width, height, 8);
    Random15 random(seed);
    ShadePixels(s, kind, noise, random);
    return Rows(s);
}

std::vector<int> Repeat(std::initializer_list<std::pair<int, int>> runs) {
    std::vector<int> row;
    for (const auto& [value, count] : runs) {
        row.insert(row.end(), static_cast<std::size_t>(count), value);
    }
    return row;
}

QList<int> Entry(const CDibSurface& s, int n) {
    const quint8* e = s.GetColourTable() + 4 * n;
    return {e[2], e[1], e[0]};
}

} // namespace

class TestShading : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void colourTable_data() {
        QTest::addColumn<int>("entry");
        QTest::addColumn<QList<int>>("plain");
        QTest::addColumn<QList<int>>("normal");
        QTest::addColumn<QList<int>>("hover");
        QTest::newRow("0, the shadow")
            << 0 << QList<int>{128, 128, 128} << QList<int>{116, 104, 173} << QList<int>{136, 126, 185};
        QTest::newRow("64") << 64 << QList<int>{160, 160, 160} << QList<int>{136, 125, 194}
                            << QList<int>{153, 144, 203};
        QTest::newRow("128, next to the face")
            << 128 << QList<int>{192, 192, 192} << QList<int>{157, 145, 214} << QList<int>{171, 161, 220};
        QTest::newRow("255, the highlight")
            << 255 << QList<int>{255, 255, 255} << QList<int>{197, 186, 255} << QList<int>{205, 196, 255};
    }
    void colourTable() {
        QFETCH(int, entry);
        QFETCH(QList<int>, plain);
        QFETCH(QList<int>, normal);
        QFETCH(QList<int>, hover);
        CDibSurface untinted;
        untinted.Create(1, 1, 8);
        FillButtonPalette(untinted, kClassic);
        QCOMPARE(Entry(untinted, entry), plain);

        CDibSurface faceNormal;
        CDibSurface faceHover;
        Random15 random;
        QVERIFY(BuildShading(faceNormal, faceHover, 30, 10, kClassic, kBoard, random));
        QCOMPARE(Entry(faceNormal, entry), normal);
        QCOMPARE(Entry(faceHover, entry), hover);
        QCOMPARE(Rows(faceHover), Rows(faceNormal));
    }

    void paletteChannelsStayApart() {
        // Distinct channels catch a red/blue mix-up that grey colours hide.
        CDibSurface s;
        s.Create(1, 1, 8);
        FillButtonPalette(s, {0x000010, 0x002000, 0x300000});
        QCOMPARE(Entry(s, 0), (QList<int>{16, 0, 0}));
        QCOMPARE(Entry(s, 127), (QList<int>{0, 31, 0}));
        QCOMPARE(Entry(s, 255), (QList<int>{0, 0, 48}));
    }

    void percentagesUseTheirLowByteThenCap() {
        const auto build = [](unsigned hoverPercent, unsigned tintPercent) {
            CDibSurface normal;
            CDibSurface hover;
            Random15 random;
            BuildShading(normal, hover, 8, 4, kClassic, {Scratches, 20, hoverPercent, tintPercent, 0xFF4060},
                         random);
            QList<QList<int>> tables;
            for (int n = 0; n < 256; ++n) {
                tables << Entry(normal, n) << Entry(hover, n);
            }
            return tables;
        };
        QCOMPARE(build(300, 300), build(44, 44));
        QCOMPARE(build(150, 150), build(100, 100));

        // A full tint hides the texture: every entry is the tint colour.
        const QList<QList<int>> full = build(15, 150);
        for (int n = 0; n < 256; ++n) {
            QCOMPARE(full[2 * n], (QList<int>{96, 64, 255}));
            QCOMPARE(full[2 * n + 1], full[1]);
        }
    }

    void verticalRamp() {
        // Noise 20 on 24 rows: the bottom row is 20 and the top row 226, each with a grain of at most 20.
        const Image grainy = Shade(30, 24, VerticalRamp, 20);
        for (int x = 0; x < 30; ++x) {
            QVERIFY(grainy[0][x] >= 0 && grainy[0][x] <= 40);
            QVERIFY(grainy[23][x] >= 206 && grainy[23][x] <= 246);
        }
        // Noise 0: from 0 at the bottom to 255 * 23 / 24 = 244 at the top, rising row by row.
        const Image smooth = Shade(30, 24, VerticalRamp, 0);
        QCOMPARE(smooth[0], std::vector<int>(30, 0));
        QCOMPARE(smooth[23], std::vector<int>(30, 244));
        for (int r = 1; r < 24; ++r) {
            QVERIFY(smooth[r][0] >= smooth[r - 1][0]);
        }
        // Only the low 8 bits of the noise count.
        QCOMPARE(Shade(30, 24, VerticalRamp, 300), Shade(30, 24, VerticalRamp, 44));
    }

    void bandedCurve() {
        const Image rows = Shade(20, 9, BandedCurve, 0);
        QCOMPARE(rows[0], Repeat({{255, 1}, {3, 19}}));
        QCOMPARE(rows[8], Repeat({{255, 1}, {187, 19}}));
        QCOMPARE(rows[4], Repeat({{255, 1}, {213, 1}, {170, 1}, {128, 15}, {85, 1}, {42, 1}}));
        QCOMPARE(rows[1], Repeat({{255, 1}, {213, 1}, {69, 17}, {42, 1}}));
    }

    void bandedCurveOnASingleRowOrANarrowButton() {
        // One row is the middle row: full-width bands, no division by zero.
        const Image single = Shade(20, 1, BandedCurve, 0);
        QCOMPARE(single[0].front(), 255);
        QCOMPARE(single[0][1], 213);
        QCOMPARE(single[0].back(), 42);
        // Under six pixels wide there are no bands: each row keeps one value.
        for (const std::vector<int>& row : Shade(5, 7, BandedCurve, 0)) {
            QCOMPARE(std::count(row.begin(), row.end(), row.front()), 5);
        }
    }

    void shapes_data() {
        QTest::addColumn<unsigned>("kind");
        QTest::addColumn<bool>("leftLighter");
        QTest::addColumn<bool>("topLighter");
        QTest::newRow("diagonal ramp") << unsigned(DiagonalRamp) << true << true;
        QTest::newRow("vertical ramp") << unsigned(VerticalRamp) << false << true;
        QTest::newRow("horizontal ramp") << unsigned(HorizontalRamp) << true << false;
        QTest::newRow("vertical curve") << unsigned(VerticalCurve) << false << true;
        QTest::newRow("horizontal curve") << unsigned(HorizontalCurve) << true << false;
        QTest::newRow("corner curve") << unsigned(CornerCurve) << true << true;
    }
    void shapes() {
        QFETCH(unsigned, kind);
        QFETCH(bool, leftLighter);
        QFETCH(bool, topLighter);
        // One pixel in from the edges: at noise 0 the outermost column of a curve may wrap.
        const Image rows = Shade(40, 20, kind, 0);
        const int bottomLeft = rows[1][1];
        const int bottomRight = rows[1][38];
        const int topLeft = rows[18][1];
        QCOMPARE(bottomLeft > bottomRight, leftLighter);
        QCOMPARE(bottomLeft == bottomRight, !leftLighter);
        QCOMPARE(topLeft > bottomLeft, topLighter);
        QCOMPARE(topLeft == bottomLeft, !topLighter);
    }

    void onlyTheCornerCurveClamps() {
        // The left column of the horizontal curve reaches 256 at noise 0 and wraps to 0.
        QCOMPARE(Shade(40, 20, HorizontalCurve, 0)[5][0], 0);

        // Without noise the corners overshoot 0..255 and must stop there.
        const Image smooth = Shade(20, 9, CornerCurve, 0);
        QCOMPARE(smooth[8][0], 255);
        QCOMPARE(smooth[0][19], 0);
        // With noise 20 they stop at 235 and 20, plus a grain of at most 20.
        const Image grainy = Shade(20, 9, CornerCurve, 20);
        QVERIFY(grainy[8][0] >= 215);
        QVERIFY(grainy[0][19] <= 40);
    }

    void noiseOnlyForEveryOtherKind_data() {
        QTest::addColumn<unsigned>("kind");
        QTest::newRow("0") << 0u;
        QTest::newRow("9") << 9u;
        QTest::newRow("largest") << std::numeric_limits<unsigned>::max();
    }
    void noiseOnlyForEveryOtherKind() {
        QFETCH(unsigned, kind);
        const Image rows = Shade(154, 24, kind, 20);
        QCOMPARE(rows, Shade(154, 24, NoiseOnly, 20));
        int low = 255;
        int high = 0;
        for (const auto& row : rows) {
            low = std::min(low, *std::min_element(row.begin(), row.end()));
            high = std::max(high, *std::max_element(row.begin(), row.end()));
        }
        QVERIFY2(low >= 108 && high <= 148, qPrintable(QStringLiteral("%1..%2").arg(low).arg(high)));
        QVERIFY(high - low > 30); // the grain spans its range
    }

    void scratchesNeverWrap_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<quint32>("seed");
        QTest::newRow("board button") << 154 << 24 << 1u;
        QTest::newRow("board button, second") << 154 << 24 << 77u;
        QTest::newRow("large") << 400 << 100 << 5u;
        QTest::newRow("tall") << 24 << 154 << 9u;
    }
    void scratchesNeverWrap() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(quint32, seed);
        for (const auto& row : Shade(width, height, Scratches, 20, seed)) {
            QVERIFY(*std::max_element(row.begin(), row.end()) <= 254);
        }
    }

    void scratchesLieOnTheRamp() {
        // Noise 0: the ramp is 107 * r / H + 107 * (W - x) / W; strokes lift pixels by up to 40.
        const int w = 154;
        const int h = 24;
        const Image rows = Shade(w, h, Scratches, 0);
        int lifted = 0;
        for (int r = 0; r < h; ++r) {
            for (int x = 0; x < w; ++x) {
                const int lift = rows[r][x] - (107 * r / h + 107 * (w - x) / w);
                QVERIFY(lift >= 0 && lift <= 41);
                lifted += lift > 1 ? 1 : 0;
            }
        }
        QVERIFY2(lifted > 100, qPrintable(QString::number(lifted)));
        QCOMPARE(rows[0][w - 1] <= 1, true); // darkest at the bottom right
    }

    void lastStrokeLiesWhereItsDrawsSay() {
        // Nothing covers the last of the 200 strokes; its four draws (column, row from the top, length,
        // value) come just before the grain. The second half-stroke starts from the mirrored column.
        const int w = 154;
        const int h = 24;
        for (quint32 seed = 1; seed < 1000; ++seed) {
            Random15 replay(seed);
            for (int i = 0; i < 4 * 199; ++i) {
                replay.Next();
            }
            const int x0 = replay.Next() / (32767 / w);
            const int y0 = replay.Next() / (32767 / h);
            const int len = (replay.Next() / (32767 / h)) / 2;
            const int v = replay.Next() / (32767 / 40);
            if (len < 4 || v < 10 || x0 <= len || x0 + len >= w || y0 <= len || y0 + len >= h) {
                continue;
            }
            const Image rows = Shade(w, h, Scratches, 0, seed);
            const auto lift = [&](int x, int y) {
                const int r = h - 1 - y;
                return rows[r][x] - (107 * r / h + 107 * (w - x) / w);
            };
            for (int j = 0; j < len; ++j) {
                QVERIFY(lift(x0 - j, y0 + j) == v || lift(x0 - j, y0 + j) == v + 1);
                QVERIFY(lift(w - x0 + j, y0 - j) == v || lift(w - x0 + j, y0 - j) == v + 1);
            }
            // One step further each half is another stroke's, or bare ramp.
            QVERIFY(qAbs(lift(x0 - len, y0 + len) - v) > 1);
            QVERIFY(qAbs(lift(w - x0 + len, y0 - len) - v) > 1);
            return;
        }
        QFAIL("no seed gave a long enough last stroke");
    }

    void drawsPerKind_data() {
        QTest::addColumn<unsigned>("kind");
        QTest::addColumn<int>("draws");
        const int pixels = 20 * 9;
        for (unsigned kind = 0; kind <= 6; ++kind) {
            QTest::addRow("kind %u", kind) << kind << pixels;
        }
        QTest::newRow("banded curve") << unsigned(BandedCurve) << 2 * pixels;
        QTest::newRow("scratches") << unsigned(Scratches) << 800 + pixels;
    }
    void drawsPerKind() {
        // The second board button continues the sequence where the first stopped.
        QFETCH(unsigned, kind);
        QFETCH(int, draws);
        Random15 used(3);
        CDibSurface s;
        s.Create(20, 9, 8);
        ShadePixels(s, kind, 20, used);
        Random15 counted(3);
        for (int i = 0; i < draws; ++i) {
            counted.Next();
        }
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(used.Next(), counted.Next());
        }
    }

    void visitingOrder_data() {
        QTest::addColumn<unsigned>("kind");
        QTest::addColumn<bool>("byColumns");
        QTest::newRow("vertical ramp, by rows") << unsigned(VerticalRamp) << false;
        QTest::newRow("horizontal ramp, by columns") << unsigned(HorizontalRamp) << true;
    }
    void visitingOrder() {
        // At noise 127 both ramps are flat (127, or 128 in column 0 of the horizontal one) and a NoiseOnly
        // pixel is 1 + its draw, so the draws can be followed pixel by pixel.
        QFETCH(unsigned, kind);
        QFETCH(bool, byColumns);
        const int w = 7;
        const int h = 5;
        const Image draws = Shade(w, h, NoiseOnly, 127);
        const Image rows = Shade(w, h, kind, 127);
        for (int r = 0; r < h; ++r) {
            for (int x = 0; x < w; ++x) {
                const int i = byColumns ? x * h + r : r * w + x;
                const int flat = byColumns && x == 0 ? 128 : 127;
                QCOMPARE(rows[r][x], (flat + draws[i / w][i % w] - 1 - 127) & 0xFF);
            }
        }
    }

    void uncoveredSizesBuildNothing_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("zero width") << 0 << 24;
        QTest::newRow("negative height") << 154 << -3;
        QTest::newRow("too wide") << 32768 << 2;
        QTest::newRow("too tall") << 2 << 40000;
    }
    void uncoveredSizesBuildNothing() {
        QFETCH(int, width);
        QFETCH(int, height);
        CDibSurface normal;
        CDibSurface hover;
        normal.Create(4, 4, 8);
        hover.Create(4, 4, 8);
        Random15 random(11);
        QVERIFY(!BuildShading(normal, hover, width, height, kClassic, kBoard, random));
        QVERIFY(normal.IsEmpty());
        QVERIFY(hover.IsEmpty());
        Random15 untouched(11);
        QCOMPARE(random.Next(), untouched.Next());
    }

    void largestCoveredSide() {
        CDibSurface normal;
        CDibSurface hover;
        Random15 random;
        QVERIFY(BuildShading(normal, hover, 32767, 2, kClassic, {BandedCurve, 20, 15, 36, 0xFF4060}, random));
        QVERIFY(BuildShading(normal, hover, 3, 32767, kClassic, kBoard, random));
        QCOMPARE(hover.GetHeight(), 32767);
    }
};

int RunShadingTests(int argc, char** argv) {
    TestShading t;
    return QTest::qExec(&t, argc, argv);
}

#include "test_shading.moc"
