// SPDX-License-Identifier: MIT
#pragma once
// A design's background image as dots: pixels darker than mid-grey light their dot. The image is
// not scaled; its top-left part covers the display's top-left dots.

#include <filesystem>
#include <string>
#include <vector>

namespace pixtera::designer {

struct BackgroundMask {
    int width = 0; // dots covered, at most the display's width
    int height = 0;
    std::vector<bool> lit; // row after row

    bool IsLit(int x, int y) const { return x < width && y < height && lit[static_cast<std::size_t>(y * width + x)]; }
};

// Any image FreeImage can read, of any pixel type (16-bit grey, floating point, ... are scaled to
// 8-bit grey first). Empty when it cannot be used, with `problem` saying why.
BackgroundMask LoadBackgroundMask(const std::filesystem::path& file, int dotsWide, int dotsHigh,
                                  std::string* problem = nullptr);

} // namespace pixtera::designer
