// SPDX-License-Identifier: MIT
#include "command_line.h"

#include <algorithm>
#include <cctype>

namespace pixtera {
namespace {

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

ServiceSwitch ScanCommandLine(std::string_view commandLine)
{
    for (std::size_t i = 0; i < commandLine.size(); ++i) {
        if (commandLine[i] != '-' && commandLine[i] != '/')
            continue;
        const std::string_view token = commandLine.substr(i + 1);
        if (EqualsNoCase(token, "RegMachine"))
            return ServiceSwitch::RegMachine;
        if (EqualsNoCase(token, "UnregMachine"))
            return ServiceSwitch::UnregMachine;
        if (EqualsNoCase(token, "UnregServer"))
            return ServiceSwitch::UnregServer;
        if (EqualsNoCase(token, "RegServer"))
            return ServiceSwitch::RegServer;
        if (EqualsNoCase(token, "Service"))
            return ServiceSwitch::Service;
    }
    return ServiceSwitch::None;
}

bool IsEmbeddingSwitch(std::string_view argument)
{
    return argument.size() > 1 && (argument[0] == '-' || argument[0] == '/') &&
           EqualsNoCase(argument.substr(1), kEmbeddingSwitch.substr(1));
}

std::string JoinCommandLine(int argc, const char* const* argv)
{
    std::string line;
    for (int i = 0; i < argc; ++i) {
        if (i)
            line += ' ';
        line += argv[i];
    }
    return line;
}

} // namespace pixtera
