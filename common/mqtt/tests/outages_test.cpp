// SPDX-License-Identifier: MIT
// What a connection says of its outages and how long it pauses: one line per outage and one for
// its end, a broker that ends connections at once said once more and then not until a connection
// holds, and pauses that start again from the first only after a connection held.

#include "captured_log.h"
#include "outages.h"

#include <gtest/gtest.h>

namespace {

using namespace pixtera::mqtt;
using namespace std::chrono_literals;
using pixtera::test::CapturedLog;

TEST(Outages, EachOutageIsOneLineAndItsEndAnother)
{
    CapturedLog log;
    Outages outages("test", 1s, 60s, 60s);
    outages.Failed("cannot reach the broker at b:1: refused");
    outages.Failed("cannot reach the broker at b:1: refused");
    outages.Failed("cannot reach the broker at b:1: timed out");
    outages.Accepted("b:1");
    outages.Held("b:1");
    outages.Ended("b:1", "The connection was lost.");
    outages.Failed("cannot reach the broker at b:1: refused");
    outages.Accepted("b:1");
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"test: cannot reach the broker at b:1: refused; trying again",
                                                     "test: connected to the broker at b:1 again",
                                                     "test: lost the broker at b:1: The connection was lost.; "
                                                     "trying again",
                                                     "test: connected to the broker at b:1 again"}));
}

TEST(Outages, AWrongPasswordIsSaidOnceAndAnotherRefusalToo)
{
    CapturedLog log;
    Outages outages("test", 1s, 60s, 60s);
    outages.Failed("the broker refused the connection: not authorised", true);
    outages.Failed("the broker refused the connection: not authorised", true);
    outages.Failed("cannot reach the broker: lost", false);
    outages.Failed("the broker refused the connection: banned", true);
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"test: the broker refused the connection: not authorised",
                                                     "test: the broker refused the connection: banned"}));
}

TEST(Outages, ABrokerThatEndsEveryConnectionAtOnceIsSaidOnceMoreAndItsPausesKeepGrowing)
{
    CapturedLog log;
    Outages outages("test", 1s, 8s, 60s);
    std::vector<std::chrono::milliseconds> pauses;
    for (int i = 0; i < 6; ++i) {
        outages.Accepted("b:1");
        outages.Ended("b:1", "The connection was lost.");
        pauses.push_back(outages.NextPause());
    }
    EXPECT_EQ(pauses, (std::vector<std::chrono::milliseconds>{1s, 2s, 4s, 8s, 8s, 8s}))
        << "an accepted connection alone does not start the pauses again";
    EXPECT_EQ(log.Lines(),
              (std::vector<std::string>{"test: connected to the broker at b:1",
                                        "test: lost the broker at b:1: The connection was lost.; trying again",
                                        "test: connected to the broker at b:1 again",
                                        "test: the broker at b:1 ended the connection again before it held for 60 s "
                                        "(The connection was lost.; another client with the same id?); trying "
                                        "again after growing pauses"}));

    log.Clear();
    outages.Accepted("b:1");
    outages.Held("b:1");
    EXPECT_EQ(outages.NextPause(), 1s) << "a connection that held starts the pauses again";
    EXPECT_EQ(outages.NextPause(), 2s);
    EXPECT_EQ(log.Lines(),
              (std::vector<std::string>{"test: connected to the broker at b:1 again; the connection holds"}));
}

} // namespace
