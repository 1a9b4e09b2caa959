// SPDX-License-Identifier: MIT
// A menu entry's event from the service to a broker of the test's own: the service (in this
// process, on a session bus of the test's own) announces it as MenuEvent on the display's object,
// and pixtera-mqtt publishes it on the display's "Menu" event entity, whose event types it lists.

#include "bus_server.h"
#include "child_process.h"
#include "manager.h"
#include "private_bus.h"
#include "test_broker.h"
#include "test_environment.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iostream>

namespace pixtera::test {
namespace {

using nlohmann::json;

class TestLifetime final : public ServerLifetime {
public:
    LONG Lock() override { return ++locks_; }
    LONG Unlock() override { return --locks_; }
    void QuitAfter(DWORD) override {}

private:
    std::atomic<LONG> locks_{0};
};

class MenuEventsOnTheBroker : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(RegisterModule(ProgramDirectory() / "plugins" / "FileDisplay.so"));
        std::ofstream(design) << R"(<Design UpdateFreq="100"><DisplayItems/></Design>)";
        std::ofstream(configuration) << "<PixteraConfiguration><drivers><driver clsid=\"Pixtera.FileDisplay\" "
                                        "configuration=\"path="
                                     << frames.string() << "\"><display active=\"yes\"><queue><queueitem Filename=\""
                                     << design.string() << "\" Runtime=\"0\"/></queue></display></driver>"
                                     << "</drivers></PixteraConfiguration>";
    }
    void TearDown() override
    {
        if (bridge && HasFailure())
            std::cerr << "The bridge said:\n" << bridge->output();
    }

    PrivateBus sessionBus;
    TestBroker broker;
    std::filesystem::path design = TestDirectory() / "empty.pxd";
    std::filesystem::path frames = TestDirectory() / "frames.jsonl";
    std::filesystem::path configuration = TestDirectory() / "pixtera2.xml";
    std::unique_ptr<ChildProcess> bridge;
};

TEST_F(MenuEventsOnTheBroker, AnEventReachesTheBrokerOnTheDisplaysMenuEntity)
{
    TestLifetime lifetime;
    Manager manager(lifetime, configuration);
    BusServer bus(manager);
    bridge = std::make_unique<ChildProcess>(std::vector<std::string>{
        (ProgramDirectory() / "pixtera-mqtt").string(), "--port", std::to_string(broker.port()), "--publish", "load"});
    ASSERT_TRUE(bridge->WaitForOutput("publishing as pixtera/")) << bridge->output();
    const auto start = bridge->output().find("pixtera/") + 8;
    const std::string machine = bridge->output().substr(start, bridge->output().find(' ', start) - start);
    const std::string base = "pixtera/" + machine + "/display/1";
    // Announced with keys: the display's events are published from now on.
    ASSERT_EQ(broker.Watch("homeassistant/event/+/display_1/config", 1).size(), 1u) << "the file display has keys";

    auto watcher = broker.StartWatching(base + "/menu", 2, 10);
    for (const char* name : {"garage.open", "lights-off"}) {
        MenuAction publish;
        publish.kind = MenuActionKind::PublishEvent;
        publish.event = name;
        std::atomic<bool> said{false};
        std::string failure = "not said";
        manager.actions().Start(0, publish, [&](std::string text) {
            failure = std::move(text);
            said = true;
        });
        ASSERT_TRUE(Eventually([&] { return said.load(); }));
        EXPECT_EQ(failure, "");
    }
    EXPECT_EQ(watcher.Lines(), (std::vector<std::string>{base + R"(/menu {"event_type":"garage.open"})",
                                                         base + R"(/menu {"event_type":"lights-off"})"}));

    const auto configs = broker.Watch("homeassistant/event/+/display_1_menu/config", 1);
    ASSERT_EQ(configs.size(), 1u) << "the menu's entity is announced, retained";
    const json menu = json::parse(configs[0].substr(configs[0].find(' ') + 1));
    EXPECT_EQ(menu["name"], "Menu");
    EXPECT_EQ(menu["state_topic"], base + "/menu");
    EXPECT_EQ(menu["event_types"], json::array({"garage.open", "lights-off"}))
        << "every name published is one of its event types";
    const auto keys = broker.Watch("homeassistant/event/+/display_1/config", 1);
    ASSERT_EQ(keys.size(), 1u);
    const json keyEntity = json::parse(keys[0].substr(keys[0].find(' ') + 1));
    EXPECT_NE(menu["unique_id"], keyEntity["unique_id"]);
    EXPECT_EQ(menu["device"], keyEntity["device"]) << "on the display's device";
}

} // namespace
} // namespace pixtera::test
