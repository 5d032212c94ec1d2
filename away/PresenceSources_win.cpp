#include "away/AwayPrompt.h"
#include "away/PresenceSources.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QTimer>
#include <QWidget>
#include <windows.h>
#include <wtsapi32.h>

namespace {

const QString kLastInput = QStringLiteral("windows-input");

// The screen lock: Windows tells a window registered for it when its session locks and unlocks.
class SessionLockWatch final : public QObject, public QAbstractNativeEventFilter {
public:
    SessionLockWatch(HWND window, AwayPrompt& away)
        : QObject(&away), m_window(window), m_away(away),
          m_bRegistered(::WTSRegisterSessionNotification(window, NOTIFY_FOR_THIS_SESSION) != FALSE) {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~SessionLockWatch() override {
        if (QCoreApplication* app = QCoreApplication::instance()) {
            app->removeNativeEventFilter(this);
        }
        if (m_bRegistered) {
            ::WTSUnRegisterSessionNotification(m_window);
        }
    }
    Q_DISABLE_COPY_MOVE(SessionLockWatch)

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        const auto* msg = static_cast<const MSG*>(message);
        if (type == "windows_generic_MSG" && msg->hwnd == m_window && msg->message == WM_WTSSESSION_CHANGE) {
            if (msg->wParam == WTS_SESSION_LOCK || msg->wParam == WTS_SESSION_UNLOCK) {
                m_away.OnLockChanged(msg->wParam == WTS_SESSION_LOCK);
            }
        }
        return false;
    }

private:
    HWND m_window;
    AwayPrompt& m_away;
    bool m_bRegistered;
};

// Inactivity: the moment of the session's last input. Windows has no event for it, so it is read every
// few seconds; a reading is one call, and the prompt hears only the changes.
class LastInputWatch final : public QObject {
public:
    static constexpr int kEveryMs = 5000;

    LastInputWatch(AwayPrompt& away, qint64 thresholdMs)
        : QObject(&away), m_away(away), m_thresholdMs(thresholdMs) {
        m_timer.setTimerType(Qt::VeryCoarseTimer);
        connect(&m_timer, &QTimer::timeout, this, [this] { Check(); });
        m_timer.start(kEveryMs);
    }

private:
    void Check() {
        LASTINPUTINFO info{sizeof info, 0};
        if (!::GetLastInputInfo(&info)) {
            return;
        }
        // Both in milliseconds of a 32-bit count that wraps alike: the difference is right across it.
        const qint64 idleMs = static_cast<DWORD>(::GetTickCount() - info.dwTime);
        if (const bool bInactive = idleMs >= m_thresholdMs; bInactive != m_bInactive) {
            m_bInactive = bInactive;
            m_away.OnInactivityFrom(kLastInput, bInactive, idleMs / 1000);
        }
    }

    AwayPrompt& m_away;
    qint64 m_thresholdMs;
    QTimer m_timer;
    bool m_bInactive = false;
};

} // namespace

void WatchPresence(AwayPrompt& away, int idleMinutes) {
    // The prompt is a child of the board's view.
    if (auto* view = qobject_cast<QWidget*>(away.parent())) {
        new SessionLockWatch(reinterpret_cast<HWND>(view->window()->winId()), away);
    }
    if (idleMinutes > 0) {
        new LastInputWatch(away, qint64{idleMinutes} * 60'000);
        away.OfferInactivitySource(kLastInput);
    }
}
