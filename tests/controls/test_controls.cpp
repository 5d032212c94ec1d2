#include "controls/DibSurface.h"
#include "controls/Shading.h"

#include <QTest>
#include <algorithm>
#include <climits>
#include <tuple>
#include <utility>
#include <vector>

using namespace Shading;

namespace {

// Shadow (128, 128, 128), face (192, 192, 192), highlight (255, 255, 255).
constexpr ButtonColours kClassic{0x808080, 0xC0C0C0, 0xFFFFFF};
constexpr ShadeOptions kBoard{Scratches, 20, 15, 36, 0xFF4060};

// rows[r][x], r = 0 the bottom row as stored.
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

// Entry n of the colour table as (red, green, blue).
QList<int> Entry(const CDibSurface& s, int n) {
    const quint8* e = s.GetColourTable() + 4 * n;
    return {e[2], e[1], e[0]};
}

} // namespace

class TestControls : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The block's layout, and pixels counted from the top row, which is the last in memory.
    void layoutAndPixels() {
        for (const auto& [width, height, bitCount, stride, total, colours] :
             {std::tuple{10, 3, 8u, 12u, 1100u, 256},
              {1, 15, 8u, 4u, 40u + 60 + 1024, 256},
              {5, 5, 24u, 16u, 40u + 80, 0},
              {33, 2, 1u, 8u, 40u + 8 + 16, 2}}) {
            CDibSurface s;
            const quint8* block = s.Create(width, height, bitCount);
            QVERIFY(block != nullptr);
            QCOMPARE(s.GetStride(), stride);
            QCOMPARE(s.GetTotalSize(), total);
            QCOMPARE(s.GetBits(), block + 40 + 4 * colours); // +1064 at 8 bits
        }
        CDibSurface s;
        s.Create(3, 4, 8);
        s.Fill(7);
        s.PutPixel(0, 0, 9);
        s.PutPixel(2, 3, 5);
        s.PutPixel(1, 2, 6);
        for (const auto& [x, y] : {std::pair{-1, 0}, {3, 0}, {0, 4}, {0, -1}}) {
            s.PutPixel(x, y, 1);
        }
        QCOMPARE(Rows(s), (Image{{7, 7, 5}, {7, 6, 7}, {7, 7, 7}, {9, 7, 7}}));
    }

    void colourTable() {
        CDibSurface plain;
        plain.Create(1, 1, 8);
        FillButtonPalette(plain, kClassic);
        CDibSurface normal;
        CDibSurface hover;
        Random15 random;
        QVERIFY(BuildShading(normal, hover, 30, 10, kClassic, kBoard, random));
        QCOMPARE(Rows(hover), Rows(normal));
        using Rgb = QList<int>;
        // Entry, before the tint, normal, hover.
        for (const auto& [n, untinted, tinted, lit] :
             {std::tuple{0, Rgb{128, 128, 128}, Rgb{116, 104, 173}, Rgb{136, 126, 185}},
              {64, Rgb{160, 160, 160}, Rgb{136, 125, 194}, Rgb{153, 144, 203}},
              {128, Rgb{192, 192, 192}, Rgb{157, 145, 214}, Rgb{171, 161, 220}},
              {255, Rgb{255, 255, 255}, Rgb{197, 186, 255}, Rgb{205, 196, 255}}}) {
            QCOMPARE(Entry(plain, n), untinted);
            QCOMPARE(Entry(normal, n), tinted);
            QCOMPARE(Entry(hover, n), lit);
        }
    }

    // The board's texture: its scratches never wrap past white, whatever the size and the sequence.
    void scratchesNeverWrap() {
        for (const auto& [width, height, seed] :
             {std::tuple{154, 24, 1u}, {154, 24, 77u}, {400, 100, 5u}, {24, 154, 9u}}) {
            for (const auto& row : Shade(width, height, Scratches, 20, seed)) {
                QVERIFY(*std::max_element(row.begin(), row.end()) <= 254);
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestControls)
#include "test_controls.moc"
