// SPDX-License-Identifier: MIT
#pragma once
// The service's managers in the test process, with the test plug-ins registered in the test's
// own registry.

#include "call_log.h"
#include "configuration_loader.h"
#include "data_manager.h"
#include "display_manager.h"
#include "driver_manager.h"
#include "test_environment.h"

#include <pixtera/platform/message_box.h>

#include <gtest/gtest.h>

#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

namespace pixtera::test {

inline std::string ThreadTag(std::thread::id id = std::this_thread::get_id())
{
    std::ostringstream tag;
    tag << " @" << id;
    return tag.str();
}

// The calls an object recorded (with their thread tags), and forgets them.
inline std::vector<std::string> RecordedCalls(IUnknown* object, bool keepThreads = false)
{
    auto log = ComPtr<IUnknown>(object).As<ICallLog>();
    EXPECT_TRUE(log);
    if (!log)
        return {};
    BString text;
    log->GetCalls(text.Out());
    log->ClearCalls();
    std::vector<std::string> lines;
    std::istringstream stream(text.utf8());
    for (std::string line; std::getline(stream, line);)
        lines.push_back(keepThreads ? line : line.substr(0, line.rfind(" @")));
    return lines;
}

inline int CountOf(const std::vector<std::string>& calls, const std::string& prefix)
{
    int n = 0;
    for (const auto& call : calls)
        n += call.rfind(prefix, 0) == 0;
    return n;
}

// Message boxes shown by the code under test, captured instead of printed.
class MessageCapture {
public:
    MessageCapture()
    {
        SetMessageBoxHook([this](std::string_view text, std::string_view caption, UINT) {
            std::lock_guard lock(mutex_);
            messages_.push_back(std::string(caption) + "|" + std::string(text));
            return IDOK;
        });
    }
    ~MessageCapture() { SetMessageBoxHook(nullptr); }
    std::vector<std::string> messages()
    {
        std::lock_guard lock(mutex_);
        return messages_;
    }

private:
    std::mutex mutex_;
    std::vector<std::string> messages_;
};

class ServiceFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(RegisterTestModule("test-recording-display.so"));
        ASSERT_TRUE(RegisterTestModule("test-scripted-provider.so"));
    }

    std::filesystem::path WriteConfiguration(const std::string& drivers)
    {
        const auto path = TestDirectory() / "pixtera2.xml";
        std::ofstream(path) << "<PixteraConfiguration><drivers>" << drivers << "</drivers></PixteraConfiguration>";
        return path;
    }

    bool Load(const std::string& drivers)
    {
        return LoadConfigurationFile(WriteConfiguration(drivers), *driverManager, *dataManager, *displayManager);
    }

    Variant Read(std::u16string_view name)
    {
        Variant value;
        EXPECT_EQ(dataManager->ReadValue(name, value.Out()), S_OK);
        return value;
    }

    std::string ReadText(std::u16string_view name)
    {
        auto text = Read(name).AsText();
        return text ? text->utf8() : "(no text)";
    }

    ComPtr<DriverManager> driverManager = MakeComObject<DriverManager>();
    ComPtr<DataManager> dataManager = MakeComObject<DataManager>(driverManager);
    ManualTickClock clock{1000};
    ComPtr<DisplayManager> displayManager = MakeComObject<DisplayManager>(DisplayRuntime{*dataManager, clock});
};

inline std::string Driver(const std::string& progId, const std::string& configuration, const std::string& inner)
{
    return "<driver clsid=\"" + progId + "\" configuration=\"" + configuration + "\">" + inner + "</driver>";
}

inline const std::string kData = R"(<data active="yes"/>)";
inline const std::string kDisplay = R"(<display active="yes"/>)";

} // namespace pixtera::test
