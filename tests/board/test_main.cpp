#include "TestSuites.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int failures = RunLedgerTests(argc, argv) + RunProfileTests(argc, argv);
    return failures == 0 ? 0 : 1;
}
