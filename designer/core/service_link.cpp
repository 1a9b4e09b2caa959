// SPDX-License-Identifier: MIT
#include "service_link.h"

#include "configuration_editor.h"
#include "ending_service.h"
#include "plugin_titles.h"
#include "restart_and_wait.h"

#include <pixtera/configuration_file.h>

#include <QMetaObject>

namespace pixtera::designer {

ServiceLink::ServiceLink(std::unique_ptr<ServiceObjects> objects, UserPrompts& prompts,
                         std::filesystem::path programDirectory, QObject* parent)
    : QObject(parent), prompts_(prompts), programDirectory_(std::move(programDirectory)), objects_(std::move(objects))
{
}

ServiceLink::~ServiceLink()
{
    channel_.reset(); // no more notifications
    if (objects_)
        objects_->ReturnDisplays();
}

bool ServiceLink::Start()
{
    if (!objects_)
        return false;
    StartWatching();
    bool taken = false;
    Guarded([&] { taken = TakeDisplays(); });
    return taken;
}

void ServiceLink::StartWatching()
{
    if (channel_)
        return;
    // The channel's notifications arrive on its own thread; the work is done on this one.
    channel_ = std::make_unique<PreviewChannel>(
        [this] { QMetaObject::invokeMethod(this, &ServiceLink::OnChannel, Qt::QueuedConnection); });
    service_ = channel_->Take();
    emit valuesRead(false);
}

QString ServiceLink::status() const
{
    // While a configuration is applied the service is away on purpose.
    if (!connected() || applying_)
        return {};
    switch (service_.state) {
    case ServiceLiveness::Stopped: return QStringLiteral("The Pixtera service stopped");
    case ServiceLiveness::NotAnswering: return QStringLiteral("Service not answering");
    case ServiceLiveness::Answering: break;
    }
    return {};
}

void ServiceLink::Guarded(const std::function<void()>& step)
{
    try {
        step();
    } catch (const ServiceError& error) {
        emit failed(QString::fromStdString(error.what()));
    }
}

void ServiceLink::OnChannel()
{
    if (!channel_)
        return;
    const PreviewChannel::Snapshot now = channel_->Take();
    const bool serverChanged = now.server != service_.server;
    const bool stateChanged = now.state != service_.state;
    const bool valuesArrived = now.valuesRead != service_.valuesRead;
    service_ = now;
    emit valuesRead(valuesArrived);
    if (serverChanged && !applying_) {
        if (now.server.empty())
            ServiceLost();
        else
            Reconnect();
    }
    if (stateChanged || serverChanged)
        emit statusChanged();
}

void ServiceLink::ServiceLost()
{
    if (objects_)
        objects_->Forget();
    objects_.reset();
    emit displaysLost();
    emit dataItemsChanged();
}

void ServiceLink::Reconnect()
{
    Guarded([this] {
        objects_ = ServiceObjects::Connect();
        TakeDisplays();
    });
    emit dataItemsChanged();
}

bool ServiceLink::TakeDisplays()
{
    if (!objects_)
        return false;
    objects_->BorrowDisplays();
    emit displaysTaken();
    return true;
}

std::vector<std::string> ServiceLink::displayNames() const
{
    std::vector<PluginIdentity> drivers;
    if (objects_)
        for (const auto& display : objects_->displays())
            drivers.push_back({display.driverName, "", display.configuration});
    return PluginTitles(drivers);
}

void ServiceLink::Tick(const std::vector<std::u16string>& names, std::optional<std::pair<int, std::string>> frame)
{
    if (channel_)
        channel_->Tick(names, std::move(frame));
}

void ServiceLink::StopForConfiguration()
{
    applying_ = true;
    // Followed from now, while it still owns its name: its end is what the restart waits for.
    ending_ = std::make_unique<EndingService>(service_.server);
    if (objects_)
        objects_->manager().Shutdown();
}

void ServiceLink::StartAfterConfiguration()
{
    const auto program = programDirectory_ / "pixtera2";
    std::string failure;
    std::string notice;
    auto fresh = RestartService(program, ending_.get(), &failure, &notice);
    ending_.reset();
    if (!notice.empty())
        prompts_.ShowMessage(notice, "Pixtera service");
    if (!fresh && OfferPreviousConfiguration(failure))
        fresh = RestartService(program, nullptr, &failure);
    if (objects_)
        objects_->Forget(); // the old service took its displays back when it ended
    objects_ = std::move(fresh);
    applying_ = false;
    emit statusChanged();
    if (!objects_) {
        emit failed(QString::fromStdString(failure));
        emit displaysLost();
        emit dataItemsChanged();
        return;
    }
    StartWatching();
    if (channel_)
        service_.server = channel_->Take().server; // taken up here, not by the watch
    Guarded([this] { TakeDisplays(); });
    emit dataItemsChanged();
    emit statusChanged();
}

bool ServiceLink::OfferPreviousConfiguration(const std::string& failure)
{
    const auto configuration = ConfigFileLocation(programDirectory_);
    const auto previous = PreviousFile(configuration);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(previous, ec) ||
        !prompts_.AskYesNo(failure + "\n\nRestore the previous configuration and start the service with it?",
                           "Pixtera service"))
        return false;
    std::filesystem::rename(previous, configuration, ec);
    if (ec)
        prompts_.ShowMessage("Restoring " + previous.string() + " failed: " + ec.message(), "Pixtera service");
    return !ec;
}

void ServiceLink::ShutDown()
{
    if (!objects_)
        return;
    Guarded([this] { CheckCall(objects_->manager().Shutdown(), "Closing the service"); });
}

} // namespace pixtera::designer
