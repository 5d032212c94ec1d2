#pragma once

#include "platform/BusLink.h"
#include "platform/DesktopNotifier.h"

#include <QDBusContext>
#include <map>

// Desktop notifications through org.freedesktop.Notifications on the session bus. Every call is
// asynchronous, so a service that answers slowly never holds up the window thread.
class BusNotifier final : public DesktopNotifier, protected QDBusContext {
    Q_OBJECT
public:
    explicit BusNotifier(QObject* parent = nullptr);
    ~BusNotifier() override;
    Q_DISABLE_COPY_MOVE(BusNotifier)

    // Connects to the session bus, off the window thread.
    void Start() override;
    bool Connected() const override { return m_bConnected; }
    void Show(const QString& kind, const QString& summary, const QString& body,
              const QStringList& actions) override;

private Q_SLOTS:
    void OnActionInvoked(uint id, const QString& key);

private:
    BusLink m_link;
    bool m_bConnected = false;
    std::map<QString, uint> m_shown; // kind -> the service's id of its last notification
    QString m_owner;                 // the service's unique name: the only sender believed
};
