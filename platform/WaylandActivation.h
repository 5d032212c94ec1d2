#pragma once

#include <QByteArray>

class QWidget;

// Brings a window to the front on Wayland with an activation token (xdg-activation-v1), the one way a
// compositor lets a window that has no focus take it. The token is one a launcher gave: to this process
// or, for a second start, to the one that handed it over. Qt 6.4 reads a token only from its own
// process's environment, once, so a token that arrives later has to be given to the compositor here.
namespace WaylandActivation {

// Asks the compositor to activate `window` with `token`. False, with nothing asked, off Wayland, without
// a token, for a window not shown, where the compositor offers no xdg-activation or where the board was
// built without it: the caller raises the window as it would without a token. True says that the request
// went out, not that it was granted (the compositor never says). One round trip to the compositor, on a
// queue of its own.
bool Activate(QWidget& window, const QByteArray& token);

} // namespace WaylandActivation
