// SPDX-License-Identifier: MIT
#include "menu_actions.h"

namespace pixtera {
namespace {

void Refused(HRESULT hr, const char* what, DisplayMenu& menu)
{
    if (hr == E_NOTIMPL)
        menu.ShowFailure(std::string("This display has no ") + what);
    else if (FAILED(hr))
        menu.ShowFailure(std::string("The ") + what + " did not answer");
}

} // namespace

void PerformMenuAction(const MenuAction& action, LONG index, MenuDisplay& display, const MenuServices& services,
                       const std::shared_ptr<DisplayMenu>& menu)
{
    switch (action.kind) {
    case MenuActionKind::ShowDesign:
        // Checked when the menu was read; the queue may have changed since.
        if (!display.ShowDesign(action.design))
            menu->ShowFailure(action.design + " is not in the queue");
        return;
    case MenuActionKind::NextDesign: display.StepDesign(1); return;
    case MenuActionKind::PreviousDesign: display.StepDesign(-1); return;
    case MenuActionKind::BacklightOn: Refused(display.SetBacklight(true), "backlight switch", *menu); return;
    case MenuActionKind::BacklightOff: Refused(display.SetBacklight(false), "backlight switch", *menu); return;
    case MenuActionKind::BacklightToggle:
        Refused(display.SetBacklight(!display.backlight()), "backlight switch", *menu);
        return;
    case MenuActionKind::BrightnessUp: Refused(display.StepBrightness(kBrightnessStep), "brightness", *menu); return;
    case MenuActionKind::BrightnessDown: Refused(display.StepBrightness(-kBrightnessStep), "brightness", *menu); return;
    case MenuActionKind::SetData: {
        std::string failure =
            services.setData ? services.setData(action.item, action.value) : "No data item can be set here";
        if (!failure.empty())
            menu->ShowFailure(std::move(failure));
        return;
    }
    case MenuActionKind::RunCommand:
    case MenuActionKind::Lock:
    case MenuActionKind::Suspend:
    case MenuActionKind::PowerOff:
    case MenuActionKind::Reboot:
    case MenuActionKind::PublishEvent: break;
    }
    if (!services.outside) {
        menu->ShowFailure("Not available: " + std::string(MenuActionName(action.kind)));
        return;
    }
    // It finishes later, on any thread, perhaps after the display went.
    services.outside->Start(static_cast<int>(index), action,
                            [weak = std::weak_ptr<DisplayMenu>(menu)](std::string failure) {
                                if (failure.empty())
                                    return;
                                if (const auto alive = weak.lock())
                                    alive->ShowFailure(std::move(failure));
                            });
}

} // namespace pixtera
