// The real application in a child process, for the signal tests: starts the board on the given profile,
// clicks the name of timer index 2, prints "running" and runs until it is ended.
#include "app/CommandLine.h"
#include "app/KelvraApp.h"
#include "app/MainFrame.h"
#include "board/KelvraView.h"
#include "platform/DialogBuilder.h"
#include "platform/FormLabel.h"
#include "res/resource.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    CommandLine commandLine;
    commandLine.profileFile = QString::fromLocal8Bit(argv[1]);
    CKelvraApp kelvra;
    if (kelvra.InitInstance(commandLine) != CKelvraApp::Start::Running) {
        return 1;
    }
    QTimer::singleShot(0, [&kelvra] {
        auto* label =
            qobject_cast<FormLabel*>(kelvra.MainFrame()->View()->Form().Control(IDC_NAME_FIRST + 2));
        Q_EMIT label->clicked();
        std::printf("running\n");
        std::fflush(stdout);
    });
    return QApplication::exec();
}
