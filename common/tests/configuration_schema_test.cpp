// SPDX-License-Identifier: MIT
// The helpers every writer of pixtera2.xml shares: a drivers element found or made once, drivers
// appended as the service reads them, and switches on only for the exact "yes".

#include <pixtera/configuration_schema.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

using namespace pixtera;

std::string Text(const pugi::xml_document& document)
{
    std::ostringstream out;
    document.save(out, "", pugi::format_raw | pugi::format_no_declaration);
    return out.str();
}

TEST(ConfigurationSchema, TheDriversElementIsFoundOrMadeOnce)
{
    pugi::xml_document empty;
    config::DriversElement(empty);
    config::DriversElement(empty);
    EXPECT_EQ(Text(empty), "<PixteraConfiguration><drivers/></PixteraConfiguration>");

    pugi::xml_document rootOnly;
    rootOnly.load_string("<PixteraConfiguration version=\"7\"><other/></PixteraConfiguration>");
    config::AppendCapability(config::AppendDriver(config::DriversElement(rootOnly), "A.B", "x=1"), config::kDisplay,
                             true);
    config::AppendDriver(config::DriversElement(rootOnly), "C.D", "");
    EXPECT_EQ(Text(rootOnly), "<PixteraConfiguration version=\"7\"><other/><drivers>"
                              "<driver clsid=\"A.B\" configuration=\"x=1\"><display active=\"yes\"/></driver>"
                              "<driver clsid=\"C.D\" configuration=\"\"/></drivers></PixteraConfiguration>");
    EXPECT_EQ(rootOnly.select_nodes(config::kDriverPath).size(), 2u);
}

TEST(ConfigurationSchema, OnlyYesSwitchesACapabilityOn)
{
    pugi::xml_document document;
    document.load_string("<driver><display active=\"yes\"/><data active=\"Yes\"/><event active=\"true\"/>"
                         "<input/><output active=\"no\"/></driver>");
    const pugi::xml_node driver = document.child(config::kDriver);
    EXPECT_TRUE(config::IsActive(driver, config::kDisplay));
    for (const char* off : {config::kData, config::kEvent, config::kInput, config::kOutput, config::kAction})
        EXPECT_FALSE(config::IsActive(driver, off)) << off;

    pugi::xml_node written = document.append_child(config::kDriver);
    for (const char* capability : config::kCapabilities)
        config::AppendCapability(written, capability, std::string_view(capability) == config::kData);
    for (const char* capability : config::kCapabilities)
        EXPECT_EQ(config::IsActive(written, capability), std::string_view(capability) == config::kData) << capability;
}

} // namespace
