// SPDX-License-Identifier: MIT
// Pixtera.SerialLCD as the service meets it, on a pseudo-terminal in place of the module's port.

#include "captured_log.h"
#include "plugin_test.h"
#include "pty_port.h"
#include "recording_key_sink.h"

#include <pixtera/platform/codepage.h>
#include <pixtera/sdk/display_driver.h>
#include <pixtera/sdk/display_input.h>
#include <pixtera/sdk/display_unicode_frame.h>
#include <pixtera/sdk/letter_font.h>
#include <pixtera/sdk/plugin_info.h>
#include <pixtera/sdk/plugin_module.h>
#include <pixtera/sdk/plugin_settings.h>

#include <gtest/gtest.h>

#include <chrono>

namespace {

using namespace pixtera;
using namespace pixtera::lcd::test;

TEST(SerialLcdPlugin, ConfiguredOnAPortItTakesFramesAndUserCharacters)
{
    const auto info = test::CreatePlugin<IPluginInfo>("SerialLCD.so", u"Pixtera.SerialLCD");
    ASSERT_TRUE(info);
    PtyPort pty;
    const std::string configuration = "device=" + pty.path() + ";speed=9600;columns=16;rows=2;brightness=90";
    ASSERT_EQ(info->Configure(BString(std::string_view(configuration)).get()), S_OK);

    auto display = info.As<IDisplayDriver>();
    ASSERT_TRUE(display);
    LONG columns = 0;
    LONG rows = 0;
    display->GetColumns(&columns);
    display->GetRows(&rows);
    EXPECT_EQ(columns, 16);
    EXPECT_EQ(rows, 2);

    SerialLcdModel model(16, 2);
    ASSERT_EQ(display->SetCustomChar(0, 31, 31, 31, 31, 31, 31, 31, 31), S_OK);
    EXPECT_EQ(display->SetCustomChar(8, 0, 0, 0, 0, 0, 0, 0, 0), E_INVALIDARG);
    const std::u16string frame = u"CPU \x08\x08\x08      42%" + std::u16string(16, u' ');
    ASSERT_EQ(display->Write(BString(frame).get()), S_OK);
    // The bar cell (code 8) is the module's user character 0.
    const std::string expected = "CPU " + std::string(3, '\0') + "      42%" + std::string(16, ' ');
    pty.ReadInto(model, [&] { return model.screen() == expected; });
    EXPECT_EQ(model.screen(), expected);
    EXPECT_EQ(model.GlyphOf(0)[7], 31);
    EXPECT_EQ(model.brightness(), 90);

    auto settings = info.As<IPluginSettings>();
    ASSERT_TRUE(settings) << "the designer's configuration form has the keys";
    LONG count = 0;
    settings->GetSettingCount(&count);
    EXPECT_EQ(count, 12);
}

TEST(SerialLcdPlugin, UnicodeFramesGoOutWithTheConfiguredRomAndItsUserCharacters)
{
    const auto info = test::CreatePlugin<IPluginInfo>("SerialLCD.so", u"Pixtera.SerialLCD");
    ASSERT_TRUE(info);
    PtyPort pty;
    const std::string configuration = "device=" + pty.path() + ";speed=9600;columns=16;rows=2;rom=a00";
    ASSERT_EQ(info->Configure(BString(std::string_view(configuration)).get()), S_OK);
    auto unicode = info.As<IDisplayUnicodeFrame>();
    ASSERT_TRUE(unicode) << "the native drivers take Unicode frames";

    // Ж is not on A00: drawn in a user character; Д likewise; ä is A00's 0xE1; the bar cell is
    // the design's user character 0 as given.
    ASSERT_EQ(info.As<IDisplayDriver>()->SetCustomChar(0, 31, 31, 31, 31, 31, 31, 31, 31), S_OK);
    const std::u16string frame = u"Ж\x08Дä" + std::u16string(28, u' ');
    ASSERT_EQ(unicode->WriteUnicode(BString(frame).get()), S_OK);
    SerialLcdModel model(16, 2);
    pty.ReadInto(model, [&] { return model.screen().substr(3, 2) == "\xE1 "; });
    const std::string shown = model.screen();
    ASSERT_EQ(shown.substr(3, 2), "\xE1 ");
    EXPECT_EQ(model.GlyphOf(shown[1]), lcd::Glyph({31, 31, 31, 31, 31, 31, 31, 31})) << "the bar's own";
    EXPECT_EQ(model.GlyphOf(shown[0]), *lcd::LetterGlyph(U'Ж'));
    EXPECT_EQ(model.GlyphOf(shown[2]), *lcd::LetterGlyph(U'Д'));
}

// The driver on a pseudo-terminal, advised for its keys.
class SerialLcdKeypad : public ::testing::Test {
protected:
    void Start(const std::string& settings)
    {
        info = test::CreatePlugin<IPluginInfo>("SerialLCD.so", u"Pixtera.SerialLCD");
        ASSERT_TRUE(info);
        ASSERT_EQ(info.As<IDisplayInput>()->Advise(sink.get()), S_OK);
        const std::string configuration = "device=" + pty.path() + ";speed=9600;columns=16;rows=2;" + settings;
        ASSERT_EQ(info->Configure(BString(std::string_view(configuration)).get()), S_OK);
    }

