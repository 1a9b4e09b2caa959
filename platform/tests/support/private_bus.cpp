#include "private_bus.h"

#include "test_environment.h"

#include <signal.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace pixtera::test {

PrivateBus::PrivateBus()
{
    if (const char* old = std::getenv("DBUS_SESSION_BUS_ADDRESS"))
        previous_ = old;
    const auto config = TestDirectory() / "bus.conf";
    std::ofstream(config) << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
                             "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                             "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen>"
                             "<auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                             "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n";
    daemon_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"/usr/bin/dbus-daemon", "--config-file=" + config.string(), "--nofork", "--print-address"});
    if (!daemon_->WaitForOutput("\n"))
        throw std::runtime_error("dbus-daemon did not start: " + daemon_->output());
    address_ = daemon_->output().substr(0, daemon_->output().find('\n'));
    setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
}

PrivateBus::~PrivateBus()
{
    if (previous_.empty())
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
    else
        setenv("DBUS_SESSION_BUS_ADDRESS", previous_.c_str(), 1);
    daemon_->Signal(SIGTERM);
    daemon_->Wait();
}

} // namespace pixtera::test
