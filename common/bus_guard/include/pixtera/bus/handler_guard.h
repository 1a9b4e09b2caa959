// SPDX-License-Identifier: MIT
#pragma once
// Bus handlers that no message can break. Any program on a bus may send any connection a signal
// of any types (one addressed to a connection passes every match that names a well-known sender),
// and call any method with whatever a variant holds. What reading or handling a message throws
// ends in the guard: the signal or reply is dropped, a method call is answered with an error, and
// the sender is named in the log once.
//
//   proxy->registerSignalHandler(interface, "Seeked", guard.OnSignal("Seeked", [](std::int64_t) {...}));
//   connection->addMatch(rule, guard.OnMessage("Seeked", [](sdbus::Message& m) { return read; }));
//   proxy->registerSignalHandler(kBusDaemonName, "NameOwnerChanged",
//                                guard.OnSignalFrom(kBusDaemonName, "NameOwnerChanged", handler));
//   proxy->callMethod(call, guard.OnReply("GetAll", [](sdbus::MethodReply&, const sdbus::Error*) {...}), timeout);
//   guard.Method(*object, "Count").onInterface(i).withOutputParamNames("count").implementedAs(handler);
//
// The handlers share the guard's state, so they may outlive the guard object itself.

#include <pixtera/bus/guarded_method.h>

#include <sdbus-c++/sdbus-c++.h>

#include <cstddef>
#include <memory>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>

namespace pixtera::bus {

// The bus itself: the only sender of its NameOwnerChanged.
inline constexpr const char* kBusDaemonName = "org.freedesktop.DBus";

class HandlerGuard {
public:
    static constexpr std::size_t kNamedSenders = 64;

    // `owner` begins each log line ("Media data", "The service's bus objects").
    explicit HandlerGuard(std::string owner, std::size_t namedSenders = kNamedSenders)
        : log_(std::make_shared<detail::GuardLog>(std::move(owner), namedSenders))
    {
    }

    // A handler of whole messages (addMatch, registerSignalHandler). `handler(message)` returns
    // false for a message it could not read, or nothing; either way what it throws is caught.
    template <class Handler>
    auto OnMessage(std::string what, Handler handler) const
    {
        return [log = log_, what = std::move(what), handler = std::move(handler)](sdbus::Message& message) {
            try {
                if constexpr (std::is_same_v<std::invoke_result_t<Handler&, sdbus::Message&>, bool>) {
                    if (!handler(message))
                        log->Dropped(message, what, "its arguments are not of the types it takes");
                } else {
                    handler(message);
                }
            } catch (...) {
                log->Dropped(message, what, std::current_exception());
            }
        };
    }

    // A signal handler taking the signal's arguments, read under the guard: a signal with fewer
    // arguments or arguments of other types never reaches `handler`.
    template <class Handler>
    auto OnSignal(std::string what, Handler handler) const
    {
        return OnMessage(std::move(what), [handler = std::move(handler)](sdbus::Message& message) {
            sdbus::tuple_of_function_input_arg_types_t<Handler> arguments;
            message >> arguments;
            if (!message)
                return false;
            std::apply(handler, arguments);
            return true;
        });
    }

    // The same for a signal only `sender` may send: one from anybody else is dropped, as a
    // program may address a forged one to this connection. `sender` is a name (kBusDaemonName for
    // the bus's own signals), or a callable that says who may send now: the unique name that
    // owns a well-known name at the moment (a service's signals come from its unique name), empty
    // while nobody does.
    template <class Sender, class Handler>
    auto OnSignalFrom(Sender sender, std::string what, Handler handler) const
    {
        return [log = log_, sender = std::move(sender), what,
                typed = OnSignal(what, std::move(handler))](sdbus::Message& message) {
            try {
                const std::string expected = Expected(sender);
                if (expected.empty() || SenderOf(message) != expected) {
                    log->Dropped(message, what,
                                 "it does not come from " +
                                     (expected.empty() ? std::string("the name's owner (none now)") : expected));
                    return;
                }
            } catch (...) {
                log->Dropped(message, what, std::current_exception());
                return;
            }
            typed(message);
        };
    }

    // The handler of an asynchronous call's reply (IProxy::callMethod with a reply handler).
    template <class Handler>
    sdbus::async_reply_handler OnReply(std::string what, Handler handler) const
    {
        return [log = log_, what = std::move(what), handler = std::move(handler)](sdbus::MethodReply& reply,
                                                                                  const sdbus::Error* error) {
            try {
                handler(reply, error);
            } catch (...) {
                log->Dropped(reply, what, std::current_exception());
            }
        };
    }

    // A method of `object`, registered with sdbus-c++'s own calls (onInterface,
    // withInputParamNames, withOutputParamNames, implementedAs). Reading the arguments, the
    // handler and writing the reply all run under the guard: a bus error the handler throws is
    // the reply, anything else thrown is an error reply too and named in the log once per caller.
    GuardedMethod Method(sdbus::IObject& object, std::string member) const
    {
        return GuardedMethod(object, std::move(member), log_);
    }

    // Says once per sender that `message` was dropped, and why (for handlers that drop a message
    // by their own judgement).
    void Dropped(const sdbus::Message& message, std::string_view what, std::string_view why) const noexcept
    {
        log_->Dropped(message, what, why);
    }

private:
    template <class Sender>
    static std::string Expected(const Sender& sender)
    {
        if constexpr (std::is_invocable_v<const Sender&>)
            return std::string(sender());
        else
            return std::string(sender);
    }

    std::shared_ptr<detail::GuardLog> log_;
};

} // namespace pixtera::bus
