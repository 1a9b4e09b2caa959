// SPDX-License-Identifier: MIT
#include "host_wire.h"

#include <cstring>

namespace pixtera::host {
namespace {

enum Tag : std::uint8_t { kLong = 1, kByte = 2, kText = 3, kVariant = 4 };
enum Kind : std::uint8_t { kCall = 1, kResult = 2, kKeyEvent = 3 };

class Writer {
public:
    template <class T>
    void Put(T value)
    {
        char bytes[sizeof value];
        std::memcpy(bytes, &value, sizeof value);
        out_.append(bytes, sizeof value);
    }
    void PutText(std::u16string_view text)
    {
        Put(static_cast<std::uint32_t>(text.size()));
        out_.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t));
    }
    void PutVariant(const VARIANT& value)
    {
        Put<std::uint16_t>(value.vt);
        switch (value.vt) {
        case VT_I2: Put(value.iVal); break;
        case VT_BOOL: Put(value.boolVal); break;
        case VT_I4: Put(value.lVal); break;
        case VT_UI4: Put(value.ulVal); break;
        case VT_ERROR: Put(value.scode); break;
        case VT_R4: Put(value.fltVal); break;
        case VT_R8: Put(value.dblVal); break;
        case VT_I8: Put(value.llVal); break;
        case VT_BSTR: PutText(BstrView(value.bstrVal)); break;
        default: break; // VT_EMPTY, VT_NULL: the type says it all
        }
    }
    void PutValue(const Value& value)
    {
        if (const auto* number = std::get_if<LONG>(&value)) {
            Put(kLong), Put(*number);
        } else if (const auto* byte = std::get_if<BYTE>(&value)) {
            Put(kByte), Put(*byte);
        } else if (const auto* text = std::get_if<std::u16string>(&value)) {
            Put(kText), PutText(*text);
        } else {
            Put(kVariant), PutVariant(std::get<Variant>(value));
        }
    }
    const std::string& body() const { return out_; }
    // The message with its length in front.
    std::string Finish() const
    {
        std::string message(sizeof(std::uint32_t), '\0');
        const auto length = static_cast<std::uint32_t>(out_.size());
        std::memcpy(message.data(), &length, sizeof length);
        return message + out_;
    }

private:
    std::string out_;
};

class Reader {
public:
    explicit Reader(std::span<const std::byte> bytes) : bytes_(bytes) {}

    template <class T>
    bool Get(T& value)
    {
        if (bytes_.size() < sizeof value)
            return false;
        std::memcpy(&value, bytes_.data(), sizeof value);
        bytes_ = bytes_.subspan(sizeof value);
        return true;
    }
    bool GetText(std::u16string& text)
    {
        std::uint32_t count = 0;
        if (!Get(count) || count > bytes_.size() / sizeof(char16_t))
            return false;
        text.resize(count);
        std::memcpy(text.data(), bytes_.data(), count * sizeof(char16_t));
        bytes_ = bytes_.subspan(count * sizeof(char16_t));
        return true;
    }
    bool GetVariant(Variant& value)
    {
        std::uint16_t type = 0;
        if (!Get(type))
            return false;
        VARIANT& v = *value.Out();
        switch (type) {
        case VT_EMPTY:
        case VT_NULL: break;
        case VT_I2:
            if (!Get(v.iVal))
                return false;
            break;
        case VT_BOOL:
            if (!Get(v.boolVal))
                return false;
            break;
        case VT_I4:
            if (!Get(v.lVal))
                return false;
            break;
        case VT_UI4:
            if (!Get(v.ulVal))
                return false;
            break;
        case VT_ERROR:
            if (!Get(v.scode))
                return false;
            break;
        case VT_R4:
            if (!Get(v.fltVal))
                return false;
            break;
        case VT_R8:
            if (!Get(v.dblVal))
                return false;
            break;
        case VT_I8:
            if (!Get(v.llVal))
                return false;
            break;
        case VT_BSTR: {
            std::u16string text;
            if (!GetText(text))
                return false;
            value = Variant::FromText(text);
            return true;
        }
        default: return false;
        }
        v.vt = type;
        return true;
    }
    bool AtEnd() const { return bytes_.empty(); }
    bool GetValues(std::vector<Value>& values)
    {
        while (!bytes_.empty()) {
            std::uint8_t tag = 0;
            Get(tag);
            switch (tag) {
            case kLong: {
                LONG number = 0;
                if (!Get(number))
                    return false;
                values.emplace_back(number);
                break;
            }
            case kByte: {
                BYTE byte = 0;
                if (!Get(byte))
                    return false;
                values.emplace_back(byte);
                break;
            }
            case kText: {
                std::u16string text;
                if (!GetText(text))
                    return false;
                values.emplace_back(std::move(text));
                break;
            }
            case kVariant: {
                Variant variant;
                if (!GetVariant(variant))
                    return false;
                values.emplace_back(std::move(variant));
                break;
            }
            default: return false;
            }
        }
        return true;
    }

private:
    std::span<const std::byte> bytes_;
};

} // namespace

