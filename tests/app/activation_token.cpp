// Prints an activation token that the compositor (WAYLAND_DISPLAY) made, as a launcher gets one for the
// program it starts; exits 1 without one.
#include "xdg-activation-v1-client-protocol.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <wayland-client.h>

int main() {
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        return 1;
    }
    xdg_activation_v1* activation = nullptr;
    const wl_registry_listener globals{
        [](void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
            if (std::strcmp(interface, xdg_activation_v1_interface.name) == 0) {
                *static_cast<xdg_activation_v1**>(data) = static_cast<xdg_activation_v1*>(
                    wl_registry_bind(registry, name, &xdg_activation_v1_interface, 1));
            }
        },
        [](void*, wl_registry*, uint32_t) {}};
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &globals, &activation);
    wl_display_roundtrip(display);
    std::string token;
    const xdg_activation_token_v1_listener done{[](void* data, xdg_activation_token_v1*, const char* text) {
        *static_cast<std::string*>(data) = text;
    }};
    if (activation != nullptr) {
        xdg_activation_token_v1* request = xdg_activation_v1_get_activation_token(activation);
        xdg_activation_token_v1_add_listener(request, &done, &token);
        xdg_activation_token_v1_commit(request);
        while (token.empty() && wl_display_dispatch(display) != -1) {
        }
        xdg_activation_token_v1_destroy(request);
        xdg_activation_v1_destroy(activation);
    }
    // The compositor keeps a token it made after this client goes, for whoever activates with it.
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    std::printf("%s\n", token.c_str());
    return token.empty() ? 1 : 0;
}
