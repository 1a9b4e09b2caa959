// SPDX-License-Identifier: MIT
#include "data_provider_record.h"
#include "thread_names.h"

#include <pixtera/platform/message_box.h>
#include <pixtera/platform/thread.h>

#include <algorithm>
#include <numeric>
#include <stdexcept>

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

// Throws for the failure of a hosted provider's host, as the provider would had it thrown.
void Checked(DataProviderRecord& record, HRESULT hr)
{
    if (!record.fault->Observe(hr))
        throw std::runtime_error("the host of " + record.fault->name() + " failed");
}

// The items a poll reads: all, or those named and those new since the last poll.
std::vector<LONG> ItemsToRead(LONG count, LONG before, const std::vector<LONG>* only)
{
    std::vector<LONG> items;
    if (!only) {
        items.resize(static_cast<std::size_t>(std::max<LONG>(count, 0)));
        std::iota(items.begin(), items.end(), 0);
        return items;
    }
    for (const LONG i : *only)
        if (i >= 0 && i < std::min(count, before))
            items.push_back(i);
    for (LONG i = std::max<LONG>(before, 0); i < count; ++i)
        items.push_back(i);
    return items;
}

} // namespace

void Poll(DataProviderRecord& record, const std::vector<LONG>* only)
{
    IDataProvider& provider = *record.provider;
    Checked(record, provider.Refresh());
    LONG count = 0;
    if (HRESULT hr = provider.GetCount(&count); FAILED(hr)) {
        Checked(record, hr);
        return;
    }
    const LONG known = record.tables->Count();
    bool changed = false;
    for (const LONG i : ItemsToRead(count, record.itemCount, record.polledOnce ? only : nullptr)) {
        BString name;
        if (HRESULT hr = provider.GetName(i, name.Out()); FAILED(hr)) {
            Checked(record, hr);
            continue;
        }
        ValueRecord& item = record.tables->FindOrAdd(name.view(), i, &record);
        BString description;
        if (HRESULT hr = provider.GetDescription(i, description.Out()); FAILED(hr)) {
            Checked(record, hr);
            description = BString();
        }
        if (record.updateMode == kUpdateDirect) {
            item.Store(description.view(), nullptr);
            continue;
        }
        Variant value;
        if (HRESULT hr = provider.GetValue(i, value.Out()); FAILED(hr)) {
            Checked(record, hr);
            // The terse word users have always been shown for a failed read; the message box
            // hook makes it a notification and never blocks this thread.
            MessageBoxA(nullptr, "DOW", "", MB_OK);
        }
        // An item that appeared after the first poll is a change too: clients learn of it by
        // ValuesChanged (those of the first poll were there before any client).
        const bool appeared = record.polledOnce && item.id > known;
        if (item.Store(description.view(), &value) || appeared) {
            record.tables->MarkChanged(item.id);
            changed = true;
        }
    }
    record.polledOnce = true;
    record.itemCount = count;
    if (changed || record.tables->Count() != known)
        record.tables->changes().Notify();
}

namespace {

// How often a failed hosted provider is looked at, to see whether it is back.
constexpr DWORD kRecoveryCheckMs = 1000;

// A poll that failed: the provider's items read "Plugin died" from now on (displays hear of it),
// and a reader waiting for this poll is released.
void Died(DataProviderRecord& record)
{
    record.tables->changes().Notify();
    record.pollDone.Set();
}

} // namespace

void ProviderThread(const std::shared_ptr<DataProviderRecord>& record)
{
    NameThisThread("px-poll/" + ShortName(record->fault->name()));
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    DWORD timeout = INFINITE;
    bool timed = false;
    bool toldDead = false;
    while (true) {
        if (record->dead()) {
            // Failed here or on another path. A hosted provider may come back: wait for it.
            if (!toldDead)
                Died(*record);
            toldDead = true;
            if (!record->fault->mayRecover() || record->stop.Wait(kRecoveryCheckMs) == WAIT_OBJECT_0)
                break;
            continue;
        }
        toldDead = false;
        try {
            if (!timed) { // asked once, and again after a recovery
                LONG mode = 0;
                Checked(*record, record->provider->GetUpdateMode(&mode));
                timeout = PollTimeout(*record->provider, mode);
                timed = true;
            }
            const DWORD woken = WaitForAny({&record->pollRequest, &record->stop}, timeout);
            if (woken != WAIT_OBJECT_0 && woken != WAIT_TIMEOUT)
                break;
            const auto arrived = record->arrived.Take(); // a timed poll reads everything anyway
            Poll(*record, woken == WAIT_OBJECT_0 && arrived ? &*arrived : nullptr);
            record->pollDone.Set();
        } catch (...) {
            record->fault->Report();
            timed = false;
        }
    }
    CoUninitialize();
}

} // namespace pixtera
