// SPDX-License-Identifier: MIT
// pixtera/<machine>/layout: the design names every display's queue becomes, resolved among the
// designs already in that display's queue and the designs folder the user configured; a layout
// with a name that resolves nowhere changes nothing.
#include "bridge.h"

namespace pixtera::bridge {

void Bridge::ApplyLayout(const mqtt::Message& command)
{
    const ReadLayoutResult layout = ReadLayout(command.payload);
    if (!layout.refused.empty())
        return Ignore(command, layout.refused);
    std::map<int, std::vector<QueueEntry>> queues;
    for (int n = 1; n <= displays_; ++n) {
        const std::vector<QueueEntry> queue = service_->Queue(n - 1, kMostScreens);
        auto& wanted = queues[n];
        for (const std::string& name : layout.names) {
            std::optional<QueueEntry> entry = ResolveDesign(name, queue, options_.designs);
            if (!entry)
                return Ignore(command, "display " + std::to_string(n) + " has no design \"" +
                                           mqtt::Printable(name, 40) + "\" in its queue or the designs folder");
            wanted.push_back(std::move(*entry));
        }
        if (wanted == queue)
            queues.erase(n); // as it is: a retained layout that comes again changes nothing
    }
    if (!queues.empty())
        layoutPace_.Rewritten(LayoutPace::Clock::now());
    for (const auto& [display, entries] : queues)
        service_->ReplaceQueue(display - 1, entries);
}

} // namespace pixtera::bridge
