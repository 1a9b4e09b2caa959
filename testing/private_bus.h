// SPDX-License-Identifier: MIT
#pragma once
// A session bus of the test's own (a dbus-daemon started for it), so that tests running at the
// same time never meet on one bus. Sets DBUS_SESSION_BUS_ADDRESS while it lives, or
// DBUS_SYSTEM_BUS_ADDRESS for a system bus of the test's own (where any name may be owned: a fake
// logind).

#include "child_process.h"

#include <memory>
#include <string>

namespace pixtera::test {

class PrivateBus {
public:
    enum class Kind { Session, System };
    explicit PrivateBus(Kind kind = Kind::Session);
    ~PrivateBus();
    const std::string& address() const { return address_; }

private:
    std::unique_ptr<ChildProcess> daemon_;
    std::string address_;
    std::string variable_;
    std::string previous_;
};

} // namespace pixtera::test
