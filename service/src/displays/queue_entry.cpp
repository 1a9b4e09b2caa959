// SPDX-License-Identifier: MIT
#include "queue_entry.h"

#include <pixtera/configuration_schema.h>
#include <pixtera/platform/codepage.h>
#include <pixtera/platform/variant.h>

namespace pixtera {

std::optional<QueueEntry> ReadQueueEntry(const pugi::xml_node& queueItem)
{
    const pugi::xml_attribute file = queueItem.attribute(config::kFilename);
    const pugi::xml_attribute runtime = queueItem.attribute(config::kRuntime);
    if (!file || !runtime)
        return std::nullopt;
    const Variant text = Variant::FromUtf8(runtime.value());
    Variant seconds;
    if (FAILED(VariantChangeType(&seconds, &text, 0, VT_I4)))
        return std::nullopt;
    return QueueEntry{Utf8ToUtf16(file.value()), seconds.lVal};
}

void WriteQueueEntry(pugi::xml_node queueItem, const QueueEntry& entry)
{
    auto attribute = [&](const char* name) {
        pugi::xml_attribute found = queueItem.attribute(name);
        return found ? found : queueItem.append_attribute(name);
    };
    attribute(config::kFilename).set_value(Utf16ToUtf8(entry.fileName).c_str());
    attribute(config::kRuntime).set_value(entry.seconds);
}

} // namespace pixtera
