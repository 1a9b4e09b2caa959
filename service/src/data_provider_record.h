#pragma once
// One registered data provider and the thread that polls it.

#include "data_tables.h"

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
    std::string name = "Uninit"; // the driver's ProgID, for the fault message
    std::shared_ptr<DataTables> tables;

    std::atomic<bool> dead{false}; // set by the fault guard; never cleared
    std::mutex requestMutex;       // one on-request read (request, poll, done) at a time

    bool polls(LONG mode) const { return mode == kUpdatePeriodic || mode == kUpdateDirect; }
};

// Marks the provider dead and, the first time, tells the user.
void ReportProviderFault(DataProviderRecord& record);

// Runs the provider's poll loop until its stop event; the record is kept alive by the caller's
// shared pointer for as long as the thread runs.
void ProviderThread(const std::shared_ptr<DataProviderRecord>& record);

// One poll: Refresh, GetCount, then name, description and (unless direct) value of each item.
// Throws whatever the plug-in throws.
void Poll(DataProviderRecord& record);

} // namespace pixtera
