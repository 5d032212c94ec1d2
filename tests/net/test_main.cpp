#include "TestSuites.h"

#include <QGuiApplication>

// One application for all suites: the web-link suite needs a GUI one for the desktop's URL handlers.
int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    int failures = 0;
    failures += RunSocketTests(argc, argv);
    failures += RunHttpTests(argc, argv);
    failures += RunLookupTests(argc, argv);
    failures += RunLinkTests(argc, argv);
    return failures == 0 ? 0 : 1;
}
