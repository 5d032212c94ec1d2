#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// The built program (KELVRA_EXE) with `arguments`: its status (-1 if it crashed or hung), standard
// output and standard error.
struct Run {
    int code = -1;
    QByteArray out;
    QByteArray err;
};

inline Run RunProgram(const QStringList& arguments) {
    QProcess child;
    child.start(qEnvironmentVariable("KELVRA_EXE"), arguments);
    if (!child.waitForFinished(30000)) {
        return {};
    }
    return {child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1, child.readAllStandardOutput(),
            child.readAllStandardError()};
}

// `options` (split at spaces), then `option` and `file`.
inline Run Report(const QString& options, const QString& file,
                  const QString& option = QStringLiteral("--journal")) {
    return RunProgram(options.split(QLatin1Char(' ')) << option << file);
}
