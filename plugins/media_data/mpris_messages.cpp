// SPDX-License-Identifier: MIT
#include "mpris_messages.h"

#include <tuple>

namespace pixtera::media {
namespace {

// The message's arguments as `Arguments`, or nothing. A message that ends early reads as
// defaults with the message marked; one of other types throws, which the bus library does on
// any mismatch.
template <class... Arguments>
std::optional<std::tuple<Arguments...>> Read(sdbus::Message& message)
{
    std::tuple<Arguments...> arguments;
    try {
        message >> arguments;
    } catch (const sdbus::Error&) {
        return std::nullopt;
    }
    if (!message)
        return std::nullopt;
    return arguments;
}

} // namespace

std::optional<PropertiesChange> ReadPropertiesChanged(sdbus::Message& message)
{
    auto read = Read<std::string, Properties, std::vector<std::string>>(message);
    if (!read)
        return std::nullopt;
    return PropertiesChange{std::move(std::get<0>(*read)), std::move(std::get<1>(*read))};
}

std::optional<std::int64_t> ReadSeeked(sdbus::Message& message)
{
    const auto read = Read<std::int64_t>(message);
    return read ? std::optional(std::get<0>(*read)) : std::nullopt;
}

std::optional<OwnerChange> ReadNameOwnerChanged(sdbus::Message& message)
{
    auto read = Read<std::string, std::string, std::string>(message);
    if (!read)
        return std::nullopt;
    return OwnerChange{std::move(std::get<0>(*read)), std::move(std::get<1>(*read)), std::move(std::get<2>(*read))};
}

std::optional<Properties> ReadProperties(sdbus::Message& message)
{
    auto read = Read<Properties>(message);
    return read ? std::optional(std::move(std::get<0>(*read))) : std::nullopt;
}

std::optional<std::string> ReadTextProperty(sdbus::Message& message)
{
    const auto read = Read<sdbus::Variant>(message);
    if (!read)
        return std::nullopt;
    try {
        return std::get<0>(*read).get<std::string>();
    } catch (const sdbus::Error&) {
        return std::nullopt;
    }
}

std::optional<std::vector<std::string>> ReadNames(sdbus::Message& message)
{
    auto read = Read<std::vector<std::string>>(message);
    return read ? std::optional(std::move(std::get<0>(*read))) : std::nullopt;
}

std::optional<std::string> ReadName(sdbus::Message& message)
{
    auto read = Read<std::string>(message);
    return read ? std::optional(std::move(std::get<0>(*read))) : std::nullopt;
}

} // namespace pixtera::media
