// SPDX-License-Identifier: MIT
#pragma once
// A bus method handler wrapped for the bus trace channel: each call served is one line, with the
// error it ended in, if any. The wrapper keeps the handler's exact signature, which is what the
// bus library reads the method's argument types from.

#include <pixtera/platform/debug_trace.h>

#include <sdbus-c++/Error.h>

#include <string>
#include <utility>

namespace pixtera {

namespace detail {

template <class Signature>
struct ServedCall;

template <class Handler, class Result, class... Arguments>
struct ServedCall<Result (Handler::*)(Arguments...) const> {
    static auto Wrap(const char* interface, const char* member, Handler handler)
    {
        return [interface, member, handler = std::move(handler)](Arguments... arguments) -> Result {
            Trace(TraceChannel::Bus, [&] { return std::string("served ") + interface + "." + member; });
            try {
                return handler(std::forward<Arguments>(arguments)...);
            } catch (const sdbus::Error& error) {
                Trace(TraceChannel::Bus, [&] {
                    return std::string("served ") + interface + "." + member + " -> " + error.getName() + ": " +
                           error.getMessage();
                });
                throw;
            }
        };
    }
};

} // namespace detail

// `interface` and `member` must outlive the handler (string literals, the bus name constants).
template <class Handler>
auto Served(const char* interface, const char* member, Handler handler)
{
    return detail::ServedCall<decltype(&Handler::operator())>::Wrap(interface, member, std::move(handler));
}

} // namespace pixtera
