// SPDX-License-Identifier: MIT
#pragma once
// BSTR: UTF-16 text with a 4-byte byte-length prefix and a terminating NUL. One allocator serves
// every module, so a string allocated by a plug-in may be freed by the service and vice versa.
// A null BSTR is the empty string.

#include <pixtera/platform/export.h>
#include <pixtera/platform/types.h>

#include <string>
#include <string_view>
#include <utility>

using BSTR = OLECHAR*;

extern "C" {
PX_API BSTR SysAllocString(const OLECHAR* text);
PX_API BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
PX_API BSTR SysAllocStringByteLen(const char* bytes, UINT length);
PX_API void SysFreeString(BSTR text);
PX_API UINT SysStringLen(BSTR text);
PX_API UINT SysStringByteLen(BSTR text);
PX_API int SysReAllocString(BSTR* text, const OLECHAR* source);
}

namespace pixtera {

// Owns one BSTR.
class PX_API BString {
public:
    BString() = default;
    explicit BString(std::u16string_view text);
    explicit BString(std::string_view utf8);
    BString(const BString& other);
    BString(BString&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}
    BString& operator=(BString other) noexcept
    {
        std::swap(text_, other.text_);
        return *this;
    }
    ~BString() { SysFreeString(text_); }

    // Takes ownership of a string handed over by a callee.
    static BString Attach(BSTR text) noexcept
    {
        BString owned;
        owned.text_ = text;
        return owned;
    }
    BSTR Detach() noexcept { return std::exchange(text_, nullptr); }

    // For out-parameters: frees the current text and returns the slot to fill.
    BSTR* Out() noexcept
    {
        SysFreeString(std::exchange(text_, nullptr));
        return &text_;
    }

    BSTR get() const noexcept { return text_; }
    UINT size() const noexcept { return SysStringLen(text_); }
    bool empty() const noexcept { return size() == 0; }
    std::u16string_view view() const noexcept { return {text_ ? text_ : u"", size()}; }
    std::string utf8() const;

    friend bool operator==(const BString& a, const BString& b) { return a.view() == b.view(); }

private:
    BSTR text_ = nullptr;
};

inline std::u16string_view BstrView(BSTR text) { return {text ? text : u"", SysStringLen(text)}; }

} // namespace pixtera
