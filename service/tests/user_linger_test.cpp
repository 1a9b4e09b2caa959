// SPDX-License-Identifier: MIT
// Lingering through a fake logind on a private bus that stands in for the system bus.

#include "private_bus.h"
#include "test_environment.h"
#include "user_linger.h"

#include <sdbus-c++/sdbus-c++.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <pwd.h>
#include <unistd.h>

namespace {

using namespace pixtera;
using namespace pixtera::test;

// org.freedesktop.login1's SetUserLinger, recording its calls; refuses them when told to.
class FakeLogind {
public:
    explicit FakeLogind(bool refuse) : refuse_(refuse)
    {
        connection_ = sdbus::createSessionBusConnection("org.freedesktop.login1");
        object_ = sdbus::createObject(*connection_, "/org/freedesktop/login1");
        object_->registerMethod("SetUserLinger")
            .onInterface("org.freedesktop.login1.Manager")
            .implementedAs([this](std::uint32_t uid, bool enable, bool interactive) {
                {
                    std::lock_guard lock(mutex_);
                    calls_.push_back(std::to_string(uid) + (enable ? " on" : " off") +
                                     (interactive ? " interactive" : ""));
                }
                if (refuse_)
                    throw sdbus::Error("org.freedesktop.DBus.Error.AccessDenied", "Access denied by the policy");
            });
        object_->finishRegistration();
        connection_->enterEventLoopAsync();
    }
    ~FakeLogind() { connection_->leaveEventLoop(); }

    std::vector<std::string> calls()
    {
        std::lock_guard lock(mutex_);
        return calls_;
    }

private:
    const bool refuse_;
    std::unique_ptr<sdbus::IConnection> connection_;
    std::unique_ptr<sdbus::IObject> object_;
    std::mutex mutex_; // guards calls_
    std::vector<std::string> calls_;
};

class Lingering : public ::testing::Test {
protected:
    void SetUp() override
    {
        const passwd* entry = getpwuid(getuid());
        if (entry && std::filesystem::exists(std::filesystem::path("/var/lib/systemd/linger") / entry->pw_name))
            GTEST_SKIP() << "this user lingers already; logind is not asked";
        setenv("DBUS_SYSTEM_BUS_ADDRESS", bus.address().c_str(), 1);
    }

    PrivateBus bus;
};

TEST_F(Lingering, ServiceRegistrationAsksLogindToLetTheUserLinger)
{
    FakeLogind logind(false);
    const LingerResult result = EnableLingering();
    EXPECT_EQ(result.outcome, LingerResult::Outcome::Enabled) << result.reason;
    EXPECT_EQ(logind.calls(), std::vector<std::string>{std::to_string(getuid()) + " on"})
        << "never an interactive prompt";
    EXPECT_TRUE(LingerHint(result).empty());

    std::string output;
    const auto program = InstallProgramCopy("pixtera2");
    ASSERT_EQ(RunProgram({program.string(), "-Service"}, &output), 0) << output;
    EXPECT_EQ(logind.calls().size(), 2u) << "pixtera2 -Service asked as well";
    EXPECT_EQ(output.find("linger"), std::string::npos) << output;
}

TEST_F(Lingering, ARefusalOrNoLogindIsExplainedWithTheCommandToRunByHand)
{
    {
        FakeLogind logind(true);
        const LingerResult refused = EnableLingering();
        EXPECT_EQ(refused.outcome, LingerResult::Outcome::Refused);
        EXPECT_NE(LingerHint(refused).find("Access denied by the policy"), std::string::npos) << LingerHint(refused);
        EXPECT_NE(LingerHint(refused).find("loginctl enable-linger"), std::string::npos);

        std::string output;
        const auto program = InstallProgramCopy("pixtera2");
        EXPECT_EQ(RunProgram({program.string(), "-Service"}, &output), 0) << "the service is registered all the same";
        EXPECT_NE(output.find("loginctl enable-linger"), std::string::npos) << output;
    }
    const LingerResult nobody = EnableLingering(); // the name has no owner now
    EXPECT_EQ(nobody.outcome, LingerResult::Outcome::Unavailable);
    EXPECT_NE(LingerHint(nobody).find("loginctl enable-linger"), std::string::npos);
}

} // namespace
