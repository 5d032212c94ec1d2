#include "app/BoardMain.h"
#include "app/CommandLine.h"
#include "board/BoardReport.h"
#include "control/ControlCommand.h"
#include "journal/JournalHealth.h"
#include "journal/JournalQuery.h"
#include "journal/JournalReport.h"
#include "journal/JournalSink.h"
#include "platform/Profile.h"
#include "res/config.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QLibraryInfo>
#include <algorithm>
#include <cstdio>
#include <iterator>
#include <memory>
#ifdef Q_OS_WIN
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>
#endif

namespace {

#ifdef Q_OS_WIN
// The command line as typed: argv spells it in the local code page, which cannot hold every name.
QStringList TypedArguments(int, char**) {
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    QStringList arguments;
    for (int i = 0; wide && i < count; ++i) {
        arguments << QString::fromWCharArray(wide[i]);
    }
    ::LocalFree(wide);
    return arguments;
}

// A window program has no console of its own. Started from one, what it prints (help, the commands'
// answers, reports) goes there, in UTF-8; an output already sent to a file or a pipe stays so.
void UseParentConsole() {
    const auto unset = [](DWORD which) { return ::GetFileType(::GetStdHandle(which)) == FILE_TYPE_UNKNOWN; };
    const bool bOut = unset(STD_OUTPUT_HANDLE);
    const bool bErr = unset(STD_ERROR_HANDLE);
    // The C runtime's text mode would write a report's CRLF as CR CR LF, and alter a name's own line
    // breaks: every output is the same bytes as on other systems. (A stream without a handle is left be.)
    if (!bOut) {
        _setmode(_fileno(stdout), _O_BINARY);
    }
    if (!bErr) {
        _setmode(_fileno(stderr), _O_BINARY);
    }
    if ((bOut || bErr) && ::AttachConsole(ATTACH_PARENT_PROCESS)) {
        ::SetConsoleOutputCP(CP_UTF8);
        if (bOut) {
            std::freopen("CONOUT$", "wb", stdout);
        }
        if (bErr) {
            std::freopen("CONOUT$", "wb", stderr);
        }
    }
}

// Windows' C library takes TZ before the system's zone, reads only its offset and applies US summer-time
// dates: a TZ that a Unix-like shell exports ("Europe/Berlin") would shift local times, while the zone
// Windows reports stays right. Local times follow the system's zone alone.
void FollowSystemZone() {
    _putenv("TZ=");
    _tzset();
}
#else
QStringList TypedArguments(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    return arguments;
}

void UseParentConsole() {}
void FollowSystemZone() {}
#endif

// The whole text, NUL characters and all: a name may hold any character.
void Write(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
}

Sql::Status Render(Journal& journal, const CommandLine& commandLine,
                   const std::optional<Kelvra::LivePeriod>& live, QString& out) {
    JournalQuery query(journal);
    const JournalReport::Request request{*commandLine.reportUnit, commandLine.reportFormat,
                                         commandLine.reportFrom, commandLine.reportTo,
                                         commandLine.reportZone};
    // With --tz, "today" is the date there.
    const QDate today = commandLine.reportZone.isValid()
                            ? QDateTime::currentDateTimeUtc().toTimeZone(commandLine.reportZone).date()
                            : QDate::currentDate();
    return JournalReport::Render(query, request, today, out, live);
}

// A dated report reads the journal only; a journal it cannot read is a failure, never an empty report.
// A damaged one gives what can still be read, and fails all the same, saying what it left out.
int ReportFromJournal(const CommandLine& commandLine, const std::optional<Kelvra::LivePeriod>& live) {
    const QString path = commandLine.journalFile.isEmpty() ? JournalSink::PathFor(commandLine.profileFile)
                                                           : commandLine.journalFile;
    Journal journal(path);
    Sql::Status status = journal.OpenForReading();
    QString out;
    if (status.Ok()) {
        status = Render(journal, commandLine, live, out);
    }
    if (status.IsDamage()) {
        Journal readable(QStringLiteral(":memory:"));
        const JournalHealth::Copied copied = readable.OpenForWriting().status.Ok()
                                                 ? JournalHealth::CopyReadable(path, readable.Database())
                                                 : JournalHealth::Copied{};
        if (copied.rows.contains(QStringLiteral("periods")) && copied.status.Ok() &&
            Render(readable, commandLine, live, out).Ok()) {
            Write(out);
            // Adjustments are events: a damaged event may be one this report would have counted.
            const qint64 periods = copied.skipped.value(QStringLiteral("periods"));
            const qint64 events = copied.skipped.value(QStringLiteral("events"));
            std::fprintf(
                stderr, "kelvra: the journal %s is damaged (%s); %s\n", qPrintable(path),
                qPrintable(status.message),
                periods + events == 0
                    ? "every period and adjustment could still be read"
                    : qPrintable(QStringLiteral("at least %1 unreadable periods and %2 unreadable events "
                                                "(time added or removed among them) are left out of "
                                                "this report")
                                     .arg(periods)
                                     .arg(events)));
            return 1;
        }
    }
    if (!status.Ok()) {
        std::fprintf(stderr, "kelvra: cannot read the journal %s: %s\n", qPrintable(path),
                     qPrintable(status.message));
        return 1;
    }
    Write(out);
    return 0;
}

// Without a display Qt's default platform aborts the process: the board says what is missing instead,
// unless the environment or Qt's -platform or -display option names where to show it.
bool DisplayNamed(const CommandLine& commandLine) {
#ifdef Q_OS_LINUX
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        if (!qEnvironmentVariableIsEmpty(variable)) {
            return true;
        }
    }
    return commandLine.qtOptions.contains(QStringLiteral("-platform")) ||
           commandLine.qtOptions.contains(QStringLiteral("-display"));
#else
    Q_UNUSED(commandLine)
    return true;
#endif
}

