// SPDX-License-Identifier: MIT
#include <pixtera/remote/bus_names.h>
#include <pixtera/remote/bus_wire.h>

#include <pixtera/platform/codepage.h>
#include <pixtera/platform/utf8_only.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <utility>
#include <vector>

namespace pixtera::wire {
namespace {

constexpr std::array<std::pair<HRESULT, const char*>, 12> kNames = {{
    {E_FAIL, "E_FAIL"},
    {E_POINTER, "E_POINTER"},
    {E_NOINTERFACE, "E_NOINTERFACE"},
    {E_NOTIMPL, "E_NOTIMPL"},
    {E_INVALIDARG, "E_INVALIDARG"},
    {E_OUTOFMEMORY, "E_OUTOFMEMORY"},
    {E_UNEXPECTED, "E_UNEXPECTED"},
    {E_ACCESSDENIED, "E_ACCESSDENIED"},
    {CLASS_E_NOAGGREGATION, "CLASS_E_NOAGGREGATION"},
    {REGDB_E_CLASSNOTREG, "REGDB_E_CLASSNOTREG"},
    {DISP_E_TYPEMISMATCH, "DISP_E_TYPEMISMATCH"},
    {RPC_E_DISCONNECTED, "RPC_E_DISCONNECTED"},
}};

bool ServerGone(std::string_view name)
{
    for (const char* gone :
         {"org.freedesktop.DBus.Error.ServiceUnknown", "org.freedesktop.DBus.Error.NameHasNoOwner",
          "org.freedesktop.DBus.Error.NoReply", "org.freedesktop.DBus.Error.Disconnected",
          "org.freedesktop.DBus.Error.NoServer", "org.freedesktop.DBus.Error.Timeout", "sdbus.Error.Disconnected"})
        if (name == gone)
            return true;
    return false;
}

} // namespace

sdbus::Error ErrorFor(HRESULT hr)
{
    const std::string code = HresultText(hr);
    for (const auto& [known, name] : kNames)
        if (known == hr)
            return sdbus::Error(std::string(bus::kErrorPrefix) + name, code);
    return sdbus::Error(std::string(bus::kErrorPrefix) + "HRESULT_" + code.substr(2), code);
}

sdbus::Error ErrorFor(HRESULT hr, std::string_view why)
{
    const sdbus::Error bare = ErrorFor(hr);
    return sdbus::Error(bare.getName(), bare.getMessage() + ": " + Utf8Only(why));
}

HRESULT HresultOf(const sdbus::Error& error)
{
    const std::string& name = error.getName();
    if (name.rfind(bus::kErrorPrefix, 0) == 0) {
        const std::string& message = error.getMessage();
        if (message.rfind("0x", 0) == 0)
            return static_cast<HRESULT>(std::strtoul(message.c_str() + 2, nullptr, 16));
        return E_FAIL;
    }
    return ServerGone(name) ? RPC_E_DISCONNECTED : E_FAIL;
}

std::string ReasonOf(const sdbus::Error& error)
{
    std::string message = error.getMessage();
    if (error.getName().rfind(bus::kErrorPrefix, 0) == 0 && message.rfind("0x", 0) == 0) {
        const auto colon = message.find(": ");
        return colon == std::string::npos ? std::string() : message.substr(colon + 2);
    }
    return message;
}

sdbus::Variant ToBus(const VARIANT& value)
{
    switch (value.vt) {
    case VT_I2: return sdbus::Variant(static_cast<int16_t>(value.iVal));
    case VT_I4: return sdbus::Variant(static_cast<int32_t>(value.lVal));
    case VT_UI4: return sdbus::Variant(static_cast<uint32_t>(value.ulVal));
    case VT_I8: return sdbus::Variant(static_cast<int64_t>(value.llVal));
    case VT_R8: return sdbus::Variant(value.dblVal);
    case VT_R4: return sdbus::Variant(static_cast<double>(value.fltVal));
    case VT_BOOL: return sdbus::Variant(value.boolVal != 0);
    case VT_BSTR: return sdbus::Variant(Utf16ToUtf8(BstrView(value.bstrVal)));
    default: return sdbus::Variant(std::vector<uint8_t>{});
    }
}

HRESULT FromBus(const sdbus::Variant& value, VARIANT* out)
{
    VariantInit(out);
    const std::string type = value.peekValueType();
    if (type == "n") {
        out->vt = VT_I2;
        out->iVal = value.get<int16_t>();
    } else if (type == "i") {
        out->vt = VT_I4;
        out->lVal = value.get<int32_t>();
    } else if (type == "u") {
        out->vt = VT_UI4;
        out->ulVal = value.get<uint32_t>();
    } else if (type == "x") {
        out->vt = VT_I8;
        out->llVal = value.get<int64_t>();
    } else if (type == "d") {
        out->vt = VT_R8;
        out->dblVal = value.get<double>();
    } else if (type == "b") {
        out->vt = VT_BOOL;
        out->boolVal = value.get<bool>() ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (type == "s") {
        const std::u16string text = Utf8ToUtf16(value.get<std::string>());
        out->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        if (!out->bstrVal)
            return E_OUTOFMEMORY;
        out->vt = VT_BSTR;
    } else if (type != "ay") {
        return DISP_E_BADVARTYPE;
    }
    return S_OK;
}

} // namespace pixtera::wire
