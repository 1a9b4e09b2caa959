// SPDX-License-Identifier: MIT
// pixtera-bus-doc --check|--write DOC INTERFACE.xml...: the table of docs/dbus.md from the
// interface files, checked (exit 1 when out of date) or written in place.

#include "bus_interface_table.h"

#include <fstream>
#include <iostream>
#include <sstream>

int main(int argc, char** argv)
{
    using namespace pixtera::bus;
    const std::string mode = argc > 1 ? argv[1] : "";
    if (argc < 4 || (mode != "--check" && mode != "--write")) {
        std::cerr << "usage: pixtera-bus-doc --check|--write DOC INTERFACE.xml...\n";
        return 2;
    }
    const std::string docPath = argv[2];
    try {
        std::vector<BusInterface> interfaces;
        for (int i = 3; i < argc; ++i)
            interfaces.push_back(ReadBusInterfaceFile(argv[i]));
        std::ifstream in(docPath);
        std::stringstream document;
        document << in.rdbuf();
        const auto updated = WithBusInterfaceTable(document.str(), BusInterfaceTable(interfaces));
        if (!in || !updated) {
            std::cerr << docPath << ": unreadable, or without the table's markers\n";
            return 2;
        }
        if (*updated == document.str())
            return 0;
        if (mode == "--check") {
            std::cerr << docPath
                      << ": the bus table differs from the interface files; run scripts/update-dbus-doc.sh\n";
            return 1;
        }
        std::ofstream(docPath) << *updated;
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "pixtera-bus-doc: " << error.what() << "\n";
        return 2;
    }
}
