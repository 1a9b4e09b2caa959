// SPDX-License-Identifier: MIT
#pragma once
// Doing what a menu entry names: the display's own actions on the display, a data item through
// the feeds, and everything else through the outside actions. What fails is shown on the
// display for a few seconds (DisplayMenu::ShowFailure), never thrown.

#include "display_menu.h"
#include "outside_actions.h"

#include <pixtera/menu_file.h>
#include <pixtera/platform/types.h>

#include <functional>
#include <memory>
#include <string>

namespace pixtera {

// What a display offers its menu, called on its refresh thread.
class MenuDisplay {
public:
    virtual ~MenuDisplay() = default;
    // False when no entry of the queue has that file name.
    virtual bool ShowDesign(const std::string& fileName) = 0;
    virtual void StepDesign(int delta) = 0;
    virtual HRESULT SetBacklight(bool on) = 0;
    virtual bool backlight() const = 0;
    // By `delta` percent from where it was, within 0 to 100.
    virtual HRESULT StepBrightness(LONG delta) = 0;
};

// Sets a data item that scripts feed (Pixtera.BusData); empty when it went well, else why not.
using SetFedValue = std::function<std::string(const std::string& item, const std::string& value)>;

struct MenuServices {
    OutsideActions* outside = nullptr; // never null once the display takes keys
    SetFedValue setData;
};

// The brightness steps of BrightnessUp and BrightnessDown.
inline constexpr LONG kBrightnessStep = 10;

// Does `action` for display `index`; failures, now or later, go to `menu` while it lives.
void PerformMenuAction(const MenuAction& action, LONG index, MenuDisplay& display, const MenuServices& services,
                       const std::shared_ptr<DisplayMenu>& menu);

} // namespace pixtera
