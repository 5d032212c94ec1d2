#pragma once

#include <QObject>
#include <QString>
#include <memory>

// The Wayland compositor's own word on the user's input: ext-idle-notify-v1 where the compositor offers
// it, else KDE's org_kde_kwin_idle (KWin, wlroots). The compositor says when no input came for the
// threshold and when it came again: events on the display connection Qt already has, which Qt's event
// loop dispatches, so nothing polls and no second connection is opened.
//
// Neither protocol tells a video that inhibits idleness from input: while one plays, no spell begins.
class WaylandIdleWatch final : public QObject {
    Q_OBJECT
public:
    explicit WaylandIdleWatch(QObject* parent = nullptr);
    ~WaylandIdleWatch() override;
    Q_DISABLE_COPY_MOVE(WaylandIdleWatch)

    // Watches for `thresholdMs` without input. The source used ("ext-idle-notify" or "kde-idle"), or
    // empty (nothing watched) off Wayland, where the compositor offers neither, or for a threshold of 0.
    // One round trip to the compositor, on a queue of its own.
    QString Start(qint64 thresholdMs);

Q_SIGNALS:
    // No input for `seconds` so far, or input again.
    void inactivityChanged(bool inactive, qint64 seconds);

private:
    struct Protocol; // the compositor's objects, where the protocols were built in

    void Changed(bool inactive);

    std::unique_ptr<Protocol> m_protocol;
    qint64 m_thresholdMs = 0;
    bool m_inactive = false;
};