#ifdef Q_OS_LINUX
// Whether Qt's Wayland platform is installed where Qt looks for platforms.
bool WaylandPlatformInstalled() {
    QStringList folders{QLibraryInfo::path(QLibraryInfo::PluginsPath)};
    for (const QString& folder :
         qEnvironmentVariable("QT_PLUGIN_PATH").split(QDir::listSeparator(), Qt::SkipEmptyParts)) {
        folders << folder;
    }
    return std::any_of(folders.cbegin(), folders.cend(), [](const QString& folder) {
        return !QDir(folder + QStringLiteral("/platforms"))
                    .entryList({QStringLiteral("*qwayland*")}, QDir::Files)
                    .isEmpty();
    });
}
#endif

// A Wayland session without Qt's Wayland platform (Debian's qt6-wayland): Qt would abort. Falls back to
// X11 (Xwayland) where DISPLAY names a server, else says what to install. False: the board cannot start.
bool PlatformAvailable(const CommandLine& commandLine) {
#ifdef Q_OS_LINUX
    if (commandLine.qtOptions.contains(QStringLiteral("-platform"))) {
        return true; // the user's own choice, reported by Qt
    }
    const QString chosen = qEnvironmentVariable("QT_QPA_PLATFORM");
    const QString desktop =
        qEnvironmentVariable("XDG_CURRENT_DESKTOP") + qEnvironmentVariable("XDG_SESSION_DESKTOP");
    // As Qt decides: a Wayland session outside GNOME, or a Wayland display alone.
    const bool bWayland =
        chosen.isEmpty()
            ? (qEnvironmentVariable("XDG_SESSION_TYPE") == QStringLiteral("wayland") &&
               !desktop.contains(QStringLiteral("gnome"), Qt::CaseInsensitive)) ||
                  (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && qEnvironmentVariableIsEmpty("DISPLAY"))
            : chosen.startsWith(QStringLiteral("wayland"));
    if (!bWayland) {
        return true;
    }
    if (WaylandPlatformInstalled()) {
        if (chosen.isEmpty()) {
            qputenv("QT_QPA_PLATFORM", "wayland"); // Qt would try X11 where only Wayland is
        }
        return true;
    }
    if (!qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
        return true;
    }
    std::fputs("kelvra: Qt's Wayland platform is missing: install qt6-wayland, or start Kelvra under X11\n",
               stderr);
    return false;
#else
    Q_UNUSED(commandLine)
    return true;
#endif
}

