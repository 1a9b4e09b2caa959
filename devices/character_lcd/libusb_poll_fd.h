// SPDX-License-Identifier: MIT
#pragma once

struct libusb_context;

namespace pixtera::lcd {

// A duplicate (close-on-exec) of the device's descriptor in a context that has one device alone
// open, for a reader to wait on; -1 when there is none.
int DuplicateDevicePollFd(libusb_context* context);

} // namespace pixtera::lcd
