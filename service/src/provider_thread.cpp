#include "data_provider_record.h"

#include <pixtera/platform/message_box.h>

#include <algorithm>

namespace pixtera {
namespace {

// Shortest poll period, so that a provider asking for 0 cannot keep a core busy.
constexpr LONG kMinimumIntervalMs = 10;

DWORD PollTimeout(IDataProvider& provider, LONG mode)
{
    if (mode != kUpdatePeriodic && mode != kUpdateDirect)
        return INFINITE;
    LONG interval = 0;
    provider.GetInterval(&interval);
    return static_cast<DWORD>(std::max(interval, kMinimumIntervalMs));
}

} // namespace

void Poll(DataProviderRecord& record)
{
    IDataProvider& provider = *record.provider;
    provider.Refresh();
    LONG count = 0;
    if (FAILED(provider.GetCount(&count)))
        return;
    const LONG known = record.tables->Count();
    bool changed = false;
    for (LONG i = 0; i < count; ++i) {
        BString name;
        if (FAILED(provider.GetName(i, name.Out())))
            continue;
        ValueRecord& item = record.tables->FindOrAdd(name.view(), i, &record);
        BString description;
        if (FAILED(provider.GetDescription(i, description.Out())))
            description = BString();
        if (record.updateMode == kUpdateDirect) {
            item.Store(description.view(), nullptr);
            continue;
        }
        Variant value;
        if (FAILED(provider.GetValue(i, value.Out())))
            MessageBoxA(nullptr, "DOW", "", MB_OK);
        if (item.Store(description.view(), &value)) {
            record.tables->MarkChanged(item.id);
            changed = true;
        }
    }
    if (changed || record.tables->Count() != known)
        record.tables->changes().Notify();
}

void ProviderThread(const std::shared_ptr<DataProviderRecord>& record)
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    try {
        LONG mode = 0;
        record->provider->GetUpdateMode(&mode);
        const DWORD timeout = PollTimeout(*record->provider, mode);
        while (true) {
            const DWORD woken = WaitForAny({&record->pollRequest, &record->stop}, timeout);
            if (woken != WAIT_OBJECT_0 && woken != WAIT_TIMEOUT)
                break;
            if (record->dead()) // failed on another path: its items read "Plugin died" from now on
                break;
            Poll(*record);
            record->pollDone.Set();
        }
    } catch (...) {
        record->fault->Report();
    }
    if (record->dead()) {
        record->tables->changes().Notify();
        record->pollDone.Set(); // releases a reader waiting for this poll
    }
    CoUninitialize();
}

} // namespace pixtera
