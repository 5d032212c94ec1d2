#include "app/CommandLine.h"
#include "app/KelvraApp.h"
#include "res/config.h"

#include <QApplication>
#include <cstdio>

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
    if (!kelvra.InitInstance(commandLine)) {
        return 1;
    }
    return QApplication::exec();
}
