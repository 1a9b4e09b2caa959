// SPDX-License-Identifier: MIT
// Keys pressed on a display reach the bus as KeyPressed on the display's object, from a driver in
// the service's process and from one in a process of its own.

#include "remote_objects_fixture.h"

#include <pixtera/platform/unique_fd.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <mutex>
#include <vector>

namespace {

using namespace pixtera;
using namespace pixtera::test;

class DisplayKeys : public RemoteObjects {
protected:
    void Configure(bool isolated)
    {
        ASSERT_EQ(mkfifo(keys().c_str(), 0600), 0);
        if (isolated) {
            ASSERT_TRUE(RegisterModule(ProgramDirectory() / "plugins" / "DispatchWrapper.so"));
        }
        std::ofstream(configuration(), std::ios::trunc)
            << "<PixteraConfiguration><drivers><driver clsid=\"Pixtera.FileDisplay\" DispatchWrap=\""
            << (isolated ? "yes" : "no") << "\" configuration=\"path=" << frames.string()
            << "\"><display active=\"yes\"/></driver></drivers></PixteraConfiguration>";
        manager = Connect();
        ASSERT_TRUE(manager);
        watched = sdbus::createProxy(*signals, bus::kServiceName, bus::DisplayPath(0));
        watched->uponSignal("KeyPressed").onInterface(bus::kDisplayInput).call([this](const std::string& key) {
            std::lock_guard lock(mutex);
            pressed.push_back(key);
        });
        watched->finishRegistration();
        signals->enterEventLoopAsync();
    }

    void TearDown() override
    {
        signals->leaveEventLoop();
        RemoteObjects::TearDown();
    }

    std::filesystem::path keys() const { return frames.string() + ".keys"; }

    // Writes to the keys FIFO once the display reads it (until then no writer can open it).
    bool Press(const std::string& lines)
    {
        UniqueFd writer;
        return Eventually([&] {
                   writer.reset(open(keys().c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
                   return static_cast<bool>(writer);
               }) &&
               WriteAll(writer.get(), lines);
    }

    bool Heard(const std::vector<std::string>& expected)
    {
        return Eventually([&] {
            std::lock_guard lock(mutex);
            return pressed == expected;
        });
    }

    // Signals on a connection of their own with its event loop.
    std::unique_ptr<sdbus::IConnection> signals = sdbus::createSessionBusConnection();
    std::unique_ptr<sdbus::IProxy> watched;
    std::mutex mutex; // guards pressed
    std::vector<std::string> pressed;
};

TEST_F(DisplayKeys, AKeyWrittenToTheKeysFileIsPressedOnTheBus)
{
    Configure(false);
    ASSERT_TRUE(Press("Up\nRaw:0x41\nF8\n"));
    EXPECT_TRUE(Heard({"Up", "Raw:0x41", "F8"}));
}

TEST_F(DisplayKeys, ADisplayInAProcessOfItsOwnDeliversItsKeysToo)
{
    Configure(true);
    ASSERT_TRUE(Press("Enter\nEscape\n"));
    EXPECT_TRUE(Heard({"Enter", "Escape"}));
}

} // namespace
