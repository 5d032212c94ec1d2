#include "controls/ShadeButton.h"
#include "platform/Random15.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <memory>

namespace {

// Counts the paints and keeps the hover state the last one saw.
class ProbeButton final : public CIconButton {
public:
    using CIconButton::CIconButton;
    int m_paints = 0;
    bool m_paintedLit = false;
    bool Lit() const { return m_hover; }

protected:
    void DrawFace(QPainter& painter, const QRect& rect) override {
        ++m_paints;
        m_paintedLit = m_hover;
        CIconButton::DrawFace(painter, rect);
    }
};

// The colour a surface shows at (x, y from the top), read through its colour table.
QRgb TableColour(const CDibSurface& s, int x, int y) {
    const quint8 index = s.GetBits()[static_cast<std::size_t>(s.GetHeight() - 1 - y) * s.GetStride() + x];
    const quint8* entry = s.GetColourTable() + 4 * index;
    return qRgb(entry[2], entry[1], entry[0]);
}

} // namespace

class TestControlsUi : public QObject {
    Q_OBJECT

    // before -> button -> after in tab order.
    std::unique_ptr<QWidget> m_form;
    QPushButton* m_before = nullptr;
    ProbeButton* m_button = nullptr;
    QPushButton* m_after = nullptr;
    const QPoint kOutside{5, 5};
    const QPoint kInside{20, 12};

private Q_SLOTS:
    void init() {
        m_form = std::make_unique<QWidget>();
        m_form->resize(300, 120);
        m_before = new QPushButton(QStringLiteral("before"), m_form.get());
        m_before->setGeometry(10, 90, 40, 24);
        m_button = new ProbeButton(m_form.get());
        m_button->setGeometry(60, 30, 154, 24);
        m_after = new QPushButton(QStringLiteral("after"), m_form.get());
        m_after->setGeometry(230, 90, 60, 24);
        QTest::mouseMove(m_form.get(), kOutside);
        m_form->show();
        m_form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        m_before->setFocus();
        QCoreApplication::processEvents();
        m_button->m_paints = 0;
    }
    void cleanup() { m_form.reset(); }

    void hoverLightsOnceOnMoveButNotOnADrag() {
        QTest::mousePress(m_form.get(), Qt::LeftButton, {}, kOutside);
        QTest::mouseMove(m_button, kInside);
        QVERIFY(!m_button->Lit()); // a failure here leaves the button pressed, only for this case
        QTest::mouseRelease(m_form.get(), Qt::LeftButton, {}, kOutside);

        QTest::mouseMove(m_button, kInside);
        QCoreApplication::processEvents();
        for (int dx = 1; dx < 40; dx += 7) {
            QTest::mouseMove(m_button, kInside + QPoint(dx, 0));
        }
        QCoreApplication::processEvents();
        QVERIFY(m_button->Lit());
        QCOMPARE(m_button->m_paints, 1);
        QVERIFY(m_button->m_paintedLit);
    }

