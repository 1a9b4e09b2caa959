// SPDX-License-Identifier: MIT
#include <pixtera/mqtt/mqtt_connection.h>

#include "outages.h"

#include <pixtera/platform/event_log.h>
#include <pixtera/platform/thread.h>
#include <pixtera/platform/unique_fd.h>
#include <pixtera/sdk/bounded_file.h>

#include <mosquitto.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <thread>

namespace pixtera::mqtt {
namespace {

using Clock = std::chrono::steady_clock;

void InitialiseLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

struct MosquittoDeleter {
    void operator()(mosquitto* client) const { mosquitto_destroy(client); }
};
using Client = std::unique_ptr<mosquitto, MosquittoDeleter>;

std::string ErrorText(int rc) { return rc == MOSQ_ERR_ERRNO ? std::strerror(errno) : mosquitto_strerror(rc); }

// Milliseconds for poll(), from now until `until` but no longer than `longest`.
int PollTimeout(Clock::time_point until, std::chrono::milliseconds longest)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
    return static_cast<int>(std::clamp(left, std::chrono::milliseconds(0), longest).count());
}

} // namespace

std::string Printable(std::string_view text, std::size_t longest)
{
    std::string printable;
    for (char c : text.substr(0, longest))
        printable += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
    if (text.size() > longest)
        printable += "...";
    return printable;
}

// Every call into libmosquitto holds clientMutex_ (the library reads its packet queue without a
// lock of its own); its callbacks only note what happened, and the handlers run after the call,
// outside the lock, so that they may publish.
class Connection::Session {
public:
    Session(ConnectionSettings settings, ConnectionHandlers handlers)
        : settings_(std::move(settings)),
          handlers_(std::move(handlers)),
          wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
          outages_(settings_.logName, settings_.firstPause, settings_.longestPause, settings_.holdsAfter)
    {
        InitialiseLibrary();
        client_.reset(mosquitto_new(settings_.clientId.empty() ? nullptr : settings_.clientId.c_str(), true, this));
        if (!client_ || !wake_) {
            LogError(settings_.logName + ": cannot set up an MQTT client");
            return;
        }
        Configure();
        thread_ = std::thread([this] { Run(); });
    }

    ~Session()
    {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        stopped_.notify_all();
        Wake();
        if (thread_.joinable())
            thread_.join();
    }

    void Subscribe(const std::string& pattern)
    {
        bool now = false;
        {
            std::lock_guard lock(mutex_);
            patterns_.push_back(pattern);
            now = connected_;
        }
        if (now)
            SubscribeTo({pattern});
    }

    void Unsubscribe(const std::string& pattern)
    {
        bool now = false;
        {
            std::lock_guard lock(mutex_);
            patterns_.erase(std::remove(patterns_.begin(), patterns_.end(), pattern), patterns_.end());
            now = connected_;
        }
        if (!now)
            return; // the next connection does not subscribe to it
        {
            std::lock_guard client(clientMutex_);
            if (const int rc = mosquitto_unsubscribe(client_.get(), nullptr, pattern.c_str()))
                LogWarning(settings_.logName + ": cannot unsubscribe from \"" + Printable(pattern) +
                           "\": " + ErrorText(rc));
        }
        Wake();
    }

    bool Publish(const std::string& topic, std::string_view payload, bool retained)
    {
        if (!connected())
            return false;
        int rc = MOSQ_ERR_NO_CONN;
        {
            std::lock_guard client(clientMutex_);
            rc = mosquitto_publish(client_.get(), nullptr, topic.c_str(), static_cast<int>(payload.size()),
                                   payload.data(), 0, retained);
        }
        Wake();
        return rc == MOSQ_ERR_SUCCESS;
    }

