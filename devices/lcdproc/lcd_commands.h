// SPDX-License-Identifier: MIT
#pragma once
// The LCDd client protocol's commands for Pixtera's frames: one screen, one string widget per
// row, and hbar widgets for runs of the bar character. Only rows that changed since the last
// frame LCDd acknowledged are sent.

#include <string>
#include <string_view>
#include <vector>

namespace pixtera::lcdproc {

inline constexpr const char* kScreen = "pixtera";

struct Geometry {
    int columns = 20;
    int rows = 4;
    int cellWidth = 5;
    int cellHeight = 8;
};

// Reads "connect LCDproc 0.5.9 protocol 0.4 lcd wid 20 hgt 4 cellwid 5 cellhgt 8".
bool ParseConnectReply(std::string_view line, Geometry& geometry);

// A quoted argument: backslashes and quotes escaped.
std::string Quoted(std::string_view text);

// What stands for a user-defined character (codes 0-7 and 9-15) that a client cannot define.
char StandIn(unsigned char code);

class FrameCommands {
public:
    explicit FrameCommands(const Geometry& geometry);

    // The commands that set up the screen and its row widgets after connecting.
    std::vector<std::string> Setup(const std::string& priority) const;

    // The commands for the rows of `frame` (display code page bytes) that differ from what LCDd
    // shows; each command's row is noted in `rows`.
    std::vector<std::string> Update(std::string_view frame, std::vector<int>& rows);

    // LCDd did not take a command for this row: it is sent again with the next frame.
    void Forget(int row);
    // After a reconnect LCDd shows nothing of ours.
    void ForgetAll();

private:
    std::vector<std::string> RowCommands(int row, std::string_view cells);

    Geometry geometry_;
    std::vector<std::string> shown_; // per row, what LCDd was last sent ("" = unknown)
    std::vector<int> barWidgets_; // per row, how many hbar widgets exist
};

} // namespace pixtera::lcdproc
