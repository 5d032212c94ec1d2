#pragma once

#include "net/UniqueFd.h"

#include <string>
#include <string_view>

// The lookup worker's line to the window thread: a connected pair of sockets, whose receiving end a
// socket notifier watches. The worker writes its result and closes its end, so the end of the stream
// tells the receiver that the lookup is over; a receiver that has gone makes the write fail, never the
// process.
namespace ReportPipe {

// Both ends, or false.
bool Open(UniqueFd& receiver, UniqueFd& worker);
void Write(const UniqueFd& worker, std::string_view bytes);
// Appends what has come, without waiting; false once the stream has ended or failed.
bool ReadAvailable(const UniqueFd& receiver, std::string& into);

} // namespace ReportPipe
