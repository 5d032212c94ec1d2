#include "AwayBoard.h"
#include "away/WaylandIdleWatch.h"
#include "away/X11IdleWatch.h"

#include <QtTest>
#include <QtWidgets>

using namespace Qt::Literals::StringLiterals;

namespace {

// Real input on the test's display, as a user gives it.
bool Input(const QStringList& arguments) {
    return QProcess::execute(u"xdotool"_s, arguments) == 0;
}
bool Type(const QString& text) {
    return QProcess::execute(u"wtype"_s, {text}) == 0;
}

} // namespace

// Inactivity from the sources a real display server offers; the suite runs on an X server of its own,
// and again on a Wayland compositor of its own.
class IdleTest final : public QObject {
    Q_OBJECT

    // A watch started just after real input, on a board whose timer `row` runs: no input past the
    // threshold (1.5 s), then `input` (keys alone), is asked about from when the input stopped. The
    // question is answered `answer`; the watch then tells of the next spell.
    template <typename Watch>
    void AsksFromWhenTheInputStopped(Watch& watch, const std::function<bool()>& start,
                                     const std::function<bool(const QString&)>& input, int row,
                                     const QString& answer) {
        QTemporaryDir dir;
        Board board(dir.path());
        board.View().SelectRow(row);
        board.clock.Advance(3600);
        QSignalSpy changes(&watch, &Watch::inactivityChanged);
        connect(&watch, &Watch::inactivityChanged, board.away, &AwayPrompt::OnInactivityChanged);
        QVERIFY(input(u"a"_s));
        QElapsedTimer sinceInput;
        sinceInput.start();
        QVERIFY(start());
        QVERIFY(changes.wait(5000));
        QVERIFY2(sinceInput.elapsed() >= 1400, qPrintable(QString::number(sinceInput.elapsed())));
        QCOMPARE(changes.first(), (QVariantList{true, qint64{1}}));
        const qint64 stopped = board.clock.Now() - 1;
        board.clock.Advance(700);
        QVERIFY(input(u"b"_s));
        QTRY_COMPARE(changes.size(), 2);
        QCOMPARE(changes.last(), (QVariantList{false, qint64{0}}));
        QVERIFY(board.away->Question());
        QCOMPARE(board.away->Question()->text(), Asked(stopped, stopped + 701, u"0:11:41"_s,
                                                       u"My Project Text %1"_s.arg(row), u"inactive"_s));
        board.Answer(answer);
        board.CheckInvariant();
        QVERIFY(changes.wait(5000));
        QCOMPARE(changes.last().first().toBool(), true);
    }

private Q_SLOTS:
    void initTestCase() {
        const QString tool = QGuiApplication::platformName() == u"xcb"_s ? u"xdotool"_s : u"wtype"_s;
        if (QStandardPaths::findExecutable(tool).isEmpty()) {
            QSKIP(qPrintable(u"needs "_s + tool));
        }
    }

    // The compositor's idle notification (KDE's protocol on wlroots), twice.
    void waylandCompositorAsksFromWhenTheInputStopped() {
        if (!QGuiApplication::platformName().startsWith(u"wayland"_s)) {
            QSKIP("needs a Wayland compositor");
        }
        WaylandIdleWatch watch;
        AsksFromWhenTheInputStopped(
            watch, [&] { return watch.Start(1500) == u"kde-idle"_s; }, Type, 5, u"Keep"_s);
        QSignalSpy changes(&watch, &WaylandIdleWatch::inactivityChanged);
        QVERIFY(Type(u"c"_s));
        QTRY_COMPARE(changes.size(), 1);
        QCOMPARE(watch.Start(1500), QString()); // one start per watch
    }

    // The X server's IDLETIME alarms, twice; the pointer counts too.
    void x11CounterAsksFromWhenTheInputStopped() {
        if (QGuiApplication::platformName() != u"xcb"_s) {
            QSKIP("needs an X server");
        }
        X11IdleWatch watch;
        AsksFromWhenTheInputStopped(
            watch, [&] { return watch.Start(1500); },
            [](const QString& key) {
                return Input({u"key"_s, key});
            },
            3, u"Discard"_s);
        // A watch started while the user is already away says so at once.
        X11IdleWatch late;
        QSignalSpy lateChanges(&late, &X11IdleWatch::inactivityChanged);
        QSignalSpy changes(&watch, &X11IdleWatch::inactivityChanged);
        QVERIFY(late.Start(1000));
        QCOMPARE(lateChanges.size(), 0); // posted
        QTRY_COMPARE(lateChanges.size(), 1);
        QVERIFY(Input({u"mousemove"_s, u"200"_s, u"100"_s}));
        QTRY_COMPARE(changes.size(), 1);
        QCOMPARE(changes.last().first().toBool(), false);
        QTRY_COMPARE(lateChanges.size(), 2);
        QVERIFY(!watch.Start(1500)); // one start per watch
        // Xwayland in a Wayland session sees only the input to X windows: not a source.
        qputenv("XDG_SESSION_TYPE", "wayland");
        QVERIFY(!X11IdleWatch().Start(1500));
        qunsetenv("XDG_SESSION_TYPE");
    }
};

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    IdleTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_idle.moc"
