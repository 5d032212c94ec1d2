#include "CoreSuites.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int failures = 0;
    failures += RunDibSurfaceTests(argc, argv);
    failures += RunShadingTests(argc, argv);
    return failures == 0 ? 0 : 1;
}
