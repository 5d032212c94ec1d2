#include "TestSuites.h"
#include "platform/Profile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <signal.h>
#include <thread>

using namespace Qt::Literals::StringLiterals;

namespace {

QString Tool() {
    return qEnvironmentVariable("KELVRA_TEST_BIN", QCoreApplication::applicationDirPath()) +
           u"/profile_tool"_s;
}

// Reads the given (section, entry) pairs of `file` from a second process: what is on the disk.
QStringList ReadElsewhere(const QString& file, const QStringList& entries) {
    QProcess p;
    p.start(Tool(), QStringList{u"read"_s, file} + entries);
    p.waitForFinished(10000);
    QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split(u'\n');
    lines.removeLast();
    return lines;
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
        const int expected[] = {7, 7, 42, -5, 7, 7}; // entry 5 is missing
        for (int e = 0; e < 6; ++e) {
            QCOMPARE(profile.GetProfileInt(u"TimerSec"_s, QString::number(e), 7), expected[e]);
        }
        QCOMPARE(profile.GetProfileString(u"TimerText"_s, u"0"_s), u"a, b"_s);
    }

    void corruptFileReadsAsEmptyAndIsKept() {
        const QString file = File("corrupt.conf");
        QByteArray garbage(4096, '\0');
        for (int i = 0; i < garbage.size(); ++i) {
            garbage[i] = static_cast<char>((i * 7919) & 0xFF);
        }
        WriteRaw(file, "[TimerSec]\n0=5\n" + garbage);
        Profile profile(file);
        QCOMPARE(profile.GetProfileInt(u"TimerSec"_s, u"0"_s, -1), -1);
        QVERIFY(profile.WriteProfileInt(u"Timer"_s, u"Init"_s, 1));
        QCOMPARE(ReadElsewhere(file, {u"Timer"_s, u"Init"_s}), QStringList{u"1"_s});
        QCOMPARE(QDir(m_dir.path()).entryList({u"corrupt.conf.corrupt-*"_s}).size(), 1);
    }

    void unreadableOrUnwritableStoresFailQuietly() {
        const QString folder = File("is-a-folder.conf");
        QVERIFY(QDir().mkpath(folder));
        Profile unreadable(folder);
        QCOMPARE(unreadable.GetProfileInt(u"Timer"_s, u"CC"_s, 3), 3);
        QVERIFY(!unreadable.WriteProfileInt(u"Timer"_s, u"CC"_s, 1));
        QVERIFY(QFileInfo(folder).isDir());

        Profile unwritable(u"/dev/null/Kelvra.conf"_s);
        QVERIFY(!unwritable.WriteProfileString(u"TimerText"_s, u"0"_s, u"x"_s));
        QCOMPARE(unwritable.GetProfileInt(u"TimerSec"_s, u"0"_s, 0), 0);
    }

    void twoThreadsWritingDifferentEntriesLoseNothingAndNamesSurviveTheFile() {
        const QString file = File("threads.conf");
        Profile profile(file);
        constexpr int kWrites = 60;
        auto writer = [&](const QString& section) {
            for (int n = 1; n <= kWrites; ++n) {
                profile.WriteProfileInt(section, QString::number(n % 10), n);
            }
        };
        std::thread a(writer, u"TimerSec"_s);
        std::thread b(writer, u"Timer"_s);
        a.join();
        b.join();
        const QString name = u"Ärger; \"quoted\", [x] = 100% \\ end"_s;
        QVERIFY(profile.WriteProfileString(u"TimerText"_s, u"3"_s, name));
        QStringList entries{u"TimerText"_s, u"3"_s};
        QStringList last{name};
        for (const QString& section : {u"TimerSec"_s, u"Timer"_s}) {
            for (int e = 0; e < 10; ++e) {
                entries << section << QString::number(e);
                last << QString::number(e == 0 ? kWrites : kWrites - 10 + e);
            }
        }
        QCOMPARE(ReadElsewhere(file, entries), last);
    }

    void aWriteSurvivesAnImmediateKill() {
        const QString file = File("killed.conf");
        QProcess child;
        child.start(Tool(), {u"write"_s, file, u"TimerSec"_s, u"4"_s, u"12345"_s});
        QVERIFY(child.waitForReadyRead(10000));
        QCOMPARE(child.readLine().trimmed(), QByteArray("written"));
        ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(ReadElsewhere(file, {u"TimerSec"_s, u"4"_s}), QStringList{u"12345"_s});
    }
};

int RunProfileTests(int argc, char** argv) {
    TestProfile t;
    return QTest::qExec(&t, argc, argv);
}

#include "test_profile.moc"
