#include "app/Reminders.h"

#include "app/MainFrame.h"
#include "app/TrayMenu.h"
#include "away/AwayDetector.h"
#include "away/AwayPrompt.h"
#include "board/KelvraView.h"
#include "platform/Profile.h"
#include "platform/ProfileLayout.h"
#include "res/resource.h"

#include <QAction>
#include <algorithm>

namespace {

const QString kStopped = QStringLiteral("stopped");
const QString kLong = QStringLiteral("long");
const QString kResume = QStringLiteral("resume");
const QString kOpen = QStringLiteral("open");

int Setting(const Profile& profile, const QString& entry) {
    return std::clamp(profile.GetProfileInt(ProfileLayout::kOptions, entry, 0), 0, AwayDetector::kMaxMinutes);
}

} // namespace

Reminders::Reminders(CMainFrame& frame, const Profile& profile, const AwayPrompt& away)
    : QObject(&frame), m_frame(frame), m_profile(profile), m_away(away),
      m_notifier(DesktopNotifier::ForThisSystem()) {
    connect(frame.View(), &CKelvraView::ticked, this, &Reminders::OnTick);
    connect(m_notifier.get(), &DesktopNotifier::actionInvoked, this,
            [this](const QString&, const QString& key) { OnAction(key); });
    connect(m_notifier.get(), &DesktopNotifier::unshown, this,
            [this](const QString& summary, const QString& body) {
                if (m_tray) {
                    m_tray->ShowMessage(summary, body);
                }
            });
}

Reminders::~Reminders() = default;

void Reminders::SetTray(TrayMenu* tray) {
    m_tray = tray;
}

int Reminders::StoppedMinutes(const Profile& profile) {
    return Setting(profile, ProfileLayout::kRemindStoppedMinutes);
}

int Reminders::LongMinutes(const Profile& profile) {
    return Setting(profile, ProfileLayout::kRemindLongMinutes);
}

void Reminders::OnTick() {
    const CTimerLedger& ledger = m_frame.View()->Ledger();
    const int timer = ledger.Running();
    const qint64 start = timer != 0 ? ledger.Start() : 0;
    if (timer != m_timer || start != m_start) {
        m_timer = timer;
        m_start = start;
        m_minutes = timer != 0 ? LongMinutes(m_profile) : StoppedMinutes(m_profile);
        m_activeTicks = 0;
        m_bTold = false;
    }
    if (m_minutes == 0 || m_bTold) {
        return;
    }
    const qint64 due = qint64{m_minutes} * 60;
    if (timer == 0) {
        // Counted only while input comes: a board left stopped over lunch is no forgotten timer.
        m_activeTicks = m_away.InactiveSeconds().value_or(0) > 0 ? 0 : m_activeTicks + 1;
        if (m_activeTicks >= due && m_away.Question() == nullptr) {
            m_bTold = true;
            QStringList actions;
            m_frame.UpdateEditMenu();
            if (const QAction* resume = m_frame.CommandAction(ID_EDIT_RESUME);
                resume && resume->isEnabled()) {
                actions << kResume << resume->text().remove(QLatin1Char('&'));
            }
            Remind(kStopped, QStringLiteral("No timer is running"),
                   QStringLiteral("Nothing has been charged for the last %1 minutes of work.").arg(m_minutes),
                   actions);
        }
        return;
    }
    const qint64 ran = ledger.Now() - ledger.Start();
    if (ran >= due && m_away.Question() == nullptr) {
        m_bTold = true;
        Remind(kLong,
               QStringLiteral("%1 has been running for %2:%3")
                   .arg(ledger.Name(timer - 1))
                   .arg(ran / 3600)
                   .arg(ran / 60 % 60, 2, 10, QLatin1Char('0')),
               QString(), {});
    }
}

void Reminders::Remind(const QString& kind, const QString& summary, const QString& body,
                       QStringList actions) {
    const QString open = QStringLiteral("Open Kelvra");
    actions << QStringLiteral("default") << open << kOpen << open;
    m_notifier->Show(kind, summary, body, actions);
}

void Reminders::OnAction(const QString& key) {
    if (key == kResume) {
        // Checked again: the notification may have waited a while.
        m_frame.UpdateEditMenu();
        if (QAction* resume = m_frame.CommandAction(ID_EDIT_RESUME); resume && resume->isEnabled()) {
            resume->trigger();
        }
    } else if (key == kOpen || key == QStringLiteral("default")) {
        m_frame.showNormal();
        m_frame.raise();
        m_frame.activateWindow();
    }
}
