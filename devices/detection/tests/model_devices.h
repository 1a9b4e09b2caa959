// SPDX-License-Identifier: MIT
#pragma once
// Detection's devices with models behind them, for the tests: I2C buses whose expander addresses
// hold HD44780 modules of either pin map (or nothing), serial ports with a 0xFE module answering at
// one speed, ports in use or marked by udev as a modem's, an LCDd greeting, the kernel's LCD and
// I2C devices a kernel driver has bound.

#include "detection_devices.h"
#include "hd44780_model.h"
#include "serial_lcd_model.h"

#include <cerrno>
#include <functional>
#include <map>
#include <mutex>
#include <set>

namespace pixtera::detection::test {

using lcd::test::Hd44780Model;
using lcd::test::SerialLcdModel;

class ModelBus final : public I2cAdapter {
public:
    ModelBus(std::map<int, Hd44780Model*> modules, std::set<int>& touched)
        : modules_(std::move(modules)), touched_(touched)
    {
    }
    int Select(int address) override
    {
        touched_.insert(address);
        selected_ = address;
        return 0;
    }
    int Read(std::uint8_t& byte) override
    {
        Hd44780Model* module = Selected();
        if (!module)
            return selected_ % 2 ? ENXIO : EREMOTEIO; // adapters say either
        byte = module->Read();
        return 0;
    }
    int Write(std::string_view bytes) override
    {
        Hd44780Model* module = Selected();
        if (!module)
            return ENXIO;
        module->Feed(bytes);
        return 0;
    }

private:
    Hd44780Model* Selected() const
    {
        const auto it = modules_.find(selected_);
        return it == modules_.end() ? nullptr : it->second;
    }
    std::map<int, Hd44780Model*> modules_;
    std::set<int>& touched_;
    int selected_ = -1;
};

class ModelSerialPort final : public SerialPort {
public:
    ModelSerialPort(SerialLcdModel* module, int speed) : module_(module), speed_(speed) {}
    bool SetSpeed(int baud) override
    {
        current_ = baud;
        return true;
    }
    bool Write(std::string_view bytes) override
    {
        if (module_ && current_ == speed_) // at another speed the module reads noise
            module_->Feed(bytes);
        return true;
    }
    std::string Read(std::size_t, std::chrono::milliseconds) override { return module_ ? module_->TakeReplies() : ""; }

private:
    SerialLcdModel* module_;
    int speed_;
    int current_ = 0;
};

class ModelDevices final : public DetectionDevices {
public:
    // /dev/i2c-`bus` with these modules by address.
    void AddBus(int bus, std::map<int, Hd44780Model*> modules)
    {
        names.push_back("i2c-" + std::to_string(bus));
        buses_[bus] = std::move(modules);
    }
    // /dev/`name`, with a module answering at `speed`, or silent.
    void AddPort(const std::string& name, SerialLcdModel* module = nullptr, int speed = 0)
    {
        names.push_back(name);
        ports_["/dev/" + name] = {module, speed};
    }

    std::vector<std::string> DeviceNames() override { return names; }
    std::vector<std::pair<std::string, std::string>> SerialLinks() override { return links; }
    std::unique_ptr<I2cAdapter> OpenI2c(const std::string& path, int& error) override
    {
        if (const auto refused = refusals.find(path); refused != refusals.end()) {
            error = refused->second;
            return nullptr;
        }
        const int bus = std::stoi(path.substr(std::string("/dev/i2c-").size()));
        return std::make_unique<ModelBus>(buses_.at(bus), touched);
    }
    std::unique_ptr<SerialPort> OpenSerial(const std::string& path, int& error) override
    {
        std::lock_guard lock(mutex_); // ports are probed side by side
        std::string device = path;
        for (const auto& [link, target] : links)
            if (link == path)
                device = "/dev/" + target;
        if (busy.contains(device)) {
            error = EBUSY;
            return nullptr;
        }
        opened.insert(device);
        if (const auto opener = serialOpeners.find(device); opener != serialOpeners.end())
            return opener->second();
        const auto& [module, speed] = ports_.at(device);
        return std::make_unique<ModelSerialPort>(module, speed);
    }
    std::optional<std::string> OtherUse(const std::string& path) override
    {
        const auto mark = marks.find(path);
        return mark == marks.end() ? std::nullopt : std::optional<std::string>(mark->second);
    }
    std::optional<std::string> LcddGreeting(const std::string&, int) override { return greeting; }
    std::optional<KernelLcdFound> KernelLcd() override { return kernelLcd; }
    std::vector<UsbAdapterFound> UsbAdapters() override { return usbAdapters; }
    std::optional<UsbId> SerialUsbId(const std::string& path) override
    {
        const auto id = serialUsbIds.find(path);
        return id == serialUsbIds.end() ? std::nullopt : std::optional<UsbId>(id->second);
    }
    std::unique_ptr<I2cAdapter> OpenUsbAdapter(const UsbAdapterFound& adapter, int& error) override
    {
        const auto opener = usbOpeners.find(adapter.device.port);
        if (opener == usbOpeners.end()) {
            error = EACCES;
            return nullptr;
        }
        return opener->second();
    }
    std::optional<std::string> I2cDriver(int bus, int address) override
    {
        const auto bound = i2cDrivers.find({bus, address});
        return bound == i2cDrivers.end() ? std::nullopt : std::optional<std::string>(bound->second);
    }

    std::vector<std::string> names;
    std::vector<std::pair<std::string, std::string>> links;
    std::map<std::string, int> refusals; // path -> errno of open
    std::set<std::string> busy;
    std::map<std::string, std::string> marks; // path -> what udev marks it as
    std::set<std::string> opened;
    std::set<int> touched; // the I2C addresses selected, on any bus
    std::optional<std::string> greeting;
    std::optional<KernelLcdFound> kernelLcd;
    std::map<std::pair<int, int>, std::string> i2cDrivers; // (bus, address) -> the kernel driver bound there
    std::vector<UsbAdapterFound> usbAdapters;
    std::map<std::string, UsbId> serialUsbIds; // port -> the USB device behind it
    // By /dev name: a port of another kind than the 0xFE modules'.
    std::map<std::string, std::function<std::unique_ptr<SerialPort>()>> serialOpeners;
    // By USB port: the adapter opened, as a link through a model of its chip; none: permission denied.
    std::map<std::string, std::function<std::unique_ptr<I2cAdapter>()>> usbOpeners;

private:
    std::mutex mutex_; // guards opened
    std::map<int, std::map<int, Hd44780Model*>> buses_;
    std::map<std::string, std::pair<SerialLcdModel*, int>> ports_;
};

} // namespace pixtera::detection::test
