#pragma once

#include "platform/BusLink.h"

#include <QDBusContext>
#include <QObject>
#include <QStringList>
#include <map>

// Desktop notifications (org.freedesktop.Notifications on the session bus): shown without a window,
// each kind replacing its own last one, and their actions told back. Every call is asynchronous, so a
// service that answers slowly never holds up the window thread.
class DesktopNotifier final : public QObject, protected QDBusContext {
    Q_OBJECT
public:
    explicit DesktopNotifier(QObject* parent = nullptr);
    ~DesktopNotifier() override;
    Q_DISABLE_COPY_MOVE(DesktopNotifier)

    // Connects to the session bus, off the window thread.
    void Start();
    bool Connected() const { return m_bConnected; }
    // `actions`: key, label, key, label...; the key "default" is a click on the notification itself.
    // Without a bus or a service that shows it, unshown() says so instead.
    void Show(const QString& kind, const QString& summary, const QString& body, const QStringList& actions);

Q_SIGNALS:
    void actionInvoked(const QString& kind, const QString& key);
    // No notification service took it: the caller may show it another way.
    void unshown(const QString& summary, const QString& body);

private Q_SLOTS:
    void OnActionInvoked(uint id, const QString& key);

private:
    BusLink m_link;
    bool m_bConnected = false;
    std::map<QString, uint> m_shown; // kind -> the service's id of its last notification
    QString m_owner;                 // the service's unique name: the only sender believed
};
