// SPDX-License-Identifier: MIT
#pragma once
// One registered data provider and the thread that polls it.

#include "arrived_items.h"
#include "data_tables.h"
#include "plugin_fault.h"

#include <pixtera/platform/event.h>
#include <pixtera/sdk/data_provider.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

namespace pixtera {

struct DataProviderRecord {
    Event stop;
    Event pollRequest;
    Event pollDone; // after each poll, and once when the provider dies

    LONG driverIndex = -1;
    LONG updateMode = 0;
    ComPtr<IDataProvider> provider;
    std::shared_ptr<PluginFault> fault; // the driver's: a fault anywhere kills the provider
    std::shared_ptr<DataTables> tables;

    bool dead() const { return fault->failed(); }
    std::mutex requestMutex; // one on-request read (request, poll, done) at a time
    bool polledOnce = false; // the polling thread's alone
    LONG itemCount = 0; // the provider's count at the last poll: the polling thread's alone
    ArrivedItems arrived; // what the provider's sink named since the last poll

    bool polls(LONG mode) const { return mode == kUpdatePeriodic || mode == kUpdateDirect; }
};

// Runs the provider's poll loop until its stop event; the record is kept alive by the caller's
// shared pointer for as long as the thread runs.
void ProviderThread(const std::shared_ptr<DataProviderRecord>& record);

// One poll: Refresh, GetCount, then name, description and (unless direct) value of each item, or
// only of the items in `only` and the new ones. Throws whatever the plug-in throws.
void Poll(DataProviderRecord& record, const std::vector<LONG>* only = nullptr);

} // namespace pixtera
