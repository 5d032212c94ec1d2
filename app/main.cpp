#include "app/CommandLine.h"
#include "app/KelvraApp.h"
#include "board/BoardReport.h"
#include "platform/Profile.h"
#include "res/config.h"

#include <QApplication>
#include <cstdio>
#include <memory>

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
        std::printf("Kelvra %s\n", KELVRA_VERSION_TEXT);
        return 0;
    case CommandLine::Action::Report: {
        QCoreApplication core(argc, argv);
        const auto access = Profile::Access::ReadOnly;
        const auto profile = commandLine.profileFile.isEmpty()
                                 ? std::make_unique<Profile>(access)
                                 : std::make_unique<Profile>(commandLine.profileFile, access);
        std::fputs(BoardReport::Render(*profile, commandLine.reportFormat).toUtf8().constData(), stdout);
        return 0;
    }
    case CommandLine::Action::Error:
        std::fprintf(stderr, "kelvra: %s\nTry 'kelvra --help'.\n", qPrintable(commandLine.text));
        return 2;
    case CommandLine::Action::Run:
        break;
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvra"));
    QApplication::setOrganizationName(QStringLiteral("Kelvra"));
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
