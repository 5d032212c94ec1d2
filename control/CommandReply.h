#pragma once

#include "control/ControlMessage.h"
#include "control/ControlSocket.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// What a command (--start, --stop, --status, --note, --track) prints of the board's answer, and the
// status it exits with. Plain C++ on the plain channel (ControlSocket), shared by the command front,
// which loads no Qt, and the Qt program, so that both say the same.
namespace CommandReply {

// Exit statuses: done, failed, the user's input does not fit (no timer or several fit the name, a
// refused value), no board runs for the profile.
inline constexpr int kDone = 0;
inline constexpr int kFailed = 1;
inline constexpr int kWrongInput = 2;
inline constexpr int kNoBoard = 3;

enum class Form { Text, Json };

// --status's answer: the running timer and its time or "Stopped", and what the board knows of the user.
// Times are local.
std::string Status(const ControlMessage::State& state, Form form);

// The candidates, one a line with its row, after the line that says what is wrong.
std::string Candidates(std::string_view first, const std::vector<ControlMessage::Candidate>& candidates);

// How long a command waits for the board in all.
inline constexpr int kTimeoutMs = 3000;

// Asks the board of `profileLocation` through `ask`, prints its answer and returns the exit status. Where
// no board runs, `withoutBoard` does the command instead when it is set.
int Run(const std::string& profileLocation, const ControlMessage::Request& request, Form statusForm,
        const std::function<ControlSocket::Answer()>& ask, const std::function<int()>& withoutBoard = {});

} // namespace CommandReply
