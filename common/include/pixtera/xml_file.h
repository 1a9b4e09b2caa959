#pragma once
// Saving XML files: written to a temporary file beside the target and renamed over it, so that a
// crash never leaves half a file, then laid out one tag per line, indented with tabs.

#include <pugixml.hpp>

#include <filesystem>
#include <string>
#include <string_view>

namespace pixtera {

// One tag per line, nested tags one tab deeper. Tabs and line breaks between tags are dropped;
// those inside values are written as character references and survive.
std::string ReindentXml(std::string_view xml);

// Re-lays out an XML file in place (atomically); false when it cannot be read or written.
bool ReindentXmlFile(const std::filesystem::path& path);

// Writes the document with ReindentXml's layout, atomically. False, with a reason, on failure.
bool SaveXmlDocument(const pugi::xml_document& document, const std::filesystem::path& path,
                     std::string* error = nullptr);

// Replaces the file's content atomically.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view content, std::string* error = nullptr);

} // namespace pixtera
