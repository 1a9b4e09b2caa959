// SPDX-License-Identifier: MIT
#include "bus_interface_table.h"

namespace pixtera::bus {
namespace {

std::string Joined(const std::vector<std::string>& parts, const char* separator)
{
    std::string text;
    for (const auto& part : parts)
        text += (text.empty() ? "" : separator) + part;
    return text;
}

// `Name(s path, i seconds) → b completed`, in for out as the doc has always written it.
std::string MethodText(const BusMember& method)
{
    std::vector<std::string> in;
    std::vector<std::string> out;
    for (const auto& argument : method.arguments)
        (argument.direction == "out" ? out : in).push_back(argument.type + " " + argument.name);
    std::string text = "`" + method.name + "(" + Joined(in, ", ") + ")";
    if (!out.empty())
        text += " → " + Joined(out, ", ");
    text += "`";
    return method.doc.empty() ? text : text + " (" + method.doc + ")";
}

std::string SignalText(const BusMember& signal)
{
    std::vector<std::string> arguments;
    for (const auto& argument : signal.arguments)
        arguments.push_back(argument.type + " " + argument.name);
    return "Signal `" + signal.name + "(" + Joined(arguments, ", ") + ")`" +
           (signal.doc.empty() ? "" : ": " + signal.doc);
}

std::string PropertyText(const BusMember& property)
{
    const BusArgument& kind = property.arguments.front();
    return "Property `" + property.name + "` (" + kind.type + ", " + kind.direction + ")" +
           (property.doc.empty() ? "" : ": " + property.doc);
}

std::string MembersText(const BusInterface& interface)
{
    std::vector<std::string> methods;
    for (const auto& method : interface.methods)
        methods.push_back(MethodText(method));
    std::string text = Joined(methods, ", ");
    // An interface without methods starts with what it is about.
    if (!interface.doc.empty())
        text += (text.empty() ? "" : ": ") + interface.doc;
    for (const auto& signal : interface.signals)
        text += (text.empty() ? "" : ". ") + SignalText(signal);
    for (const auto& property : interface.properties)
        text += (text.empty() ? "" : ". ") + PropertyText(property);
    return text;
}

} // namespace

std::string BusInterfaceTable(const std::vector<BusInterface>& interfaces)
{
    std::string table = "| Object | Interface | Members (in → out) |\n|---|---|---|\n";
    std::string lastPath;
    for (const auto& interface : interfaces) {
        const std::string object = interface.objectPath == lastPath ? "" : "`" + interface.objectPath + "`";
        lastPath = interface.objectPath;
        table += "| " + object + " | `" + interface.name + "` | " + MembersText(interface) + " |\n";
    }
    return table;
}

std::optional<std::string> WithBusInterfaceTable(const std::string& document, const std::string& table)
{
    const std::size_t begins = document.find(kTableBegins);
    if (begins == std::string::npos)
        return std::nullopt;
    const std::size_t start = begins + std::string(kTableBegins).size();
    const std::size_t ends = document.find(kTableEnds, start);
    if (ends == std::string::npos)
        return std::nullopt;
    return document.substr(0, start) + table + document.substr(ends);
}

} // namespace pixtera::bus
