// SPDX-License-Identifier: MIT
#include "file_values.h"

#include <pixtera/sdk/bounded_file.h>
#include <pixtera/sdk/provided_value.h>

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <utility>

namespace pixtera {
namespace {

std::string_view Trim(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace

std::vector<FileValue> ParseFileValues(std::string_view text)
{
    std::vector<FileValue> values;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = Trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        const auto equals = line.find('=');
        if (line.empty() || line.front() == '#' || equals == std::string_view::npos)
            continue;
        const std::string name(Trim(line.substr(0, equals)));
        if (name.empty())
            continue;
        auto value = ParseProvidedValue(Trim(line.substr(equals + 1)));
        const auto same =
            std::find_if(values.begin(), values.end(), [&](const FileValue& v) { return v.name == name; });
        if (same != values.end())
            same->value = std::move(value);
        else
            values.push_back({name, std::move(value)});
    }
    return values;
}

FileValues::Change FileValues::Refresh(bool changed)
{
    struct stat info {};
    if (stat(path_.c_str(), &info) != 0) {
        const bool was = present_;
        present_ = false;
        values_.clear();
        return was ? Change::Vanished : Change::None;
    }
    const Stamp stamp{static_cast<std::uintmax_t>(info.st_size),
                      static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec,
                      static_cast<std::uintmax_t>(info.st_ino)};
    if (present_ && stamp == stamp_ && !changed)
        return Change::None;
    BoundedFile read = ReadBoundedFile(path_, kMaxBytes, true);
    if (!read) {
        present_ = false;
        values_.clear();
        return std::exchange(problem_, read.problem) == read.problem ? Change::None : Change::Unreadable;
    }
    problem_.clear();
    std::string text = std::move(read.text);
    truncated_ = read.longer;
    if (truncated_) // a cut line is no line
        text.erase(text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n'));
    values_ = ParseFileValues(text);
    if (values_.size() > kMaxItems) {
        values_.resize(kMaxItems);
        truncated_ = true;
    }
    stamp_ = stamp;
    present_ = true;
    return Change::Read;
}

} // namespace pixtera
