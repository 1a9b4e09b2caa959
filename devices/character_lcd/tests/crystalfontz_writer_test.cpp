// SPDX-License-Identifier: MIT
// The writer driving a CrystalFontz packet module on a pseudo-terminal: every command answered or
// sent again, the changed cells only, a silent module an outage, the reports among the answers.

#include "captured_log.h"
#include "crystalfontz_model.h"
#include "crystalfontz_protocol.h"
#include "lcd_writer.h"
#include "test_environment.h"

#include <pixtera/sdk/display_input.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <thread>

namespace {

using namespace pixtera;
using namespace pixtera::lcd;
using namespace pixtera::lcd::test;
using namespace std::chrono_literals;

std::string Padded(std::string text, std::size_t cells)
{
    text.resize(cells, ' ');
    return text;
}

class CrystalfontzWriter : public ::testing::Test {
protected:
    void Start(CrystalfontzModel model, CrystalfontzOptions options = {})
    {
        pty = std::make_unique<CrystalfontzPty>(model);
        port = std::make_shared<PacketPort>([this](const Packet& report) {
            std::lock_guard lock(mutex);
            reports.push_back(report);
        });
        WriterSetup setup;
        setup.name = "CrystalFontz LCD";
        setup.device = pty->path();
        setup.open = [path = pty->path(), port = port](std::string& error) {
            return OpenPacketDevice(path, 115200, port, "CrystalFontz LCD", error);
        };
        setup.protocol = std::make_shared<CrystalfontzProtocol>(model, options);
        setup.geometry = TraitsOf(model).geometry;
        cells = static_cast<std::size_t>(setup.geometry.cells());
        writer = std::make_unique<LcdWriter>(std::move(setup));
    }

    bool ScreenIs(const std::string& text)
    {
        return pixtera::test::Eventually([&] { return pty->state().screen == Padded(text, cells); });
    }

    std::vector<Packet> Reports()
    {
        std::lock_guard lock(mutex);
        return reports;
    }