// This program's file, found before any Qt application object exists.
QString ProgramPath(const char* argv0) {
#ifdef Q_OS_WIN
    wchar_t path[32768];
    const DWORD length = ::GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
    if (length > 0 && length < std::size(path)) {
        return QString::fromWCharArray(path, static_cast<qsizetype>(length));
    }
#else
    if (QString program = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
        !program.isEmpty()) {
        return program;
    }
#endif
    return QFileInfo(QString::fromLocal8Bit(argv0)).absoluteFilePath();
}

// Loads the board's module, found beside the program in a build tree and in its private library
// folder once installed, and runs it. It is never unloaded: the process ends with it.
int RunBoard(int argc, char** argv) {
    const QDir folder = QFileInfo(ProgramPath(argv[0])).absoluteDir();
    QStringList problems;
    for (const QString& path : {folder.filePath(QStringLiteral(KELVRA_BOARD_FILE)),
                                folder.filePath(QStringLiteral(KELVRA_BOARD_MODULE))}) {
        if (!QFileInfo::exists(path)) {
            continue;
        }
        QLibrary module(path);
        if (const auto run =
                reinterpret_cast<KelvraBoardMainFunction>(module.resolve(kKelvraBoardMainName))) {
            return run(argc, argv);
        }
        problems << module.errorString();
    }
    if (problems.isEmpty()) {
        problems << QStringLiteral("%1 is neither beside the program nor in %2")
                        .arg(QStringLiteral(KELVRA_BOARD_FILE),
                             folder.filePath(QStringLiteral(KELVRA_BOARD_MODULE)));
    }
    std::fprintf(stderr, "kelvra: cannot load the board: %s\n",
                 qPrintable(problems.join(QStringLiteral("; "))));
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    UseParentConsole();
    FollowSystemZone();
    const CommandLine commandLine = CommandLine::Parse(TypedArguments(argc, argv));
    switch (commandLine.action) {
    case CommandLine::Action::Help:
        std::fputs(qPrintable(commandLine.text), stdout);
        return 0;
    case CommandLine::Action::Version:
        std::printf("Kelvra %s\ncountry lookup: %s\n", KELVRA_VERSION_TEXT,
                    KELVRA_COUNTRY_LOOKUP ? "on" : "off");
        return 0;
    case CommandLine::Action::Control: {
        QCoreApplication core(argc, argv);
        if (!commandLine.notice.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(Kelvra::StderrLine(commandLine.notice)));
        }
        return ControlCommand::Run({commandLine.profileFile, commandLine.journalFile, commandLine.control,
                                    commandLine.statusFormat});
    }
    case CommandLine::Action::Report: {
        QCoreApplication core(argc, argv);
        // A running board's open period as it stands now; without a board the files say all there is.
        const std::optional<Kelvra::LivePeriod> live = ControlCommand::AskLivePeriod(commandLine.profileFile);
        if (commandLine.reportUnit) {
            return ReportFromJournal(commandLine, live);
        }
        const auto access = Profile::Access::ReadOnly;
        const auto profile = commandLine.profileFile.isEmpty()
                                 ? std::make_unique<Profile>(access)
                                 : std::make_unique<Profile>(commandLine.profileFile, access);
        // A profile that cannot be read is a failure, never a board of zeros.
        if (const QString problem = profile->ReadProblem(); !problem.isEmpty()) {
            std::fprintf(stderr, "kelvra: cannot read the profile %s\n", qPrintable(problem));
            return 1;
        }
        Write(BoardReport::Render(*profile, commandLine.reportFormat, live));
        return 0;
    }
    case CommandLine::Action::Error:
        std::fprintf(stderr, "%s; try 'kelvra --help'\n", qPrintable(Kelvra::StderrLine(commandLine.text)));
        return 2;
    case CommandLine::Action::Run:
        break;
    }

    if (!DisplayNamed(commandLine)) {
        std::fputs(
            "kelvra: no display available (DISPLAY/WAYLAND_DISPLAY not set); --report works without one\n",
            stderr);
        return 1;
    }
    if (!PlatformAvailable(commandLine)) {
        return 1;
    }
    return RunBoard(argc, argv);
}
