// SPDX-License-Identifier: MIT
#pragma once
// Plug-in configuration texts of the form "name=value;name=value". Names are case-sensitive;
// blanks around names and values are dropped; a field without '=' is ignored.

#include <pixtera/platform/types.h>

#include <charconv>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pixtera {

// The text without the blanks (spaces, tabs) around it.
inline std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// The entries of a comma-separated value ("a, b,,c": a, b, c), blanks dropped, empty ones left out.
inline std::vector<std::string> CommaList(std::string_view list)
{
    std::vector<std::string> entries;
    while (!list.empty()) {
        const auto comma = list.find(',');
        if (const auto entry = TrimBlanks(list.substr(0, comma)); !entry.empty())
            entries.emplace_back(entry);
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
    }
    return entries;
}

class ConfigurationText {
public:
    ConfigurationText() = default;
    explicit ConfigurationText(std::string_view text)
    {
        while (!text.empty()) {
            const auto end = text.find(';');
            const std::string_view field = text.substr(0, end);
            text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
            const auto equals = field.find('=');
            if (equals == std::string_view::npos)
                continue;
            fields_[std::string(TrimBlanks(field.substr(0, equals)))] =
                std::string(TrimBlanks(field.substr(equals + 1)));
        }
    }

    std::optional<std::string> Text(const std::string& name) const
    {
        const auto it = fields_.find(name);
        return it == fields_.end() ? std::nullopt : std::optional<std::string>(it->second);
    }

    // The named number when it is one within [low, high]; nothing when absent; `invalid` set
    // when present but unusable.
    std::optional<LONG> Number(const std::string& name, LONG low, LONG high, bool* invalid = nullptr) const
    {
        const auto text = Text(name);
        if (!text)
            return std::nullopt;
        LONG value = 0;
        const auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), value);
        if (text->empty() || ec != std::errc() || end != text->data() + text->size() || value < low || value > high) {
            if (invalid)
                *invalid = true;
            return std::nullopt;
        }
        return value;
    }

    const std::map<std::string, std::string>& fields() const { return fields_; }

private:
    std::map<std::string, std::string> fields_;
};

} // namespace pixtera