    pixtera::test::CapturedLog log;
    std::unique_ptr<CrystalfontzPty> pty;
    std::shared_ptr<PacketPort> port;
    std::size_t cells = 0;
    std::mutex mutex; // guards reports
    std::vector<Packet> reports;
    std::unique_ptr<LcdWriter> writer; // last: it goes first
};

TEST_F(CrystalfontzWriter, InitialisesTheModuleAndWritesTextAndUserCharacters)
{
    CrystalfontzOptions options;
    options.brightness = 70;
    options.contrast = 120;
    Start(CrystalfontzModel::Cfa635, options);
    writer->Define(2, Glyph{1, 2, 4, 8, 16, 8, 4, 2});
    writer->Show(Padded("Hello", 20) + Padded("  \x02 world", 20));
    ASSERT_TRUE(ScreenIs(Padded("Hello", 20) + "  \x02 world"));
    const CrystalfontzState state = pty->state();
    EXPECT_EQ(state.backlight, 70);
    EXPECT_EQ(state.contrast, 120);
    EXPECT_EQ(state.cursorStyle, 0) << "the cursor is hidden";
    EXPECT_EQ(state.keyPressMask, 0x3F);
    EXPECT_EQ(state.keyReleaseMask, 0x3F);
    EXPECT_EQ(state.glyphs[2], (Glyph{1, 2, 4, 8, 16, 8, 4, 2}));
    EXPECT_EQ(state.refused, 0);
    EXPECT_EQ(state.badPackets, 0u);
    EXPECT_EQ(std::count(state.commands.begin(), state.commands.end(), cfa::kClear), 1);

    writer->SetBacklight(false);
    EXPECT_TRUE(pixtera::test::Eventually([&] { return pty->state().backlight == 0; }));
    writer->SetBrightness(255);
    writer->SetBacklight(true);
    EXPECT_TRUE(pixtera::test::Eventually([&] { return pty->state().backlight == 100; }));
}

TEST_F(CrystalfontzWriter, AClockTickingOnceASecondCostsFewerThanTenBytesASecond)
{
    Start(CrystalfontzModel::Cfa633);
    writer->Show("Time 12:59:50");
    ASSERT_TRUE(ScreenIs("Time 12:59:50"));
    pty->ResetCounts();
    constexpr int kTicks = 20; // across a minute's and an hour's turn
    for (int tick = 1; tick <= kTicks; ++tick) {
        const int second = 50 + tick;
        const int minute = 59 + second / 60;
        char text[32];
        std::snprintf(text, sizeof text, "Time %02d:%02d:%02d", 12 + minute / 60, minute % 60, second % 60);
        writer->Show(text);
        ASSERT_TRUE(writer->WaitUntilSent(5s));
        ASSERT_TRUE(ScreenIs(text));
    }
    const CrystalfontzState state = pty->state();
    EXPECT_LT(state.received, 10u * kTicks) << state.received << " bytes for " << kTicks << " ticks";
    EXPECT_EQ(std::count(state.commands.begin(), state.commands.end(), cfa::kClear), 0);
}

TEST_F(CrystalfontzWriter, ALostOrDamagedAnswerHasTheCommandSentAgain)
{
    Start(CrystalfontzModel::Cfa635);
    writer->Show("first");
    ASSERT_TRUE(ScreenIs("first"));
    pty->DropAnswers(1);
    writer->Show("second");
    ASSERT_TRUE(ScreenIs("second"));
    EXPECT_TRUE(pixtera::test::Eventually([&] { return port->resent() == 1; })) << port->resent();

    pty->CorruptAnswers(1);
    writer->Show("third");
    ASSERT_TRUE(ScreenIs("third"));
    EXPECT_TRUE(pixtera::test::Eventually([&] { return port->resent() == 2; })) << port->resent();
    EXPECT_GT(port->dropped(), 0u) << "the damaged answer was not taken";
    EXPECT_FALSE(log.Contains("failed")) << log.Text();
    EXPECT_EQ(pty->state().badPackets, 0u);
}

TEST_F(CrystalfontzWriter, ASilentModuleIsOneOutageAndIsDrivenAgainWhenItAnswers)
{
    Start(CrystalfontzModel::Cfa635);
    writer->Show("before");
    ASSERT_TRUE(ScreenIs("before"));
    pty->SetSilent(true);
    writer->Show("during");
    ASSERT_TRUE(pixtera::test::Eventually([&] { return log.Contains("failed"); })) << log.Text();
    pty->ResetCounts();
    // The reconnections that follow (each a clear nobody answers) say nothing more.
    const std::size_t attempt = EncodePacket({PacketKind::Command, cfa::kClear, {}}).size() * 3;
    ASSERT_TRUE(pixtera::test::Eventually([&] { return pty->state().received >= 2 * attempt; }));
    EXPECT_EQ(log.Count("CrystalFontz LCD"), 1) << log.Text();
    pty->SetSilent(false);
    ASSERT_TRUE(ScreenIs("during"));
    EXPECT_TRUE(pixtera::test::Eventually([&] { return log.Contains("is back"); })) << log.Text();
    EXPECT_EQ(log.Count("CrystalFontz LCD"), 2) << log.Text();
}

TEST_F(CrystalfontzWriter, ReportsAmongTheAnswersAreHandedOnAndTheAnswersStillTaken)
{
    Start(CrystalfontzModel::Cfa633);
    writer->Show("ready");
    ASSERT_TRUE(ScreenIs("ready"));
    pty->ReportBeforeAnswers(CrystalfontzPty::KeyReport(1), 1);
    writer->Show("typing");
    ASSERT_TRUE(ScreenIs("typing"));
    ASSERT_TRUE(pty->Send(EncodePacket(CrystalfontzPty::TemperatureReport(3, 25 * 16)) +
                          EncodePacket(CrystalfontzPty::KeyReport(7))));
    ASSERT_TRUE(pixtera::test::Eventually([&] { return Reports().size() == 3; })) << Reports().size();
    const auto got = Reports();
    EXPECT_EQ(got[0].data, std::string(1, '\x01'));
    EXPECT_EQ(got[1].command, cfa::kTemperatureReport);
    EXPECT_EQ(got[2].data, std::string(1, '\x07'));
    EXPECT_EQ(KeyOfReport(7), (CrystalfontzKey{kKeyUp, kKeyReleased}));
    EXPECT_EQ(port->resent(), 0u) << "a report before an answer is not taken for it";
}

TEST_F(CrystalfontzWriter, AHostileStreamCostsItsBytesAndNothingElse)
{
    Start(CrystalfontzModel::Cfa635);
    writer->Show("steady");
    ASSERT_TRUE(ScreenIs("steady"));
    // Noise, lengths far beyond a packet's, a report's type with a wrong CRC, then a real report.
    std::string hostile(4096, '\xFF');
    for (int i = 0; i < 4096; ++i)
        hostile += static_cast<char>((i * 37) & 0xFF);
    hostile += std::string("\x80\x01\x01\x00\x00", 5);
    ASSERT_TRUE(pty->Send(hostile));
    ASSERT_TRUE(pty->Send(EncodePacket(CrystalfontzPty::KeyReport(5))));
    ASSERT_TRUE(pixtera::test::Eventually([&] {
        const auto got = Reports();
        return std::any_of(got.begin(), got.end(), [](const Packet& p) { return p.data == std::string(1, '\x05'); });
    }));
    writer->Show("still steady");
    EXPECT_TRUE(ScreenIs("still steady"));
    EXPECT_GT(port->dropped(), 4096u);
}

TEST(CrystalfontzPort, AStoppedPortEndsTheCommandWaitingForItsAnswer)
{
    CrystalfontzPty pty(CrystalfontzModel::Cfa635);
    pty.SetSilent(true);
    // Answers so slow that only the stop can end the wait.
    auto port = std::make_shared<PacketPort>(nullptr, PacketTiming{std::chrono::hours(1), 3});
    std::string error;
    auto link = OpenPacketDevice(pty.path(), 115200, port, "test", error);
    ASSERT_TRUE(link) << error;
    const Packet clear{PacketKind::Command, cfa::kClear, {}};
    std::optional<Packet> answer;
    std::string why;
    std::thread writer([&] { answer = port->Transact(link->fd(), clear, why); });
    ASSERT_TRUE(pixtera::test::Eventually([&] { return pty.state().received == EncodePacket(clear).size(); }));
    port->Stop();
    writer.join();
    EXPECT_FALSE(answer);
    EXPECT_EQ(why, "stopped");
    EXPECT_EQ(port->resent(), 0u);
}

TEST(CrystalfontzKeys, EachModelsKeysHaveTheirNames)
{
    EXPECT_EQ(KeyOfReport(5), (CrystalfontzKey{kKeyEnter, kKeyPressed}));
    EXPECT_EQ(KeyOfReport(6), (CrystalfontzKey{kKeyEscape, kKeyPressed}));
    EXPECT_EQ(KeyOfReport(12), (CrystalfontzKey{kKeyEscape, kKeyReleased}));
    EXPECT_EQ(KeyOfReport(3), (CrystalfontzKey{kKeyLeft, kKeyPressed}));
    EXPECT_EQ(KeyOfReport(10), (CrystalfontzKey{kKeyRight, kKeyReleased}));
    // The CFA631's corners.
    EXPECT_EQ(KeyOfReport(13), (CrystalfontzKey{kKeyUp, kKeyPressed}));
    EXPECT_EQ(KeyOfReport(14), (CrystalfontzKey{kKeyEnter, kKeyPressed}));
    EXPECT_EQ(KeyOfReport(19), (CrystalfontzKey{kKeyDown, kKeyReleased}));
    EXPECT_EQ(KeyOfReport(20), (CrystalfontzKey{kKeyEscape, kKeyReleased}));
    EXPECT_EQ(KeyOfReport(0x2A), (CrystalfontzKey{kKeyRaw | 0x2A, kKeyPressed}));
    EXPECT_EQ(KeyOfReport(0), (CrystalfontzKey{kKeyRaw, kKeyPressed}));
}

} // namespace
