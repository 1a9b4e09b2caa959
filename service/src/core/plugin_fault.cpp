// SPDX-License-Identifier: MIT
#include "plugin_fault.h"

#include <pixtera/platform/event_log.h>
#include <pixtera/platform/message_box.h>

namespace pixtera {

void PluginFault::SetHost(ComPtr<IPluginHost> host)
{
    host_ = std::move(host);
    knownGeneration_ = HostGeneration().value_or(0);
}

std::optional<LONG> PluginFault::HostGeneration() const
{
    LONG generation = 0;
    if (!host_ || host_->HostGeneration(&generation) != S_OK)
        return std::nullopt;
    return generation;
}

bool PluginFault::failed() const
{
    if (!failed_.load(std::memory_order_acquire))
        return false;
    const auto generation = HostGeneration();
    if (!generation || *generation == knownGeneration_.load())
        return true;
    knownGeneration_ = *generation;
    bool wasFailed = true;
    if (failed_.compare_exchange_strong(wasFailed, false, std::memory_order_acq_rel))
        LogInformation(name_ + " works again, in a new host process");
    return false;
}

void PluginFault::Report()
{
    if (failed_.exchange(true, std::memory_order_acq_rel))
        return;
    const std::string text =
        name_ + " has caused an exception! Removal of this plugin and a restart of pixtera is recommended!";
    MessageBoxA(nullptr, text.c_str(), "Warning", MB_ICONWARNING);
}

} // namespace pixtera
