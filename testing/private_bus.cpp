// SPDX-License-Identifier: MIT
#include "private_bus.h"

#include "test_environment.h"

#include <signal.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace pixtera::test {

PrivateBus::PrivateBus(Kind kind)
    : variable_(kind == Kind::Session ? "DBUS_SESSION_BUS_ADDRESS" : "DBUS_SYSTEM_BUS_ADDRESS")
{
    if (const char* old = std::getenv(variable_.c_str()))
        previous_ = old;
    const auto config = TestDirectory() / (variable_ + ".conf");
    std::ofstream(config)
        << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
           "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
           "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen>"
           "<auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
           "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n";
    daemon_ = std::make_unique<ChildProcess>(std::vector<std::string>{
        "/usr/bin/dbus-daemon", "--config-file=" + config.string(), "--nofork", "--print-address"});
    if (!daemon_->WaitForOutput("\n"))
        throw std::runtime_error("dbus-daemon did not start: " + daemon_->output());
    address_ = daemon_->output().substr(0, daemon_->output().find('\n'));
    setenv(variable_.c_str(), address_.c_str(), 1);
}

PrivateBus::~PrivateBus()
{
    if (previous_.empty())
        unsetenv(variable_.c_str());
    else
        setenv(variable_.c_str(), previous_.c_str(), 1);
    daemon_->Signal(SIGTERM);
    daemon_->Wait();
}

} // namespace pixtera::test
