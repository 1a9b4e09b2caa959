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

} // namespace

BackgroundMask LoadBackgroundMask(const std::filesystem::path& file, int dotsWide, int dotsHigh)
{
    const FREE_IMAGE_FORMAT format = FreeImage_GetFileType(file.c_str(), 0);
    if (format == FIF_UNKNOWN || file.empty())
        return {};
    const Bitmap loaded(FreeImage_Load(format, file.c_str(), 0));
    if (!loaded)
        return {};
    const Bitmap colour(FreeImage_ConvertTo32Bits(loaded.get()));
    const Bitmap grey(colour ? FreeImage_ConvertTo8Bits(colour.get()) : nullptr);
    if (!grey)
        return {};
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
