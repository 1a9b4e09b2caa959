// SPDX-License-Identifier: MIT
#include <pixtera/platform/bstr.h>
#include <pixtera/platform/codepage.h>

#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

using LengthPrefix = std::uint32_t;

LengthPrefix* PrefixOf(BSTR text) { return reinterpret_cast<LengthPrefix*>(text) - 1; }

// Allocates the prefix, `bytes` bytes of content and a two-byte terminator, and copies `source`
// (when given) into the content.
BSTR AllocateBytes(const void* source, std::size_t bytes)
{
    if (bytes > std::numeric_limits<LengthPrefix>::max() - sizeof(LengthPrefix) - sizeof(OLECHAR))
        return nullptr;
    auto* block = static_cast<unsigned char*>(std::malloc(sizeof(LengthPrefix) + bytes + sizeof(OLECHAR) + 1));
    if (!block)
        return nullptr;
    const auto length = static_cast<LengthPrefix>(bytes);
    std::memcpy(block, &length, sizeof length);
    unsigned char* content = block + sizeof(LengthPrefix);
    if (source && bytes)
        std::memcpy(content, source, bytes);
    else if (!source)
        std::memset(content, 0, bytes);
    // Odd byte lengths (SysAllocStringByteLen) still end in a whole NUL character.
    std::memset(content + bytes, 0, sizeof(OLECHAR) + 1);
    return reinterpret_cast<BSTR>(content);
}

std::size_t Length(const OLECHAR* text)
{
    std::size_t n = 0;
    while (text[n])
        ++n;
    return n;
}

} // namespace

extern "C" {

BSTR SysAllocString(const OLECHAR* text)
{
    return text ? AllocateBytes(text, Length(text) * sizeof(OLECHAR)) : nullptr;
}

BSTR SysAllocStringLen(const OLECHAR* text, UINT length)
{
    return AllocateBytes(text, std::size_t{length} * sizeof(OLECHAR));
}

BSTR SysAllocStringByteLen(const char* bytes, UINT length) { return AllocateBytes(bytes, length); }

void SysFreeString(BSTR text)
{
    if (text)
        std::free(PrefixOf(text));
}

UINT SysStringLen(BSTR text) { return text ? *PrefixOf(text) / sizeof(OLECHAR) : 0; }

UINT SysStringByteLen(BSTR text) { return text ? *PrefixOf(text) : 0; }

int SysReAllocString(BSTR* text, const OLECHAR* source)
{
    if (!text)
        return 0;
    BSTR copy = SysAllocString(source);
    if (source && !copy)
        return 0;
    SysFreeString(*text);
    *text = copy;
    return 1;
}

} // extern "C"

namespace pixtera {

BString::BString(std::u16string_view text) : text_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())))
{
    if (!text_)
        throw std::bad_alloc();
}

BString::BString(std::string_view utf8) : BString(std::u16string_view(Utf8ToUtf16(utf8))) {}

BString::BString(const BString& other) : BString(other.view()) {}

std::string BString::utf8() const { return Utf16ToUtf8(view()); }

} // namespace pixtera
