#include "away/WaylandIdleWatch.h"

#include <QGuiApplication>

#ifdef KELVRA_WAYLAND_IDLE
#include "ext-idle-notify-v1-client-protocol.h"
#include "idle-client-protocol.h"

#include <algorithm>
#include <cstring>
#include <qpa/qplatformnativeinterface.h>
#include <wayland-client.h>
#endif

struct WaylandIdleWatch::Protocol {
#ifdef KELVRA_WAYLAND_IDLE
    // Found in the registry.
    wl_seat* seat = nullptr;
    ext_idle_notifier_v1* notifier = nullptr;
    org_kde_kwin_idle* kde = nullptr;
    // The watch itself, one of the two.
    ext_idle_notification_v1* notification = nullptr;
    org_kde_kwin_idle_timeout* timeout = nullptr;
    wl_display* display = nullptr;

    static void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
        auto* protocol = static_cast<Protocol*>(data);
        const auto bind = [&](const wl_interface& wanted) {
            return std::strcmp(interface, wanted.name) == 0 ? wl_registry_bind(registry, name, &wanted, 1)
                                                            : nullptr;
        };
        if (protocol->seat == nullptr) {
            protocol->seat = static_cast<wl_seat*>(bind(wl_seat_interface));
        }
        if (protocol->notifier == nullptr) {
            protocol->notifier = static_cast<ext_idle_notifier_v1*>(bind(ext_idle_notifier_v1_interface));
        }
        if (protocol->kde == nullptr) {
            protocol->kde = static_cast<org_kde_kwin_idle*>(bind(org_kde_kwin_idle_interface));
        }
    }
    static void OnGlobalRemove(void*, wl_registry*, uint32_t) {}
    // The compositor's events, dispatched on the window thread by Qt's event loop.
    template <bool inactive, typename Object> static void Tell(void* data, Object*) {
        static_cast<WaylandIdleWatch*>(data)->Changed(inactive);
    }

    ~Protocol() {
        if (notification != nullptr) {
            ext_idle_notification_v1_destroy(notification);
        }
        if (timeout != nullptr) {
            org_kde_kwin_idle_timeout_release(timeout);
        }
        if (notifier != nullptr) {
            ext_idle_notifier_v1_destroy(notifier);
        }
        if (kde != nullptr) {
            org_kde_kwin_idle_destroy(kde);
        }
        if (seat != nullptr) {
            wl_seat_destroy(seat);
        }
        if (display != nullptr) {
            wl_display_flush(display);
        }
    }
#endif
};

WaylandIdleWatch::WaylandIdleWatch(QObject* parent) : QObject(parent) {}

WaylandIdleWatch::~WaylandIdleWatch() = default;

QString WaylandIdleWatch::Start(qint64 thresholdMs) {
#ifdef KELVRA_WAYLAND_IDLE
    if (thresholdMs <= 0 || m_protocol ||
        !QGuiApplication::platformName().startsWith(QStringLiteral("wayland"))) {
        return {};
    }
    auto* display =
        static_cast<wl_display*>(QGuiApplication::platformNativeInterface()->nativeResourceForIntegration(
            QByteArrayLiteral("wl_display")));
    if (display == nullptr) {
        return {};
    }
    // The registry on a queue of its own: the round trip dispatches nothing of Qt's.
    auto protocol = std::make_unique<Protocol>();
    wl_event_queue* queue = wl_display_create_queue(display);
    auto* wrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), queue);
    wl_registry* registry = wl_display_get_registry(wrapper);
    static const wl_registry_listener kRegistry{Protocol::OnGlobal, Protocol::OnGlobalRemove};
    wl_registry_add_listener(registry, &kRegistry, protocol.get());
    wl_display_roundtrip_queue(display, queue);
    wl_registry_destroy(registry);
    wl_proxy_wrapper_destroy(wrapper);
    // What was bound moves to the queue Qt's event loop dispatches.
    for (void* bound : {static_cast<void*>(protocol->seat), static_cast<void*>(protocol->notifier),
                        static_cast<void*>(protocol->kde)}) {
        if (bound != nullptr) {
            wl_proxy_set_queue(static_cast<wl_proxy*>(bound), nullptr);
        }
    }
    wl_event_queue_destroy(queue);
    protocol->display = display;
    QString source;
    const auto timeout = static_cast<uint32_t>(std::min<qint64>(thresholdMs, UINT32_MAX));
    if (protocol->seat != nullptr && protocol->notifier != nullptr) {
        static const ext_idle_notification_v1_listener listener{
            Protocol::Tell<true, ext_idle_notification_v1>, Protocol::Tell<false, ext_idle_notification_v1>};
        protocol->notification =
            ext_idle_notifier_v1_get_idle_notification(protocol->notifier, timeout, protocol->seat);
        ext_idle_notification_v1_add_listener(protocol->notification, &listener, this);
        source = QStringLiteral("ext-idle-notify");
    } else if (protocol->seat != nullptr && protocol->kde != nullptr) {
        static const org_kde_kwin_idle_timeout_listener listener{
            Protocol::Tell<true, org_kde_kwin_idle_timeout>,
            Protocol::Tell<false, org_kde_kwin_idle_timeout>};
        protocol->timeout = org_kde_kwin_idle_get_idle_timeout(protocol->kde, protocol->seat, timeout);
        org_kde_kwin_idle_timeout_add_listener(protocol->timeout, &listener, this);
        source = QStringLiteral("kde-idle");
    } else {
        return {};
    }
    wl_display_flush(display);
    m_thresholdMs = thresholdMs;
    m_protocol = std::move(protocol);
    return source;
#else
    Q_UNUSED(thresholdMs);
    return {};
#endif
}

void WaylandIdleWatch::Changed(bool inactive) {
    if (inactive != m_inactive) {
        m_inactive = inactive;
        Q_EMIT inactivityChanged(inactive, inactive ? m_thresholdMs / 1000 : 0);
    }
}
