#pragma once

// Reports the moment a widget has been painted for the first time (wall clock, nanoseconds) and the
// process's resident memory then, and ends the program.
#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QObject>
#include <chrono>
#include <cstdio>

class FirstPaint final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            // A posted call runs once the paint pass has been carried out, before any timer queued by the
            // program under test.
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [] {
                    const auto now = std::chrono::system_clock::now().time_since_epoch();
                    long rssKb = 0;
                    QFile status(QStringLiteral("/proc/self/status"));
                    if (status.open(QIODevice::ReadOnly)) {
                        for (const QByteArray& line : status.readAll().split('\n')) {
                            if (line.startsWith("VmRSS:")) {
                                rssKb = line.mid(6).trimmed().split(' ').value(0).toLong();
                            }
                        }
                    }
                    std::printf("%lld %ld\n",
                                static_cast<long long>(
                                    std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()),
                                rssKb);
                    std::fflush(stdout);
                    QCoreApplication::exit(0);
                },
                Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_seen = false;
};
