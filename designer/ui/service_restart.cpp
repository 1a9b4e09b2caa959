#include "service_restart.h"

#include "service_control.h"
#include "service_session.h"

#include <pixtera/platform/com_runtime.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <limits>
#include <thread>

namespace pixtera::designer {
namespace {

constexpr int kOldServicePollMs = 50;
constexpr int kOldServiceLimitMs = 10000;
constexpr int kStartPollMs = 100;

} // namespace

bool WaitWhileRunningEvents(const std::function<bool()>& done, int stepMs, int limitMs)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.elapsed() >= limitMs)
            return false;
        QEventLoop pause;
        QTimer::singleShot(stepMs, &pause, &QEventLoop::quit);
        pause.exec();
    }
    return true;
}

std::unique_ptr<ServiceSession> RestartService(ServiceSession* old, const std::filesystem::path& program,
                                               std::string* failure)
{
    if (old) {
        IManager& manager = old->manager();
        WaitWhileRunningEvents([&manager] {
            ComPtr<IDataManager> probe;
            return FAILED(manager.GetDataManager(probe.Out()));
        }, kOldServicePollMs, kOldServiceLimitMs);
    }
    std::unique_ptr<ServiceSession> fresh;
    std::string error;
    std::atomic<bool> finished = false;
    std::thread starter([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        try {
            if (!StartService(program))
                error = "Starting the Pixtera service failed";
            fresh = ServiceSession::Connect();
        } catch (const ServiceError& e) {
            error = e.what();
        }
        CoUninitialize();
        finished = true;
    });
    WaitWhileRunningEvents([&finished] { return finished.load(); }, kStartPollMs, std::numeric_limits<int>::max());
    starter.join();
    if (!fresh && failure)
        *failure = error;
    return fresh;
}

} // namespace pixtera::designer
