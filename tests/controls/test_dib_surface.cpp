#include "CoreSuites.h"
#include "controls/DibSurface.h"

#include <QTest>
#include <cstring>
#include <limits>
#include <vector>

namespace {

std::vector<quint8> Pixels(const CDibSurface& s) {
    const quint8* bits = s.GetBits();
    return bits == nullptr ? std::vector<quint8>() : std::vector<quint8>(bits, bits + s.GetImageSize());
}

std::vector<quint8> Block(const CDibSurface& s) {
    const quint8* bits = s.GetBits();
    const quint8* block = bits - s.GetPaletteSize() - CDibSurface::kHeaderSize;
    return std::vector<quint8>(block, block + s.GetTotalSize());
}

// Entry n of the colour table as (red, green, blue).
QList<int> Entry(const CDibSurface& s, int n) {
    const quint8* e = s.GetColourTable() + 4 * n;
    return {e[2], e[1], e[0]};
}

} // namespace

class TestDibSurface : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void layout_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<unsigned>("bitCount");
        QTest::addColumn<quint32>("stride");
        QTest::addColumn<int>("colours");
        QTest::addColumn<quint32>("total");
        QTest::newRow("8 bit 10x3") << 10 << 3 << 8u << 12u << 256 << 1100u;
        QTest::newRow("8 bit one pixel wide") << 1 << 15 << 8u << 4u << 256 << 40u + 60 + 1024;
        QTest::newRow("24 bit 5x5") << 5 << 5 << 24u << 16u << 0 << 40u + 80;
        QTest::newRow("32 bit 3x2") << 3 << 2 << 32u << 12u << 0 << 40u + 24;
        QTest::newRow("16 bit 3x1") << 3 << 1 << 16u << 8u << 0 << 40u + 8;
        QTest::newRow("4 bit 9x2") << 9 << 2 << 4u << 8u << 16 << 40u + 16 + 64;
        QTest::newRow("1 bit 33x2") << 33 << 2 << 1u << 8u << 2 << 40u + 16 + 8;
        QTest::newRow("only low 16 bits of the bit count") << 10 << 3 << 0x10008u << 12u << 256 << 1100u;
    }
    void layout() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(unsigned, bitCount);
        QFETCH(quint32, stride);
        QFETCH(int, colours);
        QFETCH(quint32, total);
        CDibSurface s;
        const quint8* block = s.Create(width, height, bitCount);
        QVERIFY(block != nullptr);
        QCOMPARE(s.GetStride(), stride);
        QCOMPARE(int(s.GetColourCount()), colours);
        QCOMPARE(s.GetPaletteSize(), quint32(4 * colours));
        QCOMPARE(s.GetImageSize(), stride * quint32(height));
        QCOMPARE(s.GetTotalSize(), total);
        QCOMPARE(s.GetBits(), block + 40 + 4 * colours);
        QCOMPARE(s.GetColourTable(), colours == 0 ? nullptr : block + 40);

        // The block opens with the header (its field offsets are pinned where it is declared).
        BITMAPINFOHEADER header;
        std::memcpy(&header, block, sizeof header);
        QCOMPARE(header.biSize, 40u);
        QCOMPARE(header.biWidth, width);
        QCOMPARE(header.biHeight, height);
        QCOMPARE(header.biPlanes, quint16(1));
        QCOMPARE(header.biBitCount, quint16(bitCount & 0xFFFF));
        QCOMPARE(header.biSizeImage, stride * quint32(height));
        QCOMPARE(header.biCompression + header.biClrUsed + header.biClrImportant, 0u);
        QCOMPARE(header.biXPelsPerMeter | header.biYPelsPerMeter, 0);
    }

    void refusedSizesLeaveTheSurfaceEmpty_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<unsigned>("bitCount");
        QTest::newRow("zero width") << 0 << 5 << 8u;
        QTest::newRow("negative height") << 5 << -5 << 8u;
        QTest::newRow("beyond a 32-bit image size") << std::numeric_limits<int>::max() << 4 << 32u;
    }
    void refusedSizesLeaveTheSurfaceEmpty() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(unsigned, bitCount);
        CDibSurface s;
        s.Create(4, 4, 8);
        QCOMPARE(s.Create(width, height, bitCount), nullptr);
        QVERIFY(s.IsEmpty());
        QCOMPARE(s.GetBits(), nullptr);
        QCOMPARE(s.GetWidth(), width);
        QCOMPARE(s.GetHeight(), height);
        s.Fill(1);
        s.PutPixel(0, 0, 1);
        s.SetPaletteEntry(0, 1, 2, 3);
        s.BlendPalette(0xFFFFFF, 50);
        QVERIFY(s.IsEmpty());
    }

    void putPixelCountsRowsFromTheTop() {
        CDibSurface s;
        s.Create(3, 4, 8);
        s.Fill(7);
        s.PutPixel(0, 0, 9); // top row: the last row in memory
        s.PutPixel(2, 3, 5); // bottom row: the first row in memory
        s.PutPixel(1, 2, 6);
        for (const auto& [x, y] : {std::pair{-1, 0}, {3, 0}, {0, 4}, {0, -1}}) {
            s.PutPixel(x, y, 1);
        }
        std::vector<quint8> expected(16, 7);
        expected[3 * 4 + 0] = 9;
        expected[0 * 4 + 2] = 5;
        expected[1 * 4 + 1] = 6;
        QCOMPARE(Pixels(s), expected);
    }

    void putPixelPacksOneAndFourBitPixels() {
        CDibSurface mono;
        mono.Create(10, 2, 1);
        mono.Fill(0);
        mono.PutPixel(0, 0, 1);
        mono.PutPixel(9, 0, 3); // only the low bit counts
        mono.PutPixel(1, 1, 1);
        mono.PutPixel(1, 1, 0);
        QCOMPARE(Pixels(mono), (std::vector<quint8>{0, 0, 0, 0, 0x80, 0x40, 0, 0}));

        CDibSurface nibbles;
        nibbles.Create(3, 1, 4);
        nibbles.Fill(0xFF);
        nibbles.PutPixel(0, 0, 0x12);
        nibbles.PutPixel(1, 0, 0x03);
        QCOMPARE(Pixels(nibbles), (std::vector<quint8>{0x23, 0xFF, 0xFF, 0xFF}));
    }

    void withoutColourTableOnlyFillWorks() {
        CDibSurface s;
        s.Create(5, 5, 24);
        s.Fill(0x1AB); // low 8 bits
        s.PutPixel(0, 0, 1);
        s.SetPaletteEntry(0, 1, 2, 3);
        s.BlendPalette(0xFFFFFF, 100);
        QCOMPARE(Pixels(s), std::vector<quint8>(80, 0xAB));
        QCOMPARE(s.GetColourTable(), nullptr);
        QCOMPARE(s.GetTotalSize(), 120u);
    }

    void paletteEntryIndexUsesItsLowByte() {
        CDibSurface s;
        s.Create(1, 1, 8);
        s.SetPaletteEntry(300, 10, 20, 30);
        QCOMPARE(Entry(s, 44), (QList<int>{10, 20, 30}));
        QCOMPARE(int(s.GetColourTable()[4 * 44 + 3]), 0);

        CDibSurface mono;
        mono.Create(1, 1, 1);
        mono.SetPaletteEntry(0, 0, 0, 0);
        mono.SetPaletteEntry(1, 0, 0, 0);
        mono.SetPaletteEntry(2, 9, 9, 9);   // beyond the two entries
        mono.SetPaletteEntry(257, 1, 2, 3); // entry 1
        QCOMPARE(Entry(mono, 0), (QList<int>{0, 0, 0}));
        QCOMPARE(Entry(mono, 1), (QList<int>{1, 2, 3}));
    }

    void blendPalette_data() {
        QTest::addColumn<unsigned>("percent");
        QTest::addColumn<QList<int>>("entry");
        // Entry (10, 20, 30) toward red 255, green 0, blue 100.
        QTest::newRow("0 leaves it") << 0u << QList<int>{10, 20, 30};
        QTest::newRow("33 drops the fractions") << 33u << QList<int>{90, 13, 53};
        QTest::newRow("50") << 50u << QList<int>{132, 10, 65};
        QTest::newRow("100 is the colour") << 100u << QList<int>{255, 0, 100};
        QTest::newRow("250 acts as 100") << 250u << QList<int>{255, 0, 100};
        QTest::newRow("no wrap to small values") << 0x80000032u << QList<int>{255, 0, 100};
    }
    void blendPalette() {
        QFETCH(unsigned, percent);
        QFETCH(QList<int>, entry);
        CDibSurface s;
        s.Create(2, 2, 4);
        for (unsigned n = 0; n < 16; ++n) {
            s.SetPaletteEntry(n, 10, 20, 30);
        }
        s.BlendPalette(0x6400FF, percent);
        for (int n = 0; n < 16; ++n) {
            QCOMPARE(Entry(s, n), entry);
            QCOMPARE(int(s.GetColourTable()[4 * n + 3]), 0);
        }
    }

    void emptyAndDestroyed() {
        CDibSurface s;
        QVERIFY(s.IsEmpty());
        QCOMPARE(s.GetTotalSize(), 0u);
        s.Fill(3);
        s.PutPixel(0, 0, 3);
        s.BlendPalette(0, 100);
        QCOMPARE(s.GetBits(), nullptr);

        s.Create(10, 3, 8);
        s.Destroy();
        QVERIFY(s.IsEmpty());
        QCOMPARE(s.GetWidth(), 0);
        QCOMPARE(s.GetBitCount(), quint16(0));
        QCOMPARE(s.GetStride(), 12u);
        QCOMPARE(s.GetColourCount(), quint16(256));
    }

    void copyFromTakesTheWholeBlock() {
        CDibSurface source;
        source.Create(5, 3, 8);
        for (unsigned n = 0; n < 256; ++n) {
            source.SetPaletteEntry(n, quint8(n), quint8(255 - n), quint8(n / 2));
        }
        for (unsigned i = 0; i < source.GetImageSize(); ++i) {
            source.GetBits()[i] = quint8(i * 7);
        }
        CDibSurface copy;
        copy.Create(1, 1, 24);
        copy.CopyFrom(source);
        QCOMPARE(copy.GetWidth(), 5);
        QCOMPARE(copy.GetHeight(), 3);
        QCOMPARE(copy.GetColourCount(), quint16(256));
        QCOMPARE(Block(copy), Block(source));

        const std::vector<quint8> before = Block(copy);
        source.Fill(0);
        source.BlendPalette(0, 100);
        QCOMPARE(Block(copy), before);

        copy.CopyFrom(copy);
        QCOMPARE(Block(copy), before);

        CDibSurface empty;
        copy.CopyFrom(empty);
        QVERIFY(copy.IsEmpty());
    }
};

int RunDibSurfaceTests(int argc, char** argv) {
    TestDibSurface t;
    return QTest::qExec(&t, argc, argv);
}

#include "test_dib_surface.moc"
