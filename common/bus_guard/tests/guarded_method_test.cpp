// SPDX-License-Identifier: MIT
// Methods under a HandlerGuard, called from another connection: whatever the handler throws, and
// whatever the caller sends, the caller gets an error and the next call is served.

#include "bus_peers.h"

#include <pixtera/bus/handler_guard.h>

#include "captured_log.h"
#include "private_bus.h"
#include "test_environment.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <vector>

namespace {

using namespace pixtera;
using namespace pixtera::bus::test;
using pixtera::bus::HandlerGuard;

class GuardedMethodTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        object = sdbus::createObject(server.connection(), "/test");
        guard.Method(*object, "Item")
            .onInterface(kTestInterface)
            .withInputParamNames("index")
            .withOutputParamNames("item")
            .implementedAs([](std::int32_t index) {
                return std::vector<std::int32_t>{10, 20, 30}.at(index);
            });
        guard.Method(*object, "Grow").onInterface(kTestInterface).implementedAs([] { throw std::bad_alloc(); });
        guard.Method(*object, "Refuse").onInterface(kTestInterface).implementedAs([] {
            throw sdbus::Error("org.pixtera.Error.E_FAIL", "0x80004005: refused");
        });
        guard.Method(*object, "Garble").onInterface(kTestInterface).implementedAs([] {
            throw std::runtime_error("caf\xC3 \xFF"); // a plug-in's text need not be UTF-8
        });
        guard.Method(*object, "Text")
            .onInterface(kTestInterface)
            .withInputParamNames("value")
            .withOutputParamNames("text")
            .implementedAs([](const sdbus::Variant& value) { return value.get<std::string>(); });
        guard.Method(*object, "Pair").onInterface(kTestInterface).implementedAs([](bool swap) {
            return swap ? std::tuple<std::int32_t, std::string>(2, "one")
                        : std::tuple<std::int32_t, std::string>(1, "two");
        });
        object->finishRegistration();
        server.Start();
        proxy = sdbus::createProxy(*client, server.name(), "/test");
    }

    // The error a call ends in: its name, or "" when it succeeded.
    template <class... Arguments>
    std::string ErrorOf(const std::string& member, const Arguments&... arguments)
    {
        try {
            auto call = proxy->createMethodCall(kTestInterface, member);
            (void)(call << ... << arguments);
            proxy->callMethod(call);
            return "";
        } catch (const sdbus::Error& error) {
            return error.getName();
        }
    }

    std::int32_t Item(std::int32_t index)
    {
        std::int32_t item = 0;
        proxy->callMethod("Item").onInterface(kTestInterface).withArguments(index).storeResultsTo(item);
        return item;
    }

    pixtera::test::PrivateBus bus;
    pixtera::test::CapturedLog log;
    HandlerGuard guard{"Test"};
    Listener server;
    std::unique_ptr<sdbus::IObject> object;
    std::unique_ptr<sdbus::IConnection> client = sdbus::createSessionBusConnection();
    std::unique_ptr<sdbus::IProxy> proxy;
};

TEST_F(GuardedMethodTest, AnythingAHandlerThrowsIsAnErrorReplyAndTheNextCallIsServed)
{
    EXPECT_EQ(Item(1), 20);
    EXPECT_EQ(ErrorOf("Item", std::int32_t{7}), "org.freedesktop.DBus.Error.Failed") << "std::out_of_range";
    EXPECT_EQ(ErrorOf("Item", std::int32_t{-1}), "org.freedesktop.DBus.Error.Failed");
    EXPECT_EQ(ErrorOf("Grow"), "org.freedesktop.DBus.Error.NoMemory");
    EXPECT_EQ(ErrorOf("Refuse"), "org.pixtera.Error.E_FAIL") << "a bus error is the reply as it is";
    EXPECT_EQ(ErrorOf("Garble"), "org.freedesktop.DBus.Error.Failed") << "answered, its text made UTF-8";
    EXPECT_EQ(Item(2), 30);

    const std::string caller = client->getUniqueName();
    EXPECT_EQ(log.Count("Test: org.pixtera.Test.Item called by " + caller + " failed"), 1) << "named once per caller\n"
                                                                                           << log.Text();
    EXPECT_EQ(log.Count("Refuse"), 0) << "an error the handler chose is no fault";
}

TEST_F(GuardedMethodTest, ArgumentsOfOtherTypesOrTooFewAreErrorsAndSoIsAVariantOfAnotherType)
{
    EXPECT_EQ(ErrorOf("Item", std::string("1")), "org.freedesktop.DBus.Error.InvalidArgs");
    EXPECT_EQ(ErrorOf("Item"), "org.freedesktop.DBus.Error.InvalidArgs");
    EXPECT_NE(ErrorOf("Text", sdbus::Variant(std::int32_t{4})), "");
    std::string text;
    proxy->callMethod("Text")
        .onInterface(kTestInterface)
        .withArguments(sdbus::Variant(std::string("four")))
        .storeResultsTo(text);
    EXPECT_EQ(text, "four");
    EXPECT_EQ(Item(0), 10);
}

TEST_F(GuardedMethodTest, TheHandlersTypesAreTheMethodsSignature)
{
    std::int32_t number = 0;
    std::string text;
    proxy->callMethod("Pair").onInterface(kTestInterface).withArguments(true).storeResultsTo(number, text);
    EXPECT_EQ(number, 2);
    EXPECT_EQ(text, "one");
    std::string xml;
    proxy->callMethod("Introspect").onInterface("org.freedesktop.DBus.Introspectable").storeResultsTo(xml);
    EXPECT_NE(xml.find(R"(<arg type="i" name="index" direction="in"/>)"), std::string::npos) << xml;
    EXPECT_NE(xml.find(R"(<arg type="i" name="item" direction="out"/>)"), std::string::npos) << xml;
}

} // namespace
