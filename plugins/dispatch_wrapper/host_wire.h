// SPDX-License-Identifier: MIT
#pragma once
// The messages between DispatchWrapper.core and pixtera-plugin-host over their socket: a 32-bit
// length, then a call (method and arguments) or a result (HRESULT and out-values). Values are
// LONGs, BYTEs, BSTRs and VARIANTs of the plain types. Everything is little-endian. The reader
// checks every length against what arrived: the other side may be a crashing plug-in.

#include <pixtera/platform/variant.h>
#include <pixtera/sdk/guids.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace pixtera::host {

inline constexpr std::size_t kLargestMessage = 1u << 20;

enum class Method : std::uint16_t {
    Create = 1, // BSTR progId -> LONG interfaces (Interfaces bits)
    EditConfiguration,
    GetPluginName,
    GetConfiguration,
    Configure,
    Refresh,
    GetUpdateMode,
    GetInterval,
    GetCount,
    GetName,
    GetDescription,
    GetValue,
    GetColumns,
    GetPixelHeight,
    GetPixelWidth,
    GetCharHeight,
    GetCharWidth,
    GetRows,
    SetBackground,
    Reserved,
    SetCustomChar,
    Write,
    LoaderQuery,
    SetValue,
    GetFeedNames, // IDataFeed
    GetSettingCount,
    GetSetting, // IPluginSettings
    SetBacklight,
    SetBrightness,
    GetPowerCaps, // IDisplayPower
    DeviceAppeared,
    Resumed, // IDisplayEvents
    GetRom, // IDisplayCharacterSet
    AttachDisplay,
    GetScreens,
    RenderScreen,
    ScreenShown, // IScreenSource (not Advise: its sink does not cross processes)
    AdviseKeys, // IDisplayInput: LONG 1 sends the keys over the event socket, 0 stops
    ScreenKey, // IScreenKeys
    WriteUnicode, // IDisplayUnicodeFrame
    GetLinkState, // IDisplayLinkState: -> LONG linked (0, 1), VARIANT VT_I8 outage since
    GetLedCount,
    GetLedStates,
    GetLed,
    SetLed, // IDisplayLeds
    GetLastFrameTraffic, // IDisplayTraffic: -> LONG bytes, LONG messages, VT_I8 clocks, VT_I8 microseconds; the last
};

// The last method: the reader refuses later numbers.
inline constexpr Method kLastMethod = Method::GetLastFrameTraffic;

enum Interfaces : LONG {
    kPluginInfo = 1,
    kDataProvider = 2,
    kDisplayDriver = 4,
    kDataFeed = 8,
    kPluginSettings = 16,
    kDisplayPower = 32,
    kDisplayEvents = 64,
    kDisplayCharacterSet = 128,
    kScreenSource = 256,
    kDisplayInput = 512,
    kScreenKeys = 1024,
    kDisplayUnicodeFrame = 2048,
    kDisplayLinkState = 4096,
    kDisplayLeds = 8192,
    kDisplayTraffic = 16384,
};

// Every SDK interface a hosted plug-in may have, with its bit: the host reports the ones its
// object answers, the wrapper answers exactly those. A new interface is one line here (and its
// methods above).
struct ForwardedInterface {
    const IID* iid;
    Interfaces bit;
};
inline constexpr ForwardedInterface kForwardedInterfaces[] = {
    {&IID_IPluginInfo, kPluginInfo},
    {&IID_IDataProvider, kDataProvider},
    {&IID_IDisplayDriver, kDisplayDriver},
    {&IID_IDataFeed, kDataFeed},
    {&IID_IPluginSettings, kPluginSettings},
    {&IID_IDisplayPower, kDisplayPower},
    {&IID_IDisplayEvents, kDisplayEvents},
    {&IID_IDisplayCharacterSet, kDisplayCharacterSet},
    {&IID_IScreenSource, kScreenSource},
    {&IID_IDisplayInput, kDisplayInput},
    {&IID_IScreenKeys, kScreenKeys},
    {&IID_IDisplayUnicodeFrame, kDisplayUnicodeFrame},
    {&IID_IDisplayLinkState, kDisplayLinkState},
    {&IID_IDisplayLeds, kDisplayLeds},
    {&IID_IDisplayTraffic, kDisplayTraffic},
};

using Value = std::variant<LONG, BYTE, std::u16string, Variant>;

// Calls are numbered; a result carries the number of the call it answers, so that an answer to
// anything but the call in flight is seen for the fault it is.
struct Call {
    Method method{};
    std::vector<Value> arguments;
    std::uint32_t number = 0;
};

struct Result {
    HRESULT hr = S_OK;
    std::vector<Value> values;
    std::uint32_t number = 0;
};

// What a hosted plug-in says on its own (its keys), on a second socket of datagrams, one event
// each, without a length in front: the call socket carries only answers to calls.
struct KeyEventMessage {
    LONG key = 0;
    LONG action = 0;
};
std::string EncodeKeyEvent(const KeyEventMessage& event);
std::optional<KeyEventMessage> DecodeKeyEvent(std::span<const std::byte> datagram);
inline constexpr std::size_t kLargestEvent = 64;

// The bytes of a message, its length first.
std::string EncodeCall(const Call& call);
std::string EncodeResult(const Result& result);

// A message's body (after its length); nothing when it is not a whole, well-formed message.
std::optional<Call> DecodeCall(std::span<const std::byte> body);
std::optional<Result> DecodeResult(std::span<const std::byte> body);

// A VARIANT of a type the link carries: the plain types as they are, anything else as its text
// (or empty when it has none).
Variant Transportable(const VARIANT& value);

} // namespace pixtera::host
