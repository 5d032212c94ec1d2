#pragma once

#include "control/ControlMessage.h"
#include "control/ControlSocket.h"

#include <QString>

// Where the running board of a profile listens, and how a command asks it something.
//
// On Unix the board listens on a socket named after a hash of the profile's canonical path (so that two
// paths to one file reach one board), in a folder only the user may enter: "kelvra" in
// $XDG_RUNTIME_DIR (on Linux /run/user/<uid> when that is unset, as under cron), or, where that is
// missing, not the user's own, writable by others or too long for a socket address, "kelvra-<uid>" in
// the temporary folder. The folder must be a real folder (not a
// link) of the user's, without any permission for group or others; one that is not is never used, as
// someone else could have put a socket there. On Windows the name is a pipe's, open to the user alone.
namespace ControlChannel {

// The server name for the board of `profileLocation`. With `create`, the folder is made when missing.
// Empty when no board can listen there: with `problem` set when the folder is unsafe or cannot be made,
// with `problem` empty when it does not exist (and so no board runs).
QString ServerName(const QString& profileLocation, bool create, QString& problem);

// What came of asking: the board's reply, no board, or a failure and why.
using Answer = ControlSocket::Answer;

// Sends one request to the board of the profile and waits, at most `timeoutMs` in all, for its reply.
// Blocks: for a command's own process, never for a board's window thread.
Answer Ask(const QString& profileLocation, const ControlMessage::Request& request, int timeoutMs);

} // namespace ControlChannel
