#pragma once

#include <QString>

// The system's own settings store (the registry on Windows; elsewhere the profile is a file): what was
// written to it goes to the disk now, rather than at the system's leisure. Why it could not, or empty.
QString FlushNativeStore();
