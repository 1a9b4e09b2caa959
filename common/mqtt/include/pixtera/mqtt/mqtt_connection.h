// SPDX-License-Identifier: MIT
#pragma once
// One client connection to an MQTT broker, on libmosquitto, driven by a thread of its own that
// sleeps on the socket: nothing runs while nothing arrives but the keep-alive. It connects at
// once, reconnects with a growing pause (1 s doubling to 60 s, from 1 s again only after a
// connection held for a minute) and subscribes again after each connection. Each outage and each
// refusal is logged once; a password never is. With a CA file there is TLS or no connection.

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pixtera::mqtt {

// A bundle of every public CA is a quarter of this.
constexpr std::size_t kLargestCaFile = 1024 * 1024;

struct LastWill {
    std::string topic;
    std::string payload;
    bool retained = true;
};

struct ConnectionSettings {
    std::string host = "127.0.0.1";
    int port = 1883;
    std::string username;
    std::string password;
    // A CA file: TLS to the broker, and no connection while the file is unusable (a regular file
    // of this user or root, at most kLargestCaFile); empty: plain TCP.
    std::string tlsCa;
    std::string clientId; // empty: the library makes one up
    std::optional<LastWill> will;
    std::string logName = "MQTT"; // starts each log line
    std::chrono::seconds keepAlive{60};
    std::chrono::milliseconds firstPause{1000};
    std::chrono::milliseconds longestPause{60000};
    // A connection that stayed up this long ends an outage; the pause starts again from the first.
    std::chrono::milliseconds holdsAfter{60000};
    // How long the broker may take to answer CONNECT (with the TLS handshake before it).
    std::chrono::seconds connackWait{10};
};

struct Message {
    std::string topic;
    std::string payload;
    bool retained = false;
};

struct ConnectionHandlers {
    std::function<void()> connected; // after each accepted connection
    std::function<void()> lost; // after each connection ended
    std::function<void(const Message&)> message; // on the connection's thread
};

class Connection {
public:
    Connection(ConnectionSettings settings, ConnectionHandlers handlers);
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    // Disconnects cleanly (the broker does not send the last will) and ends the thread.
    ~Connection();

    // Kept and subscribed again after every reconnection.
    void Subscribe(const std::string& pattern);
    // A pattern given to Subscribe, no longer wanted: not subscribed again, and unsubscribed now.
    void Unsubscribe(const std::string& pattern);
    // False, and nothing sent, while the broker is away: retained values are published again
    // by their owners after each connection.
    bool Publish(const std::string& topic, std::string_view payload, bool retained);
    bool connected() const;

private:
    class Session;
    std::unique_ptr<Session> session_;
};

// What an ill-formed topic pattern or payload can never reach: the string as the log shows it,
// without control characters and cut to a sane length.
std::string Printable(std::string_view text, std::size_t longest = 80);

} // namespace pixtera::mqtt
