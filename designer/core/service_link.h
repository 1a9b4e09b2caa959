// SPDX-License-Identifier: MIT
#pragma once
// The designer's side of the service: the objects it calls, the preview channel, the displays it
// borrows, taking the service up again when it comes back, the configuration's apply sequence
// (stop, restart, wait) and what the status line says. It owns no part of the design and knows
// nothing of the workspace: what happened it says through its signals.

#include "preview_channel.h"
#include "service_objects.h"
#include "user_prompts.h"

#include <QObject>
#include <QString>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pixtera::designer {

class EndingService;

class ServiceLink : public QObject {
    Q_OBJECT
public:
    // Without objects there is no service (tests): nothing is watched or borrowed until a
    // configuration starts one. `programDirectory` holds the service program.
    ServiceLink(std::unique_ptr<ServiceObjects> objects, UserPrompts& prompts, std::filesystem::path programDirectory,
                QObject* parent = nullptr);
    // Gives the borrowed displays back.
    ~ServiceLink() override;

    // Watches the service from now on and borrows its displays (displaysTaken); false when there
    // is no service or its displays could not be borrowed (failed says why).
    bool Start();

    // None while there is no service.
    ServiceObjects* objects() { return objects_.get(); }
    const PreviewChannel* channel() const { return channel_.get(); }
    const std::filesystem::path& programDirectory() const { return programDirectory_; }
    // The service is watched (there was a service once): the preview's values come from it.
    bool watching() const { return channel_ != nullptr; }
    // There is a session bus to reach a service on.
    bool connected() const { return channel_ && channel_->connected(); }
    // The latest values read for the preview, and the names among them that can change at every
    // reading.
    const PreviewChannel::ValueMap& values() const { return service_.values; }
    const std::set<std::u16string, std::less<>>& volatiles() const { return service_.volatiles; }
    // "" while all is well, else what the status line says about the service.
    QString status() const;
    // The borrowed displays as the Preview menu names them: each driver's name with its place.
    std::vector<std::string> displayNames() const;

    // Hands the channel the names the last rendering read and, when it changed, the frame for the
    // previewed display (0-based).
    void Tick(const std::vector<std::u16string>& names, std::optional<std::pair<int, std::string>> frame);

    // The configuration's apply sequence: the service is told to stop (and followed until it has
    // ended), then a new one is started, waited for and taken up.
    void StopForConfiguration();
    void StartAfterConfiguration();
    // "Exit and close service": the service is told to end.
    void ShutDown();

signals:
    // The service's displays were borrowed anew (objects()->displays()): the preview picks one.
    void displaysTaken();
    // The service went, and took its displays back.
    void displaysLost();
    // The service's data items may differ (a service taken up, or gone).
    void dataItemsChanged();
    // What status() says may have changed.
    void statusChanged();
    // The channel's values were taken; `fresh` when a new batch arrived with them.
    void valuesRead(bool fresh);
    // A service call failed, or the service could not be started.
    void failed(const QString& message);

private:
    void Guarded(const std::function<void()>& step);
    void StartWatching();
    void OnChannel();
    void ServiceLost();
    void Reconnect();
    bool TakeDisplays();
    // After a failed start: offers pixtera2.xml.previous back; true when it was restored.
    bool OfferPreviousConfiguration(const std::string& failure);

    UserPrompts& prompts_;
    const std::filesystem::path programDirectory_;
    std::unique_ptr<ServiceObjects> objects_;
    std::unique_ptr<PreviewChannel> channel_;
    PreviewChannel::Snapshot service_; // as last taken from the channel
    bool applying_ = false; // the apply sequence stops and starts the service itself
    std::unique_ptr<EndingService> ending_; // the service the apply sequence stopped
};

} // namespace pixtera::designer
