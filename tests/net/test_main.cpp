#include "TestSuites.h"

#include <QGuiApplication>

// A GUI application: the web-link tests observe the desktop's URL handlers.
int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    int failures = 0;
    failures += RunReaderTests(argc, argv);
    failures += RunLookupTests(argc, argv);
    return failures == 0 ? 0 : 1;
}
