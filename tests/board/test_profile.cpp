#include "TestSuites.h"
#include "platform/Profile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <signal.h>
#include <thread>

namespace {

QString Tool() {
    return qEnvironmentVariable("KELVRA_TEST_BIN", QCoreApplication::applicationDirPath()) +
           QStringLiteral("/profile_tool");
}

// Reads from a second process: in one process all settings objects share a cache, which proves nothing
// about the disk.
QString ReadElsewhere(const QString& mode, const QString& file, const QString& section,
                      const QString& entry) {
    QProcess p;
    p.start(Tool(), {mode, file, section, entry});
    if (!p.waitForFinished(10000)) {
        return QStringLiteral("<timeout>");
    }
    return QString::fromUtf8(p.readAllStandardOutput()).chopped(1);
}

void WriteRaw(const QString& file, const QByteArray& bytes) {
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

class TestProfile : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    QString File(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

private Q_SLOTS:
    void malformedEntriesReadAsTheirDefaults() {
        const QString file = File("malformed.conf");
        WriteRaw(file, "[TimerSec]\n0=abc\n1=99999999999\n2= 42 \n3=-5\n4=\n[TimerText]\n0=a, b\n");
        Profile profile(file);
        QCOMPARE(profile.GetProfileInt(QStringLiteral("TimerSec"), QStringLiteral("0"), 7), 7);
        QCOMPARE(profile.GetProfileInt(QStringLiteral("TimerSec"), QStringLiteral("1"), 7), 7);
        QCOMPARE(profile.GetProfileInt(QStringLiteral("TimerSec"), QStringLiteral("2"), 7), 42);
        QCOMPARE(profile.GetProfileInt(QStringLiteral("TimerSec"), QStringLiteral("3"), 7), -5);
        QCOMPARE(profile.GetProfileInt(QStringLiteral("TimerSec"), QStringLiteral("4"), 7), 7);
        QCOMPARE(profile.GetProfileInt(QStringLiteral("TimerSec"), QStringLiteral("9"), 7), 7);
        QCOMPARE(profile.GetProfileString(QStringLiteral("TimerText"), QStringLiteral("0")),
                 QStringLiteral("a, b"));
        QCOMPARE(profile.GetProfileString(QStringLiteral("TimerText"), QStringLiteral("1")), QString());
    }

    void awkwardNamesSurviveTheFile() {
        const QString file = File("names.conf");
        const QString name = QStringLiteral("Ärger; \"quoted\", [x] = 100% \\ end");
        {
            Profile profile(file);
            QVERIFY(profile.WriteProfileString(QStringLiteral("TimerText"), QStringLiteral("3"), name));
        }
        QCOMPARE(
            ReadElsewhere(QStringLiteral("readstr"), file, QStringLiteral("TimerText"), QStringLiteral("3")),
            name);
    }

    void corruptFileReadsAsEmptyAndIsKept() {
        const QString file = File("corrupt.conf");
        QByteArray garbage(4096, '\0');
        for (int i = 0; i < garbage.size(); ++i) {
            garbage[i] = static_cast<char>((i * 7919) & 0xFF);
        }
        WriteRaw(file, "[TimerSec]\n0=5\n" + garbage);
        Profile profile(file);
        QCOMPARE(profile.GetProfileInt(QStringLiteral("TimerSec"), QStringLiteral("0"), -1), -1);
        QVERIFY(profile.WriteProfileInt(QStringLiteral("Timer"), QStringLiteral("Init"), 1));
        QCOMPARE(ReadElsewhere(QStringLiteral("read"), file, QStringLiteral("Timer"), QStringLiteral("Init")),
                 QStringLiteral("1"));
        const QStringList copies = QDir(m_dir.path()).entryList({QStringLiteral("corrupt.conf.corrupt-*")});
        QCOMPARE(copies.size(), 1);
    }

    void unreadableOrUnwritableStoresFailQuietly() {
        const QString folder = File("is-a-folder.conf");
        QVERIFY(QDir().mkpath(folder));
        Profile unreadable(folder);
        QCOMPARE(unreadable.GetProfileInt(QStringLiteral("Timer"), QStringLiteral("CC"), 3), 3);
        QVERIFY(!unreadable.WriteProfileInt(QStringLiteral("Timer"), QStringLiteral("CC"), 1));
        QVERIFY(QFileInfo(folder).isDir());

        Profile unwritable(QStringLiteral("/dev/null/Kelvra.conf"));
        QVERIFY(!unwritable.WriteProfileString(QStringLiteral("TimerText"), QStringLiteral("0"),
                                               QStringLiteral("x")));
        QCOMPARE(unwritable.GetProfileInt(QStringLiteral("TimerSec"), QStringLiteral("0"), 0), 0);
    }

    void twoThreadsWritingDifferentEntriesLoseNothing() {
        const QString file = File("threads.conf");
        Profile profile(file);
        constexpr int kWrites = 60;
        auto writer = [&](const QString& section) {
            for (int n = 1; n <= kWrites; ++n) {
                profile.WriteProfileInt(section, QString::number(n % 10), n);
            }
        };
        std::thread a(writer, QStringLiteral("TimerSec"));
        std::thread b(writer, QStringLiteral("Timer"));
        a.join();
        b.join();
        for (const char* section : {"TimerSec", "Timer"}) {
            for (int e = 0; e < 10; ++e) {
                const int last = e == 0 ? kWrites : kWrites - 10 + e;
                QCOMPARE(ReadElsewhere(QStringLiteral("read"), file, QString::fromLatin1(section),
                                       QString::number(e)),
                         QString::number(last));
            }
        }
    }

    void aWriteSurvivesAnImmediateKill() {
        const QString file = File("killed.conf");
        QProcess child;
        child.start(Tool(), {QStringLiteral("write"), file, QStringLiteral("TimerSec"), QStringLiteral("4"),
                             QStringLiteral("12345")});
        QVERIFY(child.waitForReadyRead(10000));
        QCOMPARE(child.readLine().trimmed(), QByteArray("written"));
        ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QCOMPARE(ReadElsewhere(QStringLiteral("read"), file, QStringLiteral("TimerSec"), QStringLiteral("4")),
                 QStringLiteral("12345"));
    }
};

int RunProfileTests(int argc, char** argv) {
    TestProfile t;
    return QTest::qExec(&t, argc, argv);
}

#include "test_profile.moc"
