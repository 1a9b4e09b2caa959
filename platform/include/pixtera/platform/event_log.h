// SPDX-License-Identifier: MIT
#pragma once
// The service's information events: syslog (ident "Pixtera2") in service mode, standard output
// otherwise.

#include <pixtera/platform/export.h>

#include <functional>
#include <string_view>

namespace pixtera {

enum class LogSink { StandardOutput, Syslog };

PX_API void SetLogSink(LogSink sink);
// Sends events to a function instead (tests); an empty function restores the chosen sink.
PX_API void SetLogCapture(std::function<void(std::string_view)> capture);

PX_API void LogInformation(std::string_view message);
PX_API void LogWarning(std::string_view message);
PX_API void LogError(std::string_view message);

} // namespace pixtera
