// SPDX-License-Identifier: MIT
#include "crystalfontz_model.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

namespace pixtera::lcd::test {

CrystalfontzPty::CrystalfontzPty(CrystalfontzModel model) : model_(model)
{
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    grantpt(master_);
    unlockpt(master_);
    path_ = ptsname(master_);
    const Geometry geometry = TraitsOf(model).geometry;
    state_.screen.assign(static_cast<std::size_t>(geometry.cells()), '?');
    thread_ = std::thread([this] { Run(); });
}

CrystalfontzPty::~CrystalfontzPty()
{
    stopping_ = true;
    thread_.join();
    close(master_);
}

CrystalfontzState CrystalfontzPty::state() const
{
    std::lock_guard lock(mutex_);
    return state_;
}

void CrystalfontzPty::ResetCounts()
{
    std::lock_guard lock(mutex_);
    state_.received = 0;
    state_.commands.clear();
}

void CrystalfontzPty::DropAnswers(int count)
{
    std::lock_guard lock(mutex_);
    drop_ = count;
}

void CrystalfontzPty::CorruptAnswers(int count)
{
    std::lock_guard lock(mutex_);
    corrupt_ = count;
}

void CrystalfontzPty::SetSilent(bool silent)
{
    std::lock_guard lock(mutex_);
    silent_ = silent;
}

void CrystalfontzPty::ReportBeforeAnswers(const Packet& report, int count)
{
    std::lock_guard lock(mutex_);
    report_ = report;
    reports_ = count;
}

bool CrystalfontzPty::Send(std::string_view bytes)
{
    std::lock_guard lock(mutex_);
    return write(master_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

Packet CrystalfontzPty::TemperatureReport(int index, int sixteenths, bool crcGood)
{
    const auto value = static_cast<std::uint16_t>(sixteenths);
    return {PacketKind::Report, cfa::kTemperatureReport,
            std::string{char(index), char(value & 0xFF), char(value >> 8), char(crcGood ? 1 : 0)}};
}

Packet CrystalfontzPty::FanReport(int index, int cycles, int ticks)
{
    return {PacketKind::Report, cfa::kFanReport, std::string{char(index), char(cycles), char(ticks >> 8), char(ticks)}};
}

void CrystalfontzPty::AttachFan(int index, int cycles, int ticks)
{
    std::lock_guard lock(mutex_);
    fans_[index] = FanReport(index, cycles, ticks);
}

void CrystalfontzPty::AttachTemperature(int index, int sixteenths, bool crcGood)
{
    std::lock_guard lock(mutex_);
    temperatures_[index] = TemperatureReport(index, sixteenths, crcGood);
}

std::string CrystalfontzPty::SensorReports() const
{
    std::string bytes;
    if (silent_)
        return bytes;
    for (const auto& [index, report] : fans_)
        if (state_.fanMask > 0 && (state_.fanMask >> index & 1))
            bytes += EncodePacket(report);
    for (const auto& [index, report] : temperatures_)
        if (state_.temperatureMask > 0 && (state_.temperatureMask >> index & 1))
            bytes += EncodePacket(report);
    return bytes;
}

std::string CrystalfontzPty::Answer(const Packet& command)
{
    const auto data = [&](std::size_t i) { return static_cast<std::uint8_t>(command.data[i]); };
    const Geometry geometry = TraitsOf(model_).geometry;
    bool valid = true;
    switch (command.command) {
    case cfa::kPing: break;
    case cfa::kClear: state_.screen.assign(state_.screen.size(), ' '); break;
    case cfa::kCursorStyle: valid = command.data.size() == 1 && (state_.cursorStyle = data(0), true); break;
    case cfa::kContrast: valid = command.data.size() == 1 && (state_.contrast = data(0), true); break;
    case cfa::kBacklight: valid = !command.data.empty() && data(0) <= 100 && (state_.backlight = data(0), true); break;
    case cfa::kKeyReporting:
        valid = command.data.size() == 2;
        if (valid) {
            state_.keyPressMask = data(0);
            state_.keyReleaseMask = data(1);
        }
        break;
    case cfa::kFanReporting:
        valid = command.data.size() == 1 && data(0) < 16 && (state_.fanMask = data(0), true);
        break;
    case cfa::kTemperatureReporting:
        valid = command.data.size() == 4;
        if (valid)
            state_.temperatureMask = data(0) | data(1) << 8 | data(2) << 16 | std::int64_t{data(3)} << 24;
        break;
    case cfa::kWatchdog: valid = command.data.size() == 1 && (state_.watchdog = data(0), true); break;
    case cfa::kDefineCharacter:
        valid = command.data.size() == 9 && data(0) < kUserCharacters;
        for (std::size_t row = 0; valid && row < 8; ++row)
            state_.glyphs[data(0)][row] = data(1 + row);
        break;
    case cfa::kSendData: {
        valid = command.data.size() >= 3 && data(0) < geometry.columns && data(1) < geometry.rows &&
                data(0) + command.data.size() - 2 <= static_cast<std::size_t>(geometry.columns);
        if (valid)
            state_.screen.replace(static_cast<std::size_t>(data(1) * geometry.columns + data(0)),
                                  command.data.size() - 2, command.data.substr(2));
        break;
    }
    case cfa::kSetGpio:
        valid = command.data.size() >= 2 && data(0) < state_.gpio.size() && data(1) <= 100;
        if (valid)
            state_.gpio[data(0)] = data(1);
        break;
    default: valid = false;
    }
    state_.commands.push_back(command.command);
    if (!valid)
        ++state_.refused;
    // The ping echoes its data; other answers carry none of the driver's.
    const Packet answer{valid ? PacketKind::Response : PacketKind::Error, command.command,
                        command.command == cfa::kPing ? command.data : std::string()};
    std::string bytes;
    if (reports_ > 0) {
        --reports_;
        bytes += EncodePacket(report_);
    }
    std::string encoded = EncodePacket(answer);
    if (corrupt_ > 0) {
        --corrupt_;
        encoded.back() = static_cast<char>(encoded.back() ^ 0x5A);
    }
    if (drop_ > 0) {
        --drop_;
        encoded.clear();
    }
    return bytes + encoded;
}

void CrystalfontzPty::SendSensorReportsWhenDue()
{
    std::lock_guard lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    if (now - lastReports_ < std::chrono::milliseconds(100))
        return;
    lastReports_ = now;
    if (const std::string reports = SensorReports(); !reports.empty()) [[maybe_unused]]
        const auto written = write(master_, reports.data(), reports.size());
}

void CrystalfontzPty::Run()
{
    char buffer[512];
    while (!stopping_) {
        SendSensorReportsWhenDue();
        pollfd poller{master_, POLLIN, 0};
        if (poll(&poller, 1, 10) <= 0)
            continue;
        const ssize_t n = read(master_, buffer, sizeof buffer);
        if (n <= 0) {
            usleep(1000); // no slave open: EIO until the driver opens it again
            continue;
        }
        std::lock_guard lock(mutex_);
        state_.received += static_cast<std::uint64_t>(n);
        const std::uint64_t droppedBefore = reader_.dropped();
        std::string replies;
        for (const Packet& packet : reader_.Feed(std::string_view(buffer, static_cast<std::size_t>(n))))
            if (packet.kind == PacketKind::Command && !silent_)
                replies += Answer(packet);
        state_.badPackets += reader_.dropped() - droppedBefore;
        if (!replies.empty()) [[maybe_unused]]
            const auto written = write(master_, replies.data(), replies.size());
    }
}

} // namespace pixtera::lcd::test
