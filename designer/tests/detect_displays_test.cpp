// SPDX-License-Identifier: MIT
// "Detect displays" in the configuration panel, against models of modules: what is found comes
// ticked and configured, what is configured already is shown so and not offered, and every other
// place looked at is listed with its reason.

#include "configuration_panel.h"
#include "detect_displays_dialog.h"
#include "model_devices.h"
#include "qt_application.h"
#include "scripted_prompts.h"
#include "test_environment.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include <gtest/gtest.h>

#include <fstream>

namespace {

using namespace pixtera;
using namespace pixtera::designer;
using namespace pixtera::detection::test;
using namespace pixtera::test;
namespace fs = std::filesystem;

class DetectDisplaysTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Application();
        for (const char* module : {"HD44780I2C", "SerialLCD", "LCDprocDisplay"})
            ASSERT_TRUE(RegisterModule(ProgramDirectory() / "plugins" / (std::string(module) + ".so")));
        fs::create_directories(program / "plugins");
        for (const auto& item : fs::directory_iterator(ProgramDirectory() / "plugins"))
            if (item.path().extension() == ".pxp")
                fs::copy_file(item.path(), program / "plugins" / item.path().filename(),
                              fs::copy_options::overwrite_existing);
        std::ofstream(program / "pixtera2.xml")
            << R"(<PixteraConfiguration><drivers><driver clsid="Pixtera.HD44780I2C" configuration="bus=1;address=39">)"
               R"(<display active="yes"/></driver></drivers></PixteraConfiguration>)";
        panel = std::make_unique<ConfigurationPanel>(
            program, prompts,
            [](IUnknown&, IPluginInfo&, const std::string& current, bool) { return std::optional(current); });
        panel->SetDetectionDevices(devices);
    }

    DetectDisplaysDialog& Detect()
    {
        auto* dialog = static_cast<DetectDisplaysDialog*>(panel->DetectDisplays());
        EXPECT_NE(dialog, nullptr);
        struct NoTick {
            void Tick() {}
        } events;
        EXPECT_TRUE(TickUntil(events, [&] { return !dialog->search().running(); }));
        return *dialog;
    }

    fs::path program = TestDirectory() / "detect-bin";
    ScriptedPrompts::Script script;
    ScriptedPrompts prompts{script};
    std::shared_ptr<ModelDevices> devices = std::make_shared<ModelDevices>();
    std::unique_ptr<ConfigurationPanel> panel;
};

TEST_F(DetectDisplaysTest, FoundModulesComeTickedAndConfiguredAndTheConfiguredOneIsNotOfferedAgain)
{
    Hd44780Model kitchen(lcd::Pcf8574Pins::A());
    Hd44780Model desk(lcd::Pcf8574Pins::B());
    SerialLcdModel serial(20, 4);
    devices->AddBus(1, {{0x27, &kitchen}, {0x3F, &desk}});
    devices->AddPort("ttyUSB0", &serial, 9600);
    ASSERT_EQ(panel->loadedList().count(), 1);

    DetectDisplaysDialog& dialog = Detect();
    QListWidget& found = dialog.foundList();
    ASSERT_EQ(found.count(), 5);
    EXPECT_EQ(found.item(0)->text().toStdString(),
              "HD44780 display on I2C: /dev/i2c-1 address 0x27: already configured");
    EXPECT_FALSE(found.item(0)->flags() & Qt::ItemIsEnabled);
    EXPECT_EQ(found.item(1)->checkState(), Qt::Checked);
    EXPECT_EQ(found.item(2)->text().toStdString(),
              "Serial character LCD: /dev/ttyUSB0 at 9600 baud (module type 0x09, version 0x57)");
    EXPECT_EQ(found.item(3)->text().toStdString(), "Nothing was found at:");
    EXPECT_EQ(found.item(4)->text().toStdString(), "LCDd at 127.0.0.1:13666: not running")
        << "the places without a module follow";
    EXPECT_FALSE(found.item(4)->flags() & Qt::ItemIsEnabled);
    EXPECT_TRUE(dialog.addButton().isEnabled());

    found.item(2)->setCheckState(Qt::Unchecked);
    dialog.addButton().click();
    EXPECT_EQ(panel->loadedList().count(), 2) << "the desk's module, not the serial one";
    panel->Apply();
    const std::string file = FileText(program / "pixtera2.xml");
    EXPECT_NE(file.find("configuration=\"bus=1;address=0x3f;pinmap=b;columns=20;rows=4;backlight=on\""),
              std::string::npos)
        << file;
    EXPECT_EQ(file.find("ttyUSB0"), std::string::npos);
}

TEST_F(DetectDisplaysTest, NothingFoundListsEveryPlaceWithItsReason)
{
    devices->AddBus(2, {});
    DetectDisplaysDialog& dialog = Detect();
    EXPECT_EQ(dialog.statusLabel().text().toStdString(), "No display was found. Where it was looked for:");
    ASSERT_EQ(dialog.foundList().count(), 3);
    EXPECT_EQ(dialog.foundList().item(0)->text().toStdString(),
              "/dev/i2c-2: no device answered at 0x20-0x27 or 0x38-0x3f");
    EXPECT_EQ(dialog.foundList().item(1)->text().toStdString(),
              "/dev/serial/by-id/*, /dev/ttyUSB*, /dev/ttyACM*: no serial port: a USB serial module appears here when "
              "it is plugged in (one on another port: configure it by hand)");
    EXPECT_EQ(dialog.foundList().item(2)->text().toStdString(), "LCDd at 127.0.0.1:13666: not running");
    EXPECT_FALSE(dialog.addButton().isEnabled());
    dialog.reject();
    EXPECT_EQ(panel->loadedList().count(), 1);
}

} // namespace
