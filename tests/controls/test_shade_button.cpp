#include "UiSuites.h"
#include "controls/ShadeButton.h"
#include "controls/Shading.h"
#include "platform/Random15.h"

#include <QImage>
#include <QTest>
#include <memory>

namespace {

// The colour an image of a face shows at (x, y from the top).
QRgb FaceColour(const CDibSurface& face, int x, int y) {
    const quint8 value =
        face.GetBits()[static_cast<std::size_t>(face.GetHeight() - 1 - y) * face.GetStride() + x];
    const quint8* entry = face.GetColourTable() + 4 * value;
    return qRgb(entry[2], entry[1], entry[0]);
}

void Settle() {
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

} // namespace

class TestShadeButton : public QObject {
    Q_OBJECT

    std::unique_ptr<QWidget> m_form;
    CShadeButton* m_button = nullptr;

    void BuildTheBoardsFace(CShadeButton& button, Random15& random) {
        button.BuildShading(Shading::Scratches, 20, 15, 36, 0xFF4060, random);
    }

private Q_SLOTS:
    void init() {
        m_form = std::make_unique<QWidget>();
        m_form->resize(300, 100);
        m_button = new CShadeButton(m_form.get());
        m_button->setGeometry(40, 30, 154, 24);
        QTest::mouseMove(m_form.get(), QPoint(5, 5));
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    }
    void cleanup() { m_form.reset(); }

    void facesTakeTheButtonsSizeWhenBuilt() {
        QVERIFY(m_button->FaceNormal().IsEmpty());
        Random15 random;
        BuildTheBoardsFace(*m_button, random);
        QCOMPARE(m_button->FaceNormal().GetWidth(), 154);
        QCOMPARE(m_button->FaceHover().GetHeight(), 24);

        m_button->resize(100, 30);
        QCOMPARE(m_button->FaceNormal().GetWidth(), 154);
        BuildTheBoardsFace(*m_button, random);
        QCOMPARE(m_button->FaceNormal().GetWidth(), 100);
        QCOMPARE(m_button->FaceHover().GetHeight(), 30);

        m_button->resize(0, 30);
        BuildTheBoardsFace(*m_button, random);
        QVERIFY(m_button->FaceNormal().IsEmpty());
        QVERIFY(m_button->FaceHover().IsEmpty());
    }

    void unbuiltFacePaintsNothing() {
        QImage image(154, 24, QImage::Format_ARGB32);
        image.fill(Qt::green);
        m_button->render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
        QCOMPARE(image.pixel(77, 12), QColor(Qt::green).rgb());
        QCOMPARE(image.pixel(0, 0), QColor(Qt::green).rgb());
    }

    void paintingTable_data() {
        QTest::addColumn<bool>("hover");
        QTest::addColumn<bool>("pressed");
        QTest::addColumn<bool>("hoverFace");
        QTest::addColumn<int>("shift");
        QTest::newRow("normal") << false << false << false << 0;
        QTest::newRow("pressed away from the pointer") << false << true << false << 0;
        QTest::newRow("hover") << true << false << true << 0;
        QTest::newRow("hover and pressed") << true << true << true << 1;
    }
    void paintingTable() {
        QFETCH(bool, hover);
        QFETCH(bool, pressed);
        QFETCH(bool, hoverFace);
        QFETCH(int, shift);
        Random15 random;
        BuildTheBoardsFace(*m_button, random);
        if (hover) {
            QTest::mouseMove(m_button, QPoint(30, 10));
        }
        if (pressed) {
            m_button->setDown(true);
        }
        Settle();
        const QImage shot = m_button->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const CDibSurface& face = hoverFace ? m_button->FaceHover() : m_button->FaceNormal();
        // The outer ring belongs to the frame whenever one is drawn.
        for (int y = 1; y < 23; ++y) {
            for (int x = 1; x < 153; ++x) {
                QCOMPARE(shot.pixel(x, y), FaceColour(face, x - shift, y - shift));
            }
        }
        if (!hover && !pressed) {
            QCOMPARE(shot.pixel(0, 0), FaceColour(face, 0, 0));
            QCOMPARE(shot.pixel(153, 23), FaceColour(face, 153, 23));
        } else {
            const QColor corner = pressed ? kClassicShadow : kClassicHighlight;
            QCOMPARE(QColor(shot.pixel(0, 0)), corner);
        }
    }

    void theBoardsTwoButtonsDifferButRepeat() {
        auto* sponsor = new CShadeButton(m_form.get());
        sponsor->setGeometry(40, 60, 154, 24);
        Random15 random;
        BuildTheBoardsFace(*m_button, random);
        BuildTheBoardsFace(*sponsor, random);
        const QImage manualShot = m_button->grab().toImage();
        QVERIFY(manualShot != sponsor->grab().toImage());

        CShadeButton again(m_form.get());
        again.setGeometry(40, 30, 154, 24);
        Random15 nextStart;
        BuildTheBoardsFace(again, nextStart);
        QCOMPARE(again.grab().toImage(), manualShot);
    }
};

int RunShadeButtonTests(int argc, char** argv) {
    TestShadeButton t;
    return QTest::qExec(&t, argc, argv);
}

#include "test_shade_button.moc"
