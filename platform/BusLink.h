#pragma once

#include <QDBusConnection>
#include <QString>
#include <functional>
#include <memory>

// A bus connection of an object's own, opened off the window thread: connecting, and a first step that
// may wait on the bus, run on a pool thread; what follows runs on the object's thread, and not at all
// once the object is gone. A bus that hangs delays only that pool thread.
class BusLink final {
public:
    enum class Bus { Session, System };
    using Then = std::function<void()>;
    // Runs on the pool thread with the connection; returns what the owner then does, or nothing.
    using First = std::function<Then(QDBusConnection& bus)>;

    BusLink(QObject& owner, Bus bus, const QString& tag);
    ~BusLink(); // the owner goes: nothing more reaches it, and the connection ends
    Q_DISABLE_COPY_MOVE(BusLink)

    void Open(First first);
    // The connection, once Open's first step ran (disconnected before).
    QDBusConnection Connection() const { return QDBusConnection(m_name); }
    const QString& Name() const { return m_name; }

private:
    struct Shared;

    const Bus m_bus;
    const QString m_name; // ours alone
    std::shared_ptr<Shared> m_shared;
};
