#pragma once

int RunLedgerTests(int argc, char** argv);
int RunProfileTests(int argc, char** argv);
