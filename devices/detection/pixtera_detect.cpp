// SPDX-License-Identifier: MIT
// pixtera-detect: finds the character LCDs this machine reaches.

#include "detect_command.h"
#include "kernel_devices.h"

#include <pixtera/configuration_file.h>
#include <pixtera/platform/module.h>

#include <iostream>
#include <vector>

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    pixtera::detection::KernelDevices devices;
    return pixtera::detection::RunDetectCommand(
        arguments, devices, pixtera::ConfigFileLocation(pixtera::ExecutablePath().parent_path()), std::cout, std::cerr);
}
