#include "TestSuites.h"
#include "platform/Profile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <signal.h>
#include <sys/stat.h>
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

QByteArray ReadRaw(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Root ignores file modes and may write anywhere: such cases run the tool as nobody.
QStringList RunAsNobody(const QStringList& args, int* exitCode = nullptr) {
    QProcess p;
    p.start(u"setpriv"_s,
            QStringList{u"--reuid=65534"_s, u"--regid=65534"_s, u"--clear-groups"_s, Tool()} + args);
    p.waitForFinished(10000);
    if (exitCode) {
        *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
    return QString::fromUtf8(p.readAllStandardOutput()).split(u'\n');
}

// chattr +i makes a file or folder unchangeable even for root; not every file system has it.
bool SetImmutable(const QString& path, bool on) {
    return QProcess::execute(u"chattr"_s, {on ? u"+i"_s : u"-i"_s, path}) == 0;
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

    void writesThatCannotBeStoredAreToldAndKeptForReading_data() {
        QTest::addColumn<QByteArray>("content"); // null: a folder in place of the file
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("readProblem");
        QTest::addColumn<QString>("reason");
        QTest::newRow("read-only") << QByteArray("[TimerSec]\n0=5\n") << 0444 << QString()
                                   << u"read-only file"_s;
        QTest::newRow("unreadable") << QByteArray("[TimerSec]\n0=5\n") << 0200
                                    << u"cannot be read (permission denied)"_s
                                    << u"could not be read (permission denied), so it is kept as it is"_s;
        QTest::newRow("folder") << QByteArray() << 0755 << u"is a directory"_s << u"is a directory"_s;
    }

    void writesThatCannotBeStoredAreToldAndKeptForReading() {
        QFETCH(QByteArray, content);
        QFETCH(int, mode);
        QFETCH(QString, readProblem);
        QFETCH(QString, reason);
        int probe = 0;
        if (QStandardPaths::findExecutable(u"setpriv"_s).isEmpty() || (RunAsNobody({}, &probe), probe != 2)) {
            QSKIP("cannot run the tool as an unprivileged user");
        }
        QCOMPARE(::chmod(QFile::encodeName(m_dir.path()).constData(), 0755), 0);
        const QString file = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + u".conf"_s);
        if (content.isNull()) {
            QVERIFY(QDir().mkpath(file));
        } else {
            WriteRaw(file, content);
        }
        QCOMPARE(::chmod(QFile::encodeName(file).constData(), static_cast<mode_t>(mode)), 0);
        const QStringList out = RunAsNobody({u"try"_s, file, u"TimerSec"_s, u"0"_s, u"77"_s});
        QCOMPARE(out.value(0), readProblem.isEmpty() ? QString() : file + u": "_s + readProblem);
        QCOMPARE(out.value(1), u"0"_s);
        QVERIFY2(out.value(2).startsWith(u"cannot save to "_s + file + u": "_s) &&
                     out.value(2).contains(reason),
                 qPrintable(out.value(2)));
        QCOMPARE(out.value(3), u"77"_s); // what was charged stays on the screen
        QVERIFY(content.isNull() ? QFileInfo(file).isDir() : ReadRaw(file) == content);
    }

    void aWriteFailsOnAFullDiskAndTheNextOneStoresEverything() {
        const QString disk = File("small-disk");
        QVERIFY(QDir().mkpath(disk));
        if (QProcess::execute(u"mount"_s, {u"-t"_s, u"tmpfs"_s, u"-o"_s, u"size=64k"_s, u"tmpfs"_s, disk}) !=
            0) {
            QSKIP("cannot mount a tmpfs here");
        }
        const auto unmount = qScopeGuard([&] { QProcess::execute(u"umount"_s, {u"-l"_s, disk}); });
        const QString file = disk + u"/p.conf"_s;
        Profile profile(file);
        QVERIFY(profile.WriteProfileInt(u"TimerSec"_s, u"0"_s, 1));
        QFile filler(disk + u"/filler"_s);
        QVERIFY(filler.open(QIODevice::WriteOnly));
        while (filler.write(QByteArray(4096, 'x')) > 0 && filler.flush()) {
        }
        filler.close();
        QVERIFY(!profile.WriteProfileInt(u"TimerSec"_s, u"0"_s, 2));
        QCOMPARE(profile.SaveProblem(), u"cannot save to "_s + file + u": no space left on the device"_s);
        QCOMPARE(profile.GetProfileInt(u"TimerSec"_s, u"0"_s, 0), 2);
        QCOMPARE(ReadElsewhere(file, {u"TimerSec"_s, u"0"_s}), QStringList{u"1"_s});
        QVERIFY(filler.remove());
        QVERIFY(profile.WriteProfileInt(u"Timer"_s, u"Init"_s, 1));
        QCOMPARE(profile.SaveProblem(), QString());
        QCOMPARE(ReadElsewhere(file, {u"TimerSec"_s, u"0"_s, u"Timer"_s, u"Init"_s}),
                 (QStringList{u"2"_s, u"1"_s}));
    }

    void damagedFilesKeepWhatCanBeRead_data() {
        QByteArray garbage(2048, '\0');
        for (int i = 0; i < garbage.size(); ++i) {
            garbage[i] = static_cast<char>((i * 7919) & 0xFF);
        }
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("kept"); // TimerSec/0 and TimerText/0
        QTest::addColumn<QString>("aside");    // the kind of copy of the original made beside it
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF[TimerSec]\n0=5\n[TimerText]\n0=Work\n")
                                         << QStringList{u"5"_s, u"Work"_s} << QString();
        QTest::newRow("malformed line") << QByteArray("[TimerSec]\n0=5\nnot an entry\n[TimerText]\n0=Work\n")
                                        << QStringList{u"5"_s, u"Work"_s} << u"unreadable-lines"_s;
        QTest::newRow("nothing readable") << garbage << QStringList{QString(), QString()} << u"corrupt"_s;
    }

    void damagedFilesKeepWhatCanBeRead() {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, kept);
        QFETCH(QString, aside);
        const QString file = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + u".conf"_s);
        // Names the copy could take in this second or the next are in use already: they must stay.
        const QDateTime now = QDateTime::currentDateTimeUtc();
        QStringList taken;
        for (const QDateTime& t : {now, now.addSecs(1)}) {
            taken << u"%1.%2-%3-1"_s.arg(file, aside, t.toString(u"yyyyMMdd-HHmmss"_s));
            WriteRaw(taken.last(), "older");
        }
        for (int round = 0; round < 2; ++round) {
            WriteRaw(file, content);
            Profile profile(file);
            QCOMPARE(profile.GetProfileString(u"TimerSec"_s, u"0"_s), kept[0]);
            QCOMPARE(profile.GetProfileString(u"TimerText"_s, u"0"_s), kept[1]);
            QCOMPARE(profile.ReadProblem().isEmpty(), aside != u"corrupt"_s);
            QVERIFY(profile.WriteProfileInt(u"Timer"_s, u"Init"_s, 1));
            QCOMPARE(
                ReadElsewhere(file, {u"TimerSec"_s, u"0"_s, u"TimerText"_s, u"0"_s, u"Timer"_s, u"Init"_s}),
                kept + QStringList{u"1"_s});
        }
        QStringList copies;
        for (const QString& name : QDir(m_dir.path()).entryList({QFileInfo(file).fileName() + u".*"_s})) {
            if (ReadRaw(m_dir.filePath(name)) == content) {
                copies << name;
            }
        }
        QCOMPARE(copies.size(), aside.isEmpty() ? 0 : 2);
        for (const QString& name : copies) {
            QVERIFY2(name.contains(u'.' + aside + u'-'), qPrintable(name));
        }
        for (const QString& name : taken) {
            QCOMPARE(ReadRaw(name), QByteArray("older"));
        }
    }

    void aDamagedFileThatCannotBeMovedAsideIsNeverWritten() {
        const QString folder = File("fixed");
        const QString file = folder + u"/p.conf"_s;
        QVERIFY(QDir().mkpath(folder));
        WriteRaw(file, "\x01\x02");
        if (!SetImmutable(folder, true)) {
            QSKIP("chattr +i does not work here");
        }
        const auto release = qScopeGuard([&] { SetImmutable(folder, false); });
        Profile profile(file);
        QVERIFY(profile.SaveProblem().contains(u"could not be moved aside"_s));
        QVERIFY(!profile.WriteProfileInt(u"TimerSec"_s, u"0"_s, 3));
        QCOMPARE(profile.GetProfileInt(u"TimerSec"_s, u"0"_s, 0), 3);
        QVERIFY(profile.SaveProblem().startsWith(u"cannot save to "_s + file));
        QVERIFY(SetImmutable(folder, false));
        QVERIFY(!profile.WriteProfileInt(u"TimerSec"_s, u"0"_s, 4)); // refused for the whole session
        QCOMPARE(ReadRaw(file), QByteArray("\x01\x02"));
    }

    void aProfileReachedThroughALinkIsWrittenToItsTarget() {
        QVERIFY(QDir().mkpath(File("real")) && QDir().mkpath(File("links")));
        const QString target = File("real/p.conf");
        const QString link = File("links/p.conf");
        WriteRaw(target, "[TimerSec]\n0=5\n");
        QVERIFY(QFile::link(target, link));
        Profile profile(link);
        QVERIFY(profile.WriteProfileInt(u"TimerSec"_s, u"1"_s, 9));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(ReadElsewhere(target, {u"TimerSec"_s, u"0"_s, u"TimerSec"_s, u"1"_s}),
                 (QStringList{u"5"_s, u"9"_s}));
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
