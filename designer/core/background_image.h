#pragma once
// A design's background image as dots: pixels darker than mid-grey light their dot. The image is
// not scaled; its top-left part covers the display's top-left dots.

#include <filesystem>
#include <vector>

namespace pixtera::designer {

struct BackgroundMask {
    int width = 0;  // dots covered, at most the display's width
    int height = 0;
    std::vector<bool> lit; // row after row

    bool IsLit(int x, int y) const { return x < width && y < height && lit[static_cast<std::size_t>(y * width + x)]; }
};

// Empty when the file is not an image FreeImage can identify and load.
BackgroundMask LoadBackgroundMask(const std::filesystem::path& file, int dotsWide, int dotsHigh);

} // namespace pixtera::designer
