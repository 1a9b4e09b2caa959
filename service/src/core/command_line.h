// SPDX-License-Identifier: MIT
#pragma once
// The service's command line, scanned as Windows programs scan theirs: the whole line (program
// path included) is searched for tokens that begin after any '-' or '/' and run to the end of
// the line, so a switch counts only when nothing follows it.

#include <string>
#include <string_view>

namespace pixtera {

enum class ServiceSwitch { None, UnregServer, RegServer, Service, RegMachine, UnregMachine };

ServiceSwitch ScanCommandLine(std::string_view commandLine);

// The switch with which clients start a local server ("-Embedding", as COM passes it): such a
// server ends with its last client, while one a person started runs until it is stopped.
inline constexpr std::string_view kEmbeddingSwitch = "-Embedding";
bool IsEmbeddingSwitch(std::string_view argument);

// argv joined by single blanks, as the scan sees it.
std::string JoinCommandLine(int argc, const char* const* argv);

} // namespace pixtera
