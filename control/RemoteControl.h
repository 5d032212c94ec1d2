#pragma once

#include "control/ControlMessage.h"
#include "control/ControlServer.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

class AwayPrompt;
class CKelvraView;
class Clock;
class QWidget;

// The board's side of the control channel, on the window thread: a switch by row or name is the switch a
// click on that row's name makes, Stop a click on Stop; every answer carries what the board shows then,
// for a switch what it shows once the switch is made (see ControlServer::Response).
namespace RemoteControl {

// `window` is the one a raise brings to the front; `away` is nullptr until the board asks about time away.
ControlServer::Response Answer(const ControlMessage::Request& request, QWidget& window, CKelvraView& view,
                               const AwayPrompt* away, const Clock& clock);

// Listens for the board of `profileLocation` (see ControlServer::Listen for `bTakeOver`). A board that
// cannot listen works all the same: it says so on stderr and returns nothing.
std::unique_ptr<ControlServer> Listen(const QString& profileLocation, bool bTakeOver,
                                      ControlServer::Handler handler);

// A second start: asks the board that holds the profile to come to the front, with the activation token
// the launcher gave this process (XDG_ACTIVATION_TOKEN; empty: none), which a Wayland compositor wants
// before it lets the board take the focus. The board may still be starting, so it is given some seconds;
// while none listens, `profileFree` is asked whether the board has gone and this process may start in
// its place (it then returns false with `problem` empty). False when none answered; `problem` then says
// why, when something other than silence kept it from answering (a control folder that cannot be
// trusted, say).
bool AskToTheFront(const QString& profileLocation, const QByteArray& activationToken,
                   const std::function<bool()>& profileFree, QString& problem);

} // namespace RemoteControl
