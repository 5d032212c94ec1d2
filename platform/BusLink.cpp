#include "platform/BusLink.h"

#include <QFileInfo>
#include <QThreadPool>
#include <mutex>

struct BusLink::Shared {
    std::mutex mutex;
    QObject* owner = nullptr; // cleared when the link goes
};

BusLink::BusLink(QObject& owner, Bus bus, const QString& tag)
    : m_bus(bus), m_name(QStringLiteral("kelvra-%1-%2").arg(tag).arg(reinterpret_cast<quintptr>(&owner))),
      m_shared(std::make_shared<Shared>()) {
    m_shared->owner = &owner;
}

BusLink::~BusLink() {
    {
        const std::lock_guard lock(m_shared->mutex);
        m_shared->owner = nullptr;
    }
    QDBusConnection::disconnectFromBus(m_name);
}

void BusLink::Open(First first) {
    QThreadPool::globalInstance()->start(
        [shared = m_shared, name = m_name, bus = m_bus, first = std::move(first)] {
            // The address as the environment says it now: Qt keeps the one it read first for its own buses.
            const bool session = bus == Bus::Session;
            QString address =
                qEnvironmentVariable(session ? "DBUS_SESSION_BUS_ADDRESS" : "DBUS_SYSTEM_BUS_ADDRESS");
            // A session bus is where the session put it, never one libdbus would start for the display.
            const QString userBus = qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/bus");
            if (session && address.isEmpty()) {
                if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") || !QFileInfo(userBus).exists()) {
                    return;
                }
                address = QStringLiteral("unix:path=") + userBus;
            }
            QDBusConnection connection = address.isEmpty()
                                             ? QDBusConnection::connectToBus(QDBusConnection::SystemBus, name)
                                             : QDBusConnection::connectToBus(address, name);
            if (!connection.isConnected()) {
                return;
            }
            Then then = first(connection);
            if (!then) {
                return;
            }
            const std::lock_guard lock(shared->mutex);
            if (shared->owner != nullptr) {
                // Posted: it runs on the owner's thread, and not at all if the owner is gone by then.
                QMetaObject::invokeMethod(shared->owner, std::move(then), Qt::QueuedConnection);
            }
        });
}
