// SPDX-License-Identifier: MIT
#include "statistics_ping.h"

#include <pixtera/platform/com_runtime.h>
#include <pixtera/platform/event_log.h>
#include <pixtera/platform/module.h>
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

// The HTTP library is loaded only when a ping is sent: it and what it pulls in (TLS, Kerberos,
// LDAP ...) would otherwise be the larger part of the service's resident memory.
// Only function pointers: trivially destroyed, so the detached ping thread may use it while the
// process exits.
class Curl {
public:
    // The library's functions, or none (reported once) when it cannot be loaded.
    static const Curl* Get()
    {
        static const Curl curl = Load();
        return curl.usable() ? &curl : nullptr;
    }

    decltype(&curl_easy_init) init = nullptr;
    decltype(&curl_easy_setopt) setopt = nullptr;
    decltype(&curl_easy_perform) perform = nullptr;
    decltype(&curl_easy_cleanup) cleanup = nullptr;

private:
    bool usable() const { return init && setopt && perform && cleanup; }

    static Curl Load()
    {
        // Stays loaded: the ping thread runs as long as the process.
        Curl curl;
        if (HMODULE library = LoadLibraryA("libcurl.so.4")) {
            curl.init = reinterpret_cast<decltype(init)>(GetProcAddress(library, "curl_easy_init"));
            curl.setopt = reinterpret_cast<decltype(setopt)>(GetProcAddress(library, "curl_easy_setopt"));
            curl.perform = reinterpret_cast<decltype(perform)>(GetProcAddress(library, "curl_easy_perform"));
            curl.cleanup = reinterpret_cast<decltype(cleanup)>(GetProcAddress(library, "curl_easy_cleanup"));
        }
        if (!curl.usable())
            LogWarning("Statistics: no ping is sent, libcurl.so.4 cannot be used: " + LastModuleError());
        return curl;
    }
};

struct CurlDeleter {
    void operator()(CURL* handle) const { Curl::Get()->cleanup(handle); }
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
                  id.Data4[0], id.Data4[1], id.Data4[2], id.Data4[3], id.Data4[4], id.Data4[5], id.Data4[6],
                  id.Data4[7]);
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
    const Curl* curl = Curl::Get();
    if (!curl)
        return false;
    std::unique_ptr<CURL, CurlDeleter> handle(curl->init());
    if (!handle)
        return false;
    curl->setopt(handle.get(), CURLOPT_URL, url.c_str());
    curl->setopt(handle.get(), CURLOPT_USERAGENT, kUserAgent);
    curl->setopt(handle.get(), CURLOPT_NOPROXY, "*");
    curl->setopt(handle.get(), CURLOPT_NOSIGNAL, 1L);
    curl->setopt(handle.get(), CURLOPT_TIMEOUT, kRequestTimeoutSeconds);
    curl->setopt(handle.get(), CURLOPT_WRITEFUNCTION, Discard);
    return curl->perform(handle.get()) == CURLE_OK;
}

void StartStatisticsPing()
{
    if (!StatisticsEnabled())
        return;
    std::thread([] {
        NameThisThread("px-stats");
        const std::string url = StatisticsEndpoint() + "/stats.php?id=" + InstallationId();
        while (true) {
            SendPing(url);
            std::this_thread::sleep_for(kPingPeriod);
        }
    }).detach();
}

} // namespace pixtera
