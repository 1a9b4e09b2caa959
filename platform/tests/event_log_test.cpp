// SPDX-License-Identifier: MIT
#include <pixtera/platform/event_log.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

using namespace pixtera;

// The log line as it reaches standard output (the terminal the service runs in).
std::string LoggedToStandardOutput(std::string_view message)
{
    std::fflush(stdout);
    char path[] = "/tmp/pixtera-log-XXXXXX";
    const int file = mkstemp(path);
    EXPECT_GE(file, 0);
    const int saved = dup(STDOUT_FILENO);
    dup2(file, STDOUT_FILENO);
    SetLogCapture({});
    SetLogSink(LogSink::StandardOutput);
    LogWarning(message);
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    close(file);
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    unlink(path);
    return text.str();
}

TEST(EventLog, TextFromOutsideReachesTheTerminalWithoutItsControlCodes)
{
    // A program's error line, a design's name: whatever it holds, it must not clear the screen,
    // move the cursor over a drawn display, or overwrite its own line.
    const std::string line = LoggedToStandardOutput("failed: a\x1b[2Jb\xC2\x9B"
                                                    "31mc\rd\x7F\x07 Ж\tok");
    EXPECT_EQ(line.find('\x1b'), std::string::npos) << line;
    EXPECT_EQ(line.find('\r'), std::string::npos) << line;
    EXPECT_EQ(line.find("\xC2\x9B"), std::string::npos) << line;
    EXPECT_NE(line.find("failed: a?[2Jb?31mc?d?? Ж\tok\n"), std::string::npos) << line;
}

} // namespace
