#pragma once

#include <QObject>

int RunLedgerTests(int argc, char** argv);
int RunStoreTests(int argc, char** argv);
int RunProfileTests(int argc, char** argv);
