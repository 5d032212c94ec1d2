// The board's own start, in a module of its own (kelvra-board.so) that `kelvra` loads only when a board
// is to run: the window system's libraries come with it, so that the commands to a running board,
// reports, --help and --version load none of them and return in a few milliseconds.
#include "app/BoardMain.h"

#include "app/CommandLine.h"
#include "app/KelvraApp.h"

#include <QApplication>

extern "C" Q_DECL_EXPORT int KelvraBoardMain(int argc, char** argv) {
    // Parsed again here: nothing but C types crosses into the module.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    const CommandLine commandLine = CommandLine::Parse(arguments);
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
