// SPDX-License-Identifier: MIT
#include "logind_monitor.h"

#include <pixtera/platform/event_log.h>

#include <unistd.h>

namespace pixtera {
namespace {

constexpr const char* kBus = "org.freedesktop.DBus";
constexpr const char* kLogind = "org.freedesktop.login1";
constexpr const char* kManager = "org.freedesktop.login1.Manager";
constexpr const char* kSession = "org.freedesktop.login1.Session";
constexpr const char* kUser = "org.freedesktop.login1.User";
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";
constexpr const char* kManagerPath = "/org/freedesktop/login1";
constexpr const char* kSessions = "/org/freedesktop/login1/session";
constexpr std::chrono::milliseconds kAnswerTime{2000};

std::string UserPath() { return "/org/freedesktop/login1/user/_" + std::to_string(getuid()); }

std::string Rule(const std::string& sender, const std::string& rest)
{
    return "type='signal',sender='" + sender + "'," + rest;
}

// A message's header fields, "" where it has none (a reply has no member; sdbus-c++ would throw).
std::string SenderOf(const sdbus::Message& message)
{
    try {
        return message.getSender();
    } catch (const std::exception&) {
        return {};
    }
}

std::string MemberOf(const sdbus::Message& message)
{
    try {
        return message.getMemberName();
    } catch (const std::exception&) {
        return "an answer";
    }
}

std::string PathOf(const sdbus::Message& message)
{
    try {
        return message.getPath();
    } catch (const std::exception&) {
        return {};
    }
}

void Dropped(bus::OncePerSender& notes, const sdbus::Message& message, const std::string& why)
{
    const std::string sender = SenderOf(message);
    switch (notes.Note(sender)) {
    case bus::OncePerSender::Verdict::Name:
        LogWarning("Dropped " + MemberOf(message) + " from " + sender + " on the system bus (" + why +
                   "); further ones from it are dropped without a word");
        break;
    case bus::OncePerSender::Verdict::FullNow:
        LogWarning("Dropped messages from too many senders on the system bus; no further sender is named");
        break;
    case bus::OncePerSender::Verdict::Silence: break;
    }
}

// Nothing a message does escapes to the bus library.
template <class Body>
void Guarded(bus::OncePerSender& notes, const sdbus::Message& message, const Body& body)
{
    try {
        body();
    } catch (const std::exception& error) {
        Dropped(notes, message, error.what());
    }
}

bool IsAbsence(const sdbus::Error& error)
{
    return error.getName() == "org.freedesktop.DBus.Error.UnknownObject" ||
           error.getName() == "org.freedesktop.login1.NoSuchUser";
}

} // namespace

std::unique_ptr<LogindMonitor> LogindMonitor::Start()
{
    try {
        return std::make_unique<LogindMonitor>(sdbus::createSystemBusConnection());
    } catch (const sdbus::Error& error) {
        LogInformation(
            "No system bus (" + error.getMessage() +
            "): displays are not blanked when the session locks or idles, nor initialised again after a sleep");
        return nullptr;
    }
}

LogindMonitor::LogindMonitor(std::unique_ptr<sdbus::IConnection> connection) : connection_(std::move(connection))
{
    bus_ = sdbus::createProxy(*connection_, kBus, "/org/freedesktop/DBus");
    manager_ = sdbus::createProxy(*connection_, kLogind, kManagerPath);
    user_ = sdbus::createProxy(*connection_, kLogind, UserPath());
    // The owner's changes first, so that none falls between the question and the watch.
    Watch(Rule(kBus, "path='/org/freedesktop/DBus',interface='org.freedesktop.DBus',member='NameOwnerChanged',"
                     "arg0='org.freedesktop.login1'"),
          &LogindMonitor::OnOwnerChanged);
    const std::string manager = std::string("path='") + kManagerPath + "',interface='" + kManager + "',";
    Watch(Rule(kLogind, manager + "member='PrepareForSleep'"), &LogindMonitor::OnPrepareForSleep);
    Watch(Rule(kLogind, manager + "member='SessionNew'"), &LogindMonitor::OnSessionAnnounced);
    Watch(Rule(kLogind, manager + "member='SessionRemoved'"), &LogindMonitor::OnSessionAnnounced);
    // One watch over every session: following another session needs no new one.
    Watch(Rule(kLogind, std::string("path_namespace='") + kSessions + "',interface='" + kProperties +
                            "',member='PropertiesChanged',arg0='" + kSession + "'"),
          &LogindMonitor::OnSessionChanged);
    Watch(Rule(kLogind, "path='" + UserPath() + "',interface='" + kProperties + "',member='PropertiesChanged',arg0='" +
                            kUser + "'"),
          &LogindMonitor::OnUserChanged);

    const std::string owner = AskOwner();
    {
        std::lock_guard lock(mutex_);
        owner_ = owner;
    }
    if (owner.empty())
        LogInformation("logind is not on the system bus: displays follow the session once it is");
    else if (const auto path = FindSession()) {
        {
            std::lock_guard lock(mutex_);
            sessionPath_ = *path;
            hints_ = SessionHints{}; // a session is known, whatever it answers now
        }
        session_ = sdbus::createProxy(*connection_, kLogind, *path);
        ReadHintsNow();
    } else {
        LogInformation("logind knows no session of this user yet: displays follow the user's session once it logs in");
    }
    connection_->enterEventLoopAsync();
}

LogindMonitor::~LogindMonitor() { connection_->leaveEventLoop(); }

std::string LogindMonitor::AskOwner()
{
    try {
        auto call = bus_->createMethodCall(kBus, "GetNameOwner");
        call << std::string(kLogind);
        auto reply = bus_->callMethod(call, kAnswerTime);
        if (auto owner = ReadNameOwner(reply))
            return *owner;
        Dropped(malformed_, reply, "not a name");
    } catch (const sdbus::Error&) {
        // Nobody owns the name (yet).
    }
    return {};
}

std::optional<std::string> LogindMonitor::FindSession()
{
    // The service's own session when it runs in one, else the user's display session (a user
    // unit of systemd runs outside any session).
    try {
        auto call = manager_->createMethodCall(kManager, "GetSessionByPID");
        call << static_cast<std::uint32_t>(getpid());
        auto reply = manager_->callMethod(call, kAnswerTime);
        if (auto path = ReadSessionPath(reply)) {
            std::lock_guard lock(mutex_);
            ownSession_ = true;
            return path;
        }
        Dropped(malformed_, reply, "not an object path");
    } catch (const sdbus::Error&) {
    }
    try {
        auto call = user_->createMethodCall(kProperties, "Get");
        call << std::string(kUser) << std::string("Display");
        auto reply = user_->callMethod(call, kAnswerTime);
        const auto path = ReadDisplaySession(reply);
        if (!path)
            Dropped(malformed_, reply, "not a session");
        else if (!path->empty())
            return path;
    } catch (const sdbus::Error&) {
    }
    return std::nullopt;
}

void LogindMonitor::ReadHintsNow()
{
    try {
        auto call = session_->createMethodCall(kProperties, "GetAll");
        call << std::string(kSession);
        auto reply = session_->callMethod(call, kAnswerTime);
        if (const auto change = ReadSessionGetAll(reply)) {
            std::lock_guard lock(mutex_);
            change->ApplyTo(*hints_);
        } else {
            Dropped(malformed_, reply, "not the session's properties");
        }
    } catch (const sdbus::Error&) {
        // Its signals tell the rest.
    }
}

void LogindMonitor::Watch(const std::string& rule, Reader reader)
{
    matches_.push_back(connection_->addMatch(rule, [this, reader](sdbus::Message& message) {
        Guarded(malformed_, message, [&] { (this->*reader)(message); });
    }));
}

bool LogindMonitor::FromLogind(const sdbus::Message& message)
{
    const std::string sender = SenderOf(message);
    {
        std::lock_guard lock(mutex_);
        if (!owner_.empty() && sender == owner_)
            return true;
    }
    Dropped(impostors_, message, std::string("it does not own ") + kLogind);
    return false;
}

void LogindMonitor::Malformed(const sdbus::Message& message)
{
    Dropped(malformed_, message, "arguments of other types than logind's");
}

void LogindMonitor::OnOwnerChanged(sdbus::Message& message)
{
    // The bus driver's own name: no connection can send under it.
    if (SenderOf(message) != kBus) {
        Dropped(impostors_, message, "only the bus itself announces owners");
        return;
    }
    const auto change = ReadNameOwnerChanged(message);
    if (!change) {
        Malformed(message);
        return;
    }
    if (change->name != kLogind)
        return;
    bool own = false;
    {
        std::lock_guard lock(mutex_);
        owner_ = change->newOwner;
        own = ownSession_;
    }
    if (change->newOwner.empty()) {
        LogInformation("logind left the system bus: nothing counts until it is back");
        return;
    }
    LogInformation("logind is on the system bus as " + change->newOwner);
    if (own)
        AskHints();
    else
        AskDisplay(true);
}

void LogindMonitor::OnPrepareForSleep(sdbus::Message& message)
{
    if (!FromLogind(message))
        return;
    const auto sleeping = ReadPrepareForSleep(message);
    if (!sleeping) {
        Malformed(message);
        return;
    }
    std::vector<Handlers> handlers;
    {
        std::lock_guard lock(mutex_);
        handlers = handlers_;
    }
    for (const auto& handler : handlers)
        if (handler.sleep)
            handler.sleep(*sleeping);
}

void LogindMonitor::OnSessionAnnounced(sdbus::Message& message)
{
    if (!FromLogind(message))
        return;
    const auto path = ReadSessionAnnouncement(message);
    if (!path) {
        Malformed(message);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        if (ownSession_) {
            if (MemberOf(message) != "SessionRemoved" || sessionPath_ != *path)
                return;
            ownSession_ = false; // the service outlived its session: the user's display session now
        }
    }
    AskDisplay(false);
}

void LogindMonitor::OnUserChanged(sdbus::Message& message)
{
    if (!FromLogind(message))
        return;
    const auto display = ReadUserDisplayChanged(message);
    if (!display) {
        Malformed(message);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        if (!*display || ownSession_)
            return;
    }
    AskDisplay(false);
}

void LogindMonitor::OnSessionChanged(sdbus::Message& message)
{
    if (!FromLogind(message))
        return;
    {
        std::lock_guard lock(mutex_);
        if (sessionPath_ != PathOf(message))
            return; // another session's
    }
    const auto change = ReadSessionPropertiesChanged(message);
    if (!change) {
        Malformed(message);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        if (sessionPath_ != PathOf(message) || !hints_)
            return;
        change->ApplyTo(*hints_);
    }
    NotifySession();
}

void LogindMonitor::AskDisplay(bool rereadHints)
{
    std::uint64_t request = 0;
    {
        std::lock_guard lock(mutex_);
        request = ++displayRequest_;
    }
    auto call = user_->createMethodCall(kProperties, "Get");
    call << std::string(kUser) << std::string("Display");
    user_->callMethod(
        call,
        [this, request, rereadHints](sdbus::MethodReply& reply, const sdbus::Error* error) {
            Guarded(malformed_, reply, [&] {
                {
                    std::lock_guard lock(mutex_);
                    if (request != displayRequest_)
                        return; // a later question is on its way
                }
                if (error && !IsAbsence(*error)) {
                    LogInformation("logind did not say which session the user has now (" + error->getMessage() + ")");
                    return;
                }
                const auto path = error ? std::optional<std::string>("") : ReadDisplaySession(reply);
                if (!path) {
                    Malformed(reply);
                    return;
                }
                Follow(*path, rereadHints);
            });
        },
        kAnswerTime);
}

void LogindMonitor::Follow(const std::string& path, bool rereadHints)
{
    const auto next = path.empty() ? std::nullopt : std::optional<std::string>(path);
    bool changed = false;
    {
        std::lock_guard lock(mutex_);
        changed = next != sessionPath_;
        if (changed) {
            sessionPath_ = next;
            hints_ = next ? std::optional<SessionHints>(SessionHints{}) : std::nullopt;
            ++hintsRequest_; // the last session's answer no longer counts
        }
    }
    if (changed) {
        LogInformation(next ? "Following logind's session " + *next
                            : std::string("The user has no session logind knows now: displays follow the next one"));
        session_ = next ? sdbus::createProxy(*connection_, kLogind, *next) : nullptr;
        NotifySession();
    }
    if (next && (changed || rereadHints))
        AskHints();
}

void LogindMonitor::AskHints()
{
    std::uint64_t request = 0;
    {
        std::lock_guard lock(mutex_);
        request = ++hintsRequest_;
    }
    if (!session_)
        return;
    auto call = session_->createMethodCall(kProperties, "GetAll");
    call << std::string(kSession);
    session_->callMethod(
        call,
        [this, request](sdbus::MethodReply& reply, const sdbus::Error* error) {
            Guarded(malformed_, reply, [&] {
                if (error) {
                    LogInformation("logind did not tell the session's state (" + error->getMessage() +
                                   "): its signals will");
                    return;
                }
                const auto change = ReadSessionGetAll(reply);
                if (!change) {
                    Malformed(reply);
                    return;
                }
                ApplyHints(request, *change);
            });
        },
        kAnswerTime);
}

void LogindMonitor::ApplyHints(std::uint64_t request, const HintsChange& change)
{
    {
        std::lock_guard lock(mutex_);
        if (request != hintsRequest_ || !hints_)
            return;
        change.ApplyTo(*hints_);
    }
    NotifySession();
}

void LogindMonitor::NotifySession()
{
    std::vector<Handlers> handlers;
    std::optional<SessionHints> hints;
    {
        std::lock_guard lock(mutex_);
        handlers = handlers_;
        hints = hints_;
    }
    for (const auto& handler : handlers)
        if (handler.session)
            handler.session(hints);
}

void LogindMonitor::Subscribe(Handlers handlers)
{
    std::lock_guard lock(mutex_);
    // Under the lock: no change can come between the present state and the next change.
    if (handlers.session)
        handlers.session(hints_);
    handlers_.push_back(std::move(handlers));
}

} // namespace pixtera
