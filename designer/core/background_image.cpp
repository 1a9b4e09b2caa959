// SPDX-License-Identifier: MIT
#include "background_image.h"

#include <FreeImage.h>

#include <algorithm>
#include <memory>

namespace pixtera::designer {
namespace {

struct BitmapDeleter {
    void operator()(FIBITMAP* bitmap) const { FreeImage_Unload(bitmap); }
};
using Bitmap = std::unique_ptr<FIBITMAP, BitmapDeleter>;

// A pixel of grey value 127 lights its dot, 128 does not.
constexpr BYTE kDarkBelow = 128;

// 8-bit grey levels of any image FreeImage loads: 16-bit grey keeps its high byte, 16-bit colour is
// converted as usual, floating point and complex images are scaled to the standard range first.
FIBITMAP* GreyLevels(FIBITMAP* image)
{
    switch (FreeImage_GetImageType(image)) {
    case FIT_UINT16: return FreeImage_ConvertTo8Bits(image);
    case FIT_BITMAP:
    case FIT_RGB16:
    case FIT_RGBA16: {
        const Bitmap colour(FreeImage_ConvertTo32Bits(image));
        return colour ? FreeImage_ConvertTo8Bits(colour.get()) : nullptr;
    }
    default: {
        const Bitmap standard(FreeImage_ConvertToStandardType(image, TRUE));
        return standard && FreeImage_GetImageType(standard.get()) == FIT_BITMAP ? GreyLevels(standard.get()) : nullptr;
    }
    }
}

} // namespace

BackgroundMask LoadBackgroundMask(const std::filesystem::path& file, int dotsWide, int dotsHigh, std::string* problem)
{
    auto refuse = [problem](const char* why) {
        if (problem)
            *problem = why;
        return BackgroundMask{};
    };
    if (file.empty())
        return {};
    std::error_code ec;
    if (!std::filesystem::exists(file, ec))
        return refuse("it does not exist");
    const FREE_IMAGE_FORMAT format = FreeImage_GetFileType(file.c_str(), 0);
    if (format == FIF_UNKNOWN)
        return refuse("it is not an image of a kind FreeImage knows");
    const Bitmap loaded(FreeImage_Load(format, file.c_str(), 0));
    if (!loaded)
        return refuse("FreeImage could not read it");
    const Bitmap grey(GreyLevels(loaded.get()));
    if (!grey)
        return refuse("its pixel type cannot be turned into grey levels");
    const int imageWidth = static_cast<int>(FreeImage_GetWidth(grey.get()));
    const int imageHeight = static_cast<int>(FreeImage_GetHeight(grey.get()));
    BackgroundMask mask;
    mask.width = std::clamp(imageWidth, 0, std::max(dotsWide, 0));
    mask.height = std::clamp(imageHeight, 0, std::max(dotsHigh, 0));
    mask.lit.resize(static_cast<std::size_t>(mask.width) * static_cast<std::size_t>(mask.height));
    for (int y = 0; y < mask.height; ++y) {
        // Scan lines are stored bottom-up.
        const BYTE* line = FreeImage_GetScanLine(grey.get(), imageHeight - 1 - y);
        for (int x = 0; x < mask.width; ++x)
            mask.lit[static_cast<std::size_t>(y * mask.width + x)] = line[x] < kDarkBelow;
    }
    return mask;
}

} // namespace pixtera::designer
