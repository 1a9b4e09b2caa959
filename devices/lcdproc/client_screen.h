// SPDX-License-Identifier: MIT
#pragma once
// What an LCDd client builds: screens of widgets, as the commands left them. Text is held as
// UTF-8 whatever the client sent (Latin-1 is converted when it arrives); a cell a code point.

#include <string>
#include <vector>

namespace pixtera::lcdproc {

// In rising rank: a screen of a higher class is shown before any of a lower one.
enum class Priority { Hidden, Background, Info, Foreground, Alert, Input };

enum class WidgetType { String, Title, Hbar, Vbar, Pbar, Icon, Scroller, Frame, Num };

enum class Icon {
    BlockFilled,
    HeartOpen,
    HeartFilled,
    ArrowUp,
    ArrowDown,
    ArrowLeft,
    ArrowRight,
    CheckboxOff,
    CheckboxOn,
    CheckboxGray,
    SelectorAtLeft,
    SelectorAtRight,
    Ellipsis,
    Stop,
    Pause,
    Play,
    PlayReverse,
    FastForward,
    FastReverse,
    Next,
    Previous,
    Record,
};

struct Widget {
    std::string id;
    WidgetType type = WidgetType::String;
    std::string frame; // the frame widget it lives in; empty: the screen itself
    bool set = false; // drawn only once widget_set gave it its place
    int x = 1;
    int y = 1;
    int length = 0; // bars: pixels; pbar: cells; num: the digit (10 is a colon)
    int promille = 0; // pbar
    Icon icon = Icon::BlockFilled;
    // scroller and frame: the area, right and bottom included
    int left = 1;
    int top = 1;
    int right = 1;
    int bottom = 1;
    int width = 0; // frame: the contents' size
    int height = 0;
    char direction = 'h';
    int speed = 1;
    std::string text; // string, title, scroller; pbar: the label before the bar
    std::string endText; // pbar: the label after it
};

enum class Heartbeat { On, Off, Open };
enum class Cursor { Off, On, Under, Block };

struct Screen {
    std::string id;
    std::string name;
    int width = 0; // 0: the display's
    int height = 0;
    Priority priority = Priority::Info;
    int duration = 0; // eighths of a second; 0: the server's default
    int timeout = 0; // eighths of a second it may still be shown; 0: for good
    Heartbeat heartbeat = Heartbeat::Open;
    std::string backlight = "open";
    Cursor cursor = Cursor::Off;
    int cursorX = 1;
    int cursorY = 1;
    std::vector<Widget> widgets;

    Widget* Find(std::string_view widget);
    const Widget* Find(std::string_view widget) const;
};

} // namespace pixtera::lcdproc
