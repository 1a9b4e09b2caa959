// SPDX-License-Identifier: MIT
#include "data_tree.h"

#include <algorithm>

namespace pixtera::designer {
namespace {

std::vector<std::u16string_view> Parts(std::u16string_view path)
{
    std::vector<std::u16string_view> parts;
    while (!path.empty()) {
        const auto cut = path.find(u'\\');
        const auto part = path.substr(0, cut);
        if (!part.empty())
            parts.push_back(part);
        if (cut == std::u16string_view::npos)
            break;
        path.remove_prefix(cut + 1);
    }
    return parts;
}

DataNode& Folder(std::vector<DataNode>& nodes, std::u16string_view text)
{
    const auto found = std::find_if(nodes.begin(), nodes.end(),
                                    [&](const DataNode& node) { return node.folder() && node.text == text; });
    if (found != nodes.end())
        return *found;
    nodes.push_back({std::u16string(text), 0, {}});
    return nodes.back();
}

} // namespace

std::vector<DataNode> BuildDataTree(const std::vector<std::u16string>& descriptions)
{
    std::vector<DataNode> root;
    for (std::size_t i = 0; i < descriptions.size(); ++i) {
        const auto parts = Parts(descriptions[i]);
        if (parts.empty())
            continue;
        std::vector<DataNode>* level = &root;
        for (std::size_t p = 0; p + 1 < parts.size(); ++p)
            level = &Folder(*level, parts[p]).children;
        level->push_back({std::u16string(parts.back()), static_cast<LONG>(i + 1), {}});
    }
    return root;
}

} // namespace pixtera::designer
