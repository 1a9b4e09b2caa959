// SPDX-License-Identifier: MIT
#pragma once
// A TCP listener on a loopback port that plays a broker badly, and notes what reaches it: one
// that never answers, or one that accepts each CONNECT and hangs up at once (as a broker does
// to a second client of the same id) for the first `hangUps` clients and keeps the ones after.

#include <pixtera/platform/unique_fd.h>

#include <climits>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace pixtera::test {

class FakeBroker {
public:
    enum class Behaviour { Silent, HangsUp };
    explicit FakeBroker(Behaviour behaviour, int hangUps = INT_MAX);
    ~FakeBroker();
    FakeBroker(const FakeBroker&) = delete;
    FakeBroker& operator=(const FakeBroker&) = delete;

    int port() const { return port_; }
    int Connections() const;
    // Every byte any client sent, in order of arrival.
    std::string Received() const;

private:
    struct Client {
        UniqueFd fd;
        int number = 0; // from 1, in the order they came
        std::string connect; // the CONNECT's bytes until it is whole
        bool answered = false;
    };
    void Run();
    void Accept();
    // False once the client is done with.
    bool Read(Client& client);

    const Behaviour behaviour_;
    const int hangUps_;
    UniqueFd listener_;
    UniqueFd stop_;
    int port_ = 0;
    std::vector<Client> clients_; // the listener's thread alone
    mutable std::mutex mutex_; // guards connections_ and received_
    int connections_ = 0;
    std::string received_;
    std::thread thread_;
};

} // namespace pixtera::test
