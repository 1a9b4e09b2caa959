// SPDX-License-Identifier: MIT
#include "layout.h"

#include "message_text.h"
#include "screen_names.h"

#include <pixtera/platform/codepage.h>

#include <nlohmann/json.hpp>

#include <sys/stat.h>
#include <unistd.h>

namespace pixtera::bridge {
namespace {

// One file name in the folder, nothing that leaves it or hides in it.
bool PlainName(std::string_view name)
{
    return !name.empty() && name.size() <= kLongestScreenName && name.front() != '.' &&
           name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos &&
           FindInvalidUtf8(name) == std::string_view::npos;
}

} // namespace

ReadLayoutResult ReadLayout(std::string_view payload)
{
    // nlohmann's parser keeps its nesting on the heap: a deep payload costs no stack.
    const auto json = nlohmann::json::parse(payload, nullptr, false);
    if (json.is_discarded() || !json.is_array())
        return {{}, "a layout is a JSON list of design names"};
    if (json.size() > kMostScreens)
        return {{}, "a layout has at most " + std::to_string(kMostScreens) + " designs"};
    ReadLayoutResult layout;
    for (const auto& name : json) {
        if (!name.is_string())
            return {{}, "a layout is a JSON list of design names"};
        layout.names.push_back(name.get<std::string>());
    }
    return layout;
}

std::optional<QueueEntry> ResolveDesign(std::string_view name, const std::vector<QueueEntry>& queue,
                                        const std::string& folder)
{
    std::vector<std::string> files;
    for (const auto& entry : queue)
        files.push_back(entry.file);
    const std::vector<std::string> names = ScreenNames(files);
    if (const auto index = ScreenIndex(names, name))
        return queue[static_cast<std::size_t>(*index)];
    if (folder.empty() || !PlainName(name))
        return std::nullopt;
    const std::string path = folder + "/" + std::string(name) + ".pxd";
    struct stat info {};
    // Another user's file is no design of ours, even in a folder of root's that anybody writes in.
    if (lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || (info.st_uid != geteuid() && info.st_uid != 0))
        return std::nullopt;
    return QueueEntry{path, kLayoutSeconds};
}

} // namespace pixtera::bridge
