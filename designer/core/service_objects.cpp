// SPDX-License-Identifier: MIT
#include "service_objects.h"

#include <pixtera/platform/com_runtime.h>
#include <pixtera/remote/activation.h>
#include <pixtera/sdk/plugin_info.h>

#include <cstdio>

namespace pixtera::designer {
namespace {

std::string Describe(const std::string& operation, HRESULT code)
{
    const std::string reason = TakeRemoteErrorReason();
    return operation + " failed (" + HresultText(code) + ")" + (reason.empty() ? "" : ": " + reason);
}

// The name and configuration of the display's driver.
void DescribeDriver(ServiceDisplay& entry)
{
    ComPtr<IDisplayDriver> driver;
    CheckCall(entry.display->GetDriver(driver.Out()), "Getting a display's driver");
    auto info = driver.As<IPluginInfo>();
    if (!info) {
        entry.driverName = "Display";
        return;
    }
    BString name;
    CheckCall(info->GetPluginName(name.Out()), "Asking a display driver for its name");
    entry.driverName = name.utf8();
    BString configuration;
    CheckCall(info->GetConfiguration(configuration.Out()), "Asking a display driver for its configuration");
    entry.configuration = configuration.utf8();
}

} // namespace

ServiceError::ServiceError(const std::string& operation, HRESULT code)
    : std::runtime_error(Describe(operation, code)), operation_(operation), code_(code)
{
}

void CheckCall(HRESULT hr, const std::string& operation)
{
    if (FAILED(hr))
        throw ServiceError(operation, hr);
}

std::unique_ptr<ServiceObjects> ServiceObjects::Connect()
{
    InstallRemoteActivation();
    ComPtr<IUnknown> object;
    CheckCall(CoCreateInstance(CLSID_Manager, nullptr, CLSCTX_ALL, IID_IUnknown, object.OutVoid()),
              "Starting the Pixtera service");
    CheckCall(OleRun(object.get()), "Running the Pixtera service");
    HRESULT hr = S_OK;
    auto manager = object.As<IManager>(&hr);
    CheckCall(hr, "Connecting to the Pixtera service");
    return std::make_unique<ServiceObjects>(std::move(manager));
}

ServiceObjects::ServiceObjects(ComPtr<IManager> manager) : manager_(std::move(manager)) {}

IDataCollection& ServiceObjects::data()
{
    if (!data_) {
        ComPtr<IDataManager> dataManager;
        CheckCall(manager_->GetDataManager(dataManager.Out()), "Getting the data manager");
        CheckCall(dataManager->GetDataCollection(data_.Out()), "Getting the data items");
    }
    return *data_;
}

const std::vector<ServiceDisplay>& ServiceObjects::BorrowDisplays()
{
    ComPtr<IDisplayManager> displays;
    CheckCall(manager_->GetDisplayManager(displays.Out()), "Getting the display manager");
    LONG count = 0;
    CheckCall(displays->Count(&count), "Counting the displays");
    for (LONG i = 0; i < count; ++i) {
        ServiceDisplay entry;
        CheckCall(displays->Item(i, entry.display.Out()), "Getting display " + std::to_string(i + 1));
        DescribeDriver(entry);
        HRESULT hr = S_OK;
        auto lease = entry.display.As<IDisplayLease>(&hr);
        CheckCall(hr, "Borrowing display " + std::to_string(i + 1));
        CheckCall(lease->BorrowOutput(), "Stopping the output of display " + std::to_string(i + 1));
        displays_.push_back(std::move(entry));
    }
    return displays_;
}

void ServiceObjects::ReturnDisplays()
{
    // Best effort: a service that has gone takes nothing back.
    for (const auto& entry : displays_)
        if (auto lease = entry.display.As<IDisplayLease>())
            lease->ReturnOutput();
    displays_.clear();
}

} // namespace pixtera::designer
