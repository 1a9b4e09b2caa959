// SPDX-License-Identifier: MIT
// GPUs, every hwmon channel, disks' traffic and batteries, on copies of real machines' sysfs
// layouts: class directories are links into the device tree, as the kernel makes them.

#include "sampler_fixture.h"

#include <gtest/gtest.h>

namespace {

using namespace pixtera;

constexpr const char* kPciIds = "# pci.ids excerpt\n"
                                "1002  Advanced Micro Devices, Inc. [AMD/ATI]\n"
                                "\t73ff  Navi 23 [Radeon RX 6600/6600 XT/6600M]\n"
                                "\t\t1458 2405  Navi 23 [Radeon RX 6600 XT Gaming OC]\n"
                                "10de  NVIDIA Corporation\n"
                                "\t2504  GA106 [GeForce RTX 3060 Lite Hash Rate]\n"
                                "8086  Intel Corporation\n"
                                "\t4680  AlderLake-S GT1\n";

class MachineSensorsTest : public test::SamplerFixture {
protected:
    void SetUp() override { root = test::TestDirectory() / "machine"; }

    SystemSampler MakeSampler(const std::string& nvml = "absent-libnvidia-ml.so.1")
    {
        SystemSampler::Roots roots{root / "proc", root / "sys"};
        roots.pciIds = {root / "none" / "pci.ids", root / "pci.ids"};
        roots.nvml = nvml;
        return SystemSampler(roots, "%H");
    }

