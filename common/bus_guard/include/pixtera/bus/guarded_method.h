// SPDX-License-Identifier: MIT
#pragma once
// A bus method registered under a HandlerGuard (HandlerGuard::Method), with the calls of
// sdbus-c++'s own registrator. The whole of a call runs under the guard: reading the arguments,
// the handler, writing the reply. A bus error the handler throws is the reply; anything else it
// throws (no memory, an index out of range) is answered as an error too, and never ends the
// program. Each call served is a line of the bus trace channel.

#include <pixtera/bus/guard_log.h>

#include <pixtera/platform/debug_trace.h>

#include <sdbus-c++/sdbus-c++.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace pixtera::bus {

class GuardedMethod {
public:
    GuardedMethod(sdbus::IObject& object, std::string member, std::shared_ptr<detail::GuardLog> log)
        : object_(object), member_(std::move(member)), log_(std::move(log))
    {
    }

    GuardedMethod& onInterface(std::string interface)
    {
        interface_ = std::move(interface);
        return *this;
    }
    template <class... Names>
    GuardedMethod& withInputParamNames(Names... names)
    {
        inputNames_ = {std::string(names)...};
        return *this;
    }
    template <class... Names>
    GuardedMethod& withOutputParamNames(Names... names)
    {
        outputNames_ = {std::string(names)...};
        return *this;
    }

    // Registers the method; the handler's parameter and result types are its signature.
    template <class Handler>
    void implementedAs(Handler handler);

private:
    sdbus::IObject& object_;
    std::string interface_;
    std::string member_;
    std::vector<std::string> inputNames_;
    std::vector<std::string> outputNames_;
    std::shared_ptr<detail::GuardLog> log_;
};

template <class Handler>
void GuardedMethod::implementedAs(Handler handler)
{
    auto served = [log = log_, interface = interface_, member = member_,
                   handler = std::move(handler)](sdbus::MethodCall call) {
        Trace(TraceChannel::Bus, [&] { return "served " + interface + "." + member; });
        try {
            sdbus::tuple_of_function_input_arg_types_t<Handler> arguments;
            call >> arguments;
            if (!call)
                throw sdbus::Error("org.freedesktop.DBus.Error.InvalidArgs", "too few arguments");
            auto results = sdbus::apply(handler, arguments);
            auto reply = call.createReply();
            reply << results;
            reply.send();
        } catch (const sdbus::Error& error) {
            Trace(TraceChannel::Bus, [&] {
                return "served " + interface + "." + member + " -> " + error.getName() + ": " + error.getMessage();
            });
            throw; // the bus library answers with it
        } catch (...) {
            throw log->Failed(call, interface, member, std::current_exception());
        }
    };
    object_.registerMethod(interface_, member_, sdbus::signature_of_function_input_arguments<Handler>::str(),
                           inputNames_, sdbus::signature_of_function_output_arguments<Handler>::str(), outputNames_,
                           std::move(served));
}

} // namespace pixtera::bus
