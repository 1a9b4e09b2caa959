// SPDX-License-Identifier: MIT
#include <pixtera/platform/codepage.h>
#include <pixtera/platform/variant.h>

#include "decimal_text.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <new>

namespace {

using pixtera::ParsedNumber;
using pixtera::ParseStatus;

// A number read from any numeric, boolean, empty or text variant.
struct Number {
    bool integral = true;
    LONGLONG integer = 0;
    double real = 0;

    static Number Integer(LONGLONG value) { return {true, value, static_cast<double>(value)}; }
    static Number Real(double value) { return {false, 0, value}; }
};

bool IsSupported(VARTYPE type)
{
    switch (type) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I2:
    case VT_I4:
    case VT_UI4:
    case VT_I8:
    case VT_R4:
    case VT_R8:
    case VT_BOOL:
    case VT_BSTR:
    case VT_UNKNOWN:
    case VT_DISPATCH: return true;
    default: return false;
    }
}

bool EqualsIgnoringCase(std::u16string_view text, std::u16string_view word)
{
    if (text.size() != word.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
        if (c != word[i])
            return false;
    }
    return true;
}

HRESULT FromParsed(const ParsedNumber& parsed, Number& out)
{
    switch (parsed.status) {
    case ParseStatus::Ok:
        out = parsed.integral ? Number::Integer(parsed.integer) : Number::Real(parsed.real);
        return S_OK;
    case ParseStatus::Overflow: return DISP_E_OVERFLOW;
    case ParseStatus::NotANumber: break;
    }
    return DISP_E_TYPEMISMATCH;
}

HRESULT ReadNumber(const VARIANT& source, Number& out)
{
    switch (source.vt) {
    case VT_EMPTY: out = Number::Integer(0); return S_OK;
    case VT_I2: out = Number::Integer(source.iVal); return S_OK;
    case VT_I4: out = Number::Integer(source.lVal); return S_OK;
    case VT_UI4: out = Number::Integer(source.ulVal); return S_OK;
    case VT_I8: out = Number::Integer(source.llVal); return S_OK;
    case VT_BOOL: out = Number::Integer(source.boolVal ? -1 : 0); return S_OK;
    case VT_R4: out = Number::Real(source.fltVal); return S_OK;
    case VT_R8: out = Number::Real(source.dblVal); return S_OK;
    case VT_BSTR: {
        const auto text = pixtera::BstrView(source.bstrVal);
        if (EqualsIgnoringCase(text, u"true") || EqualsIgnoringCase(text, u"false")) {
            // Only booleans read words; numbers reject them like any other text.
            return DISP_E_TYPEMISMATCH;
        }
        return FromParsed(pixtera::ParseNumber(text, pixtera::UserDecimalSeparator()), out);
    }
    default: return DISP_E_TYPEMISMATCH;
    }
}

// Whole numbers for integer targets: reals round half to even, as Windows does.
template <class T>
HRESULT ToInteger(const Number& number, T& out)
{
    if (number.integral) {
        if (number.integer < static_cast<LONGLONG>(std::numeric_limits<T>::min()) ||
            (number.integer > 0 && static_cast<ULONGLONG>(number.integer) > std::numeric_limits<T>::max()))
            return DISP_E_OVERFLOW;
        out = static_cast<T>(number.integer);
        return S_OK;
    }
    const double rounded = std::nearbyint(number.real);
    // Both bounds are powers of two (or zero), so the doubles are exact.
    if (!std::isfinite(rounded) || rounded < static_cast<double>(std::numeric_limits<T>::min()) ||
        rounded >= std::ldexp(1.0, std::numeric_limits<T>::digits))
        return DISP_E_OVERFLOW;
    out = static_cast<T>(rounded);
    return S_OK;
}

