// SPDX-License-Identifier: MIT
#include <pixtera/bus/guard_log.h>

#include <pixtera/platform/event_log.h>
#include <pixtera/platform/utf8_only.h>

#include <new>

namespace pixtera::bus {

std::string SenderOf(const sdbus::Message& message)
{
    try {
        return message.getSender();
    } catch (const std::logic_error&) {
        return "(no sender)"; // the library makes a string of a null sender
    }
}

namespace detail {

std::string Described(const std::exception_ptr& thrown)
{
    try {
        std::rethrow_exception(thrown);
    } catch (const sdbus::Error& error) {
        return error.getMessage();
    } catch (const std::bad_alloc&) {
        return "out of memory";
    } catch (const std::exception& error) {
        return error.what();
    } catch (...) {
        return "an unknown exception";
    }
}

void GuardLog::Say(const std::string& sender, const std::string& line) noexcept
{
    try {
        switch (said_.Note(sender)) {
        case OncePerSender::Verdict::Name: LogWarning(line + "; more from " + sender + " are not logged"); break;
        case OncePerSender::Verdict::FullNow:
            LogWarning(line + "; from now on such messages from any sender are dropped without a word");
            break;
        case OncePerSender::Verdict::Silence: break;
        }
    } catch (...) {
        // No memory for the line: the message is dropped all the same.
    }
}

void GuardLog::Dropped(const sdbus::Message& message, std::string_view what, std::string_view why) noexcept
{
    try {
        const std::string sender = SenderOf(message);
        Say(sender, owner_ + ": dropped " + std::string(what) + " from " + sender + ": " + std::string(why));
    } catch (...) {
    }
}

void GuardLog::Dropped(const sdbus::Message& message, std::string_view what, const std::exception_ptr& thrown) noexcept
{
    try {
        Dropped(message, what, Described(thrown));
    } catch (...) {
    }
}

sdbus::Error GuardLog::Failed(const sdbus::Message& call, std::string_view interface, std::string_view member,
                              const std::exception_ptr& thrown)
{
    const std::string why = Utf8Only(Described(thrown));
    try {
        const std::string sender = SenderOf(call);
        Say(sender, owner_ + ": " + std::string(interface) + "." + std::string(member) + " called by " + sender +
                        " failed (" + why + "); the caller got an error");
    } catch (...) {
    }
    bool noMemory = false;
    try {
        std::rethrow_exception(thrown);
    } catch (const std::bad_alloc&) {
        noMemory = true;
    } catch (...) {
    }
    return sdbus::Error(noMemory ? "org.freedesktop.DBus.Error.NoMemory" : "org.freedesktop.DBus.Error.Failed", why);
}

} // namespace detail
} // namespace pixtera::bus
