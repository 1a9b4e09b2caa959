// SPDX-License-Identifier: MIT
#pragma once
// The service's icon in the desktop's notification area: a StatusNotifierItem with a
// com.canonical.dbusmenu menu of "Start Designer" (203) and "Stop" (202). Clicking the icon does
// nothing; the menu is its context menu. It registers with the StatusNotifierWatcher when there
// is one, and again whenever the bus says a watcher appeared. Any program may call the menu's
// methods or send the item signals: all of them run under guard_.

#include "session_bus.h"

#include <pixtera/bus/handler_guard.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace pixtera {

inline constexpr int32_t kStartDesignerId = 203;
inline constexpr int32_t kStopId = 202;

class TrayIcon {
public:
    // `shutdown` ends the service (the Manager's Shutdown); the designer is started from
    // `programDirectory`.
    TrayIcon(SessionBus& bus, std::filesystem::path programDirectory, std::function<void()> shutdown);
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;
    ~TrayIcon();

    void StartDesigner();
    void Stop();

private:
    void ExportItem();
    void ExportMenu();
    void Register();

    SessionBus& bus_;
    bus::HandlerGuard guard_{"The tray icon"};
    std::filesystem::path programDirectory_;
    std::function<void()> shutdown_;
    std::unique_ptr<sdbus::IObject> item_;
    std::unique_ptr<sdbus::IObject> menu_;
    std::unique_ptr<sdbus::IProxy> busDaemon_; // for the watcher's NameOwnerChanged
    std::mutex watcherMutex_; // guards watcher_
    std::unique_ptr<sdbus::IProxy> watcher_; // kept until its registration was answered
};

} // namespace pixtera
