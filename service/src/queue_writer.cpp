#include "queue_writer.h"

#include <pixtera/platform/codepage.h>
#include <pixtera/platform/event_log.h>
#include <pixtera/xml_file.h>

#include <pugixml.hpp>

#include <cerrno>
#include <mutex>

namespace pixtera {
namespace {

// Every display of this process rewrites the same file: one rewrite at a time, or two
// concurrent edits would each save the file without the other's change.
std::mutex configurationFileMutex;

} // namespace

HRESULT WriteQueue(const QueueOrigin& origin, const std::vector<QueueEntry>& entries)
{
    std::lock_guard lock(configurationFileMutex);
    pugi::xml_document document;
    if (!document.load_file(origin.configuration.c_str())) {
        LogError("The display queue was not saved: " + origin.configuration.string() + " cannot be read");
        return E_FAIL;
    }
    const auto drivers = document.select_nodes("PixteraConfiguration/drivers/driver");
    if (origin.driverElement < 0 || static_cast<std::size_t>(origin.driverElement) >= drivers.size()) {
        LogError("The display queue was not saved: " + origin.configuration.string() + " no longer has its driver");
        return E_FAIL;
    }
    pugi::xml_node display = drivers[static_cast<std::size_t>(origin.driverElement)].node().child("display");
    if (!display) {
        LogError("The display queue was not saved: its driver in " + origin.configuration.string() +
                 " has no display element");
        return E_FAIL;
    }
    while (display.first_child())
        display.remove_child(display.first_child());
    pugi::xml_node queue = display.append_child("queue");
    for (const auto& entry : entries) {
        pugi::xml_node item = queue.append_child("queueitem");
        item.append_attribute("Filename").set_value(Utf16ToUtf8(entry.fileName).c_str());
        item.append_attribute("Runtime").set_value(entry.seconds);
    }
    std::string error;
    if (!SaveXmlDocument(document, origin.configuration, &error)) {
        const bool denied = errno == EACCES || errno == EROFS || errno == EPERM;
        LogError("The display queue was not saved: " + error);
        return HRESULT_FROM_WIN32(denied ? ERROR_ACCESS_DENIED : ERROR_CANTWRITE);
    }
    return S_OK;
}

} // namespace pixtera
