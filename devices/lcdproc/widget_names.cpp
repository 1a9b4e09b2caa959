// SPDX-License-Identifier: MIT
#include "widget_names.h"

#include <utility>

namespace pixtera::lcdproc {

std::optional<WidgetType> WidgetTypeNamed(std::string_view name)
{
    static constexpr std::pair<std::string_view, WidgetType> kTypes[] = {
        {"string", WidgetType::String},     {"title", WidgetType::Title}, {"hbar", WidgetType::Hbar},
        {"vbar", WidgetType::Vbar},         {"pbar", WidgetType::Pbar},   {"icon", WidgetType::Icon},
        {"scroller", WidgetType::Scroller}, {"frame", WidgetType::Frame}, {"num", WidgetType::Num},
    };
    for (const auto& [known, type] : kTypes)
        if (name == known)
            return type;
    return std::nullopt;
}

std::optional<Icon> IconNamed(std::string_view name)
{
    static constexpr std::pair<std::string_view, Icon> kIcons[] = {
        {"BLOCK_FILLED", Icon::BlockFilled},
        {"HEART_OPEN", Icon::HeartOpen},
        {"HEART_FILLED", Icon::HeartFilled},
        {"ARROW_UP", Icon::ArrowUp},
        {"ARROW_DOWN", Icon::ArrowDown},
        {"ARROW_LEFT", Icon::ArrowLeft},
        {"ARROW_RIGHT", Icon::ArrowRight},
        {"CHECKBOX_OFF", Icon::CheckboxOff},
        {"CHECKBOX_ON", Icon::CheckboxOn},
        {"CHECKBOX_GRAY", Icon::CheckboxGray},
        {"SELECTOR_AT_LEFT", Icon::SelectorAtLeft},
        {"SELECTOR_AT_RIGHT", Icon::SelectorAtRight},
        {"ELLIPSIS", Icon::Ellipsis},
        {"STOP", Icon::Stop},
        {"PAUSE", Icon::Pause},
        {"PLAY", Icon::Play},
        {"PLAYR", Icon::PlayReverse},
        {"FF", Icon::FastForward},
        {"FR", Icon::FastReverse},
        {"NEXT", Icon::Next},
        {"PREV", Icon::Previous},
        {"REC", Icon::Record},
    };
    for (const auto& [known, icon] : kIcons)
        if (name == known)
            return icon;
    return std::nullopt;
}

} // namespace pixtera::lcdproc
