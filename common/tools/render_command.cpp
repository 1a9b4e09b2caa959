// SPDX-License-Identifier: MIT
#include "render_command.h"

#include <pixtera/design_check.h>
#include <pixtera/design_file.h>
#include <pixtera/frame_composer.h>
#include <pixtera/platform/codepage.h>
#include <pixtera/sdk/bounded_file.h>
#include <pixtera/sdk/character_rom.h>
#include <pixtera/sdk/unicode_frame.h>
#include <pixtera/user_characters.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <iterator>
#include <optional>
#include <ostream>
#include <vector>

namespace pixtera {
namespace {

constexpr int kRendered = 0;
constexpr int kDesignError = 1;
constexpr int kUsage = 2;

constexpr const char* kUsageText =
    "usage: pixtera-render DESIGN.pxd [--size COLSxROWS] [--at MS] [--text NAME=TEXT]...\n"
    "                      [--number NAME=NUMBER]... [--raw | --rom a00|a02|cyrillic]\n"
    "       pixtera-render --check DESIGN.pxd [--size COLSxROWS]\n"
    "       pixtera-render --help | --version\n"
    "Composes the design as the service would, --at milliseconds after loading it (default 0),\n"
    "on a display of --size (default 20x4). Data items read the values given; others \"Error\".\n"
    "--raw writes the rows x columns frame bytes (Windows-1252) and nothing else. --rom shows\n"
    "what an HD44780 module with that character ROM shows (a00: Japanese, a02: European,\n"
    "cyrillic: Russian), the letters it lacks drawn in its eight user characters while they last.\n"
    "--check lists, with line numbers, what the reader ignores or cannot use (exit 1 when any).\n";

struct Options {
    std::string design;
    LONG columns = 20;
    LONG rows = 4;
    DWORD at = 0;
    bool raw = false;
    bool check = false;
    std::optional<lcd::CharacterRom> rom;
    TableValueSource values;
};

template <class T>
std::optional<T> Number(std::string_view text)
{
    T value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<std::pair<std::string, std::string>> Assignment(const std::string& text)
{
    const auto equals = text.find('=');
    if (equals == std::string::npos || equals == 0)
        return std::nullopt;
    return std::pair{text.substr(0, equals), text.substr(equals + 1)};
}

bool ParseSize(const std::string& text, Options& options)
{
    const auto x = text.find_first_of("xX");
    if (x == std::string::npos)
        return false;
    const auto columns = Number<LONG>(std::string_view(text).substr(0, x));
    const auto rows = Number<LONG>(std::string_view(text).substr(x + 1));
    if (!columns || !rows || *columns < 1 || *rows < 1 || *columns > VirtualDisplay::kMaxColumns ||
        *rows > VirtualDisplay::kMaxColumns || *columns * *rows > VirtualDisplay::kMaxCells)
        return false;
    options.columns = *columns;
    options.rows = *rows;
    return true;
}

bool Parse(std::span<const std::string> arguments, Options& options, std::ostream& err)
{
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        auto value = [&]() -> const std::string* { return i + 1 < arguments.size() ? &arguments[++i] : nullptr; };
        if (argument == "--raw") {
            options.raw = true;
        } else if (argument == "--rom") {
            const auto* text = value();
            options.rom = text ? lcd::ParseRom(*text) : std::nullopt;
            if (!options.rom) {
                err << "pixtera-render: --rom takes a00, a02 or cyrillic\n";
                return false;
            }
        } else if (argument == "--check") {
            options.check = true;
        } else if (argument == "--size") {
            const auto* text = value();
            if (!text || !ParseSize(*text, options)) {
                err << "pixtera-render: --size takes COLUMNSxROWS, e.g. 20x4\n";
                return false;
            }
        } else if (argument == "--at") {
            const auto* text = value();
            const auto at = text ? Number<DWORD>(*text) : std::nullopt;
            if (!at) {
                err << "pixtera-render: --at takes milliseconds (0 to 4294967295)\n";
                return false;
            }
            options.at = *at;
        } else if (argument == "--text" || argument == "--number") {
            const auto* text = value();
            const auto assignment = text ? Assignment(*text) : std::nullopt;
            if (!assignment) {
                err << "pixtera-render: " << argument << " takes NAME=VALUE\n";
                return false;
            }
            const auto name = Utf8ToUtf16(assignment->first);
            if (argument == "--text") {
                options.values.Set(name, Variant::FromUtf8(assignment->second));
            } else if (const auto number = Number<double>(assignment->second)) {
                options.values.Set(name, Variant::FromDouble(*number));
            } else {
                err << "pixtera-render: '" << assignment->second << "' is not a number\n";
                return false;
            }
        } else if (argument.starts_with("--") || !options.design.empty()) {
            err << "pixtera-render: unexpected argument '" << argument << "'\n";
            return false;
        } else {
            options.design = argument;
        }
    }
    if (options.design.empty()) {
        err << "pixtera-render: a design file is required\n";
        return false;
    }
    return true;
}

// A frame cell as the terminal shows it: user characters as blocks, other controls as '?'.
std::string Visible(char32_t cell)
{
    if (cell < 16)
        return "\u2588";
    if (cell < 32 || cell == 127)
        return "?";
    std::string text;
    AppendUtf8(text, cell);
    return text;
}

// The frame as a module with that character ROM shows it, mapped as the drivers map it: the
// ROM's glyphs, the letters it lacks drawn in the eight user characters while they last, and
// stand-ins or placeholders for the rest. A user character that is no letter (a bar, an icon)
// shows as a block.
std::vector<std::string> OnModule(lcd::CharacterRom rom, std::u32string_view cells)
{
    std::array<lcd::Glyph, lcd::kUserSlots> own{};
    for (std::size_t slot = 0; slot < own.size(); ++slot) {
        const auto rows = UserCharacterRows(static_cast<LONG>(slot), 5);
        std::copy(rows.begin(), rows.end(), own[slot].begin());
    }
    lcd::UserCharacterAllocator allocator;
    const lcd::AllocatedFrame frame = allocator.Allocate(lcd::WantedCells(rom, cells, own));
    std::vector<std::string> shown;
    for (const std::uint8_t code : frame.codes) {
        if (code < 16) {
            const auto& slot = allocator.loaded()[code & 7];
            const auto letter = slot ? lcd::LetterOfGlyph(*slot) : std::nullopt;
            shown.push_back(letter ? Visible(*letter) : "\u2588");
            continue;
        }
        const std::string glyph = lcd::GlyphText(rom, code);
        shown.push_back(glyph.empty() ? " " : glyph);
    }
    return shown;
}

// --check: one line per finding, "FILE:LINE: what".
int Check(const Options& options, std::ostream& out, std::ostream& err)
{
    const BoundedFile file =
        ReadBoundedFile(options.design, kMaxDesignFileBytes, false, FileOwner::Anyone, LastLink::Followed);
    if (!file) {
        err << "pixtera-render: " << options.design << ": " << file.problem << "\n";
        return kDesignError;
    }
    const auto findings = CheckDesign(file.text, options.columns, options.rows);
    for (const DesignFinding& finding : findings)
        out << options.design << ":" << finding.line << ": " << finding.message << "\n";
    out.flush();
    return findings.empty() ? kRendered : kDesignError;
}

} // namespace

int RunRenderCommand(std::span<const std::string> arguments, std::ostream& out, std::ostream& err)
{
    Options options;
    if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
        out << kUsageText;
        return kRendered;
    }
    if (arguments.size() == 1 && arguments[0] == "--version") {
        out << "pixtera-render " PIXTERA_VERSION "\n";
        return kRendered;
    }
    if (!Parse(arguments, options, err)) {
        err << kUsageText;
        return kUsage;
    }
    if (options.check)
        return Check(options, out, err);
    Design design;
    const auto result = LoadDesign(options.design, design, DesignReader::Service, 0);
    if (!result.ok())
        err << "pixtera-render: " << result.message << "\n";
    if (result.status == DesignReadResult::Status::NotParsed)
        return kDesignError; // nothing to show: no frame

    VirtualDisplay display;
    display.Initialize(options.columns, options.rows, 5, 8);
    RenderFrame(design, options.values, options.at, display);

    if (options.raw) {
        const std::string_view frame = display.frame();
        out.write(frame.data(), static_cast<std::streamsize>(frame.size()));
    } else {
        const std::u32string_view cells = display.cells();
        std::vector<std::string> shown;
        if (options.rom)
            shown = OnModule(*options.rom, cells);
        else
            std::transform(cells.begin(), cells.end(), std::back_inserter(shown), Visible);
        for (std::size_t at = 0; at < shown.size(); ++at)
            out << shown[at] << ((at + 1) % static_cast<std::size_t>(options.columns) == 0 ? "\n" : "");
    }
    out.flush();
    return result.ok() ? kRendered : kDesignError;
}

} // namespace pixtera
