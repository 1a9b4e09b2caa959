// SPDX-License-Identifier: MIT
#include <pixtera/menu_file.h>

#include <pixtera/platform/codepage.h>
#include <pixtera/sdk/bounded_file.h>
#include <pixtera/xml_file.h>

#include <pugixml.hpp>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <optional>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace pixtera {
namespace {

constexpr char kMenu[] = "Menu";
constexpr char kEntry[] = "Entry";
constexpr char kSubmenu[] = "Submenu";
constexpr char kArgument[] = "Argument";
constexpr char kTitle[] = "Title";
constexpr char kLabel[] = "Label";
constexpr char kAction[] = "Action";
constexpr char kConfirm[] = "Confirm";
constexpr char kDesign[] = "Design";
constexpr char kItem[] = "Item";
constexpr char kValue[] = "Value";
constexpr char kProgram[] = "Program";
constexpr char kEvent[] = "Event";
constexpr std::size_t kMaxEventBytes = 64;
// Whoever may write a menu file chooses what its keys run.
constexpr char kWritableByOthers[] = "can be written by other users (chmod go-w)";

// Anyone may write it, or a group other than this user's primary one (on Debian a group of their own).
mode_t OthersWriteBits(mode_t mode, gid_t group)
{
    return (mode & S_IWOTH) | (group != getegid() ? mode & S_IWGRP : 0);
}

bool WritableByOthers(const BoundedFile& file) { return OthersWriteBits(file.mode, file.group) != 0; }

constexpr std::array<std::pair<MenuActionKind, std::string_view>, 15> kActionNames{{
    {MenuActionKind::ShowDesign, "ShowDesign"},
    {MenuActionKind::NextDesign, "NextDesign"},
    {MenuActionKind::PreviousDesign, "PreviousDesign"},
    {MenuActionKind::BacklightOn, "BacklightOn"},
    {MenuActionKind::BacklightOff, "BacklightOff"},
    {MenuActionKind::BacklightToggle, "BacklightToggle"},
    {MenuActionKind::BrightnessUp, "BrightnessUp"},
    {MenuActionKind::BrightnessDown, "BrightnessDown"},
    {MenuActionKind::SetData, "SetData"},
    {MenuActionKind::RunCommand, "RunCommand"},
    {MenuActionKind::Lock, "Lock"},
    {MenuActionKind::Suspend, "Suspend"},
    {MenuActionKind::PowerOff, "PowerOff"},
    {MenuActionKind::Reboot, "Reboot"},
    {MenuActionKind::PublishEvent, "PublishEvent"},
}};

// The attributes an action entry may carry beyond Label, Action and Confirm.
std::vector<std::string_view> ActionAttributes(MenuActionKind kind)
{
    switch (kind) {
    case MenuActionKind::ShowDesign: return {kDesign};
    case MenuActionKind::SetData: return {kItem, kValue};
    case MenuActionKind::RunCommand: return {kProgram};
    case MenuActionKind::PublishEvent: return {kEvent};
    default: return {};
    }
}

std::string Quoted(std::string_view text) { return "\"" + std::string(Utf8Prefix(text, kMaxMenuLabelBytes)) + "\""; }

bool IsControl(char16_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// For well-formed UTF-8: C0, DEL and C1 (U+0080 to U+009F, which UTF-8 writes as C2 80 to C2 9F).
bool HasControlCharacter(std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F)
            return true;
        if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) <= 0x9F)
            return true;
    }
    return false;
}

// A refusal goes into the log and a dialog and quotes the file: what the file holds may not
// break its line or forge another, so control characters and bytes that are no UTF-8 become '?'.
std::string Printable(std::string_view text)
{
    std::u16string wide = Utf8ToUtf16(text);
    std::replace_if(
        wide.begin(), wide.end(), [](char16_t c) { return IsControl(c) || c == u'\uFFFD'; }, u'?');
    return Utf16ToUtf8(wide);
}

