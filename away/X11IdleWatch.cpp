#include "away/X11IdleWatch.h"

#include <QGuiApplication>

#ifdef KELVRA_X11_IDLE
#include <cstdlib>
#include <cstring>
#include <memory>
#include <xcb/sync.h>
#include <xcb/xcb.h>

namespace {

xcb_connection_t* Connection(void* connection) {
    return static_cast<xcb_connection_t*>(connection);
}

xcb_sync_int64_t Int64(qint64 value) {
    return {static_cast<std::int32_t>(value >> 32), static_cast<std::uint32_t>(value & 0xffffffffU)};
}

qint64 Value(xcb_sync_int64_t value) {
    return (qint64{value.hi} << 32) | value.lo;
}

// xcb's replies are malloc'd.
template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;
template <typename T> Reply<T> Take(T* reply) {
    return Reply<T>(reply, &std::free);
}

} // namespace
#endif

X11IdleWatch::X11IdleWatch(QObject* parent) : QObject(parent) {}

bool X11IdleWatch::UnderWayland() {
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           qEnvironmentVariable("XDG_SESSION_TYPE") == QStringLiteral("wayland");
}

X11IdleWatch::~X11IdleWatch() {
#ifdef KELVRA_X11_IDLE
    if (m_connection != nullptr) {
        if (QCoreApplication* application = QCoreApplication::instance()) {
            application->removeNativeEventFilter(this);
        }
        xcb_sync_destroy_alarm(Connection(m_connection), m_idleAlarm);
        xcb_sync_destroy_alarm(Connection(m_connection), m_activeAlarm);
        xcb_flush(Connection(m_connection));
    }
#endif
}

bool X11IdleWatch::Start(qint64 thresholdMs) {
#ifdef KELVRA_X11_IDLE
    const auto* x11 =
        qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 != nullptr ? x11->connection() : nullptr;
    if (c == nullptr || thresholdMs <= 0 || m_connection != nullptr || UnderWayland()) {
        return false;
    }
    const xcb_query_extension_reply_t* sync = xcb_get_extension_data(c, &xcb_sync_id);
    if (sync == nullptr || sync->present == 0) {
        return false;
    }
    // Both asked at once: one round trip.
    const auto init = xcb_sync_initialize(c, XCB_SYNC_MAJOR_VERSION, XCB_SYNC_MINOR_VERSION);
    const auto list = xcb_sync_list_system_counters(c);
    const auto version = Take(xcb_sync_initialize_reply(c, init, nullptr));
    const auto counters = Take(xcb_sync_list_system_counters_reply(c, list, nullptr));
    if (!version || !counters) {
        return false;
    }
    // Read by hand: xcb's iterator takes the entries as 16 bytes and the name two bytes late, while
    // on the wire an entry is 14 bytes, then the name, padded to four.
    const auto* entry = reinterpret_cast<const std::uint8_t*>(counters.get() + 1);
    const std::uint8_t* end = entry + std::size_t{counters->length} * 4;
    for (std::uint32_t i = 0; i < counters->counters_len && entry + 14 <= end; ++i) {
        std::uint32_t id = 0;
        std::uint16_t length = 0;
        std::memcpy(&id, entry, sizeof id);
        std::memcpy(&length, entry + 12, sizeof length);
        if (entry + 14 + length > end) {
            break;
        }
        if (QByteArray::fromRawData(reinterpret_cast<const char*>(entry + 14), length) == "IDLETIME") {
            m_counter = id;
        }
        entry += (14 + length + 3) & ~std::size_t{3};
    }
    if (m_counter == 0) {
        return false;
    }
    m_connection = c;
    m_thresholdMs = thresholdMs;
    m_notifyType = static_cast<std::uint8_t>(sync->first_event + XCB_SYNC_ALARM_NOTIFY);
    QCoreApplication::instance()->installNativeEventFilter(this);
    m_idleAlarm = xcb_generate_id(c);
    m_activeAlarm = xcb_generate_id(c);
    Arm(m_idleAlarm, true, true);
    Arm(m_activeAlarm, false, true);
    // Already idle past the threshold: the climbing alarm waits for the next spell, so say it now.
    const auto query = Take(xcb_sync_query_counter_reply(c, xcb_sync_query_counter(c, m_counter), nullptr));
    if (query && Value(query->counter_value) >= thresholdMs) {
        m_inactive = true;
        // Posted, so that whoever started the watch has heard it started first.
        QMetaObject::invokeMethod(
            this,
            [this, seconds = Value(query->counter_value) / 1000] { Q_EMIT inactivityChanged(true, seconds); },
            Qt::QueuedConnection);
    }
    return true;
#else
    Q_UNUSED(thresholdMs);
    return false;
#endif
}

void X11IdleWatch::Arm(std::uint32_t alarm, bool climbing, bool create) {
#ifdef KELVRA_X11_IDLE
    // A transition fires once, when the counter crosses the threshold; arming the alarm again waits for
    // the next crossing.
    const std::uint32_t mask = XCB_SYNC_CA_COUNTER | XCB_SYNC_CA_VALUE_TYPE | XCB_SYNC_CA_VALUE |
                               XCB_SYNC_CA_TEST_TYPE | XCB_SYNC_CA_DELTA | XCB_SYNC_CA_EVENTS;
    const auto fill = [&](auto& values) {
        values.counter = m_counter;
        values.valueType = XCB_SYNC_VALUETYPE_ABSOLUTE;
        values.value = Int64(m_thresholdMs);
        values.testType =
            climbing ? XCB_SYNC_TESTTYPE_POSITIVE_TRANSITION : XCB_SYNC_TESTTYPE_NEGATIVE_TRANSITION;
        values.delta = Int64(0);
        values.events = 1;
    };
    xcb_connection_t* c = Connection(m_connection);
    if (create) {
        xcb_sync_create_alarm_value_list_t values{};
        fill(values);
        xcb_sync_create_alarm_aux(c, alarm, mask, &values);
    } else {
        xcb_sync_change_alarm_value_list_t values{};
        fill(values);
        xcb_sync_change_alarm_aux(c, alarm, mask, &values);
    }
    xcb_flush(c);
#else
    Q_UNUSED(alarm);
    Q_UNUSED(climbing);
    Q_UNUSED(create);
#endif
}

bool X11IdleWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) {
    Q_UNUSED(result);
#ifdef KELVRA_X11_IDLE
    if (eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != m_notifyType) {
        return false;
    }
    const auto* alarm = static_cast<const xcb_sync_alarm_notify_event_t*>(message);
    if (alarm->alarm != m_idleAlarm && alarm->alarm != m_activeAlarm) {
        return false; // someone else's on this connection
    }
    if (alarm->state == XCB_SYNC_ALARMSTATE_DESTROYED) {
        return true;
    }
    const bool climbed = alarm->alarm == m_idleAlarm;
    Arm(alarm->alarm, climbed, false);
    // The value tells which way the counter went, whatever order the two alarms' events came in.
    const qint64 idleMs = Value(alarm->counter_value);
    if (climbed && !m_inactive && idleMs >= m_thresholdMs) {
        m_inactive = true;
        Q_EMIT inactivityChanged(true, idleMs / 1000);
    } else if (!climbed && m_inactive && idleMs < m_thresholdMs) {
        m_inactive = false;
        Q_EMIT inactivityChanged(false, 0);
    }
    return true;
#else
    Q_UNUSED(eventType);
    Q_UNUSED(message);
    return false;
#endif
}
