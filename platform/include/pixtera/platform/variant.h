// SPDX-License-Identifier: MIT
#pragma once
// VARIANT with the Windows type numbers and conversion rules.

#include <pixtera/platform/bstr.h>
#include <pixtera/platform/dispatch.h>

#include <optional>

using VARTYPE = USHORT;

enum : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_UNKNOWN = 13,
    VT_UI4 = 19,
    VT_I8 = 20,
};

// VariantChangeType flags.
inline constexpr USHORT VARIANT_NOVALUEPROP = 0x01;
inline constexpr USHORT VARIANT_ALPHABOOL = 0x02;
inline constexpr USHORT VARIANT_LOCALBOOL = 0x10;

// Keeps the union as wide as on Windows (two pointers).
struct RecordValue {
    void* pvRecord;
    void* pRecInfo;
};

struct tagVARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        LONGLONG llVal;
        LONG lVal;
        BYTE bVal;
        SHORT iVal;
        FLOAT fltVal;
        DOUBLE dblVal;
        VARIANT_BOOL boolVal;
        HRESULT scode;
        BSTR bstrVal;
        IUnknown* punkVal;
        IDispatch* pdispVal;
        ULONG ulVal;
        INT intVal;
        UINT uintVal;
        RecordValue brecVal;
    };
};
using VARIANT = tagVARIANT;

extern "C" {
PX_API void VariantInit(VARIANT* value);
PX_API HRESULT VariantClear(VARIANT* value);
PX_API HRESULT VariantCopy(VARIANT* destination, const VARIANT* source);
// Converts source to type; destination may be source. Text follows the user's locale
// (LC_NUMERIC) for the decimal separator; doubles become their shortest text of at most
// 15 significant digits; text becomes a number only when all of it reads as one.
PX_API HRESULT VariantChangeType(VARIANT* destination, const VARIANT* source, USHORT flags, VARTYPE type);
}

namespace pixtera {

// Owns one VARIANT and releases what it holds.
class PX_API Variant : public VARIANT {
public:
    Variant() noexcept { VariantInit(this); }
    Variant(const Variant& other);
    Variant(Variant&& other) noexcept;
    Variant& operator=(Variant other) noexcept;
    ~Variant() { VariantClear(this); }

    static Variant FromDouble(double value);
    static Variant FromLong(LONG value);
    static Variant FromShort(SHORT value);
    static Variant FromBool(bool value);
    static Variant FromText(std::u16string_view text);
    static Variant FromUtf8(std::string_view text);
    // Takes ownership of a VARIANT filled by a callee.
    static Variant Attach(VARIANT& value) noexcept;

    // For out-parameters: clears the value and returns the slot to fill.
    VARIANT* Out() noexcept
    {
        VariantClear(this);
        return this;
    }

    // The value converted with VariantChangeType; empty when it does not convert.
    std::optional<double> AsDouble() const;
    std::optional<BString> AsText() const;
};

} // namespace pixtera
