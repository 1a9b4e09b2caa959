// SPDX-License-Identifier: MIT
#pragma once
// The SQLite file behind the registry. Keys are stored by full path ("HKEY_CLASSES_ROOT\CLSID");
// the three roots always exist and are not stored.

#include <pixtera/platform/registry.h>

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

struct sqlite3;

namespace pixtera {

// True once UseMachineRegistry was called: the store is the machine layer, without an overlay.
bool UsingMachineRegistry();

// The user's store, with the machine layer attached read-only ("machine") when there is one:
// reads look at the user's keys and values first, writes go to the user's store only.
class RegistryStore {
public:
    // The store of this process for the current $PIXTERA_REGISTRY / XDG location.
    static RegistryStore& Instance();

    // Looks the key up; on success `canonical` is its stored spelling.
    LSTATUS FindKey(const std::string& path, std::string& canonical);
    LSTATUS CreateKey(const std::string& path, std::string& canonical, bool& created);
    LSTATUS DeleteKey(const std::string& path);
    LSTATUS DeleteTree(const std::string& path, bool includeSelf);
    LSTATUS SetValue(const std::string& path, const std::string& name, DWORD type, const BYTE* data, DWORD size);
    LSTATUS QueryValue(const std::string& path, const std::string& name, RegistryValue& value);
    LSTATUS DeleteValue(const std::string& path, const std::string& name);
    LSTATUS SubKeyAt(const std::string& path, DWORD index, std::string& name);
    LSTATUS ValueAt(const std::string& path, DWORD index, RegistryValue& value);

private:
    RegistryStore() = default;
    LSTATUS OpenLocked();
    void AttachMachineLayerLocked();
    // In the user's store, or (`inMachine`) in the machine layer as well.
    LSTATUS ExistsLocked(const std::string& path, std::string* canonical, bool inMachine = false);
    // What to answer for a key the user's store lacks: a key of the machine layer cannot be changed.
    LSTATUS MachineOnly(const std::string& path, LSTATUS userStatus);
    LSTATUS CreateKeyLocked(const std::string& path, std::string& canonical, bool& created);

    std::mutex mutex_; // serialises this process's use of the connection
    sqlite3* db_ = nullptr;
    std::filesystem::path openPath_;
    long openedByProcess_ = 0;
    bool machineAttached_ = false;
};

} // namespace pixtera
