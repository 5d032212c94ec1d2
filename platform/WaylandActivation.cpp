#include "platform/WaylandActivation.h"

#include <QWidget>

#ifdef KELVRA_WAYLAND_ACTIVATION
#include "xdg-activation-v1-client-protocol.h"

#include <QGuiApplication>
#include <QWindow>
#include <cstring>
#include <qpa/qplatformnativeinterface.h>
#include <wayland-client.h>
#endif

namespace WaylandActivation {

bool Activate(QWidget& window, const QByteArray& token) {
#ifdef KELVRA_WAYLAND_ACTIVATION
    QWindow* handle = window.windowHandle();
    if (token.isEmpty() || handle == nullptr ||
        !QGuiApplication::platformName().startsWith(QStringLiteral("wayland"))) {
        return false;
    }
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    auto* display =
        static_cast<wl_display*>(native->nativeResourceForIntegration(QByteArrayLiteral("wl_display")));
    auto* surface =
        static_cast<wl_surface*>(native->nativeResourceForWindow(QByteArrayLiteral("surface"), handle));
    if (display == nullptr || surface == nullptr) {
        return false;
    }
    // The registry on a queue of its own: the round trip dispatches nothing of Qt's.
    wl_event_queue* queue = wl_display_create_queue(display);
    auto* wrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), queue);
    wl_registry* registry = wl_display_get_registry(wrapper);
    xdg_activation_v1* activation = nullptr;
    static const wl_registry_listener kRegistry{
        [](void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
            auto*& found = *static_cast<xdg_activation_v1**>(data);
            if (found == nullptr && std::strcmp(interface, xdg_activation_v1_interface.name) == 0) {
                found = static_cast<xdg_activation_v1*>(
                    wl_registry_bind(registry, name, &xdg_activation_v1_interface, 1));
            }
        },
        [](void*, wl_registry*, uint32_t) {}};
    wl_registry_add_listener(registry, &kRegistry, &activation);
    wl_display_roundtrip_queue(display, queue);
    if (activation != nullptr) {
        xdg_activation_v1_activate(activation, token.constData(), surface);
        xdg_activation_v1_destroy(activation);
    }
    wl_registry_destroy(registry);
    wl_proxy_wrapper_destroy(wrapper);
    wl_event_queue_destroy(queue);
    wl_display_flush(display);
    return activation != nullptr;
#else
    Q_UNUSED(window);
    Q_UNUSED(token);
    return false;
#endif
}

} // namespace WaylandActivation
