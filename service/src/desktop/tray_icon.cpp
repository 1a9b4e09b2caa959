// SPDX-License-Identifier: MIT
#include "tray_icon.h"

#include <pixtera/platform/event_log.h>
#include <pixtera/platform/message_box.h>
#include <pixtera/platform/named_mutex.h>
#include <pixtera/platform/spawn.h>
#include <pixtera/platform/thread.h>

#include <sys/wait.h>

#include <algorithm>
#include <map>
#include <thread>
#include <tuple>
#include <vector>

namespace pixtera {
namespace {

constexpr const char* kItemPath = "/StatusNotifierItem";
constexpr const char* kMenuPath = "/MenuBar";
constexpr const char* kItemInterface = "org.kde.StatusNotifierItem";
constexpr const char* kMenuInterface = "com.canonical.dbusmenu";
constexpr const char* kWatcher = "org.kde.StatusNotifierWatcher";

using Properties = std::map<std::string, sdbus::Variant>;
using Layout = sdbus::Struct<int32_t, Properties, std::vector<sdbus::Variant>>;
using Pixmap = sdbus::Struct<int32_t, int32_t, std::vector<uint8_t>>;

// The icon: a small blue character module with a lit row, as ARGB in network byte order.
std::vector<Pixmap> IconPixmaps()
{
    std::vector<Pixmap> pixmaps;
    for (int size : {16, 22, 32}) {
        std::vector<uint8_t> pixels;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const bool frame = x < 1 || y < 3 || x >= size - 1 || y >= size - 3;
                const bool text =
                    !frame && y >= size / 2 - 2 && y < size / 2 + 1 && x % 3 != 0 && x > 2 && x < size - 3;
                const uint8_t r = frame ? 60 : text ? 230 : 30;
                const uint8_t g = frame ? 60 : text ? 240 : 70;
                const uint8_t b = frame ? 70 : text ? 255 : 200;
                pixels.insert(pixels.end(), {255, r, g, b});
            }
        }
        pixmaps.emplace_back(size, size, std::move(pixels));
    }
    return pixmaps;
}

Layout MenuItem(int32_t id, const char* label)
{
    return Layout(id, Properties{{"label", sdbus::Variant(std::string(label))}}, std::vector<sdbus::Variant>{});
}

Layout MenuRoot()
{
    return Layout(0, Properties{{"children-display", sdbus::Variant(std::string("submenu"))}},
                  std::vector<sdbus::Variant>{sdbus::Variant(MenuItem(kStartDesignerId, "Start Designer")),
                                              sdbus::Variant(MenuItem(kStopId, "Stop"))});
}

} // namespace

TrayIcon::TrayIcon(SessionBus& bus, std::filesystem::path programDirectory, std::function<void()> shutdown)
    : bus_(bus), programDirectory_(std::move(programDirectory)), shutdown_(std::move(shutdown))
{
    ExportItem();
    ExportMenu();
    busDaemon_ = sdbus::createProxy(bus_.connection(), bus::kBusDaemonName, "/org/freedesktop/DBus");
    busDaemon_->registerSignalHandler(
        "org.freedesktop.DBus", "NameOwnerChanged",
        guard_.OnSignalFrom(bus::kBusDaemonName, "NameOwnerChanged",
                            [this](const std::string& name, const std::string&, const std::string& newOwner) {
                                // A watcher that (re)starts has forgotten its items.
                                if (name == kWatcher && !newOwner.empty())
                                    Register();
                            }));
    busDaemon_->finishRegistration();
    // Registered before the loop runs: from then on only the loop's own thread uses the connection.
    Register();
    bus_.Start();
}

TrayIcon::~TrayIcon() = default; // the objects leave the bus with it, and the watcher notices

