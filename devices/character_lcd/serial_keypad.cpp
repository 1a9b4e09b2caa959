// SPDX-License-Identifier: MIT
#include "serial_keypad.h"

#include <pixtera/platform/thread.h>
#include <pixtera/sdk/key_names.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <charconv>

namespace pixtera::lcd {
namespace {

std::optional<std::uint8_t> ReadKeyByte(std::string_view text)
{
    if (text.size() == 1 && std::isalnum(static_cast<unsigned char>(text[0])))
        return static_cast<std::uint8_t>(text[0]);
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        unsigned value = 0;
        const auto [end, error] = std::from_chars(text.data() + 2, text.data() + text.size(), value, 16);
        if (error == std::errc() && end == text.data() + text.size() && value <= 0xFF)
            return static_cast<std::uint8_t>(value);
    }
    return std::nullopt;
}

} // namespace

std::optional<KeypadMap> ParseKeypadMap(const std::string& text, std::string& problem)
{
    KeypadMap map{};
    std::string_view rest(text);
    while (!rest.empty()) {
        const auto comma = rest.find(',');
        const std::string_view part = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        const auto colon = part.find(':');
        const auto byte = colon == std::string_view::npos ? std::nullopt : ReadKeyByte(part.substr(0, colon));
        const auto key = colon == std::string_view::npos ? std::nullopt : KeyFromName(part.substr(colon + 1));
        if (!byte || !key) {
            problem = std::string(part);
            return std::nullopt;
        }
        map[*byte] = *key;
    }
    return map;
}

LONG KeypadDecoder::KeyOf(std::uint8_t byte) const { return map_[byte] ? map_[byte] : kKeyRaw | byte; }

KeyEventOf KeypadDecoder::Decode(std::uint8_t byte, Clock::time_point now)
{
    switch (repeat_) {
    case KeyRepeat::Off: return {KeyOf(byte), kKeyPressed};
    case KeyRepeat::Typematic: {
        const bool again = last_ == byte && now - lastAt_ <= kRepeatWindow;
        last_ = byte;
        lastAt_ = now;
        return {KeyOf(byte), again ? kKeyRepeated : kKeyPressed};
    }
    case KeyRepeat::UpDown:
        // A release is its key's byte + 0x20: a lower-case letter, unless the map names it.
        if (byte >= 'a' && byte <= 'z' && !map_[byte])
            return {KeyOf(static_cast<std::uint8_t>(byte - 0x20)), kKeyReleased};
        return {KeyOf(byte), kKeyPressed};
    }
    return {KeyOf(byte), kKeyPressed};
}

SerialKeypad::SerialKeypad(KeypadDecoder decoder, Pressed pressed)
    : pressed_(std::move(pressed)), wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), decoder_(decoder)
{
    thread_ = std::thread([this] {
        NameThisThread("px-keypad");
        Run();
        std::lock_guard lock(mutex_);
        running_ = false;
        detached_.notify_all();
    });
}

SerialKeypad::~SerialKeypad() { Stop(); }

void SerialKeypad::Attach(int fd)
{
    UniqueFd copy(fcntl(fd, F_DUPFD_CLOEXEC, 0));
    {
        std::lock_guard lock(mutex_);
        if (stopping_)
            return;
        attached_ = std::move(copy);
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = write(wake_.get(), &one, sizeof one);
}

void SerialKeypad::Detach()
{
    std::unique_lock lock(mutex_);
    attached_.reset();
    if (!running_)
        return;
    const std::uint64_t asked = ++detachAsked_;
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = write(wake_.get(), &one, sizeof one);
    detached_.wait(lock, [&] { return detachDone_ >= asked || !running_; });
}

void SerialKeypad::Stop()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        attached_.reset();
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = write(wake_.get(), &one, sizeof one);
    if (thread_.joinable())
        thread_.join();
    port_.reset(); // its lock goes with the writer's own descriptor
}

void SerialKeypad::Run()
{
    for (;;) {
        pollfd fds[2] = {{wake_.get(), POLLIN, 0}, {port_ ? port_.get() : -1, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        if (fds[0].revents & POLLIN) {
            std::uint64_t drained = 0;
            [[maybe_unused]] const auto got = read(wake_.get(), &drained, sizeof drained);
            std::lock_guard lock(mutex_);
            if (stopping_)
                return;
            if (detachDone_ < detachAsked_) {
                port_.reset();
                detachDone_ = detachAsked_;
                detached_.notify_all();
            }
            if (attached_)
                port_ = std::move(attached_); // the old port, if any, is closed: the writer left it
            continue; // the port may have changed under the poll
        }
        if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL) && !(fds[1].revents & POLLIN)) {
            port_.reset(); // unplugged: the writer opens it again and hands it over
            continue;
        }
        if (!(fds[1].revents & POLLIN))
            continue;
        unsigned char bytes[64];
        const ssize_t got = read(port_.get(), bytes, sizeof bytes);
        if (got < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (got <= 0) {
            port_.reset();
            continue;
        }
        const auto now = KeypadDecoder::Clock::now();
        for (ssize_t i = 0; i < got; ++i) {
            const KeyEventOf event = decoder_.Decode(bytes[i], now);
            pressed_(event.key, event.action);
        }
    }
}

} // namespace pixtera::lcd
