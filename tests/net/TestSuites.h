#pragma once

int RunSocketTests(int argc, char** argv);
int RunHttpTests(int argc, char** argv);
int RunLookupTests(int argc, char** argv);
int RunLinkTests(int argc, char** argv);