std::string EncodeCall(const Call& call)
{
    Writer writer;
    writer.Put(kCall);
    writer.Put(call.number);
    writer.Put(static_cast<std::uint16_t>(call.method));
    for (const auto& argument : call.arguments)
        writer.PutValue(argument);
    return writer.Finish();
}

std::string EncodeResult(const Result& result)
{
    Writer writer;
    writer.Put(kResult);
    writer.Put(result.number);
    writer.Put(result.hr);
    for (const auto& value : result.values)
        writer.PutValue(value);
    return writer.Finish();
}

std::optional<Call> DecodeCall(std::span<const std::byte> body)
{
    Reader reader(body);
    std::uint8_t kind = 0;
    std::uint16_t method = 0;
    Call call;
    if (!reader.Get(kind) || kind != kCall || !reader.Get(call.number) || !reader.Get(method) ||
        !reader.GetValues(call.arguments))
        return std::nullopt;
    if (method < static_cast<std::uint16_t>(Method::Create) || method > static_cast<std::uint16_t>(kLastMethod))
        return std::nullopt;
    call.method = static_cast<Method>(method);
    return call;
}

std::optional<Result> DecodeResult(std::span<const std::byte> body)
{
    Reader reader(body);
    std::uint8_t kind = 0;
    Result result;
    if (!reader.Get(kind) || kind != kResult || !reader.Get(result.number) || !reader.Get(result.hr) ||
        !reader.GetValues(result.values))
        return std::nullopt;
    return result;
}

std::string EncodeKeyEvent(const KeyEventMessage& event)
{
    Writer writer;
    writer.Put(kKeyEvent);
    writer.Put(event.key);
    writer.Put(event.action);
    return writer.body();
}

std::optional<KeyEventMessage> DecodeKeyEvent(std::span<const std::byte> datagram)
{
    Reader reader(datagram);
    std::uint8_t kind = 0;
    KeyEventMessage event;
    if (!reader.Get(kind) || kind != kKeyEvent || !reader.Get(event.key) || !reader.Get(event.action) ||
        !reader.AtEnd())
        return std::nullopt;
    return event;
}

Variant Transportable(const VARIANT& value)
{
    switch (value.vt) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I2:
    case VT_BOOL:
    case VT_I4:
    case VT_UI4:
    case VT_ERROR:
    case VT_R4:
    case VT_R8:
    case VT_I8:
    case VT_BSTR: {
        Variant copy;
        VariantCopy(copy.Out(), &value);
        return copy;
    }
    default: {
        Variant text;
        if (FAILED(VariantChangeType(text.Out(), &value, 0, VT_BSTR)))
            return Variant();
        return text;
    }
    }
}

} // namespace pixtera::host
