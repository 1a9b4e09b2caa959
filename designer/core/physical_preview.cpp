// SPDX-License-Identifier: MIT
#include "physical_preview.h"

#include "service_objects.h"

#include <pixtera/platform/codepage.h>
#include <pixtera/sdk/display_character_set.h>
#include <pixtera/user_characters.h>

namespace pixtera::designer {
namespace {

int Ask(IDisplayDriver& driver, HRESULT (STDMETHODCALLTYPE IDisplayDriver::*getter)(LONG*), const char* what)
{
    LONG value = 0;
    CheckCall((driver.*getter)(&value), std::string("Asking the display for its ") + what);
    return static_cast<int>(value);
}

lcd::CharacterRom RomOf(IDisplayDriver& driver)
{
    ComPtr<IDisplayCharacterSet> characterSet;
    BString rom;
    if (FAILED(driver.QueryInterface(IID_IDisplayCharacterSet, characterSet.OutVoid())) ||
        FAILED(characterSet->GetRom(rom.Out())))
        return lcd::CharacterRom::A02;
    return lcd::ParseRom(Utf16ToUtf8(rom.view())).value_or(lcd::CharacterRom::A02);
}

} // namespace

PhysicalPreview::PhysicalPreview(IManagedDisplay& display)
{
    CheckCall(display.GetDriver(driver_.Out()), "Getting the display's driver");
    IDisplayDriver& driver = *driver_;
    const int pixelHeight = Ask(driver, &IDisplayDriver::GetPixelHeight, "pixel height");
    const int pixelWidth = Ask(driver, &IDisplayDriver::GetPixelWidth, "pixel width");
    if (pixelWidth != 0) {
        geometry_.cellWidth = Ask(driver, &IDisplayDriver::GetCharWidth, "character width");
        geometry_.cellHeight = Ask(driver, &IDisplayDriver::GetCharHeight, "character height");
    }
    geometry_.columns = Ask(driver, &IDisplayDriver::GetColumns, "columns");
    geometry_.rows = Ask(driver, &IDisplayDriver::GetRows, "rows");
    geometry_.dotsWide = pixelWidth != 0 ? pixelWidth : geometry_.columns * geometry_.cellWidth;
    geometry_.dotsHigh = pixelWidth != 0 ? pixelHeight : geometry_.rows * geometry_.cellHeight;
    rom_ = RomOf(driver);
    for (LONG code = 0; code < kUserCharacters; ++code) {
        const auto r = UserCharacterRows(code, geometry_.cellWidth);
        CheckCall(driver.SetCustomChar(code, r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7]),
                  "Defining the display's user characters");
    }
}

void PhysicalPreview::SetBackground(const std::u16string& file)
{
    const BString text(file);
    driver_->SetBackground(text.get());
}

} // namespace pixtera::designer