// A text a key hands to a program or a bus: bounded, well-formed, one line.
std::string TextProblem(std::string_view what, std::string_view text, std::size_t maxBytes, bool mayBeEmpty)
{
    if (text.empty() && !mayBeEmpty)
        return std::string(what) + " is empty";
    if (text.size() > maxBytes)
        return std::string(what) + " is longer than " + std::to_string(maxBytes) + " bytes";
    if (FindInvalidUtf8(text) != std::string_view::npos)
        return std::string(what) + " is not UTF-8";
    if (HasControlCharacter(text))
        return std::string(what) + " holds a control character";
    return {};
}

bool IsPlainName(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

// The queue entry's file name, as a path's last part.
std::string_view LastPart(std::string_view path)
{
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string DesignProblem(std::string_view design, const MenuDesigns& designs)
{
    if (auto problem = TextProblem("the design", design, kMaxMenuTextBytes, false); !problem.empty())
        return problem;
    if (!IsPlainName(design))
        return "the design " + Quoted(design) + " is not a file name";
    if (designs.known && std::none_of(designs.queue.begin(), designs.queue.end(),
                                      [&](const std::string& queued) { return LastPart(queued) == design; }))
        return "the design " + Quoted(design) + " is not in the display's queue";
    return {};
}

std::string EventProblem(std::string_view event)
{
    if (auto problem = TextProblem("the event", event, kMaxEventBytes, false); !problem.empty())
        return problem;
    // It becomes part of a topic and an event type: no wildcards, no levels.
    const bool plain = std::all_of(event.begin(), event.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
               c == '.';
    });
    return plain ? std::string() : "the event " + Quoted(event) + " holds other than letters, digits, '_', '-', '.'";
}

std::string ActionProblem(const MenuAction& action, const MenuDesigns& designs)
{
    switch (action.kind) {
    case MenuActionKind::ShowDesign: return DesignProblem(action.design, designs);
    case MenuActionKind::SetData:
        if (auto problem = TextProblem("the item", action.item, kMaxMenuTextBytes, false); !problem.empty())
            return problem;
        return TextProblem("the value", action.value, kMaxMenuTextBytes, true);
    case MenuActionKind::RunCommand:
        if (action.command.empty())
            return "the program is missing";
        if (action.command.size() > kMaxCommandArguments + 1)
            return "more than " + std::to_string(kMaxCommandArguments) + " arguments";
        if (auto problem = TextProblem("the program", action.command.front(), kMaxMenuTextBytes, false);
            !problem.empty())
            return problem;
        for (std::size_t i = 1; i < action.command.size(); ++i)
            if (auto problem = TextProblem("argument " + std::to_string(i), action.command[i], kMaxMenuTextBytes, true);
                !problem.empty())
                return problem;
        return {};
    case MenuActionKind::PublishEvent: return EventProblem(action.event);
    default: return {};
    }
}

std::string LabelProblem(std::string_view label) { return TextProblem("the label", label, kMaxMenuLabelBytes, false); }

// "System > Reboot": where an entry is, by the labels above it.
std::string Place(const std::vector<std::string>& labels, std::string_view label)
{
    std::string place;
    for (const auto& above : labels)
        place += above + " > ";
    return place + (label.empty() ? std::string("(no label)") : std::string(Utf8Prefix(label, kMaxMenuLabelBytes)));
}

class Reader {
public:
    Reader(std::string_view xml, const MenuDesigns& designs) : xml_(xml), designs_(designs) {}

    MenuReadResult Read(Menu& menu)
    {
        pugi::xml_document document;
        const auto parsed = document.load_buffer(xml_.data(), xml_.size(), pugi::parse_default);
        if (!parsed)
            return Fail(static_cast<std::size_t>(parsed.offset), std::nullopt,
                        std::string("not XML: ") + parsed.description());
        pugi::xml_node root;
        for (pugi::xml_node node : document.children()) {
            if (node.type() != pugi::node_element)
                continue;
            if (root)
                return Refused(node, "a second root element");
            root = node;
        }
        if (!root || std::strcmp(root.name(), kMenu) != 0)
            return Refused(root, "the root element is not Menu");
        for (pugi::xml_attribute attribute : root.attributes())
            if (std::strcmp(attribute.name(), kTitle) != 0)
                return Refused(root, "unknown attribute " + std::string(attribute.name()));
        Menu read;
        read.title = root.attribute(kTitle).as_string(kDefaultMenuTitle);
        if (auto problem = TextProblem("the title", read.title, kMaxMenuLabelBytes, false); !problem.empty())
            return Refused(root, problem);
        if (!ReadEntries(root, read.entries))
            return result_;
        menu = std::move(read);
        return {true, {}};
    }

private:
    // One open level: its next child to read and where its entries go.
    struct Level {
        pugi::xml_node next;
        std::vector<MenuEntry>* entries;
        std::size_t depth;
    };

    // Depth first with a stack of its own, so a file's nesting never deepens ours. A level's
    // entries are appended to only while it is the top of the stack, so `entries` stays valid.
    bool ReadEntries(pugi::xml_node root, std::vector<MenuEntry>& top)
    {
        std::vector<Level> stack{{root.first_child(), &top, 1}};
        std::size_t count = 0;
        while (!stack.empty()) {
            Level& level = stack.back();
            pugi::xml_node node = level.next;
            while (node && node.type() != pugi::node_element)
                node = node.next_sibling();
            if (!node) {
                stack.pop_back();
                if (!labels_.empty())
                    labels_.pop_back();
                continue;
            }
            level.next = node.next_sibling();
            const std::string label = node.attribute(kLabel).as_string();
            if (++count > kMaxMenuEntries)
                return Fail(node, label, "more than " + std::to_string(kMaxMenuEntries) + " entries");
            if (std::strcmp(node.name(), kEntry) == 0) {
                MenuEntry entry;
                if (!ReadAction(node, entry))
                    return false;
                level.entries->push_back(std::move(entry));
            } else if (std::strcmp(node.name(), kSubmenu) == 0) {
                if (level.depth >= kMaxMenuDepth)
                    return Fail(node, label, "submenus nest deeper than " + std::to_string(kMaxMenuDepth) + " levels");
                if (!CheckLabel(node, label) || !OnlyAttributes(node, label, {kLabel}))
                    return false;
                level.entries->push_back({label, true, {}, {}});
                labels_.push_back(label);
                // `level` is not used below this: the push may move it.
                stack.push_back({node.first_child(), &level.entries->back().entries, level.depth + 1});
            } else {
                return Fail(node, label, "unknown element " + std::string(node.name()));
            }
        }
        return true;
    }

    bool ReadAction(pugi::xml_node node, MenuEntry& entry)
    {
        entry.label = node.attribute(kLabel).as_string();
        if (!CheckLabel(node, entry.label))
            return false;
        const pugi::xml_attribute actionName = node.attribute(kAction);
        if (!actionName)
            return Fail(node, entry.label, "no Action");
        MenuAction& action = entry.action;
        if (!MenuActionFromName(actionName.value(), action.kind))
            return Fail(node, entry.label, "unknown action " + Quoted(actionName.value()));
        std::vector<std::string_view> allowed = ActionAttributes(action.kind);
        allowed.insert(allowed.end(), {kLabel, kAction, kConfirm});
        if (!OnlyAttributes(node, entry.label, allowed))
            return false;
        const std::string_view confirm = node.attribute(kConfirm).as_string("no");
        if (confirm != "yes" && confirm != "no")
            return Fail(node, entry.label, "Confirm is neither yes nor no");
        action.confirm = confirm == "yes";
        for (std::string_view name : ActionAttributes(action.kind))
            if (!node.attribute(std::string(name).c_str()))
                return Fail(node, entry.label, "no " + std::string(name));
        action.design = node.attribute(kDesign).as_string();
        action.item = node.attribute(kItem).as_string();
        action.value = node.attribute(kValue).as_string();
        action.event = node.attribute(kEvent).as_string();
        if (action.kind == MenuActionKind::RunCommand)
            action.command.emplace_back(node.attribute(kProgram).as_string());
        for (pugi::xml_node child : node.children()) {
            if (child.type() != pugi::node_element)
                continue;
            if (action.kind != MenuActionKind::RunCommand || std::strcmp(child.name(), kArgument) != 0)
                return Fail(child, entry.label, "unknown element " + std::string(child.name()));
            if (!OnlyAttributes(child, entry.label, {kValue}) || !child.attribute(kValue))
                return Fail(child, entry.label, "an Argument without a Value");
            if (action.command.size() > kMaxCommandArguments)
                return Fail(child, entry.label, "more than " + std::to_string(kMaxCommandArguments) + " arguments");
            action.command.emplace_back(child.attribute(kValue).as_string());
        }
        entry.submenu = false;
        if (auto problem = ActionProblem(action, designs_); !problem.empty())
            return Fail(node, entry.label, problem);
        return true;
    }

    // A fault of the file as a whole: its line, no entry.
    MenuReadResult Refused(pugi::xml_node node, const std::string& problem) const
    {
        return Fail(Offset(node), std::nullopt, problem);
    }

    bool CheckLabel(pugi::xml_node node, const std::string& label)
    {
        if (!node.attribute(kLabel))
            return Fail(node, label, "no Label");
        if (auto problem = LabelProblem(label); !problem.empty())
            return Fail(node, label, problem);
        return true;
    }

    bool OnlyAttributes(pugi::xml_node node, const std::string& label, const std::vector<std::string_view>& allowed)
    {
        for (pugi::xml_attribute attribute : node.attributes())
            if (std::find(allowed.begin(), allowed.end(), attribute.name()) == allowed.end())
                return Fail(node, label, "unknown attribute " + std::string(attribute.name()));
        return true;
    }

    bool Fail(pugi::xml_node node, std::string_view label, const std::string& problem)
    {
        result_ = Fail(Offset(node), label, problem);
        return false;
    }

    static std::size_t Offset(pugi::xml_node node)
    {
        return node ? static_cast<std::size_t>(std::max<std::ptrdiff_t>(node.offset_debug(), 0)) : 0;
    }

    MenuReadResult Fail(std::size_t offset, std::optional<std::string_view> label, const std::string& problem) const
    {
        const auto end = xml_.begin() + static_cast<std::ptrdiff_t>(std::min(offset, xml_.size()));
        std::string where = "line " + std::to_string(1 + std::count(xml_.begin(), end, '\n'));
        if (label)
            where += ", " + Place(labels_, *label);
        return {false, Printable(where + ": " + problem)};
    }

    std::string_view xml_;
    const MenuDesigns& designs_;
    std::vector<std::string> labels_; // the submenus open above the node being read
    MenuReadResult result_;
};

// Calls visit(entry, labels above it, depth) for every entry, depth first, without recursion.
template <typename Visit>
bool VisitEntries(const Menu& menu, Visit visit)
{
    struct Level {
        const std::vector<MenuEntry>* entries;
        std::size_t next;
    };
    std::vector<Level> stack{{&menu.entries, 0}};
    std::vector<std::string> labels;
    while (!stack.empty()) {
        Level& level = stack.back();
        if (level.next == level.entries->size()) {
            stack.pop_back();
            if (!labels.empty())
                labels.pop_back();
            continue;
        }
        const MenuEntry& entry = (*level.entries)[level.next++];
        if (!visit(entry, labels, stack.size()))
            return false;
        if (entry.submenu) {
            labels.push_back(entry.label);
            stack.push_back({&entry.entries, 0});
        }
    }
    return true;
}

} // namespace

