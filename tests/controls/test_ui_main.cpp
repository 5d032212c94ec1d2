#include "UiSuites.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setPalette(ClassicPalette());
    int failures = 0;
    failures += RunDibDrawTests(argc, argv);
    failures += RunIconButtonTests(argc, argv);
    failures += RunShadeButtonTests(argc, argv);
    return failures == 0 ? 0 : 1;
}