    // A GPU at a PCI address: the device directory, its driver and a DRM card linking to it.
    std::string Gpu(const std::string& card, const std::string& address, const std::string& driver,
                    const std::string& vendor, const std::string& device, const std::string& runtime = "active")
    {
        const std::string dir = "sys/devices/pci0000:00/" + address;
        Write(dir + "/vendor", vendor + "\n");
        Write(dir + "/device", device + "\n");
        Write(dir + "/power/runtime_status", runtime + "\n");
        Link(dir + "/driver", "sys/bus/pci/drivers/" + driver);
        Link("sys/class/drm/" + card + "/device", dir);
        Write("sys/class/drm/" + card + "-DP-1/status", "connected\n"); // a connector, no GPU
        return dir;
    }
};

TEST_F(MachineSensorsTest, GpusInPciOrderWithTheirDriversValues)
{
    Write("pci.ids", kPciIds);
    const std::string amd = Gpu("card1", "0000:03:00.0", "amdgpu", "0x1002", "0x73ff");
    Write(amd + "/gpu_busy_percent", "37\n");
    Write(amd + "/mem_info_vram_used", "1073741824\n");
    Write(amd + "/mem_info_vram_total", "8573157376\n");
    Write(amd + "/hwmon/hwmon5/name", "amdgpu\n");
    Write(amd + "/hwmon/hwmon5/temp1_input", "55000\n");
    Write(amd + "/hwmon/hwmon5/power1_average", "45000000\n");
    Write(amd + "/hwmon/hwmon5/fan1_input", "1200\n");
    Write(amd + "/hwmon/hwmon5/freq1_input", "2400000000\n");
    Gpu("card0", "0000:00:02.0", "i915", "0x8086", "0x4680");
    Write("sys/class/drm/card0/gt_cur_freq_mhz", "1300\n");
    Gpu("card2", "0000:07:00.0", "amdgpu", "0x1002", "0x9999"); // not in the database

    auto sampler = MakeSampler();
    const auto items = sampler.Sample(start, wall);
    EXPECT_EQ(Text(items, "GPU.0.Name"), "Intel AlderLake-S GT1");
    EXPECT_DOUBLE_EQ(Number(items, "GPU.0.Clock"), 1300);
    EXPECT_EQ(Find(items, "GPU.0.Busy"), nullptr) << "no cheap source: not offered";
    EXPECT_EQ(Text(items, "GPU.1.Name"), "AMD Radeon RX 6600/6600 XT/6600M");
    EXPECT_DOUBLE_EQ(Number(items, "GPU.1.Busy"), 37);
    EXPECT_DOUBLE_EQ(Number(items, "GPU.1.MemoryUsed"), 1073741824);
    EXPECT_DOUBLE_EQ(Number(items, "GPU.1.MemoryTotal"), 8573157376);
    EXPECT_DOUBLE_EQ(Number(items, "GPU.1.Temperature"), 55);
    EXPECT_DOUBLE_EQ(Number(items, "GPU.1.Power"), 45);
    EXPECT_DOUBLE_EQ(Number(items, "GPU.1.Fan"), 1200);
    EXPECT_DOUBLE_EQ(Number(items, "GPU.1.Clock"), 2400);
    EXPECT_EQ(Find(items, "GPU.1.Busy")->description, "System\\GPUs\\GPU 1\\Busy");
    EXPECT_EQ(Text(items, "GPU.2.Name"), "amdgpu 0000:07:00.0");
    EXPECT_EQ(Find(items, "GPU.3.Name"), nullptr) << "connectors are no GPUs";
}

TEST_F(MachineSensorsTest, ASuspendedGpuReadsSleepingAndIsNeverTouched)
{
    Write("pci.ids", kPciIds);
    const std::string nvidia = Gpu("card0", "0000:01:00.0", "nvidia", "0x10de", "0x2504", "suspended");
    Write(nvidia + "/hwmon/hwmon9/temp1_input", "40000\n");
    const std::string library = (test::TestModuleDirectory() / "libnvidia-ml.so.1").string();
    auto sampler = MakeSampler(library);
    auto items = sampler.Sample(start, wall);
    EXPECT_EQ(Text(items, "GPU.0.Name"), "NVIDIA GeForce RTX 3060 Lite Hash Rate");
    for (const char* value : {"Busy", "MemoryUsed", "MemoryTotal", "Temperature", "Power", "Clock", "Fan"})
        EXPECT_EQ(Text(items, std::string("GPU.0.") + value), "Sleeping") << value;
    for (const auto& file : sampler.openedFiles()) {
        if (file.find("0000:01:00.0") != std::string::npos) {
            EXPECT_TRUE(file.ends_with("/power/runtime_status") || file.ends_with("/vendor") ||
                        file.ends_with("/device"))
                << file << " was opened";
        }
    }

    // Awake, it is asked through NVML.
    Write(nvidia + "/power/runtime_status", "active\n");
    items = sampler.Sample(start + std::chrono::seconds(1), wall + 1);
    EXPECT_EQ(Text(items, "GPU.0.Name"), "NVIDIA GeForce RTX 3060");
    EXPECT_DOUBLE_EQ(Number(items, "GPU.0.Busy"), 12);
    EXPECT_DOUBLE_EQ(Number(items, "GPU.0.MemoryUsed"), 1073741824);
    EXPECT_DOUBLE_EQ(Number(items, "GPU.0.Temperature"), 48);
    EXPECT_DOUBLE_EQ(Number(items, "GPU.0.Power"), 31.5);
    EXPECT_DOUBLE_EQ(Number(items, "GPU.0.Clock"), 1777);

    // Without the library the GPU is still named, and nothing fails.
    auto without = MakeSampler();
    items = without.Sample(start, wall);
    EXPECT_EQ(Text(items, "GPU.0.Name"), "NVIDIA GeForce RTX 3060 Lite Hash Rate");
    EXPECT_EQ(Find(items, "GPU.0.Busy"), nullptr);
}

TEST_F(MachineSensorsTest, TheHwmonChipOfASuspendedGpuReadsSleepingAndIsNeverRead)
{
    const std::string amd = Gpu("card1", "0000:03:00.0", "amdgpu", "0x1002", "0x73ff", "suspended");
    const std::string chip = amd + "/hwmon/hwmon4";
    Write(chip + "/name", "amdgpu\n");
    Link(chip + "/device", amd);
    Link("sys/class/hwmon/hwmon4", chip);
    Write(chip + "/temp1_input", "45000\n");
    Write(chip + "/temp1_label", "edge\n");
    Write(chip + "/power1_average", "9000000\n");
    Write(chip + "/fan1_input", "0\n");
    auto sampler = MakeSampler();
    auto items = sampler.Sample(start, wall);
    for (const char* name : {"Temperature.amdgpu.edge", "Power.amdgpu.power1", "Fan.amdgpu.fan1"})
        EXPECT_EQ(Text(items, name), "Sleeping") << name;
    for (const auto& file : sampler.openedFiles())
        EXPECT_FALSE(file.ends_with("_input") || file.ends_with("_average")) << file << " was read";

    Write(amd + "/power/runtime_status", "active\n");
    items = sampler.Sample(start + std::chrono::seconds(1), wall + 1);
    EXPECT_DOUBLE_EQ(Number(items, "Temperature.amdgpu.edge"), 45);
    EXPECT_DOUBLE_EQ(Number(items, "Power.amdgpu.power1"), 9);
}

TEST_F(MachineSensorsTest, ThousandsOfSensorFilesKeepFewDescriptorsOpen)
{
    const std::string chip = "sys/devices/platform/many/hwmon/hwmon0";
    Write(chip + "/name", "many\n");
    Link("sys/class/hwmon/hwmon0", chip);
    constexpr int kSensors = 1100;
    for (int i = 1; i <= kSensors; ++i)
        Write(chip + "/temp" + std::to_string(i) + "_input", std::to_string(i * 1000) + "\n");
    auto openDescriptors = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
    const auto before = openDescriptors();
    auto sampler = MakeSampler();
    sampler.Sample(start, wall);
    const auto items = sampler.Sample(start + std::chrono::seconds(1), wall + 1);
    EXPECT_DOUBLE_EQ(Number(items, "Temperature.many.temp1"), 1);
    EXPECT_DOUBLE_EQ(Number(items, "Temperature.many.temp1100"), kSensors);
    EXPECT_LT(openDescriptors() - before, 300) << "the service's descriptors are shared with its bus and devices";
}

TEST_F(MachineSensorsTest, EveryHwmonChannelWithStableChipNames)
{
    // hwmon numbers in the opposite order of the devices: names follow the devices.
    auto chip = [&](const std::string& hwmon, const std::string& device, const std::string& name) {
        const std::string dir = "sys/devices/" + device + "/hwmon/" + hwmon;
        Write(dir + "/name", name + "\n");
        Link(dir + "/device", "sys/devices/" + device);
        Link("sys/class/hwmon/" + hwmon, dir);
        return dir;
    };
    const std::string nvme = chip("hwmon0", "pci0000:00/0000:04:00.0/nvme/nvme0", "nvme");
    Write("sys/devices/pci0000:00/0000:04:00.0/nvme/nvme0/model", "Samsung SSD 980 1TB          \n");
    Write(nvme + "/temp1_input", "38850\n");
    Write(nvme + "/temp1_label", "Composite\n");
    const std::string second = chip("hwmon1", "pci0000:00/0000:00:17.0/ata2/host1/target1:0:0/1:0:0:0", "drivetemp");
    const std::string first = chip("hwmon2", "pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0", "drivetemp");
    Write(first + "/temp1_input", "31000\n");
    Write(second + "/temp1_input", "33000\n");
    Write("sys/devices/pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0/model", "WDC WD40EFRX\n");
    const std::string board = chip("hwmon3", "platform/nct6775.656", "nct6798");
    Write(board + "/fan1_input", "812\n");
    Write(board + "/fan1_label", "CPU fan\n");
    Write(board + "/fan2_input", "0\n");
    Write(board + "/in0_input", "1200\n");
    Write(board + "/in0_label", "Vcore\n");
    Write(board + "/power1_input", "1000000\n");
    Write(board + "/power1_average", "65000000\n");
    Write(board + "/curr1_input", "1500\n");
    Write(board + "/temp1_max", "90000\n"); // a limit, not a reading

    auto sampler = MakeSampler();
    auto items = sampler.Sample(start, wall);
    EXPECT_DOUBLE_EQ(Number(items, "Temperature.nvme.Composite"), 38.85);
    EXPECT_EQ(Find(items, "Temperature.nvme.Composite")->description,
              "System\\Temperatures\\NVMe Samsung SSD 980 1TB\\Composite");
    EXPECT_DOUBLE_EQ(Number(items, "Temperature.drivetemp.1.temp1"), 31) << "ata1 comes first";
    EXPECT_DOUBLE_EQ(Number(items, "Temperature.drivetemp.2.temp1"), 33);
    EXPECT_EQ(Find(items, "Temperature.drivetemp.1.temp1")->description,
              "System\\Temperatures\\Disk WDC WD40EFRX\\temp1");
    EXPECT_DOUBLE_EQ(Number(items, "Fan.nct6798.CPU fan"), 812);
    EXPECT_EQ(Find(items, "Fan.nct6798.CPU fan")->description, "System\\Fans\\nct6798\\CPU fan");
    EXPECT_DOUBLE_EQ(Number(items, "Fan.nct6798.fan2"), 0);
    EXPECT_DOUBLE_EQ(Number(items, "Voltage.nct6798.Vcore"), 1.2);
    EXPECT_DOUBLE_EQ(Number(items, "Power.nct6798.power1"), 65) << "the average where both are offered";
    EXPECT_DOUBLE_EQ(Number(items, "Current.nct6798.curr1"), 1.5);
    EXPECT_EQ(Find(items, "Temperature.nct6798.temp1"), nullptr);

    // A chip that goes away takes its values with it, and brings them back under its name.
    std::filesystem::remove(root / "sys/class/hwmon/hwmon0");
    items = sampler.Sample(start + std::chrono::seconds(1), wall + 1);
    EXPECT_EQ(Find(items, "Temperature.nvme.Composite"), nullptr);
    Link("sys/class/hwmon/hwmon7", nvme);
    items = sampler.Sample(start + std::chrono::seconds(2), wall + 2);
    EXPECT_DOUBLE_EQ(Number(items, "Temperature.nvme.Composite"), 38.85);
}

TEST_F(MachineSensorsTest, WholeDisksTrafficBetweenTwoSamples)
{
    Write("sys/block/nvme0n1/size", "1000\n");
    Write("sys/block/loop0/size", "0\n");
    Write("proc/diskstats", " 259 0 nvme0n1 100 0 2000 50 200 0 4000 80 0 300 130 0 0 0 0\n"
                            " 259 1 nvme0n1p1 100 0 2000 50 200 0 4000 80 0 300 130 0 0 0 0\n"
                            "   7 0 loop0 1 0 8 0 0 0 0 0 0 0 0 0 0 0 0\n");
    auto sampler = MakeSampler();
    auto items = sampler.Sample(start, wall);
    EXPECT_DOUBLE_EQ(Number(items, "Disk.nvme0n1.ReadPerSecond"), 0) << "no rate from one sample";
    Write("proc/diskstats", " 259 0 nvme0n1 110 0 6000 50 210 0 5000 80 1 800 130 0 0 0 0\n");
    items = sampler.Sample(start + std::chrono::seconds(2), wall + 2);
    EXPECT_DOUBLE_EQ(Number(items, "Disk.nvme0n1.ReadPerSecond"), 4000.0 * 512 / 2);
    EXPECT_DOUBLE_EQ(Number(items, "Disk.nvme0n1.WritePerSecond"), 1000.0 * 512 / 2);
    EXPECT_DOUBLE_EQ(Number(items, "Disk.nvme0n1.Busy"), 25) << "500 ms of 2 s with I/O in flight";
    EXPECT_EQ(Find(items, "Disk.nvme0n1p1.Busy"), nullptr) << "partitions are left out";
    EXPECT_EQ(Find(items, "Disk.loop0.Busy"), nullptr);
}

TEST_F(MachineSensorsTest, BatteriesChargingAndDischarging)
{
    Write("sys/class/power_supply/AC/type", "Mains\n");
    Write("sys/class/power_supply/BAT0/type", "Battery\n");
    Write("sys/class/power_supply/BAT0/capacity", "62\n");
    Write("sys/class/power_supply/BAT0/status", "Charging\n");
    Write("sys/class/power_supply/BAT0/energy_now", "31000000\n");
    Write("sys/class/power_supply/BAT0/energy_full", "50000000\n");
    Write("sys/class/power_supply/BAT0/power_now", "15200000\n");
    Write("sys/class/power_supply/BAT1/type", "Battery\n");
    Write("sys/class/power_supply/BAT1/capacity", "40\n");
    Write("sys/class/power_supply/BAT1/status", "Discharging\n");
    Write("sys/class/power_supply/BAT1/charge_now", "2000000\n");
    Write("sys/class/power_supply/BAT1/current_now", "1500000\n");
    Write("sys/class/power_supply/BAT1/voltage_now", "11400000\n");
    // Energy counted in Wh, but no power_now: the rate is current times voltage.
    Write("sys/class/power_supply/BAT2/type", "Battery\n");
    Write("sys/class/power_supply/BAT2/status", "Discharging\n");
    Write("sys/class/power_supply/BAT2/energy_now", "20000000\n");
    Write("sys/class/power_supply/BAT2/current_now", "1000000\n");
    Write("sys/class/power_supply/BAT2/voltage_now", "10000000\n");

    const auto items = MakeSampler().Sample(start, wall);
    EXPECT_DOUBLE_EQ(Number(items, "Battery.BAT0.Percent"), 62);
    EXPECT_EQ(Text(items, "Battery.BAT0.Status"), "Charging");
    EXPECT_DOUBLE_EQ(Number(items, "Battery.BAT0.Power"), 15.2);
    EXPECT_EQ(Text(items, "Battery.BAT0.TimeLeft"), "1:15") << "19 Wh to full at 15.2 W";
    EXPECT_EQ(Text(items, "Battery.BAT1.Status"), "Discharging");
    EXPECT_NEAR(Number(items, "Battery.BAT1.Power"), 17.1, 1e-9);
    EXPECT_EQ(Text(items, "Battery.BAT1.TimeLeft"), "1:20") << "2 Ah at 1.5 A";
    EXPECT_DOUBLE_EQ(Number(items, "Battery.BAT2.Power"), 10);
    EXPECT_EQ(Text(items, "Battery.BAT2.TimeLeft"), "2:00") << "20 Wh at 1 A and 10 V";
    EXPECT_EQ(Find(items, "Battery.AC.Percent"), nullptr) << "mains is no battery";
}

} // namespace
