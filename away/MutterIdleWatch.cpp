#include "away/MutterIdleWatch.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {

const QString kService = QStringLiteral("org.gnome.Mutter.IdleMonitor");
const QString kPath = QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core");
const QString kInterface = QStringLiteral("org.gnome.Mutter.IdleMonitor");

} // namespace

MutterIdleWatch::MutterIdleWatch(QObject* parent)
    : QObject(parent), m_link(*this, BusLink::Bus::Session, QStringLiteral("idle")) {}

MutterIdleWatch::~MutterIdleWatch() = default;

void MutterIdleWatch::Start(int minutes) {
    m_thresholdMs = qint64{minutes} * 60'000;
    if (minutes > 0) {
        m_link.Open([this](QDBusConnection&) { return [this] { Follow(); }; });
    }
}

void MutterIdleWatch::Follow() {
    QDBusConnection bus = m_link.Connection();
    bus.connect(QString(), kPath, kInterface, QStringLiteral("WatchFired"), this, SLOT(OnWatchFired(uint)));
    QDBusMessage add =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("AddIdleWatch"));
    add << static_cast<qulonglong>(m_thresholdMs);
    auto* call = new QDBusPendingCallWatcher(bus.asyncCall(add), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        const QDBusPendingReply<uint> reply = *finished;
        // No GNOME: nobody owns the name, and another source tells instead.
        if (reply.isError()) {
            return;
        }
        m_idleWatch = reply.value();
        m_owner = reply.reply().service();
        m_link.Connection().connect(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameOwnerChanged"), this,
            SLOT(OnNameOwnerChanged(QString, QString, QString)));
        Q_EMIT watching();
    });
}

void MutterIdleWatch::AddActiveWatch() {
    QDBusMessage add =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("AddUserActiveWatch"));
    auto* call = new QDBusPendingCallWatcher(m_link.Connection().asyncCall(add), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        const QDBusPendingReply<uint> reply = *finished;
        if (!reply.isError()) {
            m_activeWatch = reply.value();
        }
    });
}

void MutterIdleWatch::OnWatchFired(uint id) {
    if (message().service() != m_owner || id == 0) {
        return;
    }
    if (id == m_idleWatch) {
        // The idle watch stays; a user-active watch fires once, at the next input.
        AddActiveWatch();
        Q_EMIT inactivityChanged(true, m_thresholdMs / 1000);
    } else if (id == m_activeWatch) {
        m_activeWatch = 0;
        Q_EMIT inactivityChanged(false, 0);
    }
}

void MutterIdleWatch::OnNameOwnerChanged(const QString& name, const QString& oldOwner, const QString&) {
    if (message().service() != QStringLiteral("org.freedesktop.DBus") || m_owner.isEmpty() ||
        (name != m_owner && (name != kService || oldOwner != m_owner))) {
        return;
    }
    m_owner.clear();
    m_idleWatch = 0;
    m_activeWatch = 0;
    Q_EMIT vanished();
}
