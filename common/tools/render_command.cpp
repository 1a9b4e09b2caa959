// SPDX-License-Identifier: MIT
#include "render_command.h"

#include <pixtera/design_check.h>
#include <pixtera/design_file.h>
#include <pixtera/frame_composer.h>
#include <pixtera/platform/codepage.h>
#include <pixtera/sdk/bounded_file.h>
#include <pixtera/sdk/character_rom.h>

#include <charconv>
#include <optional>
#include <ostream>

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
    "--raw writes the rows x columns frame bytes and nothing else. --rom shows what an HD44780\n"
    "module with that character ROM shows (a00: Japanese, a02: European, cyrillic: Russian).\n"
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

// A frame byte as the terminal shows it: user characters as blocks, other controls as '?'.
std::string Visible(char byte)
{
    const auto code = static_cast<unsigned char>(byte);
    if (code < 16)
        return "\u2588";
    if (code < 32 || code == 127)
        return "?";
    return AnsiToUtf8(std::string_view(&byte, 1));
}

// A frame byte as a module with that character ROM shows it.
std::string OnModule(lcd::CharacterRom rom, char byte)
{
    const auto code = static_cast<unsigned char>(byte);
    if (code < 16)
        return "\u2588";
    const std::string glyph = lcd::GlyphText(rom, lcd::ToModule(rom, code));
    return glyph.empty() ? " " : glyph;
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

    const std::string_view frame = display.frame();
    if (options.raw) {
        out.write(frame.data(), static_cast<std::streamsize>(frame.size()));
    } else {
        for (LONG row = 0; row < options.rows; ++row) {
            std::string line;
            for (char c : frame.substr(static_cast<std::size_t>(row * options.columns),
                                       static_cast<std::size_t>(options.columns)))
                line += options.rom ? OnModule(*options.rom, c) : Visible(c);
            out << line << "\n";
        }
    }
    out.flush();
    return result.ok() ? kRendered : kDesignError;
}

} // namespace pixtera
