#pragma once

int RunReaderTests(int argc, char** argv);
int RunLookupTests(int argc, char** argv);
