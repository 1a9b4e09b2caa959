// SPDX-License-Identifier: MIT
// pixtera-render: composes a design into a frame, for users and scripts.

#include "render_command.h"

#include <iostream>
#include <vector>

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return pixtera::RunRenderCommand(arguments, std::cout, std::cerr);
}
