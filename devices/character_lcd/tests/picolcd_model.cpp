// SPDX-License-Identifier: MIT
#include "picolcd_model.h"

#include "picolcd_protocol.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace pixtera::lcd::test {
namespace {

const std::string kSplash = "picoLCD 20x2 splash Mini-Box.com USB LCD  ";

} // namespace

class PicoLcdModel::End final : public HidReports {
public:
    End(PicoLcdModel& model, std::uint64_t generation, UniqueFd pipe)
        : model_(model), generation_(generation), pipe_(std::move(pipe))
    {
    }

    int Write(std::span<const std::uint8_t> report) override
    {
        std::lock_guard lock(model_.mutex_);
        if (Gone())
            return ENODEV;
        model_.Output(report);
        if (model_.reportsLeft_ > 0 && --model_.reportsLeft_ == 0)
            model_.Unplug();
        return 0;
    }

    int Read(std::span<std::uint8_t> report, std::size_t& got) override
    {
        got = 0;
        std::lock_guard lock(model_.mutex_);
        if (Gone())
            return ENODEV;
        if (model_.input_.empty())
            return ETIMEDOUT;
        char byte = 0;
        [[maybe_unused]] const auto taken = read(pipe_.get(), &byte, 1);
        const auto next = std::move(model_.input_.front());
        model_.input_.pop_front();
        // As hidraw does: a report longer than the buffer is cut.
        got = std::min(next.size(), report.size());
        std::copy_n(next.begin(), got, report.begin());
        return 0;
    }

    int SetFeature(std::span<const std::uint8_t>) override
    {
        std::lock_guard lock(model_.mutex_);
        model_.Fault("a feature report, which the module has none of");
        return EPIPE;
    }

    int Identify(std::uint16_t& vendor, std::uint16_t& product, std::string& serial) override
    {
        std::lock_guard lock(model_.mutex_);
        if (Gone())
            return ENODEV;
        vendor = kPicoLcdVendor;
        product = kPicoLcdProduct;
        serial.clear();
        return 0;
    }

private:
    bool Gone() const { return model_.unplugged_ || model_.generation_ != generation_; }

    PicoLcdModel& model_;
    const std::uint64_t generation_;
    UniqueFd pipe_;
};

PicoLcdModel::PicoLcdModel() : screen_(kSplash.substr(0, 40)) {}

std::optional<HidConnection> PicoLcdModel::Connect()
{
    std::lock_guard lock(mutex_);
    if (unplugged_)
        return std::nullopt;
    int ends[2] = {-1, -1};
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return std::nullopt;
    ++connections_;
    ++generation_;
    input_.clear();
    UniqueFd watch(ends[0]);
    signal_.reset(ends[1]);
    UniqueFd own(fcntl(watch.get(), F_DUPFD_CLOEXEC, 0));
    return HidConnection{std::move(watch), std::make_shared<End>(*this, generation_, std::move(own))};
}

void PicoLcdModel::Output(std::span<const std::uint8_t> report)
{
    bytes_ += report.size();
    if (report.empty()) {
        Fault("an empty report");
        return;
    }
    const auto size = report.size();
    switch (report[0]) {
    case picolcd::kText: {
        if (size < 4 || report[1] > 1 || report[2] > 19 || report[3] != size - 4 || report[2] + report[3] > 20) {
            Fault("a text report out of bounds");
            return;
        }
        for (std::size_t i = 0; i < report[3]; ++i)
            screen_[report[1] * 20u + report[2] + i] = static_cast<char>(report[4 + i]);
        return;
    }
    case picolcd::kGlyph:
        if (size != 10 || report[1] > 7) {
            Fault("a malformed user character");
            return;
        }
        std::copy_n(report.begin() + 2, 8, glyphs_[report[1]].begin());
        return;
    case picolcd::kBacklight:
    case picolcd::kContrast:
    case picolcd::kLeds:
        if (size != 2) {
            Fault("a level report of " + std::to_string(size) + " bytes");
            return;
        }
        if (report[0] == picolcd::kBacklight)
            backlight_ = report[1];
        else if (report[0] == picolcd::kContrast)
            contrast_ = report[1];
        else
            leds_ = report[1];
        return;
    case picolcd::kVersion:
        ++versions_;
        Queue({picolcd::kVersion, 0x00, 0x01});
        return;
    default: Fault("report 0x" + std::to_string(report[0]));
    }
}

void PicoLcdModel::Queue(std::vector<std::uint8_t> report)
{
    if (unplugged_ || !signal_)
        return;
    input_.push_back(std::move(report));
    const char byte = 1;
    [[maybe_unused]] const auto written = write(signal_.get(), &byte, 1);
}

void PicoLcdModel::Unplug()
{
    unplugged_ = true;
    input_.clear();
    signal_.reset(); // the node hangs up
}

void PicoLcdModel::Fault(const std::string& what) { faults_ += what + "; "; }

std::string PicoLcdModel::screen() const
{
    std::lock_guard lock(mutex_);
    return screen_;
}

Glyph PicoLcdModel::GlyphOf(int code) const
{
    std::lock_guard lock(mutex_);
    return glyphs_.at(static_cast<std::size_t>(code));
}

int PicoLcdModel::backlight() const
{
    std::lock_guard lock(mutex_);
    return backlight_;
}

std::optional<int> PicoLcdModel::contrast() const
{
    std::lock_guard lock(mutex_);
    return contrast_;
}

std::optional<int> PicoLcdModel::leds() const
{
    std::lock_guard lock(mutex_);
    return leds_;
}

std::size_t PicoLcdModel::bytesWritten() const
{
    std::lock_guard lock(mutex_);
    return bytes_;
}

int PicoLcdModel::versionsAsked() const
{
    std::lock_guard lock(mutex_);
    return versions_;
}

int PicoLcdModel::connections() const
{
    std::lock_guard lock(mutex_);
    return connections_;
}

std::string PicoLcdModel::faults() const
{
    std::lock_guard lock(mutex_);
    return faults_;
}

void PicoLcdModel::HoldKeys(std::uint8_t first, std::uint8_t second) { SendInput({picolcd::kKeys, first, second}); }

void PicoLcdModel::SendInput(std::vector<std::uint8_t> report)
{
    std::lock_guard lock(mutex_);
    Queue(std::move(report));
}

void PicoLcdModel::UnplugAfter(int reports)
{
    std::lock_guard lock(mutex_);
    reportsLeft_ = reports;
}

bool PicoLcdModel::unplugged() const
{
    std::lock_guard lock(mutex_);
    return unplugged_;
}

void PicoLcdModel::PlugIn()
{
    std::lock_guard lock(mutex_);
    unplugged_ = false;
    reportsLeft_ = -1;
    screen_ = kSplash.substr(0, 40);
    glyphs_ = {};
    backlight_ = 0;
    contrast_.reset();
    leds_.reset();
}

} // namespace pixtera::lcd::test
