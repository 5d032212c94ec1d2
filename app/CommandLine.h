#pragma once

#include <QString>
#include <QStringList>

// What the command line asks for. Parsed before any window system is touched, so that --help and
// --version work without a display.
struct CommandLine {
    enum class Action { Run, Help, Version, Error };

    Action action = Action::Run;
    QString profileFile; // empty: the user's own profile
    QString document;    // empty: a new document
    QString text;        // the help text, or the error message

    static CommandLine Parse(const QStringList& arguments);
};
