// SPDX-License-Identifier: MIT
#pragma once
// Models of the USB-to-I2C chips as their USB side sees them (the CH341A's command stream on bulk
// endpoints, the MCP2221's and CP2112's HID reports), each with an HD44780 on a PCF8574 at one
// address of its I2C bus. They keep the I2C messages that reached the module and the USB
// transfers it took, answer a NACK at any other address as the chip does, flag what the chip
// would not take, and can be unplugged after a number of USB calls.

#include "hd44780_model.h"
#include "usb_transport.h"

#include <algorithm>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace pixtera::lcd::test {

// What went on the I2C bus: each start (or repeated start) and stop one clock, each byte (the
// address and data, either way) nine.
struct BusCount {
    std::uint64_t starts = 0, stops = 0, bytes = 0;
    std::uint64_t clocks() const { return starts + stops + 9 * bytes; }
};

// A chip that misbehaves, to see what the driver makes of it.
struct Misbehaviour {
    std::size_t extraAnswer = 0; // CH341A: bytes answered after what each stream asked for
    std::size_t reportBytes = 0; // HID: input reports cut to this many bytes; 0: whole
    bool busyForever = false; // MCP2221: the I2C engine busy whatever it is asked, cancels included
    int speedRefusals = 0; // MCP2221: the next clock settings answered "not set"
    std::size_t longerReads = 0; // HID: read data answered with this many bytes more than asked
    int stuckTransfers = 0; // CP2112: the next transfers never end until cancelled
    std::uint16_t vendor = 0, product = 0; // HID: the ids of another device behind the node; 0: the chip's
    std::string serial = {}; // HID: the serial number the device tells
};

class AdapterModel {
public:
    AdapterModel(Hd44780Model& module, int address) : module_(&module), address_(address) {}
    virtual ~AdapterModel() = default;

    // The messages written to the module since the last call.
    std::vector<std::string> TakeMessages();
    int usbCalls() const;
    // The bus since the last call.
    BusCount TakeBusCount();
    void Misbehave(const Misbehaviour& how);
    int cancels() const;
    // What the chip would not have taken (a malformed packet or report), described; empty: none.
    std::string faults() const;
    // Unplugged after `calls` more USB calls; -1 plugged in for good.
    void UnplugAfter(int calls);
    bool unplugged() const;
    // Plugged in again with a module that lost its power.
    void PlugIn(Hd44780Model& module);
    template <class Call>
    auto WithModule(Call call)
    {
        std::lock_guard lock(mutex_);
        return call(*module_);
    }

protected:
    // What the chip held when it lost its power (answers not read yet), forgotten.
    virtual void Forget() = 0;
    // Counts a USB call; false when the chip is gone.
    bool Call();
    // A start with the address byte; whether it was acknowledged.
    bool Address(std::uint8_t byte);
    void Send(std::uint8_t byte);
    std::uint8_t Receive();
    void Stop() { ++bus_.stops; }
    // The ids a HID chip answers with; ENODEV once unplugged (counted as no USB call).
    int Identify(std::uint16_t vendor, std::uint16_t product, std::uint16_t& v, std::uint16_t& p,
                 std::string& serial) const;
    // An answer cut as the misbehaviour says.
    std::size_t ReportLength(std::size_t length) const
    {
        return how_.reportBytes ? std::min(length, how_.reportBytes) : length;
    }
    void Fault(const std::string& what);

    mutable std::mutex mutex_; // guards everything here and in the derived models
    int speed_ = 0; // as the chip was set, in its own units
    Misbehaviour how_;
    int cancels_ = 0;

private:
    Hd44780Model* module_;
    int address_;
    bool acked_ = false;
    std::vector<std::string> messages_;
    BusCount bus_;
    int calls_ = 0;
    int callsLeft_ = -1;
    std::string faults_;
};

class Ch341Model final : public AdapterModel {
public:
    using AdapterModel::AdapterModel;
    std::unique_ptr<UsbBulk> Connect();
    int speed() const;

private:
    class End;
    void Forget() override { answer_.clear(); }
    void Packet(const std::uint8_t* bytes, std::size_t size);
    std::deque<std::uint8_t> answer_;
};

class Mcp2221Model final : public AdapterModel {
public:
    using AdapterModel::AdapterModel;
    std::unique_ptr<HidReports> Connect();
    int divider() const;

private:
    class End;
    void Forget() override
    {
        answers_.clear();
        readData_.clear();
        state_ = 0;
        writeLeft_ = 0;
    }
    void Command(const std::uint8_t* report);
    std::deque<std::vector<std::uint8_t>> answers_;
    std::uint8_t state_ = 0; // the I2C engine: 0 idle, 0x25 stuck after a NACK
    std::size_t writeLeft_ = 0; // of the message under way
    std::deque<std::uint8_t> readData_;
};

class Cp2112Model final : public AdapterModel {
public:
    using AdapterModel::AdapterModel;
    std::unique_ptr<HidReports> Connect();
    int clock() const;

private:
    class End;
    void Forget() override
    {
        answers_.clear();
        readData_.clear();
        status0_ = status1_ = 0;
        stuck_ = false;
    }
    void Report(std::span<const std::uint8_t> report);
    std::deque<std::vector<std::uint8_t>> answers_;
    std::uint8_t status0_ = 0, status1_ = 0;
    bool stuck_ = false; // a transfer that will not end until cancelled
    std::deque<std::uint8_t> readData_;
};

} // namespace pixtera::lcd::test