std::string_view MenuActionName(MenuActionKind kind)
{
    for (const auto& [known, name] : kActionNames)
        if (known == kind)
            return name;
    return {};
}

bool MenuActionFromName(std::string_view name, MenuActionKind& kind)
{
    for (const auto& [known, knownName] : kActionNames)
        if (knownName == name) {
            kind = known;
            return true;
        }
    return false;
}

MenuReadResult LoadMenuFromText(std::string_view xml, Menu& menu, const MenuDesigns& designs)
{
    menu = {};
    if (xml.size() > kMaxMenuFileBytes)
        return {false, "larger than " + std::to_string(kMaxMenuFileBytes / 1024) + " KiB"};
    return Reader(xml, designs).Read(menu);
}

MenuReadResult LoadMenu(const std::filesystem::path& path, Menu& menu, const MenuDesigns& designs)
{
    menu = {};
    // A menu starts programs: a link is not followed, so the file is the one its user wrote.
    const BoundedFile file = ReadBoundedFile(path.string(), kMaxMenuFileBytes, false, FileOwner::ThisUserOrRoot);
    MenuReadResult result = !file                    ? MenuReadResult{false, file.problem}
                            : WritableByOthers(file) ? MenuReadResult{false, kWritableByOthers}
                                                     : LoadMenuFromText(file.text, menu, designs);
    if (!result.ok)
        result.problem = path.string() + ": " + result.problem;
    return result;
}

