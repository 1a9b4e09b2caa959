// SPDX-License-Identifier: MIT
#include "system_sampler.h"

#include "sampler_fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace {

using namespace pixtera;
using Clock = std::chrono::steady_clock;

class SystemSamplerTest : public test::SamplerFixture {
protected:
    void SetUp() override
    {
        setenv("TZ", "UTC", 1);
        tzset();
        Write("proc/stat", "cpu  100 0 100 800 0 0 0 0 0 0\ncpu0 50 0 50 400 0 0 0 0 0 0\n"
                           "cpu1 50 0 50 400 0 0 0 0 0 0\nintr 1 2 3\n");
        Write("proc/loadavg", "0.50 0.25 0.10 1/123 4567\n");
        Write("proc/meminfo", "MemTotal:        1000 kB\nMemFree:          100 kB\nMemAvailable:     400 kB\n"
                              "SwapTotal:        200 kB\nSwapFree:         150 kB\n");
        Write("proc/net/dev", "Inter-|   Receive |  Transmit\n face |bytes packets|bytes\n"
                              "    lo: 1000 10 0 0 0 0 0 0 1000 10 0 0 0 0 0 0\n"
                              "  eth0: 5000 50 0 0 0 0 0 0 7000 70 0 0 0 0 0 0\n");
        Write("proc/mounts", "/dev/root / ext4 rw 0 0\ntmpfs /run tmpfs rw 0 0\n/dev/root / ext4 rw 0 0\n");
        Write("proc/uptime", "93784.5 1000.0\n");
        Write("proc/sys/kernel/hostname", "lcdbox\n");
        Write("sys/class/thermal/thermal_zone0/type", "x86_pkg_temp\n");
        Write("sys/class/thermal/thermal_zone0/temp", "45500\n");
        Write("sys/class/hwmon/hwmon2/name", "coretemp\n");
        Write("sys/class/hwmon/hwmon2/temp1_input", "51000\n");
        Write("sys/class/hwmon/hwmon2/temp1_label", "Core 0\n");
        Write("sys/class/hwmon/hwmon2/temp2_input", "garbage\n");
    }

    SystemSampler MakeSampler() { return SystemSampler({root / "proc", root / "sys"}, "%d.%m.%Y"); }
};

TEST_F(SystemSamplerTest, CpuUsageIsTheBusyShareBetweenTwoSamples)
{
    auto sampler = MakeSampler();
    auto items = sampler.Sample(start, wall);
    EXPECT_DOUBLE_EQ(Number(items, "CPU.Total"), 20.0) << "the first sample averages since boot";
    EXPECT_EQ(Find(items, "CPU.Core1")->description, "System\\CPU\\Core 1");
    Write("proc/stat", "cpu  190 0 110 900 0 0 0 0 0 0\ncpu0 100 0 50 400 0 0 0 0 0 0\ncpu1 90 0 60 500 0 0 0 0 0 0\n");
    items = sampler.Sample(start + std::chrono::seconds(1), wall + 1);
    EXPECT_DOUBLE_EQ(Number(items, "CPU.Total"), 50.0);
    EXPECT_DOUBLE_EQ(Number(items, "CPU.Core0"), 100.0);
    EXPECT_NEAR(Number(items, "CPU.Core1"), 100.0 * 50 / 150, 1e-9);
}

TEST_F(SystemSamplerTest, MemoryLoadUptimeHostAndTemperatures)
{
    auto items = MakeSampler().Sample(start, wall);
    EXPECT_DOUBLE_EQ(Number(items, "Memory.Total"), 1024000);
    EXPECT_DOUBLE_EQ(Number(items, "Memory.Used"), 600 * 1024);
    EXPECT_DOUBLE_EQ(Number(items, "Memory.Free"), 400 * 1024);
    EXPECT_DOUBLE_EQ(Number(items, "Memory.UsedPercent"), 60);
    EXPECT_DOUBLE_EQ(Number(items, "Swap.Used"), 50 * 1024);
    EXPECT_DOUBLE_EQ(Number(items, "Swap.UsedPercent"), 25);
    EXPECT_DOUBLE_EQ(Number(items, "Load.5"), 0.25);
    EXPECT_EQ(Text(items, "Uptime.Text"), "1d 02:03:04");
    EXPECT_EQ(Text(items, "HostName"), "lcdbox");
    EXPECT_DOUBLE_EQ(Number(items, "Temperature.x86_pkg_temp.0"), 45.5);
    EXPECT_DOUBLE_EQ(Number(items, "Temperature.coretemp.Core 0"), 51);
    EXPECT_EQ(Find(items, "Temperature.coretemp.temp2"), nullptr) << "an unreadable sensor is left out";
    EXPECT_EQ(Find(items, "Memory.Total")->description, "System\\Memory\\Total");
}

