// SPDX-License-Identifier: MIT
#pragma once
// A service display used as the preview: its geometry, its module's character ROM, the user
// characters the preview draws and the background. The frames go through the preview channel, off
// the window's thread.

#include "canvas_painter.h"

#include <pixtera/platform/com.h>
#include <pixtera/sdk/character_rom.h>
#include <pixtera/sdk/display_driver.h>
#include <pixtera/service_interfaces.h>

#include <string>

namespace pixtera::designer {

class PhysicalPreview {
public:
    // Asks the display's driver for its geometry and defines its user characters. Throws
    // ServiceError when a call fails.
    explicit PhysicalPreview(IManagedDisplay& display);

    const DisplayGeometry& geometry() const { return geometry_; }
    // The module's ROM; A02 (the glyphs of the text) for a display whose driver does not say.
    lcd::CharacterRom rom() const { return rom_; }

    void SetBackground(const std::u16string& file);

private:
    ComPtr<IDisplayDriver> driver_;
    DisplayGeometry geometry_;
    lcd::CharacterRom rom_ = lcd::CharacterRom::A02;
};

} // namespace pixtera::designer
