// SPDX-License-Identifier: MIT
// The real pixtera-detect, its kernel calls diverted by LD_PRELOAD to models: the whole path from
// listing /dev and open("/dev/i2c-N") to the lines printed and the configuration written, and
// every byte each chip on the bus was sent.

#include "test_environment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status;
    std::string output;
};

Outcome RunDetect(const fs::path& devices, const std::string& modules, std::vector<std::string> arguments,
                  const fs::path& transfers = {})
{
    const char* asan = std::getenv("ASAN_OPTIONS");
    std::vector<std::string> argv{
        "/usr/bin/env", "LD_PRELOAD=" + (pixtera::test::TestModuleDirectory() / "libfake-i2c-preload.so").string(),
        // the sanitizer runtimes want to come first; the preload is no instrumented code
        std::string("ASAN_OPTIONS=") + (asan ? asan : "") + ":verify_asan_link_order=0",
        "PIXTERA_FAKE_DEV=" + devices.string(), "PIXTERA_FAKE_I2C=" + modules,
        "PIXTERA_FAKE_I2C_LOG=" + transfers.string(), (pixtera::test::ProgramDirectory() / "pixtera-detect").string(),
        "--no-serial", "--no-lcdd"};
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

struct Transfer {
    char direction; // 'w' or 'r'
    std::string bytes;
};

// The fake bus's record of what each address was sent and gave, in order.
std::map<int, std::vector<Transfer>> TransfersByAddress(const fs::path& log)
{
    std::map<int, std::vector<Transfer>> transfers;
    for (const auto& line : pixtera::test::FileLines(log)) {
        std::istringstream fields(line);
        int bus = 0;
        std::string address, hex;
        Transfer transfer{};
        fields >> bus >> address >> transfer.direction >> hex;
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
            transfer.bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
        transfers[std::stoi(address, nullptr, 16)].push_back(transfer);
    }
    return transfers;
}

TEST(DetectProgram, ChipsThatAreNoExpanderAreNeverListedAndGetSingleBytesUntilTheirFirstWrongReadBack)
{
    const fs::path devices = pixtera::test::TestDirectory() / "fake-dev-chips";
    fs::create_directories(devices);
    std::ofstream(devices / "i2c-1") << "";
    const fs::path log = devices.parent_path() / "chip-transfers.log";
    const fs::path file = devices.parent_path() / "detect-chips.xml";
    fs::remove(log);

    const auto run = RunDetect(devices, "1:0x27:a,1:0x38:const18,1:0x20:register,1:0x3c:eeprom",
                               {"--write", "--config", file.string()}, log);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("Pixtera.HD44780I2C bus=1;address=0x27;pinmap=a;"), std::string::npos) << run.output;
    const std::string written = pixtera::test::FileText(file);
    EXPECT_NE(written.find("address=0x27"), std::string::npos) << written;

    const auto transfers = TransfersByAddress(log);
    for (const char* address : {"0x38", "0x20", "0x3c"}) {
        SCOPED_TRACE(address);
        EXPECT_EQ(run.output.find(std::string("address=") + address), std::string::npos) << run.output;
        EXPECT_EQ(written.find(std::string("address=") + address), std::string::npos) << written;
        EXPECT_NE(run.output.find(std::string("/dev/i2c-1 address ") + address + ": answers, but is no PCF8574"),
                  std::string::npos)
            << run.output;

        const auto chip = transfers.find(std::stoi(address, nullptr, 16));
        ASSERT_NE(chip, transfers.end()) << "it was read at least";
        std::size_t bytes = 0;
        std::optional<char> lastWritten;
        bool readBackFailed = false;
        for (const auto& transfer : chip->second) {
            if (transfer.direction == 'w') {
                EXPECT_FALSE(readBackFailed) << "written to after its read-back failed";
                EXPECT_EQ(transfer.bytes.size(), 1u) << "more than one byte in a write";
                bytes += transfer.bytes.size();
                lastWritten = transfer.bytes.back();
            } else if (lastWritten && transfer.bytes != std::string(1, *lastWritten)) {
                readBackFailed = true;
            }
        }
        EXPECT_LE(bytes, 3u) << "at most the three pin patterns";
        if (std::string(address) == "0x38") {
            EXPECT_EQ(bytes, 1u) << "a chip reading 0x18 fails the first read-back";
        }
    }
    const auto backpack = transfers.find(0x27);
    ASSERT_NE(backpack, transfers.end());
    EXPECT_GT(backpack->second.size(), 10u) << "the expander found is probed further";
}

TEST(DetectProgram, McpBackpacksAreIdentifiedByReadingAloneAndListedWithTheirExpander)
{
    const fs::path devices = pixtera::test::TestDirectory() / "fake-dev-mcp";
    fs::create_directories(devices);
    std::ofstream(devices / "i2c-1") << "";
    const fs::path log = devices.parent_path() / "mcp-transfers.log";
    const fs::path file = devices.parent_path() / "detect-mcp.xml";
    fs::remove(log);

    const auto run = RunDetect(devices, "1:0x20:mcp23017,1:0x21:mcp23008,1:0x27:a,1:0x38:const18",
                               {"--write", "--config", file.string()}, log);
    EXPECT_EQ(run.status, 0) << run.output;
    for (const char* line :
         {"Pixtera.HD44780I2C bus=1;address=0x20;expander=mcp23017;pinmap=plate;columns=20;rows=4;backlight=on\n",
          "Pixtera.HD44780I2C bus=1;address=0x21;expander=mcp23008;pinmap=adafruit;columns=20;rows=4;backlight=on\n",
          "found /dev/i2c-1 address 0x20: MCP23017 at 0x20", "found /dev/i2c-1 address 0x21: MCP23008 at 0x21",
          "Pixtera.HD44780I2C bus=1;address=0x27;pinmap=a;"})
        EXPECT_NE(run.output.find(line), std::string::npos) << line << " in\n" << run.output;
    EXPECT_NE(pixtera::test::FileText(file).find("address=0x20;expander=mcp23017;pinmap=plate"), std::string::npos)
        << pixtera::test::FileText(file);

    const auto transfers = TransfersByAddress(log);
    for (const int address : {0x20, 0x21, 0x27, 0x38}) {
        SCOPED_TRACE(address);
        const auto chip = transfers.find(address);
        ASSERT_NE(chip, transfers.end());
        EXPECT_EQ(chip->second.front().direction, 'r') << "read before anything is written";
        const bool mcp = address < 0x22;
        EXPECT_EQ(
            std::any_of(chip->second.begin(), chip->second.end(), [](const Transfer& t) { return t.direction == 'w'; }),
            !mcp)
            << "an MCP is told by reading alone";
    }
}

} // namespace
