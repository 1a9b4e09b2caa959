// SPDX-License-Identifier: MIT
#pragma once
// Saving XML files: written to a temporary file beside the target and renamed over it, so that a
// crash never leaves half a file, then laid out one tag per line, indented with tabs.

#include <pugixml.hpp>

#include <filesystem>
#include <string>
#include <string_view>

namespace pixtera {

// One tag per line, nested tags one tab deeper. Tabs and line breaks between tags are dropped;
// those inside values are written as character references and survive. Comments, character
// data and the document type are copied unchanged.
std::string ReindentXml(std::string_view xml);

// Writes the document with ReindentXml's layout, atomically, in the given encoding (the one the
// file was read in keeps its declaration true). False, with a reason, on failure.
bool SaveXmlDocument(const pugi::xml_document& document, const std::filesystem::path& path,
                     std::string* error = nullptr, pugi::xml_encoding encoding = pugi::encoding_utf8);

// The file a write to `path` replaces: the final target when `path` is a symbolic link.
std::filesystem::path ResolveLinks(const std::filesystem::path& path);

// Replaces the file's content atomically; through a symbolic link, the link's target is replaced.
// The temporary file beside it is named ".NAME.PID.XXXXXX", after the writer.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view content, std::string* error = nullptr);
// Removes the temporary files that writers killed while writing left beside `path`: those of this
// user whose writer's process no longer exists. Returns how many went.
int RemoveStaleTemporaries(const std::filesystem::path& path);

} // namespace pixtera
