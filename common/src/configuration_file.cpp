// SPDX-License-Identifier: MIT
#include <pixtera/configuration_file.h>

#include <pixtera/platform/codepage.h>
#include <pixtera/platform/event_log.h>
#include <pixtera/platform/module.h>
#include <pixtera/platform/paths.h>
#include <pixtera/sdk/bounded_file.h>
#include <pixtera/xml_file.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace pixtera {
namespace {

bool IsWritableDirectory(const std::filesystem::path& dir) { return access(dir.c_str(), W_OK | X_OK) == 0; }

// Creates the file only if no file of that name exists (O_EXCL), so nothing is ever overwritten.
void CreateDefault(const std::filesystem::path& path)
{
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (errno != EEXIST)
            LogError("Cannot create " + path.string() + ": " + std::strerror(errno));
        return;
    }
    const auto written = write(fd, kDefaultConfiguration.data(), kDefaultConfiguration.size());
    if (written != static_cast<ssize_t>(kDefaultConfiguration.size()))
        LogError("Cannot write " + path.string() + ": " + std::strerror(errno));
    close(fd);
}

// "line L, column C" of a byte offset.
std::string Position(std::string_view text, std::size_t offset)
{
    offset = std::min(offset, text.size());
    const auto before = text.substr(0, offset);
    const auto line = std::count(before.begin(), before.end(), '\n') + 1;
    const auto lineStart = before.rfind('\n');
    const auto column = offset - (lineStart == std::string_view::npos ? 0 : lineStart + 1) + 1;
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

// Thousands of plug-ins and queue entries fit many times over.
constexpr std::size_t kMaxConfigurationBytes = 16 << 20;

constexpr unsigned kKeepEveryNode =
    pugi::parse_default | pugi::parse_comments | pugi::parse_declaration | pugi::parse_pi | pugi::parse_doctype;

} // namespace

ConfigurationDocument LoadConfigurationDocument(const std::filesystem::path& path)
{
    ConfigurationDocument configuration;
    auto fail = [&](const std::string& reason) -> ConfigurationDocument {
        configuration.error = path.string() + ": " + reason;
        return std::move(configuration);
    };
    // Whoever wrote the path may have named a FIFO or a device: opening it must not wait.
    // It says which plug-ins the service loads: this user's or root's, and a link to it is fine.
    const BoundedFile file =
        ReadBoundedFile(path.string(), kMaxConfigurationBytes, false, FileOwner::ThisUserOrRoot, LastLink::Followed);
    if (!file)
        return fail(file.problem);
    const std::string& content = file.text;
    const pugi::xml_parse_result parsed =
        configuration.document.load_buffer(content.data(), content.size(), kKeepEveryNode, pugi::encoding_auto);
    if (!parsed)
        return fail(Position(content, static_cast<std::size_t>(parsed.offset)) + ": " + parsed.description());
    configuration.encoding = parsed.encoding;
    // Without a byte order mark or a declared encoding the file is UTF-8; anything else in it
    // would be saved back as replacement characters.
    if (parsed.encoding == pugi::encoding_utf8) {
        if (const auto invalid = FindInvalidUtf8(content); invalid != std::string::npos)
            return fail(Position(content, invalid) + ": not valid UTF-8 (save it as UTF-8, or declare its encoding)");
    }
    return configuration;
}

bool SaveConfigurationDocument(const ConfigurationDocument& configuration, const std::filesystem::path& path,
                               std::string* error)
{
    return SaveXmlDocument(configuration.document, path, error, configuration.encoding);
}

std::filesystem::path ConfigFileLocation(const std::filesystem::path& programDirectory)
{
    if (IsWritableDirectory(programDirectory))
        return programDirectory / kConfigFileName;
    return XdgConfigHome() / "pixtera" / kConfigFileName;
}

std::filesystem::path ConfigFilePath(const std::filesystem::path& programDirectory)
{
    const auto path = ConfigFileLocation(programDirectory);
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(path, ec)))
        CreateDefault(path);
    return path;
}

std::filesystem::path ConfigFilePath() { return ConfigFilePath(ExecutablePath().parent_path()); }

} // namespace pixtera
