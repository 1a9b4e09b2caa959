// SPDX-License-Identifier: MIT
#include "bus_interface_file.h"

#include <pugixml.hpp>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

namespace pixtera::bus {
namespace {

constexpr const char* kDocString = "org.freedesktop.DBus.DocString";

std::string Annotation(const pugi::xml_node& node, const char* name)
{
    return node.find_child_by_attribute("annotation", "name", name).attribute("value").value();
}

std::vector<BusMember> Members(const pugi::xml_node& interface, const char* kind)
{
    std::vector<BusMember> members;
    for (const auto& node : interface.children(kind)) {
        BusMember member{node.attribute("name").value(), {}, Annotation(node, kDocString)};
        if (std::string_view(kind) == "property")
            member.arguments.push_back({"", node.attribute("type").value(), node.attribute("access").value()});
        for (const auto& argument : node.children("arg"))
            member.arguments.push_back({argument.attribute("name").value(), argument.attribute("type").value(),
                                        argument.attribute("direction").value()});
        members.push_back(std::move(member));
    }
    return members;
}

std::string Signature(const BusMember& member)
{
    std::string text = member.name + "(";
    for (const auto& argument : member.arguments)
        text += (text.back() == '(' ? "" : ", ") + argument.direction + " " + argument.type + " " + argument.name;
    return text + ")";
}

void Compare(const char* kind, const std::vector<BusMember>& expected, const std::vector<BusMember>& actual,
             std::vector<std::string>& differences)
{
    std::map<std::string, const BusMember*> byName;
    for (const auto& member : actual)
        byName[member.name] = &member;
    for (const auto& member : expected) {
        const auto found = byName.find(member.name);
        if (found == byName.end()) {
            differences.push_back(std::string(kind) + " " + Signature(member) + " is missing");
            continue;
        }
        if (found->second->arguments != member.arguments)
            differences.push_back(std::string(kind) + " " + Signature(member) + " is " + Signature(*found->second));
        byName.erase(found);
    }
    for (const auto& [name, member] : byName)
        differences.push_back(std::string(kind) + " " + Signature(*member) + " is not described");
}

} // namespace

bool BusInterface::Has(const std::string& member) const
{
    const auto named = [&](const BusMember& m) { return m.name == member; };
    return std::ranges::any_of(methods, named) || std::ranges::any_of(signals, named) ||
           std::ranges::any_of(properties, named);
}

std::vector<BusInterface> ParseBusInterfaces(const std::string& xml)
{
    pugi::xml_document document;
    if (const auto result = document.load_string(xml.c_str()); !result)
        throw std::runtime_error(std::string("not introspection XML: ") + result.description());
    std::vector<BusInterface> interfaces;
    for (const auto& node : document.child("node").children("interface"))
        interfaces.push_back({node.attribute("name").value(), Annotation(node, "org.pixtera.ObjectPath"),
                              Annotation(node, kDocString), Members(node, "method"), Members(node, "signal"),
                              Members(node, "property")});
    return interfaces;
}

BusInterface ReadBusInterfaceFile(const std::filesystem::path& file)
{
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    if (!in)
        throw std::runtime_error(file.string() + ": cannot be read");
    std::vector<BusInterface> interfaces;
    try {
        interfaces = ParseBusInterfaces(text.str());
    } catch (const std::runtime_error& error) {
        throw std::runtime_error(file.string() + ": " + error.what());
    }
    if (interfaces.size() != 1 || file.stem().string() != interfaces.front().name)
        throw std::runtime_error(file.string() + ": one interface, named as the file, expected");
    return std::move(interfaces.front());
}

std::vector<std::string> BusInterfaceDifferences(const BusInterface& expected, const BusInterface& actual)
{
    std::vector<std::string> differences;
    Compare("method", expected.methods, actual.methods, differences);
    Compare("signal", expected.signals, actual.signals, differences);
    Compare("property", expected.properties, actual.properties, differences);
    return differences;
}

} // namespace pixtera::bus
