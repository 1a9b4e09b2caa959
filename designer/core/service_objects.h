// SPDX-License-Identifier: MIT
#pragma once
// The service's objects as the designer calls them, through their proxies on the session bus: the
// Manager, the displays it lends the designer for the preview, and the data collection.

#include <pixtera/platform/com.h>
#include <pixtera/service_interfaces.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace pixtera::designer {

// A service call that failed: what the designer was doing, and the result code.
class ServiceError : public std::runtime_error {
public:
    ServiceError(const std::string& operation, HRESULT code);
    const std::string& operation() const { return operation_; }
    HRESULT code() const { return code_; }

private:
    std::string operation_;
    HRESULT code_;
};

// Throws ServiceError naming the operation when the call failed.
void CheckCall(HRESULT hr, const std::string& operation);

struct ServiceDisplay {
    ComPtr<IManagedDisplay> display;
    std::string driverName;
    std::string configuration; // the driver's: with the name, what the Preview menu shows
};

class ServiceObjects {
public:
    // Creates the Manager (the service is started when it does not run) and runs it.
    static std::unique_ptr<ServiceObjects> Connect();
    explicit ServiceObjects(ComPtr<IManager> manager);
    ServiceObjects(const ServiceObjects&) = delete;
    ServiceObjects& operator=(const ServiceObjects&) = delete;

    IManager& manager() { return *manager_; }
    IDataCollection& data();

    // Every display with its driver's name; each one's output is lent to the designer, so the
    // service stops writing to it (and takes it back should the designer die).
    const std::vector<ServiceDisplay>& BorrowDisplays();
    // Gives every borrowed display back; the service shows its queue again.
    void ReturnDisplays();
    // Forgets the borrowed displays without a call: the service has gone and took them back.
    void Forget() { displays_.clear(); }
    const std::vector<ServiceDisplay>& displays() const { return displays_; }

private:
    ComPtr<IManager> manager_;
    ComPtr<IDataCollection> data_;
    std::vector<ServiceDisplay> displays_;
};

} // namespace pixtera::designer
