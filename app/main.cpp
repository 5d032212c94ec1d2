#include "app/CommandLine.h"
#include "app/ControlCommand.h"
#include "app/KelvraApp.h"
#include "board/BoardReport.h"
#include "journal/JournalQuery.h"
#include "journal/JournalReport.h"
#include "journal/JournalSink.h"
#include "platform/Profile.h"
#include "res/config.h"

#include <QApplication>
#include <QDate>
#include <cstdio>
#include <memory>

namespace {

// The whole text, NUL characters and all: a name may hold any character.
void Write(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
}

// A dated report reads the journal only; a journal it cannot read is a failure, never an empty report.
int ReportFromJournal(const CommandLine& commandLine, const std::optional<LivePeriod>& live) {
    const QString path = commandLine.journalFile.isEmpty() ? JournalSink::PathFor(commandLine.profileFile)
                                                           : commandLine.journalFile;
    Journal journal(path);
    Sql::Status status = journal.OpenForReading();
    QString out;
    if (status.Ok()) {
        JournalQuery query(journal);
        const JournalReport::Request request{*commandLine.reportUnit, commandLine.reportFormat,
                                             commandLine.reportFrom, commandLine.reportTo, live};
        status = JournalReport::Render(query, request, QDate::currentDate(), out);
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

} // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    const CommandLine commandLine = CommandLine::Parse(arguments);
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
        return ControlCommand::Run(commandLine);
    }
    case CommandLine::Action::Report: {
        QCoreApplication core(argc, argv);
        // A running board's open period as it stands now; without a board the files say all there is.
        const std::optional<LivePeriod> live = ControlCommand::AskLivePeriod(commandLine);
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
        std::fprintf(stderr, "%s; try 'kelvra --help'\n", qPrintable(StderrLine(commandLine.text)));
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
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvra"));
    QApplication::setOrganizationName(QStringLiteral("Kelvra"));
    // Wayland compositors find the desktop entry, and with it the icon, by this name.
    QApplication::setDesktopFileName(QStringLiteral("org.kelvra.Kelvra"));
    CKelvraApp kelvra;
    switch (kelvra.InitInstance(commandLine)) {
    case CKelvraApp::Start::Running:
        return QApplication::exec();
    case CKelvraApp::Start::AlreadyRunning:
        return 0;
    case CKelvraApp::Start::Failed:
        break;
    }
    return 1;
}
