#include "FirstPaint.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QMainWindow window;
    auto* label = new QLabel(QStringLiteral("Hello"), &window);
    window.setCentralWidget(label);
    FirstPaint firstPaint;
    label->installEventFilter(&firstPaint);
    window.show();
    return QApplication::exec();
}
