#pragma once

#include <QtGlobal>

// The entry point of kelvra-board.so, which `kelvra` looks up by this name: builds the application and
// runs the board on the command line in argv; returns the process's exit status.
extern "C" Q_DECL_EXPORT int KelvraBoardMain(int argc, char** argv);
using KelvraBoardMainFunction = int (*)(int, char**);
inline constexpr char kKelvraBoardMainName[] = "KelvraBoardMain";
