// SPDX-License-Identifier: MIT
#include "module_search.h"

#include "kernel_devices.h"

#include <QMetaObject>

namespace pixtera::designer {

ModuleSearch::ModuleSearch(std::shared_ptr<detection::DetectionDevices> devices, QObject* parent)
    : QObject(parent), devices_(devices ? std::move(devices) : std::make_shared<detection::KernelDevices>())
{
}

ModuleSearch::~ModuleSearch()
{
    if (worker_.joinable())
        worker_.join();
}

void ModuleSearch::Start()
{
    if (running_)
        return;
    if (worker_.joinable())
        worker_.join(); // the last search, finished
    running_ = true;
    worker_ = std::thread([this, devices = devices_] {
        detection::DetectionOptions options;
        options.progress = [this](const std::string& place) {
            QMetaObject::invokeMethod(
                this, [this, place = QString::fromStdString(place)] { emit probing(place); }, Qt::QueuedConnection);
        };
        auto report = detection::DetectModules(*devices, options);
        QMetaObject::invokeMethod(
            this,
            [this, report = std::move(report)]() mutable {
                report_ = std::move(report);
                running_ = false;
                emit finished();
            },
            Qt::QueuedConnection);
    });
}

} // namespace pixtera::designer
