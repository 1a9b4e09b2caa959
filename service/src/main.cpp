// SPDX-License-Identifier: MIT
// pixtera2: the Pixtera service.

#include "service_module.h"

int main(int argc, char** argv)
{
    pixtera::ServiceModule module;
    return module.Main(argc, argv);
}