HRESULT WriteNumber(const Number& number, VARTYPE type, VARIANT& out)
{
    out.vt = type;
    switch (type) {
    case VT_I2: return ToInteger(number, out.iVal);
    case VT_I4: return ToInteger(number, out.lVal);
    case VT_UI4: return ToInteger(number, out.ulVal);
    case VT_I8: return ToInteger(number, out.llVal);
    case VT_R8: out.dblVal = number.real; return S_OK;
    case VT_R4:
        if (std::isfinite(number.real) && std::fabs(number.real) > std::numeric_limits<float>::max())
            return DISP_E_OVERFLOW;
        out.fltVal = static_cast<float>(number.real);
        return S_OK;
    case VT_BOOL:
        out.boolVal = (number.integral ? number.integer != 0 : number.real != 0.0) ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    default: return DISP_E_TYPEMISMATCH;
    }
}

HRESULT WriteText(std::u16string_view text, VARIANT& out)
{
    out.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!out.bstrVal)
        return E_OUTOFMEMORY;
    out.vt = VT_BSTR;
    return S_OK;
}

HRESULT ToText(const VARIANT& source, USHORT flags, VARIANT& out)
{
    const char16_t separator = pixtera::UserDecimalSeparator();
    switch (source.vt) {
    case VT_EMPTY: return WriteText(u"", out);
    case VT_BOOL:
        if (flags & (VARIANT_ALPHABOOL | VARIANT_LOCALBOOL))
            return WriteText(source.boolVal ? u"True" : u"False", out);
        return WriteText(source.boolVal ? u"-1" : u"0", out);
    case VT_R8: return WriteText(pixtera::FormatReal(source.dblVal, 15, separator), out);
    case VT_R4: return WriteText(pixtera::FormatReal(source.fltVal, 7, separator), out);
    default: {
        Number number;
        if (HRESULT hr = ReadNumber(source, number); FAILED(hr))
            return hr;
        return WriteText(pixtera::FormatInteger(number.integer), out);
    }
    }
}

HRESULT ToBool(const VARIANT& source, VARIANT& out)
{
    if (source.vt == VT_BSTR) {
        const auto text = pixtera::BstrView(source.bstrVal);
        if (EqualsIgnoringCase(text, u"true") || EqualsIgnoringCase(text, u"false")) {
            out.vt = VT_BOOL;
            out.boolVal = EqualsIgnoringCase(text, u"true") ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        }
    }
    Number number;
    if (HRESULT hr = ReadNumber(source, number); FAILED(hr))
        return hr;
    return WriteNumber(number, VT_BOOL, out);
}

HRESULT Convert(const VARIANT& source, USHORT flags, VARTYPE type, VARIANT& out)
{
    if (source.vt == type)
        return VariantCopy(&out, &source);
    if (source.vt == VT_NULL)
        return type == VT_EMPTY ? S_OK : DISP_E_TYPEMISMATCH;
    if (source.vt == VT_UNKNOWN || source.vt == VT_DISPATCH)
        return DISP_E_TYPEMISMATCH;
    switch (type) {
    case VT_EMPTY: return S_OK;
    case VT_NULL: return source.vt == VT_EMPTY ? (out.vt = VT_NULL, S_OK) : DISP_E_TYPEMISMATCH;
    case VT_BSTR: return ToText(source, flags, out);
    case VT_BOOL: return ToBool(source, out);
    case VT_UNKNOWN:
    case VT_DISPATCH: return DISP_E_TYPEMISMATCH;
    default: {
        Number number;
        if (HRESULT hr = ReadNumber(source, number); FAILED(hr))
            return hr;
        return WriteNumber(number, type, out);
    }
    }
}

} // namespace

