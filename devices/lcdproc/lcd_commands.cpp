// SPDX-License-Identifier: MIT
#include "lcd_commands.h"

#include <charconv>
#include <sstream>

namespace pixtera::lcdproc {
namespace {

constexpr unsigned char kBar = 8;

std::string RowWidget(int row) { return "r" + std::to_string(row + 1); }
std::string BarWidget(int row, int index) { return "b" + std::to_string(row + 1) + "_" + std::to_string(index); }

} // namespace

bool ParseConnectReply(std::string_view line, Geometry& geometry)
{
    if (line.rfind("connect", 0) != 0)
        return false;
    std::istringstream words{std::string(line)};
    std::string key;
    while (words >> key) {
        int* field = key == "wid"       ? &geometry.columns
                     : key == "hgt"     ? &geometry.rows
                     : key == "cellwid" ? &geometry.cellWidth
                     : key == "cellhgt" ? &geometry.cellHeight
                                        : nullptr;
        std::string value;
        if (field && words >> value) {
            int number = 0;
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), number);
            if (ec == std::errc() && end == value.data() + value.size() && number > 0)
                *field = number;
        }
    }
    return true;
}

std::string Quoted(std::string_view text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

char StandIn(unsigned char code)
{
    // User character k has rows 0 to k lit: a thin line, a half block or a full block.
    const int rows = (code & 7) + 1;
    return rows <= 2 ? '-' : rows <= 5 ? '=' : '#';
}

FrameCommands::FrameCommands(const Geometry& geometry)
    : geometry_(geometry),
      shown_(static_cast<std::size_t>(geometry.rows)),
      barWidgets_(static_cast<std::size_t>(geometry.rows))
{
}

std::vector<std::string> FrameCommands::Setup(const std::string& priority) const
{
    std::vector<std::string> commands = {"client_set -name Pixtera", std::string("screen_add ") + kScreen,
                                         std::string("screen_set ") + kScreen + " -name Pixtera -priority " + priority +
                                             " -heartbeat off"};
    for (int row = 0; row < geometry_.rows; ++row)
        commands.push_back(std::string("widget_add ") + kScreen + " " + RowWidget(row) + " string");
    return commands;
}

std::vector<std::string> FrameCommands::RowCommands(int row, std::string_view cells)
{
    std::vector<std::string> commands;
    std::string text;
    std::vector<std::pair<int, int>> bars; // start column, length in cells
    for (int column = 0; column < static_cast<int>(cells.size()); ++column) {
        const auto code = static_cast<unsigned char>(cells[static_cast<std::size_t>(column)]);
        if (code == kBar) {
            if (bars.empty() || bars.back().first + bars.back().second != column)
                bars.emplace_back(column, 0);
            ++bars.back().second;
            text += ' ';
        } else {
            text += code < 16 ? StandIn(code) : code < 32 ? ' ' : static_cast<char>(code);
        }
    }
    const std::string y = std::to_string(row + 1);
    commands.push_back(std::string("widget_set ") + kScreen + " " + RowWidget(row) + " 1 " + y + " " + Quoted(text));
    int& widgets = barWidgets_[static_cast<std::size_t>(row)];
    for (int index = 0; index < static_cast<int>(bars.size()) || index < widgets; ++index) {
        if (index >= widgets) {
            commands.push_back(std::string("widget_add ") + kScreen + " " + BarWidget(row, index) + " hbar");
            ++widgets;
        }
        const bool used = index < static_cast<int>(bars.size());
        const int x = used ? bars[static_cast<std::size_t>(index)].first + 1 : 1;
        const int pixels = used ? bars[static_cast<std::size_t>(index)].second * geometry_.cellWidth : 0;
        commands.push_back(std::string("widget_set ") + kScreen + " " + BarWidget(row, index) + " " +
                           std::to_string(x) + " " + y + " " + std::to_string(pixels));
    }
    return commands;
}

std::vector<std::string> FrameCommands::Update(std::string_view frame, std::vector<int>& rows)
{
    std::vector<std::string> commands;
    rows.clear();
    const auto columns = static_cast<std::size_t>(geometry_.columns);
    for (int row = 0; row < geometry_.rows; ++row) {
        // Frames of another size are cut or padded to LCDd's display.
        std::string cells(frame.substr(std::min(frame.size(), static_cast<std::size_t>(row) * columns), columns));
        cells.resize(columns, ' ');
        std::string& shown = shown_[static_cast<std::size_t>(row)];
        if (cells == shown)
            continue;
        for (auto& command : RowCommands(row, cells)) {
            commands.push_back(std::move(command));
            rows.push_back(row);
        }
        shown = cells;
    }
    return commands;
}

void FrameCommands::Forget(int row)
{
    if (row >= 0 && row < geometry_.rows)
        shown_[static_cast<std::size_t>(row)].clear();
}

void FrameCommands::ForgetAll()
{
    for (auto& row : shown_)
        row.clear();
    for (auto& widgets : barWidgets_)
        widgets = 0;
}

} // namespace pixtera::lcdproc
