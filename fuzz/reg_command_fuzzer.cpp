// SPDX-License-Identifier: MIT
// pixtera-reg's command lines: the input split at NULs into arguments.

#include "reg_command.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    char pattern[] = "/tmp/pixtera-fuzz-XXXXXX";
    setenv("PIXTERA_REGISTRY", (std::string(mkdtemp(pattern)) + "/registry.db").c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    std::vector<std::string> arguments(1);
    for (std::size_t i = 0; i < size && arguments.size() < 16; ++i) {
        if (data[i] == 0)
            arguments.emplace_back();
        else
            arguments.back() += static_cast<char>(data[i]);
    }
    // Loading modules runs their code: not for a fuzzer (commands are read in any case).
    std::string command = arguments[0];
    for (char& c : command)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (command == "register" || command == "unregister")
        return 0;
    std::ostringstream out;
    std::ostringstream err;
    pixtera::RunRegCommand(arguments, out, err);
    return 0;
}
