#include "platform/ExitHook.h"

#include <cstdlib>

namespace {

// The one piece of process-wide state: std::atexit takes a plain function, which finds the action here.
std::function<void()>& PendingAction() {
    static std::function<void()> action;
    return action;
}

void RunPendingAction() {
    std::function<void()> action = std::move(PendingAction());
    PendingAction() = nullptr;
    if (action) {
        action();
    }
}

} // namespace

ExitHook::ExitHook(std::function<void()> action) {
    // The action's storage is made before the handler is registered, so that it is destroyed after the
    // handler has run: exit() runs both in reverse order.
    PendingAction() = std::move(action);
    static const bool registered = std::atexit(RunPendingAction) == 0;
    Q_UNUSED(registered);
}

ExitHook::~ExitHook() {
    PendingAction() = nullptr;
}
