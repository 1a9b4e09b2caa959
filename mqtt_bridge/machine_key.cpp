// SPDX-License-Identifier: MIT
#include "machine_key.h"

#include <pixtera/platform/event_log.h>

#include <systemd/sd-id128.h>

#include <cstdint>
#include <cstring>

namespace pixtera::bridge {
namespace {

// pixtera-mqtt's own application id: another program's key of the same machine differs.
constexpr sd_id128_t kApplication = SD_ID128_MAKE(6b, 3e, 0a, 91, 5c, 24, 4f, 7d, 8e, 12, a7, 40, c9, 5d, 33, 08);

std::string Hex(const std::uint8_t* bytes, std::size_t count)
{
    constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0xF];
    }
    return text;
}

// FNV-1a, twice with different seeds: only a stand-in name, nothing to keep secret.
std::string HostnameKey(std::string_view hostname)
{
    std::uint8_t bytes[16] = {};
    for (int half = 0; half < 2; ++half) {
        std::uint64_t hash = 14695981039346656037ULL ^ static_cast<std::uint64_t>(half + 1);
        for (char c : hostname)
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
        std::memcpy(bytes + 8 * half, &hash, 8);
    }
    return Hex(bytes, sizeof bytes);
}

} // namespace

std::string MachineKey(std::string_view hostname)
{
    sd_id128_t key;
    if (const int error = sd_id128_get_machine_app_specific(kApplication, &key); error < 0) {
        LogWarning("pixtera-mqtt: this machine has no machine id (" + std::string(std::strerror(-error)) +
                   "); Home Assistant's entities are named after the host name, and renaming it makes new ones");
        return HostnameKey(hostname);
    }
    return Hex(key.bytes, sizeof key.bytes);
}

} // namespace pixtera::bridge
