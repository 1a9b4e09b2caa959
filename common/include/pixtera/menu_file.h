// SPDX-License-Identifier: MIT
#pragma once
// Menu files (.pxm): a tree of entries a display's keys walk, each a submenu or an action. XML
// beside the designs:
//
//   <Menu Title="Box">
//     <Entry Label="Clock" Action="ShowDesign" Design="clock.pxd"/>
//     <Submenu Label="System">
//       <Entry Label="Uptime" Action="RunCommand" Program="/usr/bin/uptime" Confirm="yes">
//         <Argument Value="-p"/>
//       </Entry>
//       <Entry Label="Reboot" Action="Reboot" Confirm="yes"/>
//     </Submenu>
//   </Menu>
//
// A menu file comes from a user, so everything in it is bounded and a faulty file is refused
// whole, with the place of its fault.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace pixtera {

enum class MenuActionKind {
    ShowDesign, // Design: a file name of the display's queue
    NextDesign,
    PreviousDesign,
    BacklightOn,
    BacklightOff,
    BacklightToggle,
    BrightnessUp,
    BrightnessDown,
    SetData, // Item and Value: a Pixtera.BusData item
    RunCommand, // Program and its Arguments, never through a shell
    Lock,
    Suspend,
    PowerOff,
    Reboot,
    PublishEvent, // Event: a name the MQTT bridge publishes
};

struct MenuAction {
    MenuActionKind kind = MenuActionKind::NextDesign;
    std::string design; // ShowDesign
    std::string item; // SetData
    std::string value; // SetData
    std::vector<std::string> command; // RunCommand: the program, then its arguments
    std::string event; // PublishEvent
    bool confirm = false; // asked "Enter=yes Esc=no" before it is done

    bool operator==(const MenuAction&) const = default;
};

// A submenu when it has no action; its entries are then its children (possibly none).
struct MenuEntry {
    std::string label;
    bool submenu = false;
    std::vector<MenuEntry> entries; // a submenu's
    MenuAction action; // an action entry's

    bool operator==(const MenuEntry&) const = default;
};

struct Menu {
    std::string title; // the top level's title row
    std::vector<MenuEntry> entries;

    bool operator==(const Menu&) const = default;
};

// Limits; far above a menu walked with five keys on a few rows.
inline constexpr std::size_t kMaxMenuFileBytes = 1024 * 1024;
inline constexpr std::size_t kMaxMenuDepth = 8; // submenus within submenus, the top level counting 1
inline constexpr std::size_t kMaxMenuEntries = 256; // in the whole file
inline constexpr std::size_t kMaxMenuLabelBytes = 80;
inline constexpr std::size_t kMaxCommandArguments = 64;
inline constexpr std::size_t kMaxMenuTextBytes = 4096; // a program, an argument, a value, a name
inline constexpr char kDefaultMenuTitle[] = "Menu";
inline constexpr char kMenuFileExtension[] = ".pxm";

struct MenuReadResult {
    bool ok = false;
    std::string problem; // where and what: "line 7, System > Reboot: unknown action \"Rebot\""
};

// The designs a ShowDesign entry may name: the file names of the display's queue. A name matches
// a queue entry written as that name or as a path ending in it. Without a queue, any plain file
// name is taken (the designer, before the menu is bound to a display).
struct MenuDesigns {
    bool known = false;
    std::vector<std::string> queue;
};

// Reads a menu from a file the user names: no link followed, no FIFO waited on, at most
// kMaxMenuFileBytes. On failure `menu` is left empty.
MenuReadResult LoadMenu(const std::filesystem::path& path, Menu& menu, const MenuDesigns& designs = {});
MenuReadResult LoadMenuFromText(std::string_view xml, Menu& menu, const MenuDesigns& designs = {});

// Whether the reader would take the menu (the designer asks before it saves): the reason if not.
std::string MenuProblem(const Menu& menu, const MenuDesigns& designs = {});

// The file's text; what LoadMenuFromText reads back as the same menu.
std::string MenuToText(const Menu& menu);
// Refuses a menu the reader would refuse; otherwise writes it atomically.
bool SaveMenu(const Menu& menu, const std::filesystem::path& path, std::string* error = nullptr);

// The action's name in the file ("RunCommand"), and the action a name means.
std::string_view MenuActionName(MenuActionKind kind);
bool MenuActionFromName(std::string_view name, MenuActionKind& kind);

} // namespace pixtera
