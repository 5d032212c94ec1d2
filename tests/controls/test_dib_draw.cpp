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

    void otherBitCounts() {
        QImage image = Canvas();
        CDibSurface mono;
        mono.Create(3, 2, 1);
        mono.SetPaletteEntry(0, 0, 0, 0);
        mono.SetPaletteEntry(1, 200, 100, 50);
        mono.Fill(0);
        mono.PutPixel(2, 1, 1);
        DrawAt(mono, image, 0, 0);
        QCOMPARE(image.pixel(2, 1), qRgb(200, 100, 50));
        QCOMPARE(image.pixel(1, 1), qRgb(0, 0, 0));

        CDibSurface nibbles;
        nibbles.Create(3, 1, 4);
        nibbles.Fill(0);
        nibbles.SetPaletteEntry(0, 0, 0, 0);
        nibbles.SetPaletteEntry(7, 1, 2, 3);
        nibbles.PutPixel(1, 0, 7);
        DrawAt(nibbles, image, 4, 0);
        QCOMPARE(image.pixel(5, 0), qRgb(1, 2, 3));
        QCOMPARE(image.pixel(4, 0), qRgb(0, 0, 0));

        // Rows without a table hold blue, green, red; the bottom row comes first.
        CDibSurface rgb;
        rgb.Create(2, 2, 24);
        rgb.Fill(0);
        rgb.GetBits()[3] = 1;
        rgb.GetBits()[4] = 2;
        rgb.GetBits()[5] = 3;
        DrawAt(rgb, image, 0, 4);
        QCOMPARE(image.pixel(1, 5), qRgb(3, 2, 1));
        QCOMPARE(image.pixel(1, 4), qRgb(0, 0, 0));

        CDibSurface wide;
        wide.Create(1, 1, 32);
        wide.Fill(0);
        wide.GetBits()[0] = 10;
        wide.GetBits()[2] = 30;
        DrawAt(wide, image, 3, 4);
        QCOMPARE(image.pixel(3, 4), qRgb(30, 0, 10));

        CDibSurface words;
        words.Create(1, 1, 16);
        words.Fill(0);
        words.GetBits()[1] = 0x7C; // five bits of red
        DrawAt(words, image, 4, 4);
        QCOMPARE(image.pixel(4, 4), qRgb(255, 0, 0));
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
