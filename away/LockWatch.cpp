#include "away/LockWatch.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QDateTime>
#include <algorithm>

namespace {

const QString kLogin = QStringLiteral("org.freedesktop.login1");
const QString kSessionInterface = QStringLiteral("org.freedesktop.login1.Session");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kLockedHint = QStringLiteral("LockedHint");
const QString kIdleHint = QStringLiteral("IdleHint");
const QString kIdleSince = QStringLiteral("IdleSinceHint");
const QString kBus = QStringLiteral("org.freedesktop.DBus");

} // namespace

LockWatch::LockWatch(QObject* parent)
    : QObject(parent), m_link(*this, BusLink::Bus::System, QStringLiteral("lock")) {}

LockWatch::~LockWatch() = default;

void LockWatch::Start() {
    m_link.Open([this](QDBusConnection& bus) -> BusLink::Then {
        const QString id = qEnvironmentVariable("XDG_SESSION_ID");
        QDBusMessage call = QDBusMessage::createMethodCall(kLogin, QStringLiteral("/org/freedesktop/login1"),
                                                           QStringLiteral("org.freedesktop.login1.Manager"),
                                                           id.isEmpty() ? QStringLiteral("GetSessionByPID")
                                                                        : QStringLiteral("GetSession"));
        call << (id.isEmpty() ? QVariant::fromValue(static_cast<uint>(QCoreApplication::applicationPid()))
                              : QVariant(id));
        const QDBusMessage reply = bus.call(call);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            return {};
        }
        const Session session{qdbus_cast<QDBusObjectPath>(reply.arguments().constFirst()).path(),
                              reply.service()};
        return [this, session] { Follow(session); };
    });
}

void LockWatch::Follow(const Session& session) {
    m_session = session;
    // Any sender is matched, so that subscribing needs no call that waits; the slot checks the sender.
    QDBusConnection bus = m_link.Connection();
    bus.connect(QString(), session.path, kProperties, QStringLiteral("PropertiesChanged"), this,
                SLOT(OnPropertiesChanged(QString, QVariantMap, QStringList)));
    // logind restarts with a package upgrade: the session stays, its owner is new.
    bus.connect(QString(), QStringLiteral("/org/freedesktop/DBus"), kBus, QStringLiteral("NameOwnerChanged"),
                this, SLOT(OnNameOwnerChanged(QString, QString, QString)));
    ReadLockedHint();
    Q_EMIT watching();
}

void LockWatch::ReadLockedHint() {
    QDBusMessage get =
        QDBusMessage::createMethodCall(kLogin, m_session.path, kProperties, QStringLiteral("Get"));
    get << kSessionInterface << kLockedHint;
    auto* call = new QDBusPendingCallWatcher(m_link.Connection().asyncCall(get), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *finished;
        if (!reply.isError()) {
            Set(reply.value().variant().toBool());
        }
    });
}

void LockWatch::OnPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                    const QStringList& invalidated) {
    if (message().service() != m_session.owner || interface != kSessionInterface) {
        return;
    }
    if (const auto found = changed.constFind(kLockedHint); found != changed.constEnd()) {
        Set(found->toBool());
    } else if (invalidated.contains(kLockedHint)) {
        ReadLockedHint();
    }
    // The desktop's own inactivity, where it tells logind: the fallback when nothing nearer says it.
    if (const auto idle = changed.constFind(kIdleHint);
        idle != changed.constEnd() && idle->toBool() != m_bIdle) {
        m_bIdle = idle->toBool();
        // Microseconds of the calendar clock when the hint last changed; without it, now.
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        const qint64 since = changed.value(kIdleSince, now * 1000).toLongLong() / 1000;
        Q_EMIT inactivityChanged(m_bIdle, m_bIdle ? std::max<qint64>(0, now - since) / 1000 : 0);
    }
}

void LockWatch::OnNameOwnerChanged(const QString& name, const QString&, const QString& newOwner) {
    if (message().service() != kBus || name != kLogin || newOwner.isEmpty()) {
        return;
    }
    m_session.owner = newOwner;
    ReadLockedHint();
}

void LockWatch::Set(bool locked) {
    if (locked != m_locked) {
        m_locked = locked;
        Q_EMIT lockedChanged(locked);
    }
}
