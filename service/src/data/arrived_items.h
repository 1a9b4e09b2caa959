// SPDX-License-Identifier: MIT
#pragma once
// The items a provider said arrived since its last poll: those alone are read again. Filled by
// the provider's own threads through the sink, taken by the poll thread.

#include <pixtera/platform/types.h>

#include <algorithm>
#include <mutex>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace pixtera {

class ArrivedItems {
public:
    void Add(std::span<const LONG> indices)
    {
        std::lock_guard lock(mutex_);
        if (all_)
            return;
        named_ = true;
        if (pending_.size() + indices.size() > kMostPending) {
            MarkAll();
            return;
        }
        pending_.insert(pending_.end(), indices.begin(), indices.end());
    }
    void AddAll()
    {
        std::lock_guard lock(mutex_);
        MarkAll();
    }
    // The items named since the last take, sorted and once each; nothing means every item (all
    // were asked for, or none was named: a timed or requested poll).
    std::optional<std::vector<LONG>> Take()
    {
        std::lock_guard lock(mutex_);
        std::vector<LONG> taken;
        taken.swap(pending_);
        const bool subset = named_ && !all_;
        named_ = false;
        all_ = false;
        if (!subset)
            return std::nullopt;
        std::sort(taken.begin(), taken.end());
        taken.erase(std::unique(taken.begin(), taken.end()), taken.end());
        return taken;
    }

private:
    // Past this many the provider changed so much that reading everything costs no more.
    static constexpr std::size_t kMostPending = 4096;

    void MarkAll()
    {
        all_ = true;
        pending_.clear();
    }

    std::mutex mutex_; // guards everything below
    std::vector<LONG> pending_;
    bool named_ = false; // items were named since the last take
    bool all_ = false; // everything was asked for since the last take
};

} // namespace pixtera
