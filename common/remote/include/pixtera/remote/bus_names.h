// SPDX-License-Identifier: MIT
#pragma once
// The service's published object model on the session bus: its name, object paths and
// interfaces. Method names are the operations' names.

#include <string>

namespace pixtera::bus {

inline constexpr const char* kServiceName = "org.pixtera.Pixtera2";

inline constexpr const char* kManagerPath = "/org/pixtera/Manager";
inline constexpr const char* kDriverManagerPath = "/org/pixtera/DriverManager";
inline constexpr const char* kDataManagerPath = "/org/pixtera/DataManager";
inline constexpr const char* kDisplayManagerPath = "/org/pixtera/DisplayManager";
inline constexpr const char* kFeedPath = "/org/pixtera/Feed";
inline std::string DisplayPath(long index) { return "/org/pixtera/Display/" + std::to_string(index); }
inline std::string DriverPath(long index) { return "/org/pixtera/Driver/" + std::to_string(index); }

inline constexpr const char* kManager = "org.pixtera.IManager";
inline constexpr const char* kDriverManager = "org.pixtera.IDriverManager";
inline constexpr const char* kDataManager = "org.pixtera.IDataManager";
inline constexpr const char* kDataCollection = "org.pixtera.IDataCollection";
inline constexpr const char* kDisplayManager = "org.pixtera.IDisplayManager";
inline constexpr const char* kManagedDisplay = "org.pixtera.IManagedDisplay";
inline constexpr const char* kDisplayLease = "org.pixtera.IDisplayLease";
inline constexpr const char* kDisplayPower = "org.pixtera.IDisplayPower";
inline constexpr const char* kDisplayInput = "org.pixtera.IDisplayInput";
inline constexpr const char* kDisplayLeds = "org.pixtera.IDisplayLeds";
inline constexpr const char* kDisplayDriver = "org.pixtera.IDisplayDriver";
inline constexpr const char* kDisplayCharacterSet = "org.pixtera.IDisplayCharacterSet";
inline constexpr const char* kPluginInfo = "org.pixtera.IPluginInfo";
inline constexpr const char* kDataFeed = "org.pixtera.IDataFeed";
// References that clients hold on the Manager, counted per client connection.
inline constexpr const char* kLifetime = "org.pixtera.ILifetime";

inline constexpr const char* kErrorPrefix = "org.pixtera.Error.";

} // namespace pixtera::bus
