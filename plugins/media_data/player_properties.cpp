// SPDX-License-Identifier: MIT
#include "player_properties.h"

#include <cmath>

namespace pixtera::media {
namespace {

constexpr double kMaxRate = 1000;

template <class T>
std::optional<T> As(const sdbus::Variant& value)
{
    try {
        return value.get<T>();
    } catch (const sdbus::Error&) {
        return std::nullopt;
    }
}

double Seconds(std::int64_t microseconds) { return static_cast<double>(microseconds) / 1e6; }

std::string Text(const Properties& map, const char* key)
{
    const auto field = map.find(key);
    return field == map.end() ? std::string() : BoundedText(As<std::string>(field->second).value_or(""));
}

std::vector<std::string> Artists(const Properties& metadata)
{
    const auto field = metadata.find("xesam:artist");
    std::vector<std::string> artists;
    if (field == metadata.end())
        return artists;
    for (auto& artist : As<std::vector<std::string>>(field->second).value_or(std::vector<std::string>{})) {
        if (artists.size() == kMaxArtists)
            break;
        artists.push_back(BoundedText(std::move(artist)));
    }
    return artists;
}

std::optional<double> Length(const Properties& metadata)
{
    const auto field = metadata.find("mpris:length");
    if (field == metadata.end())
        return std::nullopt;
    if (const auto signedLength = As<std::int64_t>(field->second))
        return Seconds(*signedLength);
    if (const auto unsignedLength = As<std::uint64_t>(field->second))
        return static_cast<double>(*unsignedLength) / 1e6;
    return std::nullopt;
}

void ApplyMetadata(PlayerState& player, const Properties& metadata, bool positionGiven)
{
    const std::string title = Text(metadata, "xesam:title");
    if (title != player.title && !positionGiven)
        player.position = 0; // a new track starts from its beginning
    player.title = title;
    player.album = Text(metadata, "xesam:album");
    player.artists = Artists(metadata);
    player.length = Length(metadata);
}

bool KnownStatus(const std::string& status) { return status == "Playing" || status == "Paused" || status == "Stopped"; }

} // namespace

std::string BoundedText(std::string text)
{
    if (text.size() <= kMaxTextBytes)
        return text;
    std::size_t end = kMaxTextBytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end; // text[end] continues a sequence: cut before the sequence's start
    text.resize(end);
    return text;
}

void ApplyProperties(PlayerState& player, const Properties& properties, Clock::time_point now)
{
    player.Settle(now); // status, rate or track may change below
    if (const auto it = properties.find("Rate"); it != properties.end()) {
        const double rate = As<double>(it->second).value_or(1.0);
        if (std::isfinite(rate) && std::abs(rate) <= kMaxRate)
            player.rate = rate;
    }
    const auto position = properties.find("Position");
    if (position != properties.end())
        player.position = Seconds(As<std::int64_t>(position->second).value_or(0));
    if (const auto it = properties.find("Metadata"); it != properties.end())
        if (const auto metadata = As<Properties>(it->second))
            ApplyMetadata(player, *metadata, position != properties.end());
    if (const auto it = properties.find("PlaybackStatus"); it != properties.end()) {
        const std::string status = As<std::string>(it->second).value_or("");
        if (KnownStatus(status)) {
            if (status == "Playing" && player.status != "Playing")
                player.startedPlaying = now;
            if (status == "Stopped")
                player.position = 0;
            player.status = status;
        }
    }
}

} // namespace pixtera::media
