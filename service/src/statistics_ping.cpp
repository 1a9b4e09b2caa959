#include "statistics_ping.h"

#include <pixtera/platform/com_runtime.h>
#include <pixtera/platform/registry.h>
#include <pixtera/platform/thread.h>

#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

namespace pixtera {
namespace {

constexpr auto kPingPeriod = std::chrono::minutes(15);
constexpr long kRequestTimeoutSeconds = 30;

// The response is read and thrown away.
std::size_t Discard(char*, std::size_t size, std::size_t count, void*) { return size * count; }

struct CurlDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

} // namespace

std::string StatisticsEndpoint()
{
    if (const char* endpoint = std::getenv("PIXTERA_STATS_ENDPOINT"); endpoint && *endpoint)
        return endpoint;
    return PIXTERA_DEFAULT_STATS_ENDPOINT;
}

bool StatisticsEnabled()
{
    RegKey key;
    return key.Open(HKEY_LOCAL_MACHINE, kStatisticsKey) == ERROR_SUCCESS && key.QueryDword("stats").has_value();
}

std::string FormatInstallationId(const GUID& id)
{
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04x-%02X%02X-%02X%02X%02X%02X%02X%02X}", id.Data1, id.Data2, id.Data3,
                  id.Data4[0], id.Data4[1], id.Data4[2], id.Data4[3], id.Data4[4], id.Data4[5], id.Data4[6], id.Data4[7]);
    return text;
}

std::string InstallationId()
{
    RegKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, kStatisticsKey, KEY_ALL_ACCESS) != ERROR_SUCCESS)
        return {};
    if (auto stored = key.QueryString("InstallationID"))
        return *stored;
    GUID id{};
    CoCreateGuid(&id);
    const std::string text = FormatInstallationId(id);
    key.SetString("InstallationID", text);
    return text;
}

bool SendPing(const std::string& url)
{
    std::unique_ptr<CURL, CurlDeleter> handle(curl_easy_init());
    if (!handle)
        return false;
    curl_easy_setopt(handle.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle.get(), CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(handle.get(), CURLOPT_NOPROXY, "*");
    curl_easy_setopt(handle.get(), CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle.get(), CURLOPT_TIMEOUT, kRequestTimeoutSeconds);
    curl_easy_setopt(handle.get(), CURLOPT_WRITEFUNCTION, Discard);
    return curl_easy_perform(handle.get()) == CURLE_OK;
}

void StartStatisticsPing()
{
    if (!StatisticsEnabled())
        return;
    std::thread([] {
        const std::string url = StatisticsEndpoint() + "/stats.php?id=" + InstallationId();
        while (true) {
            SendPing(url);
            std::this_thread::sleep_for(kPingPeriod);
        }
    }).detach();
}

} // namespace pixtera
