// SPDX-License-Identifier: MIT
#pragma once
// "Detect displays": module detection on a thread of its own, since probing serial ports takes
// a second or more; the GUI thread only hears of its progress and its end.

#include "detection_devices.h"
#include "module_detection.h"

#include <QObject>
#include <QString>

#include <memory>
#include <thread>

namespace pixtera::designer {

class ModuleSearch : public QObject {
    Q_OBJECT
public:
    // The machine's own devices by default.
    explicit ModuleSearch(std::shared_ptr<detection::DetectionDevices> devices = nullptr, QObject* parent = nullptr);
    // Waits for a search under way: every probe is bounded (about a second per serial port).
    ~ModuleSearch() override;

    // Starts a search unless one runs.
    void Start();
    bool running() const { return running_; }
    // The last search's findings, once finished() was emitted.
    const detection::DetectionReport& report() const { return report_; }

signals:
    void probing(const QString& place);
    void finished();

private:
    std::shared_ptr<detection::DetectionDevices> devices_;
    detection::DetectionReport report_; // the GUI thread's; the worker hands its own over at the end
    bool running_ = false;
    std::thread worker_;
};

} // namespace pixtera::designer
