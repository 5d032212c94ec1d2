// The real application in a child process, for the signal and control tests: starts the board on the
// given profile, clicks the name of timer index 2, minimises the window, prints "running" and runs
// until it is ended; it prints "raised" whenever the window comes back from minimised.
#include "app/CommandLine.h"
#include "app/KelvraApp.h"
#include "app/MainFrame.h"
#include "board/KelvraView.h"
#include "platform/DialogBuilder.h"
#include "platform/FormLabel.h"
#include "res/resource.h"

#include <QApplication>
#include <QTimer>
#include <QWindowStateChangeEvent>
#include <cstdio>

namespace {

class RaiseWatch final : public QObject {
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::WindowStateChange &&
            static_cast<QWindowStateChangeEvent*>(event)->oldState().testFlag(Qt::WindowMinimized) &&
            !static_cast<QWidget*>(watched)->isMinimized()) {
            std::printf("raised\n");
            std::fflush(stdout);
        }
        return false;
    }
};

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    CommandLine commandLine;
    commandLine.profileFile = QString::fromLocal8Bit(argv[1]);
    CKelvraApp kelvra;
    if (kelvra.InitInstance(commandLine) != CKelvraApp::Start::Running) {
        return 1;
    }
    RaiseWatch watch;
    QTimer::singleShot(0, [&kelvra, &watch] {
        auto* label =
            qobject_cast<FormLabel*>(kelvra.MainFrame()->View()->Form().Control(IDC_NAME_FIRST + 2));
        Q_EMIT label->clicked();
        kelvra.MainFrame()->showMinimized();
        kelvra.MainFrame()->installEventFilter(&watch);
        std::printf("running\n");
        std::fflush(stdout);
    });
    return QApplication::exec();
}
