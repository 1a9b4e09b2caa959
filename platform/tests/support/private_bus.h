#pragma once
// A session bus of the test's own (a dbus-daemon started for it), so that tests running at the
// same time never meet on one bus. Sets DBUS_SESSION_BUS_ADDRESS while it lives.

#include "child_process.h"

#include <memory>
#include <string>

namespace pixtera::test {

class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();
    const std::string& address() const { return address_; }

private:
    std::unique_ptr<ChildProcess> daemon_;
    std::string address_;
    std::string previous_;
};

} // namespace pixtera::test
