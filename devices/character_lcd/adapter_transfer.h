// SPDX-License-Identifier: MIT
#pragma once
// I2C through a USB adapter's chip: the device it talks to may change between transfers, as
// detection goes from address to address on one opened adapter.

#include "device_link.h"

namespace pixtera::lcd {

class AdapterTransfer : public I2cTransfer {
public:
    explicit AdapterTransfer(int address) : address_(address) {}
    void SetAddress(int address) { address_ = address; }

protected:
    int address_;
};

} // namespace pixtera::lcd