    bool KeysAre(const std::vector<std::string>& expected)
    {
        return test::Eventually([&] { return sink->keys() == expected; });
    }

    test::CapturedLog log;
    PtyPort pty;
    ComPtr<test::RecordingKeySink> sink = MakeComObject<test::RecordingKeySink>();
    ComPtr<IPluginInfo> info;
};

TEST_F(SerialLcdKeypad, KeysUpAndDownAreReadFromTheModulesStream)
{
    Start("keyrepeat=updown");
    SerialLcdModel model(16, 2);
    pty.ReadInto(model, [&] { return model.repeat() == SerialLcdModel::Repeat::UpDown; });
    ASSERT_EQ(model.repeat(), SerialLcdModel::Repeat::UpDown) << "the module is told to report releases";
    ASSERT_TRUE(pty.Send(model.KeyStroke('C') + model.KeyStroke('E') + model.KeyStroke('Q')));
    EXPECT_TRUE(KeysAre({"Up", "Up+release", "Enter", "Enter+release", "Raw:0x51", "Raw:0x51+release"}))
        << testing::PrintToString(sink->keys());
}

TEST_F(SerialLcdKeypad, TheMapIsConfigurableAndAHeldKeyRepeatsAsTheModuleSendsIt)
{
    Start("keys=G:F1,H:Escape;keyrepeat=typematic");
    SerialLcdModel model(16, 2);
    pty.ReadInto(model, [&] { return model.repeat() == SerialLcdModel::Repeat::Typematic; });
    ASSERT_EQ(model.repeat(), SerialLcdModel::Repeat::Typematic);
    ASSERT_TRUE(pty.Send(model.KeyStroke('G', 2) + model.KeyStroke('A')));
    EXPECT_TRUE(KeysAre({"F1", "F1+repeat", "F1+repeat", "Raw:0x41"})) << testing::PrintToString(sink->keys());
    EXPECT_TRUE(model.unknownCommands().empty());
}

TEST_F(SerialLcdKeypad, WithoutAKeyRepeatTheModuleKeepsItsOwnAndAWrongMapSaysSo)
{
    Start("keys=A:Sideways;keyrepeat=sometimes");
    SerialLcdModel model(16, 2);
    pty.ReadInto(model, [&] { return model.backlight(); });
    EXPECT_EQ(model.repeat(), SerialLcdModel::Repeat::Unset);
    EXPECT_TRUE(log.Contains("keys (byte:key pairs such as A:Left,B:Right; not \"A:Sideways\")")) << log.Text();
    EXPECT_TRUE(log.Contains("keyrepeat (off, typematic or updown)")) << log.Text();
    ASSERT_TRUE(pty.Send(model.KeyStroke('A')));
    EXPECT_TRUE(KeysAre({"Left"})) << "the common map";
}

TEST_F(SerialLcdKeypad, TheAdafruitBackpackGetsItsSizeAndColour)
{
    Start("model=adafruit;colour=FF8000");
    SerialLcdModel model(16, 2, true);
    pty.ReadInto(model, [&] { return model.size() == std::pair(16, 2) && model.backlight(); });
    EXPECT_EQ(model.size(), std::pair(16, 2));
    EXPECT_EQ(model.colour(), (std::array<int, 3>{255, 128, 0}));
    EXPECT_TRUE(model.unknownCommands().empty());

    SerialLcdModel generic(16, 2);
    Start("colour=00ff00");
    pty.ReadInto(generic, [&] { return generic.backlight(); });
    ASSERT_TRUE(generic.backlight());
    EXPECT_TRUE(generic.unknownCommands().empty()) << "a generic module is sent no Adafruit command";
}

} // namespace
