#include "app/CommandLine.h"
#include "app/KelvraApp.h"
#include "app/MainFrame.h"
#include "board/KelvraView.h"

#include <QApplication>

// The board on the profile named by argv[1], with its first timer running, until it is ended.
int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvra"));
    CommandLine commandLine;
    commandLine.profileFile = QString::fromLocal8Bit(argv[1]);
    CKelvraApp kelvra;
    if (kelvra.InitInstance(commandLine) != CKelvraApp::Start::Running) {
        return 1;
    }
    kelvra.MainFrame()->View()->SelectRow(1);
    return QApplication::exec();
}