    bool connected() const
    {
        std::lock_guard lock(mutex_);
        return connected_;
    }

private:
    void Configure()
    {
        mosquitto* client = client_.get();
        mosquitto_threaded_set(client, true);
        mosquitto_int_option(client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
        if (!settings_.username.empty())
            mosquitto_username_pw_set(client, settings_.username.c_str(),
                                      settings_.password.empty() ? nullptr : settings_.password.c_str());
        if (settings_.will)
            mosquitto_will_set(client, settings_.will->topic.c_str(), static_cast<int>(settings_.will->payload.size()),
                               settings_.will->payload.data(), 1, settings_.will->retained);
        // Nothing may throw into the library's C code.
        mosquitto_connect_callback_set(client, [](mosquitto*, void* self, int rc) {
            auto* session = static_cast<Session*>(self);
            session->Guarded("the broker's answer", [&] { session->Accepted(rc); });
        });
        mosquitto_message_callback_set(client, [](mosquitto*, void* self, const mosquitto_message* message) {
            auto* session = static_cast<Session*>(self);
            session->Guarded("a message", [&] { session->Arrived(*message); });
        });
    }

    // A callback or handler that failed (out of memory, a handler's own fault): what it was doing
    // is dropped, said once, and the connection goes on.
    template <class Call>
    void Guarded(const char* what, Call&& call) noexcept
    {
        try {
            call();
        } catch (const std::exception& error) {
            Failure(what, error.what());
        } catch (...) {
            Failure(what, "an unknown error");
        }
    }

    void Failure(const char* what, const char* why) noexcept
    {
        if (std::exchange(failureSaid_, true))
            return;
        try {
            LogWarning(settings_.logName + ": " + what + " could not be handled (" + why +
                       "); such failures are dropped and not said again");
        } catch (...) {
        }
    }

    // TLS configured means TLS or no connection. The library opens the CA file by name at each
    // connection: it is handed /proc/self/fd/N of a descriptor checked here and kept open, so that
    // it reads the very regular file that was checked, whatever the name points to by then.
    // (Loading the certificates here instead would mean building the library's TLS context, with
    // its host name check, ourselves.) Empty, or why there is no connection.
    std::string UseCaFile()
    {
        if (settings_.tlsCa.empty())
            return {};
        const std::string failure = "no connection without TLS: the CA file " + settings_.tlsCa + " ";
        CheckedFile file = OpenCheckedFile(settings_.tlsCa, kLargestCaFile, false, FileOwner::ThisUserOrRoot);
        if (!file)
            return failure + file.problem;
        const std::string name = "/proc/self/fd/" + std::to_string(file.fd.get());
        const int rc = Library([&name](mosquitto* client) {
            return mosquitto_tls_set(client, name.c_str(), nullptr, nullptr, nullptr, nullptr);
        });
        if (rc != MOSQ_ERR_SUCCESS)
            return failure + "cannot be used: " + ErrorText(rc);
        caFile_ = std::move(file.fd);
        return {};
    }

    // A call into the library, then what its callbacks noted.
    template <class Call>
    int Library(Call call)
    {
        int rc = MOSQ_ERR_SUCCESS;
        {
            std::lock_guard client(clientMutex_);
            rc = call(client_.get());
        }
        Dispatch();
        return rc;
    }

    // The connection's thread: connect, serve until the connection ends, pause, again.
    void Run()
    {
        NameThisThread("px-mqtt");
        while (!Stopping()) {
            if (const std::string problem = UseCaFile(); !problem.empty()) {
                outages_.Failed(problem);
            } else if (const int rc = Library([this](mosquitto* client) {
                           return mosquitto_connect_async(client, settings_.host.c_str(), settings_.port,
                                                          static_cast<int>(settings_.keepAlive.count()));
                       });
                       rc == MOSQ_ERR_SUCCESS) {
                Serve();
            } else {
                outages_.Failed("cannot reach the broker at " + Address() + ": " + ErrorText(rc));
            }
            Ended();
            if (Pause(outages_.NextPause()))
                break;
        }
        // The DISCONNECT goes out, so that the broker keeps the will to itself.
        std::lock_guard client(clientMutex_);
        mosquitto_disconnect(client_.get());
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
        while (mosquitto_want_write(client_.get()) && std::chrono::steady_clock::now() < until)
            if (mosquitto_loop_write(client_.get(), 1) != MOSQ_ERR_SUCCESS)
                break;
    }

    // Reads, writes and keeps alive until the connection fails or the session stops; a broker that
    // does not answer CONNECT in time is given up.
    void Serve()
    {
        accepted_ = held_ = false;
        const auto connackDue = Clock::now() + settings_.connackWait;
        const auto idle = std::chrono::milliseconds(std::max<long>(settings_.keepAlive.count() * 1000 / 2, 1000));
        while (!Stopping()) {
            if (!accepted_ && Clock::now() >= connackDue) {
                outages_.Failed("no CONNACK from the broker at " + Address() + " within " +
                                std::to_string(settings_.connackWait.count()) + " s");
                return;
            }
            if (accepted_ && !held_ && Clock::now() >= acceptedAt_ + settings_.holdsAfter) {
                held_ = true;
                outages_.Held(Address());
            }
            int socket = -1;
            bool wantWrite = false;
            {
                std::lock_guard client(clientMutex_);
                socket = mosquitto_socket(client_.get());
                wantWrite = mosquitto_want_write(client_.get());
            }
            if (socket < 0)
                return;
            pollfd fds[2] = {{socket, static_cast<short>(POLLIN | (wantWrite ? POLLOUT : 0)), 0},
                             {wake_.get(), POLLIN, 0}};
            const int timeout = !accepted_ ? PollTimeout(connackDue, idle)
                                : !held_   ? PollTimeout(acceptedAt_ + settings_.holdsAfter, idle)
                                           : static_cast<int>(idle.count());
            if (poll(fds, 2, timeout) < 0 && errno != EINTR)
                return;
            if (fds[1].revents & POLLIN) {
                eventfd_t drained = 0;
                eventfd_read(wake_.get(), &drained);
            }
            const bool readable = fds[0].revents & (POLLIN | POLLHUP | POLLERR);
            const int rc = Library([readable](mosquitto* client) {
                int result = readable ? mosquitto_loop_read(client, 1) : MOSQ_ERR_SUCCESS;
                if (result == MOSQ_ERR_SUCCESS && mosquitto_want_write(client))
                    result = mosquitto_loop_write(client, 1);
                return result == MOSQ_ERR_SUCCESS ? mosquitto_loop_misc(client) : result;
            });
            if (rc != MOSQ_ERR_SUCCESS) {
                if (accepted_)
                    outages_.Ended(Address(), ErrorText(rc));
                else
                    outages_.Failed("cannot reach the broker at " + Address() + ": " + ErrorText(rc));
                return;
            }
        }
    }

    // CONNACK, inside a library call: accepted, or refused for a reason the user can act on.
    void Accepted(int rc)
    {
        if (rc != 0)
            outages_.Failed(std::string("the broker at ") + Address() +
                                " refused the connection: " + mosquitto_connack_string(rc),
                            true);
        else
            justAccepted_ = true;
    }

    // A message, inside a library call: handed on after it.
    void Arrived(const mosquitto_message& message)
    {
        if (!message.topic)
            return;
        inbox_.push_back(
            {message.topic,
             std::string(static_cast<const char*>(message.payload), static_cast<std::size_t>(message.payloadlen)),
             message.retain});
    }

    // What the last library call's callbacks noted, outside the library's lock.
    void Dispatch()
    {
        if (std::exchange(justAccepted_, false))
            Connected();
        auto messages = std::exchange(inbox_, {});
        if (handlers_.message)
            for (const auto& message : messages)
                Guarded("a message", [&] { handlers_.message(message); });
    }

    void Connected()
    {
        accepted_ = true;
        acceptedAt_ = Clock::now();
        // Said before anyone can see the connection, so the line is there once connected() is.
        outages_.Accepted(Address());
        std::vector<std::string> patterns;
        {
            std::lock_guard lock(mutex_);
            connected_ = true;
            patterns = patterns_;
        }
        SubscribeTo(patterns);
        if (handlers_.connected)
            Guarded("a new connection", handlers_.connected);
    }

    void Ended()
    {
        bool was = false;
        {
            std::lock_guard lock(mutex_);
            was = std::exchange(connected_, false);
        }
        if (was && handlers_.lost)
            Guarded("the end of a connection", handlers_.lost);
    }

    void SubscribeTo(const std::vector<std::string>& patterns)
    {
        {
            std::lock_guard client(clientMutex_);
            for (const auto& pattern : patterns)
                if (const int rc = mosquitto_subscribe(client_.get(), nullptr, pattern.c_str(), 0))
                    LogWarning(settings_.logName + ": cannot subscribe to \"" + Printable(pattern) +
                               "\": " + ErrorText(rc));
        }
        Wake();
    }

    // True when the session stopped during the pause.
    bool Pause(std::chrono::milliseconds pause)
    {
        std::unique_lock lock(mutex_);
        return stopped_.wait_for(lock, pause, [this] { return stopping_; });
    }

    bool Stopping() const
    {
        std::lock_guard lock(mutex_);
        return stopping_;
    }

    void Wake() { eventfd_write(wake_.get(), 1); }

    std::string Address() const { return settings_.host + ":" + std::to_string(settings_.port); }

    const ConnectionSettings settings_;
    const ConnectionHandlers handlers_;
    Client client_;
    UniqueFd wake_;
    std::thread thread_;

    std::mutex clientMutex_; // guards every call into client_
    mutable std::mutex mutex_; // guards patterns_, connected_ and stopping_
    std::condition_variable stopped_;
    std::vector<std::string> patterns_;
    bool connected_ = false;
    bool stopping_ = false;

    // The connection's thread alone (the callbacks run on it, inside its library calls):
    Outages outages_;
    UniqueFd caFile_; // the CA file the library was last handed, as /proc/self/fd/N
    bool accepted_ = false;
    bool held_ = false;
    Clock::time_point acceptedAt_;
    bool justAccepted_ = false;
    std::vector<Message> inbox_;
    bool failureSaid_ = false;
};

Connection::Connection(ConnectionSettings settings, ConnectionHandlers handlers)
    : session_(std::make_unique<Session>(std::move(settings), std::move(handlers)))
{
}

Connection::~Connection() = default;

void Connection::Subscribe(const std::string& pattern) { session_->Subscribe(pattern); }

void Connection::Unsubscribe(const std::string& pattern) { session_->Unsubscribe(pattern); }

bool Connection::Publish(const std::string& topic, std::string_view payload, bool retained)
{
    return session_->Publish(topic, payload, retained);
}

bool Connection::connected() const { return session_->connected(); }

} // namespace pixtera::mqtt
