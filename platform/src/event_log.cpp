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

// Messages carry text from outside (a program's errors, names a user gave); on the terminal the
// service runs in, its control codes (C1 ones in UTF-8 too) would be commands.
std::string Printable(std::string_view message)
{
    std::string text(message);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c < 0x20 && c != '\n' && c != '\t') || c == 0x7F) {
            text[i] = '?';
        } else if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) < 0xA0) {
            text.replace(i, 2, "?");
        }
    }
    return text;
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
    const std::string printable = Printable(message);
    std::fwrite(printable.data(), 1, printable.size(), stdout);
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
