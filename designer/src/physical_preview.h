#pragma once
// A service display used as the preview: its geometry, the user characters the preview draws, and
// the frames, sent only when they changed.

#include "canvas_painter.h"

#include <pixtera/platform/com.h>
#include <pixtera/sdk/display_driver.h>
#include <pixtera/service_interfaces.h>

#include <string>
#include <string_view>

namespace pixtera::designer {

class PhysicalPreview {
public:
    // Asks the display's driver for its geometry and defines its user characters. Throws
    // ServiceError when a call fails.
    explicit PhysicalPreview(IManagedDisplay& display);

    const DisplayGeometry& geometry() const { return geometry_; }

    // Sends the frame unless the display shows it already; a failed send is tried again next time.
    void Show(std::string_view frame);
    void SetBackground(const std::u16string& file);

private:
    ComPtr<IDisplayDriver> driver_;
    DisplayGeometry geometry_;
    std::string shown_;
    bool anyShown_ = false;
};

} // namespace pixtera::designer
