// SPDX-License-Identifier: MIT
#pragma once
// What a connection's thread says in the log and how long it pauses between attempts. Each
// outage is one line and its end another. A broker that takes connections and ends them soon
// after (another client with the same id, an ACL) is one more line, and nothing more until a
// connection holds. The pause grows from the first to the longest and starts again from the
// first only after a connection held: a broker that ends every connection at once is not asked
// again every second.

#include <chrono>
#include <string>

namespace pixtera::mqtt {

class Outages {
public:
    Outages(std::string logName, std::chrono::milliseconds firstPause, std::chrono::milliseconds longestPause,
            std::chrono::milliseconds holdsAfter);

    // An attempt that got no connection: said once per outage; a refusal (a wrong password) that
    // differs from the last problem is said too.
    void Failed(const std::string& problem, bool refusal = false);
    // The broker accepted the connection (CONNACK).
    void Accepted(const std::string& address);
    // An accepted connection ended.
    void Ended(const std::string& address, const std::string& why);
    // An accepted connection stayed up for `holdsAfter`: the outage is over.
    void Held(const std::string& address);

    // How long to wait before the next attempt; each call doubles the next, up to the longest.
    std::chrono::milliseconds NextPause();

private:
    const std::string logName_;
    const std::chrono::milliseconds firstPause_;
    const std::chrono::milliseconds longestPause_;
    const std::chrono::milliseconds holdsAfter_;
    std::chrono::milliseconds pause_;
    bool everConnected_ = false;
    std::string reported_; // the problem logged last; empty while no outage is open
    bool returnSaid_ = false; // "connected again" was said in this outage
    bool endsSaid_ = false; // that the broker ends connections soon was said in this outage
};

} // namespace pixtera::mqtt
