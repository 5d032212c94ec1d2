#include "UiSuites.h"
#include "controls/DibSurface.h"
#include "platform/SystemColours.h"

#include <QImage>
#include <QPainter>
#include <QTest>

namespace {

constexpr QRgb kUntouched = 0xFF123456;

QImage Canvas() {
    QImage image(12, 8, QImage::Format_ARGB32);
    image.fill(kUntouched);
    return image;
}

void DrawAt(CDibSurface& surface, QImage& image, int x, int y) {
    QPainter painter(&image);
    surface.Draw(painter, x, y);
}

QRgb EntryColour(int n) {
    return qRgb(n, 255 - n, n / 2);
}

// A 5 x 3 surface whose pixel (x, y from the top) is 10 * y + x + 1.
void Numbered(CDibSurface& s) {
    s.Create(5, 3, 8);
    for (int n = 0; n < 256; ++n) {
        s.SetPaletteEntry(unsigned(n), quint8(qRed(EntryColour(n))), quint8(qGreen(EntryColour(n))),
                          quint8(qBlue(EntryColour(n))));
    }
    s.Fill(0);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            s.PutPixel(x, y, quint8(10 * y + x + 1));
        }
    }
}

} // namespace

class TestDibDraw : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pixelsReadBackThroughTheColourTable() {
        CDibSurface s;
        Numbered(s);
        QImage image = Canvas();
        DrawAt(s, image, 2, 1);
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const bool inside = x >= 2 && x < 7 && y >= 1 && y < 4;
                const QRgb expected = inside ? EntryColour(10 * (y - 1) + (x - 2) + 1) : kUntouched;
                QCOMPARE(image.pixel(x, y), expected);
            }
        }
    }

    void colourTableIsTakenOnceAndPixelsEveryTime() {
        CDibSurface s;
        Numbered(s);
        QImage image = Canvas();
        DrawAt(s, image, 0, 0);

        s.SetPaletteEntry(1, 9, 9, 9); // pixel (0, 0): shows only after the next Create
        s.PutPixel(1, 0, 40);          // shows at the next draw
        DrawAt(s, image, 0, 0);
        QCOMPARE(image.pixel(0, 0), EntryColour(1));
        QCOMPARE(image.pixel(1, 0), EntryColour(40));

        CDibSurface copy;
        copy.CopyFrom(s);
        QImage fresh = Canvas();
        DrawAt(copy, fresh, 0, 0);
        QCOMPARE(fresh.pixel(0, 0), qRgb(9, 9, 9));
        QCOMPARE(fresh.pixel(1, 0), EntryColour(40));
    }

    void otherBitCounts_data() {
        // A 2 x 2 surface: the colour table, then the first bytes of the pixel rows (the bottom row first).
        QTest::addColumn<unsigned>("bitCount");
        QTest::addColumn<QList<int>>("table");
        QTest::addColumn<QList<int>>("bytes");
        QTest::addColumn<QRgb>("bottomLeft");
        QTest::addColumn<QRgb>("bottomRight");
        QTest::newRow("1 bit") << 1u << QList<int>{0, 0, 0, 0, 50, 100, 200, 0} << QList<int>{0x40}
                               << qRgb(0, 0, 0) << qRgb(200, 100, 50);
        QTest::newRow("4 bit") << 4u << QList<int>{9, 9, 9, 0, 3, 2, 1, 0} << QList<int>{0x01}
                               << qRgb(9, 9, 9) << qRgb(1, 2, 3);
        QTest::newRow("16 bit") << 16u << QList<int>{} << QList<int>{0x1F, 0x00, 0x00, 0x7C}
                                << qRgb(0, 0, 255) << qRgb(255, 0, 0);
        QTest::newRow("24 bit") << 24u << QList<int>{} << QList<int>{0, 0, 0, 1, 2, 3} << qRgb(0, 0, 0)
                                << qRgb(3, 2, 1);
        QTest::newRow("32 bit") << 32u << QList<int>{} << QList<int>{0, 0, 0, 0, 10, 0, 30, 0}
                                << qRgb(0, 0, 0) << qRgb(30, 0, 10);
    }
    void otherBitCounts() {
        QFETCH(unsigned, bitCount);
        QFETCH(QList<int>, table);
        QFETCH(QList<int>, bytes);
        QFETCH(QRgb, bottomLeft);
        QFETCH(QRgb, bottomRight);
        CDibSurface s;
        quint8* block = s.Create(2, 2, bitCount);
        s.Fill(0);
        for (int i = 0; i < table.size(); ++i) {
            block[CDibSurface::kHeaderSize + i] = quint8(table[i]);
        }
        for (int i = 0; i < bytes.size(); ++i) {
            s.GetBits()[i] = quint8(bytes[i]);
        }
        QImage image = Canvas();
        DrawAt(s, image, 3, 4);
        QCOMPARE(image.pixel(3, 5), bottomLeft);
        QCOMPARE(image.pixel(4, 5), bottomRight);
    }

    void emptySurfacesDrawNothing() {
        QImage image = Canvas();
        CDibSurface never;
        DrawAt(never, image, 0, 0);
        CDibSurface refused;
        refused.Create(0, 4, 8);
        DrawAt(refused, image, 0, 0);
        CDibSurface destroyed;
        Numbered(destroyed);
        DrawAt(destroyed, image, 6, 0);
        destroyed.Destroy();
        image.fill(kUntouched);
        DrawAt(destroyed, image, 0, 0);
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                QCOMPARE(image.pixel(x, y), kUntouched);
            }
        }
    }

    void systemColours() {
        const SystemColours classic;
        QCOMPARE(classic.ButtonShadow(), 0x808080u);
        QCOMPARE(classic.ButtonFace(), 0xC0C0C0u);
        QCOMPARE(classic.ButtonHighlight(), 0xFFFFFFu);
        QCOMPARE(classic.ButtonText(), 0x000000u);

        QPalette palette;
        palette.setColor(QPalette::Dark, QColor(1, 2, 3));
        palette.setColor(QPalette::Button, QColor(4, 5, 6));
        palette.setColor(QPalette::Light, QColor(7, 8, 9));
        palette.setColor(QPalette::ButtonText, QColor(10, 11, 12));
        const SystemColours mine(palette);
        QCOMPARE(mine.ButtonShadow(), 0x030201u);
        QCOMPARE(mine.ButtonFace(), 0x060504u);
        QCOMPARE(mine.ButtonHighlight(), 0x090807u);
        QCOMPARE(mine.ButtonText(), 0x0C0B0Au);
        QCOMPARE(SystemColours::ToColor(0xFF4060), QColor(96, 64, 255));
    }
};

int RunDibDrawTests(int argc, char** argv) {
    TestDibDraw t;
    return QTest::qExec(&t, argc, argv);
}

#include "test_dib_draw.moc"
