// SPDX-License-Identifier: MIT
#include "queue_writer.h"

#include <pixtera/configuration_file.h>
#include <pixtera/configuration_schema.h>
#include <pixtera/platform/event_log.h>

#include <cerrno>
#include <cstring>
#include <mutex>

namespace pixtera {
namespace {

// Every display of this process rewrites the same file: one rewrite at a time, or two
// concurrent edits would each save the file without the other's change.
std::mutex configurationFileMutex;

bool IsDriverOf(const pugi::xml_node& driver, const QueueOrigin& origin)
{
    return origin.clsid == driver.attribute(config::kClsid).value() &&
           origin.driverConfiguration == driver.attribute(config::kConfiguration).value();
}

// The display's driver element: at its remembered position if it is still there, else the only
// element with its attributes. Elements inserted or removed by hand must not redirect the queue.
pugi::xml_node FindDriverElement(const pugi::xml_document& document, const QueueOrigin& origin)
{
    const auto drivers = document.select_nodes(config::kDriverPath);
    if (origin.driverElement >= 0 && static_cast<std::size_t>(origin.driverElement) < drivers.size()) {
        const pugi::xml_node remembered = drivers[static_cast<std::size_t>(origin.driverElement)].node();
        if (IsDriverOf(remembered, origin))
            return remembered;
    }
    pugi::xml_node found;
    for (const auto& selected : drivers) {
        if (!IsDriverOf(selected.node(), origin))
            continue;
        if (found)
            return {}; // two candidates: guessing could overwrite another display's queue
        found = selected.node();
    }
    return found;
}

void WriteEntries(pugi::xml_node display, const std::vector<QueueEntry>& entries)
{
    pugi::xml_node queue = display.child(config::kQueue);
    if (!queue)
        queue = display.append_child(config::kQueue);
    std::vector<pugi::xml_node> owned; // the elements the loader read as entries
    for (pugi::xml_node item : queue.children(config::kQueueItem))
        if (ReadQueueEntry(item))
            owned.push_back(item);
    pugi::xml_node last;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i < owned.size())
            last = owned[i];
        else
            last = last ? queue.insert_child_after(config::kQueueItem, last) : queue.append_child(config::kQueueItem);
        WriteQueueEntry(last, entries[i]);
    }
    for (std::size_t i = entries.size(); i < owned.size(); ++i)
        queue.remove_child(owned[i]);
}

} // namespace

HRESULT WriteQueue(const QueueOrigin& origin, const std::vector<QueueEntry>& entries)
{
    std::lock_guard lock(configurationFileMutex);
    ConfigurationDocument configuration = LoadConfigurationDocument(origin.configuration);
    if (!configuration) {
        LogError("The display queue was not saved: " + configuration.error);
        return E_FAIL;
    }
    const pugi::xml_node driver = FindDriverElement(configuration.document, origin);
    if (!driver) {
        LogError("The display queue was not saved: " + origin.configuration.string() +
                 " has no single driver element " + "with clsid \"" + origin.clsid + "\" and configuration \"" +
                 origin.driverConfiguration + "\"");
        return E_FAIL;
    }
    const pugi::xml_node display = driver.child(config::kDisplay);
    if (!display) {
        LogError("The display queue was not saved: its driver in " + origin.configuration.string() +
                 " has no display element");
        return E_FAIL;
    }
    WriteEntries(display, entries);
    std::string error;
    if (!SaveConfigurationDocument(configuration, origin.configuration, &error)) {
        const bool denied = errno == EACCES || errno == EROFS || errno == EPERM;
        LogError("The display queue was not saved: " + error);
        return HRESULT_FROM_WIN32(denied ? ERROR_ACCESS_DENIED : ERROR_CANTWRITE);
    }
    return S_OK;
}

} // namespace pixtera
