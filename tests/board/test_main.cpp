#include "TestSuites.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int failures = 0;
    failures += RunLedgerTests(argc, argv);
    failures += RunStoreTests(argc, argv);
    failures += RunProfileTests(argc, argv);
    return failures == 0 ? 0 : 1;
}
