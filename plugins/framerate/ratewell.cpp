// SPDX-License-Identifier: MIT
// Ratewell: the frame-rate plug-in. Its class DataProv offers the frame rate and the game name
// measured by the outside counter Fraps, read directly (update mode 3) once a second; without
// that counter, the records that libpixtera-fps.so keeps for the games it runs in.

#include "fraps_link.h"
#include "game_records.h"
#include "ratewell_ids.h"

#include <pixtera/sdk/configurable_plugin.h>
#include <pixtera/sdk/plugin_module.h>

#include <atomic>
#include <cstdlib>
#include <mutex>

namespace {

using namespace pixtera;

constexpr LONG kItemCount = 2;
constexpr LONG kIntervalMs = 1000;
constexpr const char16_t* kNotRunning = u"Fraps not running";
constexpr const char16_t* kNames[] = {u"Fraps_FPS", u"Fraps_GAME"};
constexpr const char16_t* kDescriptions[] = {u"Fraps\\FPS", u"Fraps\\Game name"};

// The game that presented last through libpixtera-fps.so. Displays read both items at every
// update tick (direct mode): one look at the records serves them for a moment, well within the
// half second in which the records change.
class GameReadings {
public:
    std::optional<fps::Sample> Current()
    {
        const std::uint64_t now = fps::MonotonicNs();
        std::lock_guard lock(mutex_);
        if (!looked_ || now - lookedAt_ >= kFreshNs) {
            const char* directory = std::getenv("PIXTERA_FPS_DIR"); // tests keep their records apart
            game_ =
                directory && *directory ? fps::CurrentGame(directory, now) : fps::CurrentGame(fps::RecordPlaces(), now);
            lookedAt_ = now;
            looked_ = true;
        }
        return game_;
    }

private:
    static constexpr std::uint64_t kFreshNs = 100'000'000;

    std::mutex mutex_; // guards the fields below: reads come from several threads
    bool looked_ = false;
    std::uint64_t lookedAt_ = 0;
    std::optional<fps::Sample> game_;
};

class DataProv final
    : public ComObject<DataProv, DispatchNotImplemented<IDataProv>, IDataProvider, SettingsFreePlugin<DataProv>> {
public:
    static constexpr const char16_t* kPluginName = u"Fraps plugin";

    // The default interface is dual, but the object does not answer IDispatch itself.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (riid == IID_IDispatch) {
            if (object)
                *object = nullptr;
            return object ? E_NOINTERFACE : E_POINTER;
        }
        return ComObject::QueryInterface(riid, object);
    }

    // IDataProvider
    HRESULT STDMETHODCALLTYPE Refresh() override
    {
        connected_ = ReadFrameRate().has_value();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetUpdateMode(LONG* mode) override { return Output(mode, kUpdateDirect); }
    HRESULT STDMETHODCALLTYPE GetInterval(LONG* interval) override { return Output(interval, kIntervalMs); }
    HRESULT STDMETHODCALLTYPE GetCount(LONG* count) override { return Output(count, kItemCount); }
    HRESULT STDMETHODCALLTYPE GetName(LONG index, BSTR* name) override { return Text(kNames, index, name); }
    HRESULT STDMETHODCALLTYPE GetDescription(LONG index, BSTR* description) override
    {
        return Text(kDescriptions, index, description);
    }
    HRESULT STDMETHODCALLTYPE GetValue(LONG index, VARIANT* value) override
    {
        if (!value)
            return E_POINTER;
        // Looked up again for every read: the module or the game may have gone since the last one.
        const auto reading = ReadFrameRate();
        connected_ = reading.has_value();
        VariantInit(value); // an output: whatever it held is not ours to free
        if (!reading) {
            value->bstrVal = SysAllocString(kNotRunning);
            value->vt = VT_BSTR;
        } else if (index == 0) {
            value->dblVal = static_cast<double>(reading->framesPerSecond);
            value->vt = VT_R8;
        } else if (index == 1) {
            value->bstrVal = BString(AnsiToUtf16(reading->game)).Detach();
            value->vt = VT_BSTR;
        }
        return S_OK;
    }

    bool connected() const { return connected_; }

private:
    // Indices other than 0 and 1 succeed and leave the output as the caller set it.
    static HRESULT Text(const char16_t* const (&texts)[kItemCount], LONG index, BSTR* out)
    {
        if (!out)
            return E_POINTER;
        if (index == 0 || index == 1)
            *out = SysAllocString(texts[index]);
        return S_OK;
    }

    // The outside counter while some part of the process has it loaded, else the games' records.
    std::optional<FrapsReading> ReadFrameRate()
    {
        if (auto reading = ReadFraps())
            return reading;
        const auto game = games_.Current();
        if (!game)
            return std::nullopt;
        return FrapsReading{game->framesPerSecond, Utf16ToAnsi(Utf8ToUtf16(game->name))};
    }

    std::atomic<bool> connected_{false};
    GameReadings games_;
};

