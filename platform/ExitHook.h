#pragma once

#include <QtGlobal>
#include <functional>

// Runs a last action when the process ends through exit() while the hook is alive. Qt's X11 plugin
// calls exit() from inside the event loop when the display connection breaks, so no window is closed
// and no destructor on the stack runs; this is how the board still stores its open period then.
// One hook at a time; destroying it (the normal way out) cancels the action.
class ExitHook final {
public:
    explicit ExitHook(std::function<void()> action);
    ~ExitHook();
    Q_DISABLE_COPY_MOVE(ExitHook)
};
