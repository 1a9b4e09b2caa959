// SPDX-License-Identifier: MIT
#pragma once
// The data panel's tree: every data item of the service under the folders its description names
// ("Fraps\FPS" is the leaf "FPS" in the folder "Fraps").

#include <pixtera/platform/types.h>

#include <string>
#include <vector>

namespace pixtera::designer {

struct DataNode {
    std::u16string text;
    LONG id = 0; // the data item's 1-based id; 0 for a folder
    std::vector<DataNode> children;

    bool folder() const { return id == 0; }
};

// The root's children, from the descriptions of the items 1, 2, ... in order. Backslashes separate
// the parts; empty parts are skipped; folders are matched by exact text; equal leaves stay apart.
std::vector<DataNode> BuildDataTree(const std::vector<std::u16string>& descriptions);

} // namespace pixtera::designer
