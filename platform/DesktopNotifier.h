#pragma once

#include <QObject>
#include <QStringList>
#include <memory>

// Notifications shown without a window, each kind replacing its own last one, and their actions told
// back. Where the system has no service that shows them, unshown() says so and the caller may use the
// tray's message instead. Nothing here ever holds up the window thread.
class DesktopNotifier : public QObject {
    Q_OBJECT
public:
    // The desktop's own service where there is one (the session bus's on Linux), else the tray's.
    static std::unique_ptr<DesktopNotifier> ForThisSystem(QObject* parent = nullptr);

    using QObject::QObject;
    Q_DISABLE_COPY_MOVE(DesktopNotifier)

    // Reaches the service, off the window thread.
    virtual void Start() = 0;
    virtual bool Connected() const = 0;
    // `actions`: key, label, key, label...; the key "default" is a click on the notification itself.
    // Without a service that shows it, unshown() says so instead.
    virtual void Show(const QString& kind, const QString& summary, const QString& body,
                      const QStringList& actions) = 0;

Q_SIGNALS:
    void actionInvoked(const QString& kind, const QString& key);
    // No notification service took it: the caller may show it another way.
    void unshown(const QString& summary, const QString& body);
};
