// SPDX-License-Identifier: MIT
#include "detect_command.h"

#include "configuration_additions.h"
#include "module_detection.h"

#include <pixtera/configuration_file.h>

#include <charconv>
#include <ostream>

namespace pixtera::detection {
namespace {

constexpr const char* kUsage =
    "usage: pixtera-detect [--write [--config FILE]] [--bus N]... [--port PATH]... [--size COLSxROWS]\n"
    "                      [--no-serial] [--no-lcdd]\n"
    "       pixtera-detect --help | --version\n"
    "Finds HD44780 modules on I2C backpacks, serial modules and LCDd, and prints for each the line\n"
    "PROGID CONFIGURATION that drives it. --write adds a driver for each module pixtera2.xml does\n"
    "not drive yet (or FILE). --bus limits the I2C buses probed; --port names the serial ports to probe,\n"
    "modems and GPS receivers included; --size is written into the configurations (default 20x4: a\n"
    "module cannot tell its size).\n";

struct Request {
    DetectionOptions options;
    bool write = false;
    bool sizeGiven = false;
    std::optional<std::filesystem::path> configuration;
};

std::optional<int> Integer(std::string_view text)
{
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<ModuleSize> Size(std::string_view text)
{
    const auto x = text.find('x');
    if (x == std::string_view::npos)
        return std::nullopt;
    const auto columns = Integer(text.substr(0, x));
    const auto rows = Integer(text.substr(x + 1));
    if (!columns || !rows || *columns < 1 || *columns > 40 || *rows < 1 || *rows > 4)
        return std::nullopt;
    return ModuleSize{*columns, *rows};
}

// Nothing (after saying why on `err`) when the command line is wrong.
std::optional<Request> Parse(std::span<const std::string> arguments, std::ostream& err)
{
    Request request;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (argument == "--write") {
            request.write = true;
        } else if (argument == "--config" && hasValue) {
            request.configuration = arguments[++i];
        } else if (argument == "--no-serial") {
            request.options.serial = false;
        } else if (argument == "--no-lcdd") {
            request.options.lcdd = false;
        } else if (argument == "--bus" && hasValue) {
            const auto bus = Integer(arguments[++i]);
            if (!bus || *bus < 0) {
                err << "pixtera-detect: --bus takes the N of /dev/i2c-N, not \"" << arguments[i] << "\"\n";
                return std::nullopt;
            }
            request.options.buses.push_back(*bus);
        } else if (argument == "--port" && hasValue) {
            if (arguments[++i].empty() || arguments[i][0] == '-') {
                err << "pixtera-detect: --port takes the path of a serial port, not \"" << arguments[i] << "\"\n";
                return std::nullopt;
            }
            request.options.ports.push_back(arguments[i]);
        } else if (argument == "--size" && hasValue) {
            const auto size = Size(arguments[++i]);
            if (!size) {
                err << "pixtera-detect: --size takes COLUMNSxROWS (1-40 x 1-4), not \"" << arguments[i] << "\"\n";
                return std::nullopt;
            }
            request.options.size = *size;
            request.sizeGiven = true;
        } else {
            err << "pixtera-detect: unknown argument \"" << argument << "\"\n" << kUsage;
            return std::nullopt;
        }
    }
    if (!request.options.serial && !request.options.ports.empty()) {
        err << "pixtera-detect: --port and --no-serial contradict each other\n";
        return std::nullopt;
    }
    return request;
}

int Write(const DetectionReport& report, const std::filesystem::path& file, std::ostream& out, std::ostream& err)
{
    std::error_code ec;
    ConfigurationDocument configuration;
    if (std::filesystem::exists(std::filesystem::symlink_status(file, ec)))
        configuration = LoadConfigurationDocument(file);
    else
        configuration.document.load_string(std::string(kDefaultConfiguration).c_str());
    if (!configuration) {
        err << "pixtera-detect: " << configuration.error << "; nothing was written\n";
        return 3;
    }
    const auto added = AddNewModules(configuration.document, report.found);
    if (added.empty()) {
        out << file.string() << " already drives every module found\n";
        return 0;
    }
    std::filesystem::create_directories(file.parent_path(), ec);
    std::string error;
    if (!SaveConfigurationDocument(configuration, file, &error)) {
        err << "pixtera-detect: " << error << "\n";
        return 3;
    }
    for (const auto& module : added)
        out << "added to " << file.string() << ": " << module.progId << " " << module.configuration << "\n";
    out << "the service uses them from its next start: systemctl --user restart pixtera2\n";
    return 0;
}

} // namespace

int RunDetectCommand(std::span<const std::string> arguments, DetectionDevices& devices,
                     const std::filesystem::path& configuration, std::ostream& out, std::ostream& err)
{
    if (!arguments.empty() && (arguments[0] == "--help" || arguments[0] == "-h")) {
        out << kUsage;
        return 0;
    }
    if (!arguments.empty() && arguments[0] == "--version") {
        out << "pixtera-detect " << PIXTERA_VERSION << "\n";
        return 0;
    }
    const auto request = Parse(arguments, err);
    if (!request)
        return 2;

    const DetectionReport report = DetectModules(devices, request->options);
    bool sizeWritten = false;
    for (const auto& module : report.found) {
        out << module.progId << " " << module.configuration << "\n";
        err << "pixtera-detect: found " << module.place << (module.note.empty() ? "" : ": " + module.note) << "\n";
        sizeWritten = sizeWritten || module.sizeAssumed;
    }
    for (const auto& place : report.tried)
        err << "pixtera-detect: " << place.place << ": " << place.reason << "\n";
    if (report.found.empty())
        return 1;
    if (sizeWritten && !request->sizeGiven)
        err << "pixtera-detect: a module cannot tell its size: " << request->options.size.columns << "x"
            << request->options.size.rows << " is written; give --size COLSxROWS for another\n";
    return request->write ? Write(report, request->configuration.value_or(configuration), out, err) : 0;
}

} // namespace pixtera::detection
