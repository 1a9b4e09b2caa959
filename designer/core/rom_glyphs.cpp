// SPDX-License-Identifier: MIT
#include "rom_glyphs.h"

#include <pixtera/sdk/letter_font.h>

#include <charconv>

namespace pixtera::designer {

// The chart files' text, generated into the build from rom_glyphs/*.glyphs.
extern const char* const kA00Chart;
extern const char* const kA02Chart;

namespace {

constexpr int kRows = 8;
constexpr int kDots = 5;

std::optional<std::uint8_t> RowBits(std::string_view line)
{
    if (line.size() != kDots)
        return std::nullopt;
    std::uint8_t bits = 0;
    for (char dot : line) {
        if (dot != '#' && dot != '.')
            return std::nullopt;
        bits = static_cast<std::uint8_t>(bits << 1 | (dot == '#'));
    }
    return bits;
}

constexpr int kNoGlyph = -1;

// "E1 ä": the code, then what it shows.
int Header(std::string_view line, std::string& name)
{
    int code = 0;
    const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), code, 16);
    if (error != std::errc{} || end != line.data() + 2 || line.size() < 4 || line[2] != ' ' || code < 0 || code > 0xFF)
        return kNoGlyph;
    name = line.substr(3);
    return code;
}

} // namespace

RomGlyphs ParseRomGlyphs(std::string_view text)
{
    RomGlyphs chart;
    int code = kNoGlyph; // the glyph being read
    Glyph glyph{};
    int row = 0;
    std::string name;
    for (std::size_t start = 0, number = 1; start < text.size(); ++number) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (line.empty() || line.front() == ';')
            continue;
        auto problem = [&](const char* what) {
            chart.problems.push_back("line " + std::to_string(number) + ": " + what + ": " + std::string(line));
        };
        if (code == kNoGlyph) {
            code = Header(line, name);
            if (code == kNoGlyph)
                problem("not a code and name");
            row = 0;
            glyph = {};
            continue;
        }
        const auto bits = RowBits(line);
        if (!bits) {
            problem("not a row of five dots");
            code = kNoGlyph;
            continue;
        }
        glyph[static_cast<std::size_t>(row++)] = *bits;
        if (row == kRows) {
            chart.glyphs[static_cast<std::size_t>(code)] = glyph;
            chart.names[static_cast<std::size_t>(code)] = name;
            code = kNoGlyph;
        }
    }
    if (code != kNoGlyph)
        chart.problems.push_back("the last glyph has fewer than eight rows");
    return chart;
}

// The Cyrillic ROM's letters are the SDK's letter font; the codes it leaves unused within ASCII
// are blank.
RomGlyphs CyrillicChart()
{
    RomGlyphs chart;
    for (int code = 0x20; code < 0x100; ++code) {
        const auto c = static_cast<std::uint8_t>(code);
        const std::string name = lcd::GlyphText(lcd::CharacterRom::Cyrillic, c);
        if (code < 0x80 && name.empty()) {
            chart.glyphs[c] = Glyph{};
            chart.names[c] = "blank";
        } else if (code >= 0x80 && !name.empty()) {
            chart.glyphs[c] = lcd::LetterGlyphOrPlaceholder(lcd::rom_detail::SingleCodePoint(name));
            chart.names[c] = name;
        }
    }
    return chart;
}

const RomGlyphs& ChartOf(lcd::CharacterRom rom)
{
    static const RomGlyphs a00 = ParseRomGlyphs(kA00Chart);
    static const RomGlyphs a02 = ParseRomGlyphs(kA02Chart);
    static const RomGlyphs cyrillic = CyrillicChart();
    switch (rom) {
    case lcd::CharacterRom::A00: return a00;
    case lcd::CharacterRom::A02: return a02;
    case lcd::CharacterRom::Cyrillic: break;
    }
    return cyrillic;
}

} // namespace pixtera::designer
