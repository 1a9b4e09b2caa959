// SPDX-License-Identifier: MIT
#pragma once
// Reports through a hidraw node whose descriptor someone else owns (the link): reads wait at most
// a second for the adapter's answer.

#include "usb_transport.h"

namespace pixtera::lcd {

class HidrawReports final : public HidReports {
public:
    explicit HidrawReports(int fd) : fd_(fd) {}

    int Write(std::span<const std::uint8_t> report) override;
    int Read(std::span<std::uint8_t> report, std::size_t& got) override;
    int SetFeature(std::span<const std::uint8_t> report) override;
    int Identify(std::uint16_t& vendor, std::uint16_t& product, std::string& serial) override;

private:
    int fd_; // borrowed
};

} // namespace pixtera::lcd