void TrayIcon::ExportItem()
{
    item_ = sdbus::createObject(bus_.connection(), kItemPath);
    auto text = [](const char* value) { return [value] { return std::string(value); }; };
    item_->registerProperty("Category").onInterface(kItemInterface).withGetter(text("ApplicationStatus"));
    item_->registerProperty("Id").onInterface(kItemInterface).withGetter(text("pixtera2"));
    item_->registerProperty("Title").onInterface(kItemInterface).withGetter(text("Pixtera"));
    item_->registerProperty("Status").onInterface(kItemInterface).withGetter(text("Active"));
    item_->registerProperty("WindowId").onInterface(kItemInterface).withGetter([] { return int32_t{0}; });
    item_->registerProperty("IconName").onInterface(kItemInterface).withGetter(text("video-display"));
    item_->registerProperty("IconPixmap").onInterface(kItemInterface).withGetter([] { return IconPixmaps(); });
    item_->registerProperty("ToolTip").onInterface(kItemInterface).withGetter([] {
        return sdbus::Struct<std::string, std::vector<Pixmap>, std::string, std::string>(
            std::string(), std::vector<Pixmap>{}, std::string("Pixtera"), std::string());
    });
    item_->registerProperty("Menu").onInterface(kItemInterface).withGetter([] { return sdbus::ObjectPath(kMenuPath); });
    item_->registerProperty("ItemIsMenu").onInterface(kItemInterface).withGetter([] { return false; });
    // Clicks on the icon itself do nothing: the menu is all there is.
    guard_.Method(*item_, "Activate").onInterface(kItemInterface).implementedAs([](int32_t, int32_t) {});
    guard_.Method(*item_, "SecondaryActivate").onInterface(kItemInterface).implementedAs([](int32_t, int32_t) {});
    guard_.Method(*item_, "ContextMenu").onInterface(kItemInterface).implementedAs([](int32_t, int32_t) {});
    guard_.Method(*item_, "Scroll").onInterface(kItemInterface).implementedAs([](int32_t, const std::string&) {});
    for (const char* signal : {"NewTitle", "NewIcon", "NewToolTip", "NewStatus"})
        item_->registerSignal(signal).onInterface(kItemInterface);
    item_->finishRegistration();
}

