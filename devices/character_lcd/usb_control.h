// SPDX-License-Identifier: MIT
#pragma once
// What a module driven by vendor control requests needs of the USB side, apart so that tests put
// a model behind it. Every call answers 0 or the errno (ENODEV: unplugged, ETIMEDOUT: no answer).

#include <cstddef>
#include <cstdint>
#include <span>

namespace pixtera::lcd {

class UsbControl {
public:
    virtual ~UsbControl() = default;
    // A vendor request to the device, read direction: up to `answer.size()` bytes come back, `got`
    // says how many.
    virtual int In(std::uint8_t request, std::uint16_t value, std::uint16_t index, std::span<std::uint8_t> answer,
                   std::size_t& got) = 0;
};

} // namespace pixtera::lcd
