// SPDX-License-Identifier: MIT
#pragma once
// A mosquitto broker of the test's own on a loopback port, with anonymous clients or with one
// user and password, in plain TCP or TLS (a certificate of its own for 127.0.0.1, which is its
// own CA); stopped and started again on the same port. And the command-line clients, to publish
// and to watch as another program would.

#include "child_process.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace pixtera::test {

class TestBroker {
public:
    struct Options {
        std::string user; // empty: anonymous clients welcome
        std::string password;
        bool tls = false;
    };
    TestBroker();
    explicit TestBroker(Options options);
    ~TestBroker();

    int port() const { return port_; }
    // With TLS: the CA file a client needs.
    std::filesystem::path caFile() const { return directory_ / "ca.pem"; }
    void Stop();
    void Start();
    // How many clients the broker refused so far (a wrong user or password).
    int Refusals();

    // mosquitto_pub, retained or not, of any length; waits until the broker has the message.
    void Publish(const std::string& topic, const std::string& payload, bool retained = false) const;
    // mosquitto_sub on the pattern until `count` messages came or `seconds` passed, subscribed
    // when this returns; Lines() waits for its end: "topic payload" each.
    class Watcher {
    public:
        explicit Watcher(std::vector<std::string> argv);
        std::vector<std::string> Lines();

    private:
        std::unique_ptr<ChildProcess> process_;
    };
    Watcher StartWatching(const std::string& pattern, int count, int seconds = 5) const;
    std::vector<std::string> Watch(const std::string& pattern, int count, int seconds = 5) const
    {
        return StartWatching(pattern, count, seconds).Lines();
    }

private:
    std::vector<std::string> ClientArguments() const;

    Options options_;
    std::filesystem::path directory_;
    int port_ = 0;
    std::unique_ptr<ChildProcess> broker_;
};

} // namespace pixtera::test