    void hoverIsCleared_data() {
        QTest::addColumn<int>("way");
        QTest::newRow("pointer leaves") << 0;
        QTest::newRow("focus moves away") << 1;
        QTest::newRow("window deactivated") << 2;
        QTest::newRow("disabled") << 3;
    }
    void hoverIsCleared() {
        QFETCH(int, way);
        QTest::mouseMove(m_button, kInside);
        QCoreApplication::processEvents();
        QVERIFY(m_button->Lit());
        m_button->m_paints = 0;
        QWidget other;
        if (way == 0) {
            QTest::mouseMove(m_form.get(), kOutside);
        } else if (way == 1) {
            // Focused only here: the other ways would also take the focus and hide their own clearing.
            m_button->setFocus();
            m_after->setFocus();
        } else if (way == 2) {
            other.setGeometry(900, 900, 50, 50);
            other.show();
            other.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&other));
        } else {
            m_button->setEnabled(false);
            // The focus moves on to the next tab stop even when the button does not hold it.
            QCOMPARE(QApplication::focusWidget(), m_after);
        }
        QCoreApplication::processEvents();
        QVERIFY(!m_button->Lit());
        QVERIFY(m_button->m_paints > 0);
        QVERIFY(!m_button->m_paintedLit);
    }

    // A click from code shows the button's own focusing (a mouse press focuses by itself); a double
    // click is two clicks; Return and Enter work as Space: down while held, clicked on the release.
    void clicksAndKeys() {
        QWidget* focusAtClick = nullptr;
        connect(m_button, &QAbstractButton::clicked, this,
                [&] { focusAtClick = QApplication::focusWidget(); });
        m_button->click();
        QCOMPARE(focusAtClick, m_button);
        QSignalSpy doubled(m_button, &QAbstractButton::clicked);
        QTest::mouseDClick(m_form->windowHandle(), Qt::LeftButton, {},
                           m_button->mapTo(m_form.get(), kInside));
        QCOMPARE(doubled.count(), 2);

        CShadeButton shade(m_form.get());
        shade.setGeometry(60, 60, 154, 24);
        shade.show();
        shade.setFocus();
        QSignalSpy clicks(&shade, &QAbstractButton::clicked);
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
            QTest::keyPress(m_form->windowHandle(), key);
            QVERIFY(shade.isDown() && clicks.isEmpty());
            QTest::keyRelease(m_form->windowHandle(), key);
            QCOMPARE(clicks.count(), 1);
            clicks.clear();
        }
        QTest::keyClick(m_form->windowHandle(), Qt::Key_A);
        QCOMPARE(clicks.count(), 0);
    }

    void shadedFaces() {
        // Hover and pressed: the hover face at (1, 1); hover: at (0, 0); otherwise the normal face at (0, 0).
        // Focus from the keyboard lights the button as a hover does, and marks it; focus from a click does
        // neither.
        for (const auto& [hover, pressed, focus] : {std::tuple{false, false, Qt::NoFocusReason},
                                                    {false, true, Qt::NoFocusReason},
                                                    {true, false, Qt::NoFocusReason},
                                                    {true, true, Qt::NoFocusReason},
                                                    {false, false, Qt::TabFocusReason},
                                                    {false, false, Qt::MouseFocusReason}}) {
            CShadeButton shade(m_form.get());
            shade.setGeometry(60, 60, 154, 24);
            shade.show();
            Random15 random;
            shade.BuildShading(CShadeButton::kBoardShading, random);
            if (hover) {
                QTest::mouseMove(m_form.get(), kOutside); // a move to where the pointer already is is dropped
                QTest::mouseMove(&shade, kInside);
            }
            if (focus != Qt::NoFocusReason) {
                shade.setFocus(focus);
                QTRY_VERIFY(shade.hasFocus());
            }
            shade.setDown(pressed);
            QCoreApplication::processEvents();
            const QImage shot = shade.grab().toImage().convertToFormat(QImage::Format_RGB32);
            const bool lit = hover || focus == Qt::TabFocusReason;
            const CDibSurface& face = lit ? shade.FaceHover() : shade.FaceNormal();
            const int shift = lit && pressed ? 1 : 0;
            // Inside the one-pixel ring, which is the frame's whenever one is drawn; focus from the keyboard
            // adds its mark three pixels in, where a hover has none.
            const bool marked = focus == Qt::TabFocusReason;
            int markedPixels = 0;
            for (int y = 1; y < 23; ++y) {
                for (int x = 1; x < 153; ++x) {
                    const bool ring =
                        (x == 3 || x == 150 || y == 3 || y == 20) && x >= 3 && x <= 150 && y >= 3 && y <= 20;
                    if (marked && ring) {
                        markedPixels += shot.pixel(x, y) != TableColour(face, x - shift, y - shift);
                    } else {
                        QCOMPARE(shot.pixel(x, y), TableColour(face, x - shift, y - shift));
                    }
                }
            }
            QVERIFY(marked ? markedPixels > 100 : markedPixels == 0);
        }
    }
};

QTEST_MAIN(TestControlsUi)
#include "test_controls_ui.moc"
