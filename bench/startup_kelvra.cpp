#include "FirstPaint.h"
#include "app/CommandLine.h"
#include "app/KelvraApp.h"
#include "app/MainFrame.h"
#include "board/KelvraView.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvra"));
    CommandLine commandLine;
    commandLine.profileFile = QString::fromLocal8Bit(argv[1]);
    CKelvraApp kelvra;
    FirstPaint firstPaint;
    if (kelvra.InitInstance(commandLine) != CKelvraApp::Start::Running) {
        return 1;
    }
    kelvra.MainFrame()->View()->installEventFilter(&firstPaint);
    return QApplication::exec();
}
