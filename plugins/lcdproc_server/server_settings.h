// SPDX-License-Identifier: MIT
#pragma once
// The configuration of Pixtera.LCDprocServer: listen=HOST:PORT;display=all|N;utf8=yes|no;clients=N.

#include "socket_server.h"

#include <pixtera/sdk/configuration_text.h>

#include <optional>
#include <string>

namespace pixtera::lcdproc {

struct ServerSettings {
    ListenAddress listen; // loopback unless written otherwise
    std::optional<long> display; // none: all of them
    bool utf8 = false;
    long clients = 32;
};

// The settings, defaults for what is missing or unusable; `problems` names the unusable fields.
ServerSettings ReadServerSettings(const ConfigurationText& fields, std::string& problems);

// True for an address only this machine reaches.
bool IsLoopback(const std::string& host);

} // namespace pixtera::lcdproc
