#pragma once

#include "platform/DesktopNotifier.h"

#include <QObject>
#include <QPointer>
#include <memory>

class AwayPrompt;
class CMainFrame;
class Profile;
class TrayMenu;

// Reminds the user of a timer they may have forgotten: none running while they work
// ("Options"/"RemindStoppedMinutes" of activity with the board stopped), or one period running long
// ("Options"/"RemindLongMinutes"); 0, the default, reminds of neither. A reminder is a desktop
// notification, else the tray's message, else nothing: never a window. At most one of each kind for each
// stop or period, and none while the away question is up (it comes once the question is answered).
//
// It follows the board's one-second tick and keeps no timer of its own. The stopped reminder counts ticks
// with input rather than clock readings, so neither a suspend nor a clock step brings it early; time
// without input starts the count again.
class Reminders final : public QObject {
    Q_OBJECT
public:
    Reminders(CMainFrame& frame, const Profile& profile, const AwayPrompt& away);
    ~Reminders() override;
    Q_DISABLE_COPY_MOVE(Reminders)

    // Where no notification service answers: the tray's message; nullptr, or none set, shows nothing.
    void SetTray(TrayMenu* tray);
    DesktopNotifier& Notifier() { return *m_notifier; }

    // Within 0..a day, 0 when not set.
    static int StoppedMinutes(const Profile& profile);
    static int LongMinutes(const Profile& profile);

private:
    void OnTick();
    void Remind(const QString& kind, const QString& summary, const QString& body, QStringList actions);
    void OnAction(const QString& key);

    CMainFrame& m_frame;
    const Profile& m_profile;
    const AwayPrompt& m_away;
    std::unique_ptr<DesktopNotifier> m_notifier;
    QPointer<TrayMenu> m_tray;
    // The stretch the board is in: a period (its timer and start), or a stop (timer 0). The settings are
    // read as one begins, so the tick reads no profile entry.
    int m_timer = -1;
    qint64 m_start = 0;
    int m_minutes = 0;
    qint64 m_activeTicks = 0;
    bool m_bTold = false;
};
