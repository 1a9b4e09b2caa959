// SPDX-License-Identifier: MIT
// Loaded with LD_PRELOAD into the real pixtera-detect: /dev is listed from PIXTERA_FAKE_DEV, and
// /dev/i2c-N is a bus of chip models from PIXTERA_FAKE_I2C ("1:0x27:a,3:0x3f:b,1:0x38:const18",
// the kinds of MakeChip), reached through open, ioctl(I2C_SLAVE), read, write and close as the
// kernel's would be. With PIXTERA_FAKE_I2C_LOG every transfer a chip sees is appended to that file,
// a line each: "BUS 0xADDRESS w|r HEXBYTES".

#include "i2c_chip_models.h"

#include <linux/i2c-dev.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

using pixtera::detection::test::I2cChip;
using pixtera::detection::test::MakeChip;

template <class Function>
Function* Next(const char* name)
{
    return reinterpret_cast<Function*>(dlsym(RTLD_NEXT, name));
}

struct FakeBuses {
    std::mutex mutex; // guards everything here
    std::map<std::pair<int, int>, std::unique_ptr<I2cChip>> chips; // (bus, address)
    std::map<int, std::pair<int, int>> open; // fd -> (bus, selected address)
    int logFd = -1; // PIXTERA_FAKE_I2C_LOG, or none

    FakeBuses()
    {
        if (const char* logPath = std::getenv("PIXTERA_FAKE_I2C_LOG"))
            logFd = Next<int(const char*, int, ...)>("open")(logPath, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        const char* wanted = std::getenv("PIXTERA_FAKE_I2C");
        std::string text = wanted ? wanted : "";
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find(',', start);
            if (end == std::string::npos)
                end = text.size();
            const std::string entry = text.substr(start, end - start);
            int bus = 0;
            unsigned address = 0;
            char kind[16] = {};
            if (std::sscanf(entry.c_str(), "%d:%x:%15s", &bus, &address, kind) == 3)
                if (auto chip = MakeChip(kind))
                    chips[{bus, static_cast<int>(address)}] = std::move(chip);
            start = end + 1;
        }
    }

    I2cChip* Selected(int fd)
    {
        const auto it = open.find(fd);
        if (it == open.end())
            return nullptr;
        const auto chip = chips.find(it->second);
        return chip == chips.end() ? nullptr : chip->second.get();
    }

    void Record(int fd, char direction, const void* bytes, std::size_t size)
    {
        const auto it = open.find(fd);
        if (logFd < 0 || it == open.end())
            return;
        char line[64];
        std::string text(line, static_cast<std::size_t>(std::snprintf(line, sizeof line, "%d 0x%02x %c ",
                                                                      it->second.first, it->second.second, direction)));
        for (std::size_t i = 0; i < size; ++i) {
            std::snprintf(line, sizeof line, "%02x", static_cast<const unsigned char*>(bytes)[i]);
            text += line;
        }
        text += '\n';
        Next<ssize_t(int, const void*, size_t)>("write")(logFd, text.data(), text.size());
    }
};

// Never destroyed: the program closes descriptors after static destruction too.
FakeBuses& Buses()
{
    alignas(FakeBuses) static unsigned char storage[sizeof(FakeBuses)];
    static FakeBuses* buses = ::new (storage) FakeBuses;
    return *buses;
}

std::string FakePath(const char* path)
{
    const char* root = std::getenv("PIXTERA_FAKE_DEV");
    if (!root || std::strncmp(path, "/dev", 4) != 0 || (path[4] != '/' && path[4] != '\0'))
        return path;
    return std::string(root) + (path + 4);
}

int OpenFake(const char* path, bool& fake)
{
    fake = false;
    int bus = -1;
    char rest = 0;
    if (std::sscanf(path, "/dev/i2c-%d%c", &bus, &rest) != 1 || access(FakePath(path).c_str(), F_OK) != 0)
        return -1;
    fake = true;
    const int fd = eventfd(0, EFD_CLOEXEC); // a real descriptor to stand for the adapter
    std::lock_guard lock(Buses().mutex);
    Buses().open[fd] = {bus, -1};
    return fd;
}

// The model's bus for /dev/i2c-N of the fake /dev, the C library's `function` for the rest.
int OpenOrFake(const char* function, const char* path, int flags, mode_t mode)
{
    bool fake = false;
    const int fd = OpenFake(path, fake);
    return fake ? fd : Next<int(const char*, int, ...)>(function)(path, flags, mode);
}

} // namespace

extern "C" {

DIR* opendir(const char* name) { return Next<DIR*(const char*)>("opendir")(FakePath(name).c_str()); }

int open(const char* path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = (flags & O_CREAT) ? static_cast<mode_t>(va_arg(arguments, int)) : 0;
    va_end(arguments);
    return OpenOrFake("open", path, flags, mode);
}

int open64(const char* path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = (flags & O_CREAT) ? static_cast<mode_t>(va_arg(arguments, int)) : 0;
    va_end(arguments);
    return OpenOrFake("open64", path, flags, mode);
}

int ioctl(int fd, unsigned long request, ...)
{
    va_list arguments;
    va_start(arguments, request);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    {
        std::lock_guard lock(Buses().mutex);
        const auto it = Buses().open.find(fd);
        if (it != Buses().open.end()) {
            if (request != I2C_SLAVE) {
                errno = ENOTTY;
                return -1;
            }
            it->second.second = static_cast<int>(reinterpret_cast<unsigned long>(argument));
            return 0;
        }
    }
    return Next<int(int, unsigned long, ...)>("ioctl")(fd, request, argument);
}

ssize_t read(int fd, void* buffer, size_t size)
{
    {
        std::lock_guard lock(Buses().mutex);
        if (Buses().open.contains(fd)) {
            I2cChip* chip = Buses().Selected(fd);
            if (!chip) {
                errno = ENXIO;
                return -1;
            }
            for (size_t i = 0; i < size; ++i)
                static_cast<std::uint8_t*>(buffer)[i] = chip->Read();
            Buses().Record(fd, 'r', buffer, size);
            return static_cast<ssize_t>(size);
        }
    }
    return Next<ssize_t(int, void*, size_t)>("read")(fd, buffer, size);
}

ssize_t write(int fd, const void* buffer, size_t size)
{
    {
        std::lock_guard lock(Buses().mutex);
        if (Buses().open.contains(fd)) {
            I2cChip* chip = Buses().Selected(fd);
            if (!chip) {
                errno = EREMOTEIO;
                return -1;
            }
            chip->Write(std::string_view(static_cast<const char*>(buffer), size));
            Buses().Record(fd, 'w', buffer, size);
            return static_cast<ssize_t>(size);
        }
    }
    return Next<ssize_t(int, const void*, size_t)>("write")(fd, buffer, size);
}

int close(int fd)
{
    {
        std::lock_guard lock(Buses().mutex);
        Buses().open.erase(fd);
    }
    return Next<int(int)>("close")(fd);
}

} // extern "C"
