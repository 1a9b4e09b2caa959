// SPDX-License-Identifier: MIT
#pragma once
// What the handlers of one HandlerGuard share: whose they are, and which senders the log named.

#include <pixtera/bus/once_per_sender.h>

#include <sdbus-c++/Error.h>
#include <sdbus-c++/Message.h>

#include <exception>
#include <string>
#include <string_view>

namespace pixtera::bus {

// The sender of `message`, or "(no sender)" (a message made here, or from a peer connection).
std::string SenderOf(const sdbus::Message& message);

namespace detail {

// What was thrown, for people: its what(), or "an unknown exception".
std::string Described(const std::exception_ptr& thrown);

class GuardLog {
public:
    GuardLog(std::string owner, std::size_t namedSenders) : owner_(std::move(owner)), said_(namedSenders) {}

    // "<owner>: dropped <what> from <sender>: <why> ...", once per sender.
    void Dropped(const sdbus::Message& message, std::string_view what, std::string_view why) noexcept;
    // The same for a handler that threw `thrown`.
    void Dropped(const sdbus::Message& message, std::string_view what, const std::exception_ptr& thrown) noexcept;
    // The error a method call is answered with when its handler threw `thrown`, not a bus
    // error; said in the log once per caller.
    sdbus::Error Failed(const sdbus::Message& call, std::string_view interface, std::string_view member,
                        const std::exception_ptr& thrown);

private:
    // Writes `line` if the sender is to be named now.
    void Say(const std::string& sender, const std::string& line) noexcept;

    const std::string owner_;
    OncePerSender said_;
};

} // namespace detail
} // namespace pixtera::bus
