#include "plugin_fault.h"

#include <pixtera/platform/message_box.h>

namespace pixtera {

void PluginFault::Report()
{
    if (failed_.exchange(true, std::memory_order_acq_rel))
        return;
    const std::string text =
        name_ + " has caused an exception! Removal of this plugin and a restart of pixtera is recommended!";
    MessageBoxA(nullptr, text.c_str(), "Warning", MB_ICONWARNING);
}

} // namespace pixtera
