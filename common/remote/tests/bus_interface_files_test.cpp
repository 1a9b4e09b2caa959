// SPDX-License-Identifier: MIT
// The interface files against the code: one file for each interface the bus names declare, and
// every member the sources call, register or watch is in its interface's file. (The service's
// live introspection is compared with the files in the service's remote tests.)

#include "bus_interface_file.h"
#include "test_environment.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>

namespace {

using namespace pixtera::bus;
namespace fs = std::filesystem;

std::vector<fs::path> InterfaceFiles()
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(fs::path(PIXTERA_SOURCE_DIR) / "common/remote/interfaces"))
        files.push_back(entry.path());
    return files;
}

std::map<std::string, BusInterface> InterfacesByName()
{
    std::map<std::string, BusInterface> interfaces;
    for (const auto& file : InterfaceFiles()) {
        BusInterface interface = ReadBusInterfaceFile(file);
        interfaces.emplace(interface.name, std::move(interface));
    }
    return interfaces;
}

// bus::kManager -> org.pixtera.IManager, from the header the code uses.
std::map<std::string, std::string> InterfaceConstants()
{
    const std::string header =
        pixtera::test::FileText(fs::path(PIXTERA_SOURCE_DIR) / "common/remote/include/pixtera/remote/bus_names.h");
    const std::regex constant(R"re(constexpr const char\* (k\w+) = "(org\.pixtera\.I\w+)")re");
    std::map<std::string, std::string> constants;
    for (std::sregex_iterator it(header.begin(), header.end(), constant), end; it != end; ++it)
        constants[(*it)[1]] = (*it)[2];
    return constants;
}

TEST(BusInterfaceFiles, EachInterfaceTheCodeNamesHasItsFileAndNoFileIsLeftOver)
{
    const auto interfaces = InterfacesByName();
    std::set<std::string> named;
    for (const auto& [constant, name] : InterfaceConstants()) {
        named.insert(name);
        EXPECT_TRUE(interfaces.count(name)) << name << " (bus::" << constant << ") has no file";
    }
    for (const auto& [name, interface] : interfaces) {
        EXPECT_TRUE(named.count(name)) << name << " has a file but no constant in bus_names.h";
        EXPECT_FALSE(interface.objectPath.empty()) << name << " says nowhere where it is exported";
    }
    EXPECT_EQ(named.size(), 15u);
}

TEST(BusInterfaceFiles, EveryMemberTheSourcesUseIsInItsInterfaceFile)
{
    const auto interfaces = InterfacesByName();
    const auto constants = InterfaceConstants();
    // bus::kDataCollection, "Values"  and  "ValuesChanged").onInterface(bus::kDataCollection)
    const std::regex interfaceThenMember(R"re(bus::(k\w+),\s*"(\w+)")re");
    const std::regex memberThenInterface(R"re("(\w+)"\)\s*\.onInterface\(bus::(k\w+)\))re");
    int uses = 0;
    for (const char* directory : {"common", "designer", "mqtt_bridge", "service/src"}) {
        for (const auto& entry : fs::recursive_directory_iterator(fs::path(PIXTERA_SOURCE_DIR) / directory)) {
            const auto extension = entry.path().extension();
            if (entry.path().string().find("/tests/") != std::string::npos ||
                (extension != ".cpp" && extension != ".h"))
                continue;
            const std::string text = pixtera::test::FileText(entry.path());
            const auto check = [&](const std::string& constant, const std::string& member) {
                const auto name = constants.find(constant);
                if (name == constants.end())
                    return; // a path or another constant
                ++uses;
                EXPECT_TRUE(interfaces.at(name->second).Has(member))
                    << entry.path().lexically_relative(PIXTERA_SOURCE_DIR) << " uses " << name->second << "." << member
                    << ", which its file does not describe";
            };
            for (std::sregex_iterator it(text.begin(), text.end(), interfaceThenMember), end; it != end; ++it)
                check((*it)[1], (*it)[2]);
            for (std::sregex_iterator it(text.begin(), text.end(), memberThenInterface), end; it != end; ++it)
                check((*it)[2], (*it)[1]);
        }
    }
    EXPECT_GT(uses, 80) << "the patterns no longer find the calls";
}

TEST(BusInterfaceFiles, DifferencesNameTheMemberAndWhatChanged)
{
    const auto parse = [](const char* members) {
        return ParseBusInterfaces(std::string("<node><interface name=\"org.pixtera.ITest\">") + members +
                                  "</interface></node>")
            .at(0);
    };
    const BusInterface described = parse(R"(<method name="Count"><arg name="count" type="i" direction="out"/></method>
        <method name="Gone"/><property name="Lit" type="b" access="read"/>)");
    const BusInterface live = parse(R"(<property name="Lit" type="b" access="read"/>
        <method name="Count"><arg name="count" type="u" direction="out"/></method><signal name="Extra"/>)");
    EXPECT_TRUE(BusInterfaceDifferences(described, described).empty());
    EXPECT_EQ(BusInterfaceDifferences(described, live),
              (std::vector<std::string>{"method Count(out i count) is Count(out u count)", "method Gone() is missing",
                                        "signal Extra() is not described"}));
    EXPECT_THROW(ParseBusInterfaces("<node><interface"), std::runtime_error);
}

} // namespace