extern "C" {

void VariantInit(VARIANT* value)
{
    if (value) {
        std::memset(value, 0, sizeof *value);
        value->vt = VT_EMPTY;
    }
}

HRESULT VariantClear(VARIANT* value)
{
    if (!value)
        return E_INVALIDARG;
    if (!IsSupported(value->vt))
        return DISP_E_BADVARTYPE;
    if (value->vt == VT_BSTR)
        SysFreeString(value->bstrVal);
    else if ((value->vt == VT_UNKNOWN || value->vt == VT_DISPATCH) && value->punkVal)
        value->punkVal->Release();
    VariantInit(value);
    return S_OK;
}

HRESULT VariantCopy(VARIANT* destination, const VARIANT* source)
{
    if (!destination || !source)
        return E_INVALIDARG;
    if (!IsSupported(source->vt))
        return DISP_E_BADVARTYPE;
    if (destination == source)
        return S_OK;
    VARIANT copy = *source;
    if (source->vt == VT_BSTR && source->bstrVal) {
        copy.bstrVal =
            SysAllocStringByteLen(reinterpret_cast<const char*>(source->bstrVal), SysStringByteLen(source->bstrVal));
        if (!copy.bstrVal)
            return E_OUTOFMEMORY;
    } else if ((source->vt == VT_UNKNOWN || source->vt == VT_DISPATCH) && source->punkVal) {
        source->punkVal->AddRef();
    }
    if (HRESULT hr = VariantClear(destination); FAILED(hr)) {
        VariantClear(&copy);
        return hr;
    }
    *destination = copy;
    return S_OK;
}

HRESULT VariantChangeType(VARIANT* destination, const VARIANT* source, USHORT flags, VARTYPE type)
{
    if (!destination || !source)
        return E_INVALIDARG;
    if (!IsSupported(source->vt) || !IsSupported(type))
        return DISP_E_BADVARTYPE;
    // Convert into a temporary first: destination may be source, and a failed conversion leaves
    // the destination as it was.
    VARIANT result;
    VariantInit(&result);
    HRESULT hr = Convert(*source, flags, type, result);
    if (FAILED(hr)) {
        VariantClear(&result);
        return hr;
    }
    result.vt = type;
    VariantClear(destination);
    *destination = result;
    return S_OK;
}

} // extern "C"

namespace pixtera {

Variant::Variant(const Variant& other) : Variant()
{
    if (FAILED(VariantCopy(this, &other)))
        throw std::bad_alloc();
}

Variant::Variant(Variant&& other) noexcept : VARIANT(other) { VariantInit(&other); }

Variant& Variant::operator=(Variant other) noexcept
{
    std::swap(static_cast<VARIANT&>(*this), static_cast<VARIANT&>(other));
    return *this;
}

Variant Variant::FromDouble(double value)
{
    Variant v;
    v.vt = VT_R8;
    v.dblVal = value;
    return v;
}

Variant Variant::FromLong(LONG value)
{
    Variant v;
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

Variant Variant::FromShort(SHORT value)
{
    Variant v;
    v.vt = VT_I2;
    v.iVal = value;
    return v;
}

Variant Variant::FromBool(bool value)
{
    Variant v;
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

Variant Variant::FromText(std::u16string_view text)
{
    Variant v;
    v.bstrVal = BString(text).Detach();
    v.vt = VT_BSTR;
    return v;
}

Variant Variant::FromUtf8(std::string_view text) { return FromText(Utf8ToUtf16(text)); }

Variant Variant::Attach(VARIANT& value) noexcept
{
    Variant v;
    static_cast<VARIANT&>(v) = value;
    VariantInit(&value);
    return v;
}

std::optional<double> Variant::AsDouble() const
{
    if (vt == VT_R8)
        return dblVal;
    Variant converted;
    if (FAILED(VariantChangeType(&converted, this, 0, VT_R8)))
        return std::nullopt;
    return converted.dblVal;
}

std::optional<BString> Variant::AsText() const
{
    Variant converted;
    if (FAILED(VariantChangeType(&converted, this, 0, VT_BSTR)))
        return std::nullopt;
    return BString::Attach(std::exchange(converted.bstrVal, nullptr));
}

} // namespace pixtera
