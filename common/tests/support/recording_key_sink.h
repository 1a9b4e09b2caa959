// SPDX-License-Identifier: MIT
#pragma once
// An IKeySink that keeps the keys it is given, by name, for plug-in tests.

#include <pixtera/platform/com_object.h>
#include <pixtera/sdk/key_names.h>

#include <mutex>
#include <string>
#include <vector>

namespace pixtera::test {

class RecordingKeySink final : public ComObject<RecordingKeySink, IKeySink> {
public:
    HRESULT STDMETHODCALLTYPE KeyEvent(LONG key, LONG action) override
    {
        const char* const kActions[] = {"", "+repeat", "+release"};
        if (!IsKeyCode(key) || action < kKeyPressed || action > kKeyReleased)
            return E_INVALIDARG;
        std::lock_guard lock(mutex_);
        keys_.push_back(KeyName(key) + kActions[action]);
        return S_OK;
    }

    // "Up", "Up+repeat", "Up+release", in the order they came.
    std::vector<std::string> keys() const
    {
        std::lock_guard lock(mutex_);
        return keys_;
    }

private:
    mutable std::mutex mutex_; // guards keys_
    std::vector<std::string> keys_;
};

} // namespace pixtera::test
