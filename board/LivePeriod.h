#pragma once

#include <QString>
#include <QtGlobal>

// The open period of a running board as that board sees it at one instant: what a report adds so that it
// shows what the board shows, to the second, instead of the period's last heartbeat.
struct LivePeriod {
    int index = 0; // the timer, 0-based
    QString name;
    qint64 start = 0;
    qint64 now = 0; // the board's clock when it was asked
};
