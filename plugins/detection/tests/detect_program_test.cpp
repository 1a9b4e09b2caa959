// SPDX-License-Identifier: MIT
// The real pixtera-detect, its kernel calls diverted by LD_PRELOAD to models: the whole path from
// listing /dev and open("/dev/i2c-N") to the lines printed and the configuration written.

#include "test_environment.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status;
    std::string output;
};

Outcome RunDetect(const fs::path& devices, const std::string& modules, std::vector<std::string> arguments)
{
    const char* asan = std::getenv("ASAN_OPTIONS");
    std::vector<std::string> argv{
        "/usr/bin/env", "LD_PRELOAD=" + (pixtera::test::TestModuleDirectory() / "libfake-i2c-preload.so").string(),
        // the sanitizer runtimes want to come first; the preload is no instrumented code
        std::string("ASAN_OPTIONS=") + (asan ? asan : "") + ":verify_asan_link_order=0",
        "PIXTERA_FAKE_DEV=" + devices.string(), "PIXTERA_FAKE_I2C=" + modules,
        (pixtera::test::ProgramDirectory() / "pixtera-detect").string(), "--no-serial", "--no-lcdd"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    Outcome outcome;
    outcome.status = pixtera::test::RunProgram(argv, &outcome.output);
    return outcome;
}

TEST(DetectProgram, FindsModulesThroughTheKernelCallsAndWritesThem)
{
    const fs::path devices = pixtera::test::TestDirectory() / "fake-dev";
    fs::create_directories(devices);
    for (const char* name : {"i2c-1", "i2c-4", "null"})
        std::ofstream(devices / name) << "";

    auto run = RunDetect(devices, "1:0x27:a,4:0x3f:b,4:0x21:a-norw", {});
    EXPECT_EQ(run.status, 0) << run.output;
    for (const char* line : {"Pixtera.HD44780I2C bus=1;address=0x27;pinmap=a;columns=20;rows=4;backlight=on\n",
                             "Pixtera.HD44780I2C bus=4;address=0x3f;pinmap=b;columns=20;rows=4;backlight=on\n",
                             "Pixtera.HD44780I2C bus=4;address=0x21;pinmap=a;columns=20;rows=4;backlight=on\n",
                             "found /dev/i2c-4 address 0x21: pin map unknown, try pinmap=a first"})
        EXPECT_NE(run.output.find(line), std::string::npos) << line << " in\n" << run.output;

    const fs::path file = devices.parent_path() / "detect-program.xml";
    run = RunDetect(devices, "1:0x27:a", {"--bus", "1", "--size", "16x2", "--write", "--config", file.string()});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(pixtera::test::FileText(file).find(
                  "configuration=\"bus=1;address=0x27;pinmap=a;columns=16;rows=2;backlight=on\""),
              std::string::npos)
        << pixtera::test::FileText(file);

    run = RunDetect(devices, "", {});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("/dev/i2c-1: no device answered at 0x20-0x27 or 0x38-0x3f"), std::string::npos)
        << run.output;
}

} // namespace
