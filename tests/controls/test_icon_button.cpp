#include "UiSuites.h"
#include "controls/IconButton.h"

#include <QApplication>
#include <QDialog>
#include <QImage>
#include <QPushButton>
#include <QTest>
#include <memory>
#include <vector>

namespace {

// Records the state each paint hands to the face hook.
class ProbeButton final : public CIconButton {
public:
    using CIconButton::CIconButton;

    struct Paint {
        bool hover;
        bool pressed;
        bool focused;
        bool disabled;
    };
    std::vector<Paint> m_paints;

    bool Lit() const { return m_hover; }

protected:
    void DrawFace(QPainter& painter, const QRect& rect) override {
        m_paints.push_back({m_hover, m_pressed, m_focused, m_disabled});
        CIconButton::DrawFace(painter, rect);
    }
};

void Settle() {
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

QImage Shot(QWidget& w) {
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The bounding box of the caption's ink: pixels well away from the face colour.
QRect Ink(const QImage& image, const QRect& within) {
    QRect box;
    for (int y = within.top(); y <= within.bottom(); ++y) {
        for (int x = within.left(); x <= within.right(); ++x) {
            if (qGray(image.pixel(x, y)) < 100) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

int Count(const QImage& image, const QColor& colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            n += image.pixel(x, y) == colour.rgb() ? 1 : 0;
        }
    }
    return n;
}

} // namespace

class TestIconButton : public QObject {
    Q_OBJECT

    // before -> button -> after in tab order, on a form with room around the button.
    std::unique_ptr<QWidget> m_form;
    QPushButton* m_before = nullptr;
    ProbeButton* m_button = nullptr;
    QPushButton* m_after = nullptr;
    int m_clicks = 0;

    const QPoint kOutside{5, 5};
    QPoint Inside(int dx = 0) const { return QPoint(20 + dx, 12); }

    void Light() {
        QTest::mouseMove(m_form.get(), kOutside);
        QTest::mouseMove(m_button, Inside());
        Settle();
        QVERIFY(m_button->Lit());
        m_button->m_paints.clear();
    }
    int PaintsAfter() {
        Settle();
        return int(m_button->m_paints.size());
    }

private Q_SLOTS:
    void init() {
        m_form = std::make_unique<QWidget>();
        m_form->resize(300, 120);
        m_before = new QPushButton(QStringLiteral("before"), m_form.get());
        m_before->setGeometry(10, 80, 60, 24);
        m_button = new ProbeButton(m_form.get());
        m_button->setGeometry(60, 30, 154, 24);
        m_after = new QPushButton(QStringLiteral("after"), m_form.get());
        m_after->setGeometry(230, 80, 60, 24);
        m_clicks = 0;
        connect(m_button, &QAbstractButton::clicked, this, [this] { ++m_clicks; });
        QTest::mouseMove(m_form.get(), kOutside);
        m_form->show();
        m_form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        m_before->setFocus();
        Settle();
        m_button->m_paints.clear();
    }
    void cleanup() { m_form.reset(); }

    void hoverLightsOnceAndLeavingPutsItOut() {
        QTest::mouseMove(m_button, Inside());
        QVERIFY(m_button->Lit());
        QCOMPARE(PaintsAfter(), 1);
        QVERIFY(m_button->m_paints.back().hover);

        for (int dx = 1; dx < 40; dx += 7) {
            QTest::mouseMove(m_button, Inside(dx));
        }
        QCOMPARE(PaintsAfter(), 1);

        QTest::mouseMove(m_form.get(), kOutside);
        QVERIFY(!m_button->Lit());
        QCOMPARE(PaintsAfter(), 2);
        QVERIFY(!m_button->m_paints.back().hover);
    }

    void arrivingWithTheButtonHeldDoesNotLight() {
        QTest::mousePress(m_form.get(), Qt::LeftButton, {}, kOutside);
        QTest::mouseMove(m_button, Inside()); // held: delivered to the button as a drag
        QVERIFY(!m_button->Lit());
        QCOMPARE(PaintsAfter(), 0);
        QTest::mouseRelease(m_form.get(), Qt::LeftButton, {}, kOutside);
        QTest::mouseMove(m_form.get(), kOutside);
        QTest::mouseMove(m_button, Inside());
        QVERIFY(m_button->Lit());
    }

    void pressedButtonUnlightsOutsideAndStaysOutOnReturn() {
        Light();
        QTest::mousePress(m_button, Qt::LeftButton, {}, Inside());
        QTest::mouseMove(m_button, Inside(30));
        QVERIFY(m_button->Lit());

        QTest::mouseMove(m_button, QPoint(-20, -10)); // the button holds the mouse: the move comes here
        QVERIFY(!m_button->Lit());
        QVERIFY(!m_button->isDown());

        QTest::mouseMove(m_button, Inside());
        Settle();
        QVERIFY(!m_button->Lit());
        QVERIFY(m_button->isDown());
        const ProbeButton::Paint back = m_button->m_paints.back();
        QVERIFY(back.pressed && !back.hover);

        QTest::mouseRelease(m_button, Qt::LeftButton, {}, Inside());
        QCOMPARE(m_clicks, 1);
        QTest::mouseMove(m_button, Inside(1));
        QVERIFY(m_button->Lit());
    }

    void hoverIsCleared_data() {
        QTest::addColumn<int>("way");
        QTest::newRow("focus moves away") << 0;
        QTest::newRow("window deactivated") << 1;
        QTest::newRow("modal window blocks it") << 2;
        QTest::newRow("blocked alone") << 3;
        QTest::newRow("disabled") << 4;
    }
    void hoverIsCleared() {
        QFETCH(int, way);
        // Only the first way starts from the focus: losing it clears the hover by itself.
        if (way == 0) {
            m_button->setFocus();
        }
        Light();
        QWidget other;
        QDialog modal;
        switch (way) {
        case 0:
            m_after->setFocus();
            break;
        case 1:
            other.setGeometry(900, 900, 50, 50);
            other.show();
            other.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&other));
            break;
        case 2:
            modal.setWindowModality(Qt::ApplicationModal);
            modal.setGeometry(900, 900, 50, 50);
            modal.show();
            break;
        case 3: {
            // A real modal window also deactivates the form; this is the block on its own.
            QEvent blocked(QEvent::WindowBlocked);
            QCoreApplication::sendEvent(m_button, &blocked);
            break;
        }
        default:
            m_button->setEnabled(false);
            break;
        }
        Settle();
        QVERIFY(!m_button->Lit());
        QVERIFY(!m_button->m_paints.empty());
        QVERIFY(!m_button->m_paints.back().hover);
    }

    void activationLeavesTheHover() {
        Light();
        QEvent activation(QEvent::WindowActivate);
        QCoreApplication::sendEvent(m_button, &activation);
        QVERIFY(m_button->Lit());
    }

    void disablingHandsTheFocusOn_data() {
        QTest::addColumn<bool>("focused");
        QTest::addColumn<bool>("afterEnabled");
        QTest::newRow("focused, next tab stop") << true << true;
        QTest::newRow("not focused, next tab stop") << false << true;
        QTest::newRow("wraps to the first tab stop") << true << false;
    }
    void disablingHandsTheFocusOn() {
        QFETCH(bool, focused);
        QFETCH(bool, afterEnabled);
        if (focused) {
            m_button->setFocus();
        }
        m_after->setEnabled(afterEnabled);
        m_button->setEnabled(false);
        QCOMPARE(m_form->focusWidget(), afterEnabled ? static_cast<QWidget*>(m_after) : m_before);
    }

    void disablingTheOnlyTabStopFocusesTheForm() {
        m_before->setEnabled(false);
        m_after->hide();
        m_button->setFocus();
        m_button->setEnabled(false);
        QCOMPARE(QApplication::focusWidget(), m_form.get());
    }

    void aClickFocusesBeforeTheOwnerHears() {
        QWidget* focusAtClick = nullptr;
        connect(m_button, &QAbstractButton::clicked, this,
                [&] { focusAtClick = QApplication::focusWidget(); });
        m_button->click();
        QCOMPARE(focusAtClick, m_button);

        m_before->setFocus();
        QTest::keyClick(m_before, Qt::Key_Tab);
        QTest::keyClick(m_button, Qt::Key_Space);
        QCOMPARE(focusAtClick, m_button);
        QCOMPARE(m_clicks, 2);
    }

    void aDoubleClickIsTwoClicks() {
        const QPoint inWindow = m_button->mapTo(m_form.get(), Inside());
        QTest::mouseDClick(m_form->windowHandle(), Qt::LeftButton, {}, inWindow);
        QCOMPARE(m_clicks, 2);
    }

    void frames_data() {
        QTest::addColumn<int>("state");
        QTest::addColumn<QColor>("topLeft");
        QTest::addColumn<QColor>("topRight");
        QTest::addColumn<QColor>("bottomLeft");
        QTest::addColumn<QColor>("bottomRight");
        QTest::newRow("plain: no frame") << 0 << kClassicFace << kClassicFace << kClassicFace << kClassicFace;
        QTest::newRow("lit: raised") << 1 << kClassicHighlight << kClassicShadow << kClassicShadow
                                     << kClassicShadow;
        QTest::newRow("lit and pressed: sunken")
            << 2 << kClassicShadow << kClassicHighlight << kClassicHighlight << kClassicHighlight;
        QTest::newRow("space bar away from the pointer: sunken")
            << 3 << kClassicShadow << kClassicHighlight << kClassicHighlight << kClassicHighlight;
    }
    void frames() {
        QFETCH(int, state);
        QFETCH(QColor, topLeft);
        QFETCH(QColor, topRight);
        QFETCH(QColor, bottomLeft);
        QFETCH(QColor, bottomRight);
        if (state == 1 || state == 2) {
            Light();
        }
        if (state == 2) {
            QTest::mousePress(m_button, Qt::LeftButton, {}, Inside());
        }
        if (state == 3) {
            m_button->setFocus();
            QTest::keyPress(m_button, Qt::Key_Space);
            QVERIFY(!m_button->Lit());
        }
        const QImage shot = Shot(*m_button);
        QCOMPARE(QColor(shot.pixel(0, 0)), topLeft);
        QCOMPARE(QColor(shot.pixel(153, 0)), topRight);
        QCOMPARE(QColor(shot.pixel(0, 23)), bottomLeft);
        QCOMPARE(QColor(shot.pixel(153, 23)), bottomRight);
        QCOMPARE(QColor(shot.pixel(1, 1)), kClassicFace);
        QCOMPARE(m_button->m_paints.back().pressed, state >= 2);
        if (state == 2) {
            QTest::mouseRelease(m_button, Qt::LeftButton, {}, Inside());
        }
        if (state == 3) {
            QTest::keyRelease(m_button, Qt::Key_Space);
        }
    }

    void centreCaption_data() {
        QTest::addColumn<QRect>("captionRect");
        QTest::addColumn<QSize>("textSize");
        QTest::addColumn<QRect>("centred");
        QTest::newRow("exact") << QRect(0, 0, 10, 10) << QSize(10, 10) << QRect(0, 0, 10, 10);
        QTest::newRow("3 smaller moves 1") << QRect(0, 0, 10, 10) << QSize(7, 7) << QRect(1, 1, 7, 7);
        QTest::newRow("3 larger moves -1") << QRect(0, 0, 10, 10) << QSize(13, 13) << QRect(-1, -1, 13, 13);
        QTest::newRow("pressed rectangle") << QRect(1, 1, 154, 24) << QSize(120, 17) << QRect(18, 4, 120, 17);
    }
    void centreCaption() {
        QFETCH(QRect, captionRect);
        QFETCH(QSize, textSize);
        QFETCH(QRect, centred);
        QCOMPARE(CIconButton::CentreCaption(captionRect, textSize), centred);
    }

    void captionIsCentredAndMovesWhilePressed() {
        m_button->setText(QStringLiteral("Online Manual"));
        const QRect inner(1, 1, 152, 22);
        const QRect plain = Ink(Shot(*m_button), inner);
        QVERIFY(plain.isValid());
        QVERIFY(qAbs(plain.left() - (153 - plain.right())) <= 2);
        QVERIFY(qAbs(plain.top() - (23 - plain.bottom())) <= 3);

        m_button->setDown(true);
        QCOMPARE(Ink(Shot(*m_button), inner), plain.translated(1, 1));
    }

    void longCaptionWraps() {
        m_button->setGeometry(60, 10, 70, 60);
        m_button->setText(QStringLiteral("Online Manual"));
        const QRect ink = Ink(Shot(*m_button), QRect(0, 0, 70, 60));
        QVERIFY(ink.width() < 70);
        QVERIFY(ink.height() > m_button->fontMetrics().height());
    }

    void disabledCaptionIsEtched() {
        m_button->setText(QStringLiteral("Online Manual"));
        QVERIFY(Count(Shot(*m_button), kClassicText) > 0);
        m_button->setEnabled(false);
        // Highlight ink one pixel down and right, shadow ink over it, no text colour.
        const QImage etched = Shot(*m_button);
        int light = 0;
        int grey = 0;
        for (int y = 0; y < etched.height(); ++y) {
            for (int x = 0; x < etched.width(); ++x) {
                const int g = qGray(etched.pixel(x, y));
                light += g > 200 ? 1 : 0;
                grey += g >= 100 && g < 160 ? 1 : 0;
                QVERIFY(g >= 100);
            }
        }
        QVERIFY(light > 10);
        QVERIFY(grey > 20);
        QVERIFY(m_button->m_paints.back().disabled);
    }

    void emptyCaptionDrawsNoText() {
        m_button->setText(QString());
        QCOMPARE(Count(Shot(*m_button), kClassicFace), 154 * 24);
    }
};

int RunIconButtonTests(int argc, char** argv) {
    TestIconButton t;
    return QTest::qExec(&t, argc, argv);
}

#include "test_icon_button.moc"
