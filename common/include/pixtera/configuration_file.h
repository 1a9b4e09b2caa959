// SPDX-License-Identifier: MIT
#pragma once
// Where the service's configuration file pixtera2.xml lives, shared by the service and the
// designer: beside the programs when their directory is writable, else in the user's XDG
// configuration directory.

#include <pixtera/configuration_schema.h>

#include <pugixml.hpp>

#include <filesystem>
#include <string>
#include <string_view>

namespace pixtera {

inline constexpr std::string_view kConfigFileName = "pixtera2.xml";
using config::kDefaultConfiguration;

// The path for programs in `programDirectory` (default: the running program's directory).
std::filesystem::path ConfigFileLocation(const std::filesystem::path& programDirectory);

// The path, after creating the file with the default content when it does not exist. A file
// that exists is never written, even when it cannot be read.
std::filesystem::path ConfigFilePath();
std::filesystem::path ConfigFilePath(const std::filesystem::path& programDirectory);

// pixtera2.xml read for editing: every node is kept (comments, the declaration, processing
// instructions, elements and attributes nobody here knows), and it is saved in the encoding it
// was read in.
struct ConfigurationDocument {
    pugi::xml_document document;
    pugi::xml_encoding encoding = pugi::encoding_utf8;
    std::string error; // why it could not be read ("... line 3: ..."); empty when it was

    explicit operator bool() const { return error.empty(); }
};

// Reads the file. A file that is not well-formed, is not valid UTF-8 without declaring another
// encoding, or is no regular file is refused with the reason and its line where it has one.
ConfigurationDocument LoadConfigurationDocument(const std::filesystem::path& path);

// Writes it back atomically, re-laid out one tag per line; false with the reason on failure.
bool SaveConfigurationDocument(const ConfigurationDocument& configuration, const std::filesystem::path& path,
                               std::string* error = nullptr);

} // namespace pixtera