// The registry entries, exactly: the AppID pair, the class with its ProgIDs, and the type library.
RegistrationScript AppIdScript()
{
    return {.entries = {{"AppID\\%APPID%", "", "Ratewell"}, {"AppID\\Ratewell.DLL", "AppID", "%APPID%"}},
            .recreateKeys = {},
            .sharedParents = {"AppID"}};
}

RegistrationScript ClassScript()
{
    const std::string key = "CLSID\\%CLSID%";
    return {.entries = {{"Ratewell.DataProv.1", "", "DataProv Class"},
                        {"Ratewell.DataProv.1\\CLSID", "", "%CLSID%"},
                        {"Ratewell.DataProv", "", "DataProv Class"},
                        {"Ratewell.DataProv\\CLSID", "", "%CLSID%"},
                        {"Ratewell.DataProv\\CurVer", "", "Ratewell.DataProv.1"},
                        {key, "", "DataProv Class"},
                        {key, "AppID", "%APPID%"},
                        {key + "\\ProgID", "", "Ratewell.DataProv.1"},
                        {key + "\\VersionIndependentProgID", "", "Ratewell.DataProv"},
                        {key + "\\Programmable", "", "", true},
                        {key + "\\InprocServer32", "", "%MODULE%"},
                        {key + "\\InprocServer32", "ThreadingModel", "Apartment"},
                        {key + "\\TypeLib", "", "%LIBID%"}},
            .recreateKeys = {key},
            .sharedParents = {"CLSID"}};
}

// The type library's registration: there is no binary type library on this platform, so its
// keys name the module, the library and its one interface.
RegistrationScript TypeLibraryScript()
{
    return {.entries = {{"TypeLib\\%LIBID%\\1.0", "", "Ratewell 1.0 Type Library"},
                        {"TypeLib\\%LIBID%\\1.0\\0\\linux64", "", "%MODULE%"},
                        {"TypeLib\\%LIBID%\\1.0\\FLAGS", "", "0"},
                        {"Interface\\%IID%", "", "IDataProv"},
                        {"Interface\\%IID%\\TypeLib", "", "%LIBID%"},
                        {"Interface\\%IID%\\TypeLib", "Version", "1.0"}},
            .recreateKeys = {"TypeLib\\%LIBID%", "Interface\\%IID%"},
            .sharedParents = {"TypeLib", "Interface"}};
}

Substitutions Values()
{
    return {{"MODULE", PIXTERA_THIS_MODULE_PATH().string()},
            {"APPID", FormatGuid(APPID_Ratewell)},
            {"CLSID", FormatGuid(CLSID_DataProv)},
            {"LIBID", FormatGuid(LIBID_RatewellLib)},
            {"IID", FormatGuid(IID_IDataProv)}};
}

} // namespace

PIXTERA_MODULE_ABI_EXPORT

PX_MODULE_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** object)
{
    return GetClassObjectOf<DataProv>(CLSID_DataProv, clsid, riid, object);
}

PX_MODULE_EXPORT HRESULT DllCanUnloadNow() { return ModuleInUse() ? S_FALSE : S_OK; }

PX_MODULE_EXPORT HRESULT DllRegisterServer()
{
    const auto values = Values();
    for (const auto& script : {AppIdScript(), ClassScript(), TypeLibraryScript()})
        if (HRESULT hr = RegisterScript(script, values); FAILED(hr))
            return hr;
    return S_OK;
}

PX_MODULE_EXPORT HRESULT DllUnregisterServer()
{
    const auto values = Values();
    for (const auto& script : {ClassScript(), TypeLibraryScript(), AppIdScript()})
        if (HRESULT hr = UnregisterScript(script, values); FAILED(hr))
            return hr;
    return S_OK;
}
