// SPDX-License-Identifier: MIT
#include "usb_adapter_models.h"

#include "ch341_i2c.h"
#include "cp2112_i2c.h"
#include "mcp2221_i2c.h"

#include <algorithm>
#include <cerrno>

namespace pixtera::lcd::test {

std::vector<std::string> AdapterModel::TakeMessages()
{
    std::lock_guard lock(mutex_);
    return std::exchange(messages_, {});
}

int AdapterModel::usbCalls() const
{
    std::lock_guard lock(mutex_);
    return calls_;
}

BusCount AdapterModel::TakeBusCount()
{
    std::lock_guard lock(mutex_);
    return std::exchange(bus_, {});
}

void AdapterModel::Misbehave(const Misbehaviour& how)
{
    std::lock_guard lock(mutex_);
    how_ = how;
}

int AdapterModel::cancels() const
{
    std::lock_guard lock(mutex_);
    return cancels_;
}

int AdapterModel::Identify(std::uint16_t vendor, std::uint16_t product, std::uint16_t& v, std::uint16_t& p,
                           std::string& serial) const
{
    std::lock_guard lock(mutex_);
    if (callsLeft_ == 0)
        return ENODEV;
    v = how_.vendor ? how_.vendor : vendor;
    p = how_.vendor ? how_.product : product;
    serial = how_.serial;
    return 0;
}

std::string AdapterModel::faults() const
{
    std::lock_guard lock(mutex_);
    return faults_;
}

void AdapterModel::UnplugAfter(int calls)
{
    std::lock_guard lock(mutex_);
    callsLeft_ = calls;
}

bool AdapterModel::unplugged() const
{
    std::lock_guard lock(mutex_);
    return callsLeft_ == 0;
}

void AdapterModel::PlugIn(Hd44780Model& module)
{
    std::lock_guard lock(mutex_);
    module_ = &module;
    callsLeft_ = -1;
    Forget();
}

bool AdapterModel::Call()
{
    if (callsLeft_ == 0)
        return false;
    if (callsLeft_ > 0)
        --callsLeft_;
    ++calls_;
    return true;
}

bool AdapterModel::Address(std::uint8_t byte)
{
    ++bus_.starts;
    ++bus_.bytes;
    acked_ = (byte >> 1) == address_;
    if (acked_ && !(byte & 1)) {
        module_->StartMessage();
        messages_.emplace_back();
    }
    return acked_;
}

void AdapterModel::Send(std::uint8_t byte)
{
    if (!acked_)
        return;
    ++bus_.bytes;
    module_->Feed(std::string(1, static_cast<char>(byte)));
    messages_.back().push_back(static_cast<char>(byte));
}

std::uint8_t AdapterModel::Receive()
{
    ++bus_.bytes;
    return acked_ ? module_->Read() : 0xFF;
}

void AdapterModel::Fault(const std::string& what)
{
    if (faults_.empty())
        faults_ = what;
}

// CH341A

class Ch341Model::End final : public UsbBulk {
public:
    explicit End(Ch341Model& chip) : chip_(chip) {}
    int Out(std::span<const std::uint8_t> bytes) override
    {
        std::lock_guard lock(chip_.mutex_);
        if (!chip_.Call())
            return ENODEV;
        const std::size_t answered = chip_.answer_.size();
        for (std::size_t at = 0; at < bytes.size(); at += ch341::kPacket)
            chip_.Packet(bytes.data() + at, std::min(ch341::kPacket, bytes.size() - at));
        if (chip_.answer_.size() > answered)
            chip_.answer_.insert(chip_.answer_.end(), chip_.how_.extraAnswer, 0x00);
        return 0;
    }
    int In(std::span<std::uint8_t> bytes, std::size_t& got) override
    {
        std::lock_guard lock(chip_.mutex_);
        got = 0;
        if (!chip_.Call())
            return ENODEV;
        if (chip_.answer_.empty())
            return ETIMEDOUT; // the chip has nothing to say
        // One 32-byte packet at a time, as the endpoint gives them.
        while (got < bytes.size() && got < ch341::kPacket && !chip_.answer_.empty()) {
            bytes[got++] = chip_.answer_.front();
            chip_.answer_.pop_front();
        }
        return 0;
    }

private:
    Ch341Model& chip_;
};

std::unique_ptr<UsbBulk> Ch341Model::Connect() { return std::make_unique<End>(*this); }

int Ch341Model::speed() const
{
    std::lock_guard lock(mutex_);
    return speed_;
}

void Ch341Model::Packet(const std::uint8_t* bytes, std::size_t size)
{
    using namespace ch341;
    if (bytes[0] != kStream)
        return Fault("a packet that is no I2C stream");
    bool addressNext = false;
    for (std::size_t i = 1; i < size;) {
        const std::uint8_t command = bytes[i++];
        if (command == kEnd)
            return;
        if (command == kStart) {
            addressNext = true;
        } else if (command == kStop) {
            addressNext = false;
            Stop();
        } else if ((command & 0xE0) == kSet) {
            speed_ = command & 0x03;
        } else if ((command & 0xC0) == kOut) {
            const std::size_t count = command & 0x3F;
            if (count == 0) {
                if (i >= size)
                    return Fault("an OUT without its byte");
                const std::uint8_t byte = bytes[i++];
                const bool ack = addressNext ? Address(byte) : (Send(byte), true);
                addressNext = false;
                answer_.push_back(ack ? 0x00 : kNack);
                continue;
            }
            if (i + count > size)
                return Fault("an OUT running past its packet");
            for (std::size_t n = 0; n < count; ++n, ++i) {
                if (addressNext) {
                    Address(bytes[i]);
                    addressNext = false;
                } else {
                    Send(bytes[i]);
                }
            }
        } else if ((command & 0xC0) == kIn) {
            const std::size_t count = (command & 0x3F) == 0 ? 1 : command & 0x3F;
            for (std::size_t n = 0; n < count; ++n)
                answer_.push_back(Receive());
        } else {
            return Fault("an unknown stream command");
        }
    }
    Fault("a packet without STM_END");
}

// MCP2221

class Mcp2221Model::End final : public HidReports {
public:
    explicit End(Mcp2221Model& chip) : chip_(chip) {}
    int Write(std::span<const std::uint8_t> report) override
    {
        std::lock_guard lock(chip_.mutex_);
        if (!chip_.Call())
            return ENODEV;
        if (report.size() != mcp2221::kReport + 1 || report[0] != 0)
            chip_.Fault("a report that is not 64 bytes after report ID 0");
        else
            chip_.Command(report.data() + 1);
        return 0;
    }
    int Read(std::span<std::uint8_t> report, std::size_t& got) override
    {
        std::lock_guard lock(chip_.mutex_);
        got = 0;
        if (!chip_.Call())
            return ENODEV;
        if (chip_.answers_.empty())
            return ETIMEDOUT;
        const auto answer = std::move(chip_.answers_.front());
        chip_.answers_.pop_front();
        got = chip_.ReportLength(std::min(report.size(), answer.size()));
        std::copy_n(answer.begin(), got, report.begin());
        return 0;
    }
    int SetFeature(std::span<const std::uint8_t>) override
    {
        std::lock_guard lock(chip_.mutex_);
        chip_.Fault("a feature report, which the chip has none of");
        return EPIPE;
    }
    int Identify(std::uint16_t& vendor, std::uint16_t& product, std::string& serial) override
    {
        return chip_.AdapterModel::Identify(mcp2221::kVendor, mcp2221::kProduct, vendor, product, serial);
    }

private:
    Mcp2221Model& chip_;
};

std::unique_ptr<HidReports> Mcp2221Model::Connect() { return std::make_unique<End>(*this); }

int Mcp2221Model::divider() const
{
    std::lock_guard lock(mutex_);
    return speed_;
}

void Mcp2221Model::Command(const std::uint8_t* report)
{
    using namespace mcp2221;
    std::vector<std::uint8_t> answer(kReport, 0);
    answer[0] = report[0];
    if (how_.busyForever && report[0] != kStatus) {
        answer[1] = 0x01;
        answers_.push_back(std::move(answer));
        return;
    }
    switch (report[0]) {
    case kStatus:
        if (report[2] == kCancel) {
            ++cancels_;
            state_ = 0;
            writeLeft_ = 0;
        }
        if (report[3] == kSetSpeed) {
            if (how_.speedRefusals > 0)
                --how_.speedRefusals, answer[3] = 0x21;
            else if (state_ != 0)
                answer[3] = 0x21; // not set while a transfer is under way
            else
                speed_ = report[4], answer[3] = 0x20;
        }
        answer[8] = how_.busyForever ? 0x41 : state_;
        answer[20] = state_ == kNackState ? kAddressNack : 0;
        break;
    case kWrite: {
        const std::size_t length = report[1] | report[2] << 8;
        if (state_ != 0 && writeLeft_ == 0) {
            answer[1] = 0x01; // busy
            break;
        }
        if (writeLeft_ == 0) {
            writeLeft_ = length;
            if (!Address(report[3])) {
                state_ = kNackState;
                writeLeft_ = 0;
                Stop();
                break;
            }
        }
        const std::size_t chunk = std::min(writeLeft_, kChunk);
        for (std::size_t i = 0; i < chunk; ++i)
            Send(report[4 + i]);
        writeLeft_ -= chunk;
        if (writeLeft_ == 0)
            Stop();
        break;
    }
    case kRead: {
        const std::size_t length = report[1] | report[2] << 8;
        if (state_ != 0) {
            answer[1] = 0x01;
            break;
        }
        if (!Address(report[3])) {
            state_ = kNackState;
            Stop();
            break;
        }
        for (std::size_t i = 0; i < length; ++i)
            readData_.push_back(Receive());
        readData_.insert(readData_.end(), how_.longerReads, 0xEE);
        Stop();
        break;
    }
    case kGetData:
        if (state_ != 0) {
            answer[1] = 0x41;
            answer[3] = 0x7F;
            break;
        }
        answer[3] = static_cast<std::uint8_t>(std::min(readData_.size(), kChunk));
        for (std::size_t i = 0; i < answer[3]; ++i) {
            answer[4 + i] = readData_.front();
            readData_.pop_front();
        }
        break;
    default: Fault("an unknown command"); return;
    }
    answers_.push_back(std::move(answer));
}

// CP2112

class Cp2112Model::End final : public HidReports {
public:
    explicit End(Cp2112Model& chip) : chip_(chip) {}
    int Write(std::span<const std::uint8_t> report) override
    {
        std::lock_guard lock(chip_.mutex_);
        if (!chip_.Call())
            return ENODEV;
        chip_.Report(report);
        return 0;
    }
    int Read(std::span<std::uint8_t> report, std::size_t& got) override
    {
        std::lock_guard lock(chip_.mutex_);
        got = 0;
        if (!chip_.Call())
            return ENODEV;
        if (chip_.answers_.empty())
            return ETIMEDOUT;
        const auto answer = std::move(chip_.answers_.front());
        chip_.answers_.pop_front();
        got = chip_.ReportLength(std::min(report.size(), answer.size()));
        std::copy_n(answer.begin(), got, report.begin());
        return 0;
    }
    int SetFeature(std::span<const std::uint8_t> report) override
    {
        std::lock_guard lock(chip_.mutex_);
        if (!chip_.Call())
            return ENODEV;
        if (report.size() != 14 || report[0] != cp2112::kSmbusConfig)
            chip_.Fault("an SMBus configuration that is not 13 bytes after its ID");
        else
            chip_.speed_ = report[1] << 24 | report[2] << 16 | report[3] << 8 | report[4];
        return 0;
    }
    int Identify(std::uint16_t& vendor, std::uint16_t& product, std::string& serial) override
    {
        return chip_.AdapterModel::Identify(cp2112::kVendor, cp2112::kProduct, vendor, product, serial);
    }

private:
    Cp2112Model& chip_;
};

std::unique_ptr<HidReports> Cp2112Model::Connect() { return std::make_unique<End>(*this); }

int Cp2112Model::clock() const
{
    std::lock_guard lock(mutex_);
    return speed_;
}

void Cp2112Model::Report(std::span<const std::uint8_t> report)
{
    using namespace cp2112;
    if (report.empty())
        return Fault("an empty report");
    if (report[0] == kCancel) {
        ++cancels_;
        stuck_ = false;
        status0_ = kIdle;
        return;
    }
    if (stuck_ && (report[0] == kWrite || report[0] == kReadRequest))
        return; // the chip takes no transfer while one is under way
    if (how_.stuckTransfers > 0 && (report[0] == kWrite || report[0] == kReadRequest)) {
        --how_.stuckTransfers;
        stuck_ = true;
        status0_ = kBusy;
        return;
    }
    switch (report[0]) {
    case kWrite: {
        if (report.size() < 4 || report[2] == 0 || report[2] > kLargestWrite || report.size() < 3u + report[2])
            return Fault("a write request of a length the chip does not take");
        const bool acked = Address(report[1]);
        for (std::size_t i = 0; acked && i < report[2]; ++i)
            Send(report[3 + i]);
        Stop();
        status0_ = acked ? kComplete : kError;
        status1_ = acked ? 5 : kTimeoutNack;
        return;
    }
    case kReadRequest: {
        const std::size_t length = report[2] << 8 | report[3];
        if (!Address(report[1])) {
            Stop();
            status0_ = kError, status1_ = kTimeoutNack;
            return;
        }
        for (std::size_t i = 0; i < length; ++i)
            readData_.push_back(Receive());
        readData_.insert(readData_.end(), how_.longerReads, 0xEE);
        Stop();
        status0_ = kComplete, status1_ = 5;
        return;
    }
    case kStatusRequest: answers_.push_back({kStatusResponse, status0_, status1_, 0, 0, 0, 0}); return;
    case kReadForce: {
        std::vector<std::uint8_t> answer(kReport, 0);
        answer[0] = kReadResponse;
        answer[1] = kComplete;
        answer[2] = static_cast<std::uint8_t>(std::min<std::size_t>(readData_.size(), kReport - 3));
        for (std::size_t i = 0; i < answer[2]; ++i) {
            answer[3 + i] = readData_.front();
            readData_.pop_front();
        }
        answers_.push_back(std::move(answer));
        return;
    }
    default: Fault("an unknown report");
    }
}

} // namespace pixtera::lcd::test
