#include "platform/BusNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

} // namespace

std::unique_ptr<DesktopNotifier> DesktopNotifier::ForThisSystem(QObject* parent) {
    return std::make_unique<BusNotifier>(parent);
}

BusNotifier::BusNotifier(QObject* parent)
    : DesktopNotifier(parent), m_link(*this, BusLink::Bus::Session, QStringLiteral("notify")) {}

BusNotifier::~BusNotifier() = default;

void BusNotifier::Start() {
    m_link.Open([this](QDBusConnection&) {
        return [this] {
            m_bConnected = true;
            // Any sender is matched, so that subscribing waits for nothing; the slot checks the sender.
            m_link.Connection().connect(QString(), kPath, kService, QStringLiteral("ActionInvoked"), this,
                                        SLOT(OnActionInvoked(uint, QString)));
        };
    });
}

void BusNotifier::Show(const QString& kind, const QString& summary, const QString& body,
                       const QStringList& actions) {
    if (!m_bConnected) {
        Q_EMIT unshown(summary, body);
        return;
    }
    QDBusMessage notify = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    const auto shown = m_shown.find(kind);
    notify << QStringLiteral("Kelvra") << (shown != m_shown.end() ? shown->second : 0U)
           << QStringLiteral("org.kelvra.Kelvra") << summary << body << actions
           << QVariantMap{{QStringLiteral("desktop-entry"), QStringLiteral("org.kelvra.Kelvra")}} << -1;
    auto* call = new QDBusPendingCallWatcher(m_link.Connection().asyncCall(notify), this);
    connect(call, &QDBusPendingCallWatcher::finished, this,
            [this, kind, summary, body](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                const QDBusPendingReply<uint> reply = *finished;
                if (reply.isError()) {
                    Q_EMIT unshown(summary, body);
                    return;
                }
                m_shown[kind] = reply.value();
                m_owner = reply.reply().service();
            });
}

void BusNotifier::OnActionInvoked(uint id, const QString& key) {
    if (message().service() != m_owner) {
        return;
    }
    for (const auto& [kind, shown] : m_shown) {
        if (shown == id) {
            Q_EMIT actionInvoked(kind, key);
        }
    }
}
