// SPDX-License-Identifier: MIT
#include <pixtera/platform/event_log.h>

#include <syslog.h>

#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>

namespace pixtera {
namespace {

struct LogState {
    std::mutex mutex;
    LogSink sink = LogSink::StandardOutput;
    std::function<void(std::string_view)> capture;
    bool syslogOpen = false;
};

LogState& State()
{
    static LogState state;
    return state;
}

void Write(int priority, std::string_view message)
{
    auto& state = State();
    std::lock_guard lock(state.mutex);
    if (state.capture) {
        state.capture(message);
        return;
    }
    if (state.sink == LogSink::Syslog) {
        if (!state.syslogOpen) {
            openlog("Pixtera2", LOG_PID, LOG_DAEMON);
            state.syslogOpen = true;
        }
        syslog(priority, "%.*s", static_cast<int>(message.size()), message.data());
        return;
    }
    // A person reads this: when it happened, in local time.
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const std::size_t length = std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S ", &local);
    std::fwrite(stamp, 1, length, stdout);
    std::fwrite(message.data(), 1, message.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

void SetLogSink(LogSink sink)
{
    std::lock_guard lock(State().mutex);
    State().sink = sink;
}

void SetLogCapture(std::function<void(std::string_view)> capture)
{
    std::lock_guard lock(State().mutex);
    State().capture = std::move(capture);
}

void LogInformation(std::string_view message) { Write(LOG_INFO, message); }
void LogWarning(std::string_view message) { Write(LOG_WARNING, message); }
void LogError(std::string_view message) { Write(LOG_ERR, message); }

} // namespace pixtera
