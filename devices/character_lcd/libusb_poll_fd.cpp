// SPDX-License-Identifier: MIT
#include "libusb_poll_fd.h"

#include <libusb.h>

#include <fcntl.h>
#include <poll.h>

namespace pixtera::lcd {

int DuplicateDevicePollFd(libusb_context* context)
{
    // Its one descriptor polled for output is the device's; the others are libusb's own event
    // and timer descriptors.
    const libusb_pollfd** fds = libusb_get_pollfds(context);
    if (!fds)
        return -1;
    int duplicate = -1;
    for (const libusb_pollfd** fd = fds; *fd && duplicate < 0; ++fd)
        if ((*fd)->events & POLLOUT)
            duplicate = fcntl((*fd)->fd, F_DUPFD_CLOEXEC, 0);
    libusb_free_pollfds(fds);
    return duplicate;
}

} // namespace pixtera::lcd