void TrayIcon::ExportMenu()
{
    menu_ = sdbus::createObject(bus_.connection(), kMenuPath);
    menu_->registerProperty("Version").onInterface(kMenuInterface).withGetter([] { return uint32_t{3}; });
    menu_->registerProperty("TextDirection").onInterface(kMenuInterface).withGetter([] { return std::string("ltr"); });
    menu_->registerProperty("Status").onInterface(kMenuInterface).withGetter([] { return std::string("normal"); });
    menu_->registerProperty("IconThemePath").onInterface(kMenuInterface).withGetter([] {
        return std::vector<std::string>{};
    });
    guard_.Method(*menu_, "GetLayout")
        .onInterface(kMenuInterface)
        .withInputParamNames("parentId", "recursionDepth", "propertyNames")
        .withOutputParamNames("revision", "layout")
        .implementedAs([](int32_t parent, int32_t depth, const std::vector<std::string>&) {
            Layout layout = parent == kStartDesignerId ? MenuItem(kStartDesignerId, "Start Designer")
                            : parent == kStopId        ? MenuItem(kStopId, "Stop")
                                                       : MenuRoot();
            if (depth == 0)
                std::get<2>(layout).clear();
            return std::tuple<uint32_t, Layout>(1, layout);
        });
    guard_.Method(*menu_, "GetGroupProperties")
        .onInterface(kMenuInterface)
        .withInputParamNames("ids", "propertyNames")
        .withOutputParamNames("properties")
        .implementedAs([](const std::vector<int32_t>& ids, const std::vector<std::string>&) {
            std::vector<sdbus::Struct<int32_t, Properties>> found;
            for (const auto& [id, label] : {std::pair{kStartDesignerId, "Start Designer"}, std::pair{kStopId, "Stop"}})
                if (ids.empty() || std::find(ids.begin(), ids.end(), id) != ids.end())
                    found.emplace_back(id, Properties{{"label", sdbus::Variant(std::string(label))}});
            return found;
        });
    guard_.Method(*menu_, "GetProperty")
        .onInterface(kMenuInterface)
        .withInputParamNames("id", "name")
        .withOutputParamNames("value")
        .implementedAs([](int32_t id, const std::string& name) {
            if (name == "label" && (id == kStartDesignerId || id == kStopId))
                return sdbus::Variant(std::string(id == kStopId ? "Stop" : "Start Designer"));
            throw sdbus::Error("com.canonical.dbusmenu.Error.UnknownProperty", "no such property");
        });
    guard_.Method(*menu_, "Event")
        .onInterface(kMenuInterface)
        .withInputParamNames("id", "eventId", "data", "timestamp")
        .implementedAs([this](int32_t id, const std::string& event, const sdbus::Variant&, uint32_t) {
            if (event != "clicked")
                return;
            if (id == kStartDesignerId)
                StartDesigner();
            else if (id == kStopId)
                Stop();
        });
    guard_.Method(*menu_, "EventGroup")
        .onInterface(kMenuInterface)
        .withInputParamNames("events")
        .withOutputParamNames("idErrors")
        .implementedAs([this](
                           const std::vector<sdbus::Struct<int32_t, std::string, sdbus::Variant, uint32_t>>& events) {
            for (const auto& e : events)
                if (std::get<1>(e) == "clicked")
                    std::get<0>(e) == kStartDesignerId ? StartDesigner() : std::get<0>(e) == kStopId ? Stop() : void();
            return std::vector<int32_t>{};
        });
    guard_.Method(*menu_, "AboutToShow")
        .onInterface(kMenuInterface)
        .withInputParamNames("id")
        .withOutputParamNames("needUpdate")
        .implementedAs([](int32_t) { return false; });
    guard_.Method(*menu_, "AboutToShowGroup")
        .onInterface(kMenuInterface)
        .withInputParamNames("ids")
        .withOutputParamNames("updatesNeeded", "idErrors")
        .implementedAs(
            [](const std::vector<int32_t>&) { return std::tuple<std::vector<int32_t>, std::vector<int32_t>>{}; });
    menu_->registerSignal("LayoutUpdated").onInterface(kMenuInterface).withParameters<uint32_t, int32_t>();
    menu_->registerSignal("ItemsPropertiesUpdated")
        .onInterface(kMenuInterface)
        .withParameters<std::vector<sdbus::Struct<int32_t, Properties>>,
                        std::vector<sdbus::Struct<int32_t, std::vector<std::string>>>>();
    menu_->finishRegistration();
}

void TrayIcon::Register()
{
    // Asynchronously: this may run on the connection's own loop thread.
    try {
        auto watcher = sdbus::createProxy(bus_.connection(), kWatcher, "/StatusNotifierWatcher");
        watcher->callMethodAsync("RegisterStatusNotifierItem")
            .onInterface(kWatcher)
            .withArguments(bus_.connection().getUniqueName())
            .withTimeout(std::chrono::seconds(5))
            .uponReplyInvoke([](const sdbus::Error*) {}); // no watcher: there is no tray, and that is fine
        std::lock_guard lock(watcherMutex_);
        watcher_ = std::move(watcher);
    } catch (const sdbus::Error&) {
    }
}

void TrayIcon::StartDesigner()
{
    SpawnOptions options;
    options.argv = {(programDirectory_ / "pixtera-designer").string()};
    options.input = SpawnOptions::Stream{};
    options.newSession = true;
    const pid_t child = Spawn(options);
    if (child < 0) {
        MessageBoxA(nullptr, "Error starting designer", "Error", MB_OK | MB_ICONERROR);
        return;
    }
    std::thread([child] {
        NameThisThread("px-reap");
        waitpid(child, nullptr, 0);
    }).detach(); // no zombie stays behind
}

void TrayIcon::Stop()
{
    NamedMutex designer("PixteraDesigner");
    if (designer.alreadyExists()) {
        MessageBoxA(nullptr, "The Pixtera designer is still running unable to stop.", "Error", MB_OK | MB_ICONERROR);
        return;
    }
    shutdown_();
}

} // namespace pixtera
