// SPDX-License-Identifier: MIT
#pragma once
// Which expander answers at an address, found before anything that could change an output is
// written. First by reads alone: an MCP23008 or MCP23017 in its power-on sequential mode reads
// its register file in turn, whose registers keep their documented relations (the IOCON bits
// that read 0, the MCP23017's IOCON at two addresses, INTF within GPINTEN, outputs reading their
// latch), whereas a PCF8574 reads the same port byte every time. A chip that reads alike
// throughout is a PCF8574 only if pin patterns written to it one byte at a time read back; any
// other chip takes such a byte as its register pointer, and may then have its registers read one
// by one through it.

#include "backpack.h"
#include "device_link.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace pixtera::lcd {

// One I2C device: a message written, or bytes read in one transfer; false when nothing
// acknowledged or the bus failed.
class I2cDevice {
public:
    virtual ~I2cDevice() = default;
    virtual bool Write(std::string_view message) = 0;
    virtual bool Read(std::span<std::uint8_t> bytes) = 0;
};

// The device of an opened link.
class LinkI2cDevice final : public I2cDevice {
public:
    explicit LinkI2cDevice(DeviceLink& link) : link_(link) {}
    bool Write(std::string_view message) override { return link_.WriteMessage(message); }
    bool Read(std::span<std::uint8_t> bytes) override { return link_.Read(bytes); }

private:
    DeviceLink& link_;
};

enum class ExpanderFound {
    Absent, // nothing acknowledged
    Pcf8574,
    Mcp23008,
    Mcp23017,
    PortLike, // every read alike: a PCF8574, or a chip reading a constant
    Unknown, // something else: nothing is written to it
};

const char* FoundName(ExpanderFound found);
std::optional<ExpanderChip> ChipOf(ExpanderFound found);

// How many bytes the reads take: two passes over an MCP23017's registers.
inline constexpr std::size_t kIdentificationReads = 44;

// Reads alone, from wherever the chip's register pointer stands: Mcp23008, Mcp23017, PortLike,
// Unknown or Absent.
ExpanderFound IdentifyByReads(I2cDevice& device);
// What a run of reads in turn says (Absent never).
ExpanderFound ClassifyReads(std::span<const std::uint8_t> reads);

// Single-byte pin patterns, each read back twice, stopping at the first that does not read back:
// whether the chip is a PCF8574 (only for a chip that reads alike throughout: on a PCF8574 the
// bytes are its outputs, with E and the backlight of both usual pin maps low).
bool ReadsBackAsPcf8574(I2cDevice& device);

// Each register read after a single-byte write of its address: Mcp23008, Mcp23017 or Unknown. Only
// for a chip known to be no PCF8574.
ExpanderFound IdentifyByPointer(I2cDevice& device);

// All three in turn, for a module configured at this address: an MCP left in byte mode by an
// earlier run is recognised too.
ExpanderFound IdentifyExpander(I2cDevice& device);

} // namespace pixtera::lcd