TEST_F(SystemSamplerTest, DatesAndTimes)
{
    const auto items = MakeSampler().Sample(start, wall);
    EXPECT_EQ(Text(items, "Time"), "13:00:00");
    EXPECT_EQ(Text(items, "Time.Short"), "13:00");
    EXPECT_EQ(Text(items, "Date"), "2025-12-07");
    EXPECT_EQ(Text(items, "Weekday"), "Sunday");
    EXPECT_EQ(Text(items, "DateTime"), "07.12.2025") << "the configured format";
}

TEST_F(SystemSamplerTest, NetworkRatesComeFromTwoSamplesAndSurviveACounterWrap)
{
    auto sampler = MakeSampler();
    auto items = sampler.Sample(start, wall);
    EXPECT_DOUBLE_EQ(Number(items, "Network.eth0.Received"), 5000);
    EXPECT_DOUBLE_EQ(Number(items, "Network.eth0.ReceivedPerSecond"), 0) << "no rate from one sample";
    Write("proc/net/dev", "h\nh\n    lo: 1000 10 0 0 0 0 0 0 1000 10 0 0 0 0 0 0\n"
                          "  eth0: 9000 50 0 0 0 0 0 0 7000 70 0 0 0 0 0 0\n");
    items = sampler.Sample(start + std::chrono::seconds(2), wall + 2);
    EXPECT_DOUBLE_EQ(Number(items, "Network.eth0.ReceivedPerSecond"), 2000);
    EXPECT_DOUBLE_EQ(Number(items, "Network.eth0.SentPerSecond"), 0);
    EXPECT_DOUBLE_EQ(Number(items, "Network.All.ReceivedPerSecond"), 2000) << "everything but the loopback";
    EXPECT_DOUBLE_EQ(Number(items, "Network.All.Received"), 9000);

    Write("proc/net/dev", "h\nh\n  eth0: 4294967040 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n");
    sampler.Sample(start + std::chrono::seconds(3), wall + 3);
    Write("proc/net/dev", "h\nh\n  eth0: 256 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n");
    items = sampler.Sample(start + std::chrono::seconds(4), wall + 4);
    EXPECT_DOUBLE_EQ(Number(items, "Network.eth0.ReceivedPerSecond"), 512) << "a 32-bit counter wrapped";
    EXPECT_EQ(Find(items, "Network.lo.Received"), nullptr) << "a vanished interface is gone";
}

TEST_F(SystemSamplerTest, CounterDeltas)
{
    EXPECT_EQ(CounterDelta(100, 150), 50u);
    EXPECT_EQ(CounterDelta(0xFFFFFFF0ull, 0x10), 0x20u);
    EXPECT_EQ(CounterDelta(0x1FFFFFFFFull, 5), 0u) << "a 64-bit counter going back was reset";
}

TEST_F(SystemSamplerTest, DisksOnBlockDevicesOnly)
{
    const auto stick = root / "media" / "My Disk\\1";
    std::filesystem::create_directories(stick);
    Write("proc/mounts", "/dev/root / ext4 rw 0 0\ntmpfs /run tmpfs rw 0 0\n/dev/root / ext4 rw 0 0\n/dev/sdb1 " +
                             (root / "media").string() + "/My\\040Disk\\1341 vfat rw 0 0\n");
    const auto items = MakeSampler().Sample(start, wall);
    EXPECT_GT(Number(items, "Disk." + stick.string() + ".Total"), 0) << "the mount table's escapes are decoded";
    EXPECT_GT(Number(items, "Disk./.Total"), 0);
    EXPECT_EQ(Find(items, "Disk./run.Total"), nullptr) << "tmpfs is no disk";
    int roots = 0;
    for (const auto& item : items)
        roots += item.name == "Disk./.Total";
    EXPECT_EQ(roots, 1) << "a mount point listed twice is counted once";
}

TEST_F(SystemSamplerTest, MissingFilesOnlyLeaveItemsOut)
{
    SystemSampler sampler({root / "nothing", root / "nothing"}, "%H");
    const auto items = sampler.Sample(start, wall);
    EXPECT_EQ(Find(items, "CPU.Total"), nullptr);
    EXPECT_NE(Find(items, "Time"), nullptr) << "the clock needs no file";
}

} // namespace
