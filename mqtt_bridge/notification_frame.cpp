// SPDX-License-Identifier: MIT
#include "notification_frame.h"

#include <vector>

namespace pixtera::bridge {
namespace {

// The text's characters, each its UTF-8 bytes.
std::vector<std::string> Characters(std::string_view text)
{
    std::vector<std::string> characters;
    for (char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) == 0x80 && !characters.empty())
            characters.back() += c;
        else
            characters.emplace_back(1, c);
    }
    return characters;
}

} // namespace

std::string NotificationFrame(std::string_view text, int columns, int rows)
{
    if (columns <= 0 || rows <= 0)
        return {};
    const auto width = static_cast<std::size_t>(columns);
    const std::vector<std::string> characters = Characters(text);
    std::vector<std::vector<std::string>> lines(1);
    for (std::size_t at = 0; at < characters.size() && lines.size() <= static_cast<std::size_t>(rows);) {
        if (characters[at] == " ") {
            if (!lines.back().empty() && lines.back().size() < width)
                lines.back().push_back(" ");
            ++at;
            continue;
        }
        std::size_t end = at;
        while (end < characters.size() && characters[end] != " ")
            ++end;
        const std::size_t word = end - at;
        std::vector<std::string>& line = lines.back();
        if (line.size() + word > width && !line.empty() && word <= width) {
            lines.emplace_back(); // the word goes to the next row whole
            continue;
        }
        // It fits, or it is longer than any row: as much as the row takes.
        const std::size_t taken = std::min(word, width - line.size());
        line.insert(line.end(), characters.begin() + static_cast<long>(at),
                    characters.begin() + static_cast<long>(at + taken));
        at += taken;
        if (line.size() == width && at < characters.size())
            lines.emplace_back();
    }
    std::string frame;
    for (int row = 0; row < rows; ++row) {
        std::size_t used = 0;
        if (static_cast<std::size_t>(row) < lines.size()) {
            auto& line = lines[static_cast<std::size_t>(row)];
            while (!line.empty() && line.back() == " ")
                line.pop_back();
            for (const auto& character : line)
                frame += character;
            used = line.size();
        }
        frame.append(width - used, ' ');
    }
    return frame;
}

} // namespace pixtera::bridge