std::string MenuProblem(const Menu& menu, const MenuDesigns& designs)
{
    if (auto problem = TextProblem("the title", menu.title, kMaxMenuLabelBytes, false); !problem.empty())
        return problem;
    std::string problem;
    std::size_t count = 0;
    VisitEntries(menu, [&](const MenuEntry& entry, const std::vector<std::string>& labels, std::size_t depth) {
        const auto fail = [&](const std::string& what) {
            problem = Printable(Place(labels, entry.label) + ": " + what);
            return false;
        };
        if (++count > kMaxMenuEntries)
            return fail("more than " + std::to_string(kMaxMenuEntries) + " entries");
        if (auto label = LabelProblem(entry.label); !label.empty())
            return fail(label);
        if (entry.submenu && depth >= kMaxMenuDepth)
            return fail("submenus nest deeper than " + std::to_string(kMaxMenuDepth) + " levels");
        if (!entry.submenu) {
            if (MenuActionName(entry.action.kind).empty())
                return fail("unknown action");
            if (auto action = ActionProblem(entry.action, designs); !action.empty())
                return fail(action);
        }
        return true;
    });
    return problem;
}

std::string MenuToText(const Menu& menu)
{
    pugi::xml_document document;
    pugi::xml_node root = document.append_child(kMenu);
    root.append_attribute(kTitle).set_value(menu.title.c_str());
    std::vector<pugi::xml_node> parents{root};
    // VisitEntries reports the depth of each entry: the parents above it are the first `depth`.
    VisitEntries(menu, [&](const MenuEntry& entry, const std::vector<std::string>&, std::size_t depth) {
        parents.resize(depth);
        pugi::xml_node node = parents.back().append_child(entry.submenu ? kSubmenu : kEntry);
        node.append_attribute(kLabel).set_value(entry.label.c_str());
        if (entry.submenu) {
            parents.push_back(node);
            return true;
        }
        const MenuAction& action = entry.action;
        node.append_attribute(kAction).set_value(std::string(MenuActionName(action.kind)).c_str());
        switch (action.kind) {
        case MenuActionKind::ShowDesign: node.append_attribute(kDesign).set_value(action.design.c_str()); break;
        case MenuActionKind::SetData:
            node.append_attribute(kItem).set_value(action.item.c_str());
            node.append_attribute(kValue).set_value(action.value.c_str());
            break;
        case MenuActionKind::RunCommand:
            node.append_attribute(kProgram).set_value(action.command.empty() ? "" : action.command.front().c_str());
            break;
        case MenuActionKind::PublishEvent: node.append_attribute(kEvent).set_value(action.event.c_str()); break;
        default: break;
        }
        if (action.confirm)
            node.append_attribute(kConfirm).set_value("yes");
        if (action.kind == MenuActionKind::RunCommand)
            for (std::size_t i = 1; i < action.command.size(); ++i)
                node.append_child(kArgument).append_attribute(kValue).set_value(action.command[i].c_str());
        return true;
    });
    std::ostringstream raw;
    document.save(raw, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    return ReindentXml(raw.str());
}

bool SaveMenu(const Menu& menu, const std::filesystem::path& path, std::string* error)
{
    if (auto problem = MenuProblem(menu); !problem.empty()) {
        if (error)
            *error = problem;
        return false;
    }
    if (!WriteFileAtomically(path, MenuToText(menu), error))
        return false;
    // The mode of the file replaced is kept, but not a write bit the reader would refuse it for.
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && OthersWriteBits(info.st_mode, info.st_gid) != 0 &&
        chmod(path.c_str(), (info.st_mode & 07777) & ~OthersWriteBits(info.st_mode, info.st_gid)) != 0) {
        if (error)
            *error = "cannot keep other users from writing it: " + std::string(std::strerror(errno));
        return false;
    }
    return true;
}

} // namespace pixtera
