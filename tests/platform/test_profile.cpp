#include "../FileBytes.h"
#include "platform/Profile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
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

// Root ignores file modes: these writers run as nobody.
QStringList AsNobody(const QStringList& args) {
    return QStringList{u"--reuid=65534"_s, u"--regid=65534"_s, u"--clear-groups"_s, Tool()} + args;
}

} // namespace

class TestProfile : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    QString File(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

private Q_SLOTS:
    // The user's own store (the registry on Windows, a file in the configuration folder elsewhere): names
    // in any script come back as written, from another reader too, and an entry of a later version is
    // left as it was. First, before anything may have fixed the configuration folder for this process.
    void theUsersOwnStoreKeepsNamesAndLaterEntries() {
        const QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        QSettings native(QSettings::NativeFormat, QSettings::UserScope, u"Kelvra"_s, u"Kelvra"_s);
        const auto cleanup = qScopeGuard([&native] { native.clear(); });
        native.clear();
        native.setValue(u"Later/Layout"_s, u"v2"_s);
        native.setValue(u"TimerText/11"_s, u"an eleventh row"_s);
        native.sync();
        const QString name = u"Caf\u00e9 \u6642\u9593 \u05e9\u05dc\u05d5\u05dd \U0001F600"_s;
        {
            Profile profile;
            QVERIFY2(profile.Location().startsWith(config.path()) ||
                         profile.Location().startsWith(u"\\HKEY"_s),
                     qPrintable(profile.Location()));
            QVERIFY(profile.WriteProfileString(u"TimerText"_s, u"1"_s, name));
            QVERIFY(profile.WriteProfileInt(u"TimerSec"_s, u"1"_s, 86399));
            QVERIFY(profile.SaveProblem().isEmpty());
        }
        const Profile again;
        QCOMPARE(again.GetProfileString(u"TimerText"_s, u"1"_s), name);
        QCOMPARE(again.GetProfileInt(u"TimerSec"_s, u"1"_s, 0), 86399);
        native.sync();
        QCOMPARE(native.value(u"TimerText/1"_s).toString(), name);
        QCOMPARE(native.value(u"Later/Layout"_s).toString(), u"v2"_s);
        QCOMPARE(native.value(u"TimerText/11"_s).toString(), u"an eleventh row"_s);
        qunsetenv("XDG_CONFIG_HOME");
    }

    // A second process writes and ends without a destructor: the value was on disk when the write
    // returned.
    void aWriteIsOnDiskWhenItReturns() {
        QProcess child;
        child.start(Tool(), {u"try"_s, File("killed.conf"), u"TimerSec"_s, u"4"_s, u"12345"_s});
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(ReadElsewhere(File("killed.conf"), {u"TimerSec"_s, u"4"_s}), QStringList{u"12345"_s});
    }

    void malformedEntriesReadAsTheirDefaults() {
        const QString file = File("malformed.conf");
        QVERIFY(
            WriteBytes(file, "[TimerSec]\n0=abc\n1=99999999999\n2= 42 \n3=-5\n4=\n[TimerText]\n0=a, b\n"));
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
        QTest::addColumn<QString>("readProblem"); // "F" stands for the file's path
        QTest::addColumn<QString>("saveProblem");
        const QByteArray timers("[TimerSec]\n0=5\n");
        QTest::newRow("read-only") << timers << 0444 << QString() << u"cannot save to F: read-only file"_s;
        QTest::newRow("unreadable") << timers << 0200 << u"F: cannot be read (permission denied)"_s
                                    << u"cannot save to F: the file could not be read (permission denied), "
                                       "so it is kept as it is"_s;
        QTest::newRow("folder") << QByteArray() << 0755 << u"F: is a directory"_s
                                << u"cannot save to F: is a directory"_s;
        QTest::newRow("damaged, cannot move")
            << QByteArray("\x01\x02") << 0644 << u"F: damaged, nothing in it can be read"_s
            << u"cannot save to F: the damaged file could not be moved aside "
               "(permission denied), so it is kept as it is"_s;
    }

    void writesThatCannotBeStoredAreToldAndKeptForReading() {
        QFETCH(QByteArray, content);
        QFETCH(int, mode);
        QFETCH(QString, readProblem);
        QFETCH(QString, saveProblem);
        if (QProcess::execute(u"setpriv"_s, AsNobody({})) != 2) {
            QSKIP("cannot run the tool as an unprivileged user");
        }
        QCOMPARE(::chmod(QFile::encodeName(m_dir.path()).constData(), 0755), 0);
        const QString file = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + u".conf"_s);
        QVERIFY(content.isNull() ? QDir().mkpath(file) : WriteBytes(file, content));
        QCOMPARE(::chmod(QFile::encodeName(file).constData(), static_cast<mode_t>(mode)), 0);
        QProcess writer;
        writer.start(u"setpriv"_s, AsNobody({u"try"_s, file, u"TimerSec"_s, u"0"_s, u"77"_s}));
        QVERIFY(writer.waitForFinished(10000));
        // Not written, told, and what was charged is still what reads give.
        QCOMPARE(QString::fromUtf8(writer.readAllStandardOutput()),
                 QString(readProblem + u"\n0\n"_s + saveProblem + u"\n77\n"_s).replace(u"F:"_s, file + u':'));
        QVERIFY(content.isNull() ? QFileInfo(file).isDir() : FileBytes(file) == content);
    }

    void aProfileReachedThroughALinkOnADiskThatFillsUpIsStoredOnceThereIsSpace() {
        const QString disk = File("small-disk");
        QVERIFY(QDir().mkpath(disk));
        if (QProcess::execute(u"mount"_s, {u"-t"_s, u"tmpfs"_s, u"-o"_s, u"size=64k"_s, u"tmpfs"_s, disk}) !=
            0) {
            QSKIP("cannot mount a tmpfs here");
        }
        const auto unmount = qScopeGuard([&] { QProcess::execute(u"umount"_s, {u"-l"_s, disk}); });
        const QString file = disk + u"/p.conf"_s;
        const QString link = File("link.conf");
        QVERIFY(QFile::link(file, link));
        Profile profile(link);
        QVERIFY(profile.WriteProfileInt(u"TimerSec"_s, u"0"_s, 1));
        QFile filler(disk + u"/filler"_s);
        QVERIFY(filler.open(QIODevice::WriteOnly));
        while (filler.write(QByteArray(4096, 'x')) > 0 && filler.flush()) {
        }
        filler.close();
        QVERIFY(!profile.WriteProfileInt(u"TimerSec"_s, u"0"_s, 2));
        QCOMPARE(profile.SaveProblem(), u"cannot save to "_s + link + u": no space left on the device"_s);
        QCOMPARE(profile.GetProfileInt(u"TimerSec"_s, u"0"_s, 0), 2);
        QCOMPARE(ReadElsewhere(file, {u"TimerSec"_s, u"0"_s}), QStringList{u"1"_s});
        QVERIFY(filler.remove());
        QVERIFY(profile.WriteProfileInt(u"Timer"_s, u"Init"_s, 1));
        QCOMPARE(profile.SaveProblem(), QString());
        QVERIFY(QFileInfo(link).isSymLink()); // the file it names was written, not the link replaced
        QCOMPARE(ReadElsewhere(file, {u"TimerSec"_s, u"0"_s, u"Timer"_s, u"Init"_s}),
                 (QStringList{u"2"_s, u"1"_s}));
    }

    // Each system call that stores the file fails once, after the room check has passed: the failure is
    // told, the file stays as it was (or, for the folder's entry, as written), and the next write
    // stores both values, leaving nothing else in the folder.
    void aWriteThatFailsOnTheDiskKeepsTheFileAndIsTold_data() {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("on"); // the call to fail is the first whose descriptor this names
        QTest::addColumn<QString>("told");
        QTest::addColumn<QByteArray>("left");
        const QByteArray old("[TimerSec]\n0=5\n");
        QTest::newRow("data written")
            << u"write"_s << u"ENOSPC"_s << u"<%D/#"_s << u"the file could not be written"_s << old;
        QTest::newRow("data synced") << u"fdatasync"_s << u"EIO"_s << u"<%F>"_s
                                     << u"the disk did not take the file (input/output error)"_s << old;
        QTest::newRow("renamed") << u"rename"_s << u"EIO"_s << u""_s << u"the file could not be written"_s
                                 << old;
        QTest::newRow("entry synced") << u"fsync"_s << u"EIO"_s << u"<%D>"_s
                                      << u"the disk did not take the folder's entry (input/output error)"_s
                                      << QByteArray("[TimerSec]\n0=77\n");
    }

    void aWriteThatFailsOnTheDiskKeepsTheFileAndIsTold() {
        QFETCH(QString, call);
        QFETCH(QString, error);
        QFETCH(QString, on);
        QFETCH(QString, told);
        QFETCH(QByteArray, left);
        if (QProcess::execute(u"strace"_s, {u"-o"_s, u"/dev/null"_s, u"true"_s}) != 0) {
            QSKIP("strace cannot run here");
        }
        const QTemporaryDir folder;
        const QString file = folder.filePath(u"p.conf"_s);
        const QStringList twoWrites{u"try"_s, file, u"TimerSec"_s, u"0"_s, u"77"_s, u"1"_s, u"88"_s};
        // Which of the calls is the one: counted on a run that fails nothing.
        QVERIFY(WriteBytes(file, "[TimerSec]\n0=5\n"));
        const QString log = folder.filePath(u"calls"_s);
        QCOMPARE(QProcess::execute(u"strace"_s, QStringList{u"-f"_s, u"-y"_s, u"-o"_s, log, u"-e"_s,
                                                            u"trace="_s + call, Tool()} +
                                                    twoWrites),
                 0);
        const QString descriptor = QString(on).replace(u"%F"_s, file).replace(u"%D"_s, folder.path());
        const QStringList calls = QString::fromUtf8(FileBytes(log)).split(u'\n').filter(call + u'(');
        const auto found = std::find_if(calls.begin(), calls.end(), [&](const QString& line) {
            return line.contains(descriptor) && !line.contains(u".lock>"_s);
        });
        QVERIFY2(found != calls.end(), qPrintable(calls.join(u'\n')));
        const auto nth = QString::number(found - calls.begin() + 1);

        const QString inject = u"inject=%1:error=%2:when=%3"_s.arg(call, error, nth);
        for (const qsizetype writes : {1, 2}) {
            QVERIFY(WriteBytes(file, "[TimerSec]\n0=5\n"));
            QProcess writer;
            writer.start(u"strace"_s, QStringList{u"-f"_s, u"-o"_s, u"/dev/null"_s, u"-e"_s,
                                                  u"trace="_s + call, u"-e"_s, inject, Tool()} +
                                          twoWrites.first(3 + 2 * writes));
            QVERIFY(writer.waitForFinished(10000));
            const QString out = QString::fromUtf8(writer.readAllStandardOutput());
            QCOMPARE(out, u"\n0\ncannot save to %1: %2\n77\n"_s.arg(file, told) +
                              (writes == 2 ? u"1\n\n"_s : u""_s));
            QCOMPARE(QDir(folder.path()).entryList(QDir::Files), (QStringList{u"calls"_s, u"p.conf"_s}));
            if (writes == 1) {
                QCOMPARE(FileBytes(file), left);
            }
        }
        QCOMPARE(ReadElsewhere(file, {u"TimerSec"_s, u"0"_s, u"TimerSec"_s, u"1"_s}),
                 (QStringList{u"77"_s, u"88"_s}));
    }

    void damagedFilesKeepWhatCanBeRead_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("kept"); // TimerSec/0 and TimerText/0
        QTest::addColumn<QString>("aside");    // the copy of the original kept beside the file
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF[TimerSec]\n0=5\n[TimerText]\n0=Work\n")
                                         << QStringList{u"5"_s, u"Work"_s} << QString();
        QTest::newRow("malformed line") << QByteArray("[TimerSec]\n0=5\nnot an entry\n[TimerText]\n0=Work\n")
                                        << QStringList{u"5"_s, u"Work"_s} << u"unreadable-lines"_s;
        QTest::newRow("nothing readable") << QByteArray::fromHex("01fe3d80ff0a7f000a5b80")
                                          << QStringList{QString(), QString()} << u"corrupt"_s;
    }

    void damagedFilesKeepWhatCanBeRead() {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, kept);
        QFETCH(QString, aside);
        const QString name = QString::fromLatin1(QTest::currentDataTag()) + u".conf"_s;
        const QString file = m_dir.filePath(name);
        QVERIFY(WriteBytes(file, content));
        // The names the copy would take in this second and the next are in use: they must stay so.
        const QDateTime now = QDateTime::currentDateTimeUtc();
        QStringList taken;
        for (const QDateTime& t : {now, now.addSecs(1)}) {
            taken << u"%1.%2-%3-1"_s.arg(file, aside, t.toString(u"yyyyMMdd-HHmmss"_s));
            QVERIFY(WriteBytes(taken.last(), "older"));
        }
        Profile profile(file);
        QCOMPARE(QStringList({profile.GetProfileString(u"TimerSec"_s, u"0"_s),
                              profile.GetProfileString(u"TimerText"_s, u"0"_s)}),
                 kept);
        QCOMPARE(profile.ReadProblem().isEmpty(), aside != u"corrupt"_s);
        QVERIFY(profile.WriteProfileInt(u"Timer"_s, u"Init"_s, 1));
        QCOMPARE(ReadElsewhere(file, {u"TimerSec"_s, u"0"_s, u"TimerText"_s, u"0"_s, u"Timer"_s, u"Init"_s}),
                 kept + QStringList{u"1"_s});
        QStringList copies;
        for (QString copy : QDir(m_dir.path()).entryList({name + u".*"_s})) {
            if (FileBytes(m_dir.filePath(copy)) == content) {
                copies << copy.remove(QRegularExpression(u"-\\d{8}-\\d{6}-\\d+$"_s));
            }
        }
        QCOMPARE(copies, aside.isEmpty() ? QStringList() : QStringList{name + u'.' + aside});
        for (const QString& older : taken) {
            QCOMPARE(FileBytes(older), QByteArray("older"));
        }
    }

    // Read by a second process while this one still holds the profile: every write is on the disk when
    // it returns, so a kill right after loses nothing.
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
        QStringList entries{u"TimerText"_s, u"3"_s}, last{name};
        for (const QString& section : {u"TimerSec"_s, u"Timer"_s}) {
            for (int e = 0; e < 10; ++e) {
                entries << section << QString::number(e);
                last << QString::number(e == 0 ? kWrites : kWrites - 10 + e);
            }
        }
        QCOMPARE(ReadElsewhere(file, entries), last);
    }
};

QTEST_GUILESS_MAIN(TestProfile)

#include "test_profile.moc"
