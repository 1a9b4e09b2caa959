// SPDX-License-Identifier: MIT
// pixtera-reg: inspect and repair the registry, and (un)register plug-in modules.

#include "reg_command.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return pixtera::RunRegCommand(arguments, std::cout, std::cerr);
}
