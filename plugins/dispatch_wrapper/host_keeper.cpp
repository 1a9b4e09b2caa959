// SPDX-License-Identifier: MIT
#include "host_keeper.h"

#include <pixtera/platform/codepage.h>
#include <pixtera/platform/event_log.h>
#include <pixtera/platform/thread.h>

namespace pixtera::host {
namespace {

constexpr std::chrono::seconds kLongestPause{60};

} // namespace

HostKeeper::HostKeeper(std::filesystem::path program, std::chrono::milliseconds callLimit,
                       std::chrono::milliseconds healthyAfter)
    : program_(std::move(program)), callLimit_(callLimit), healthyAfter_(healthyAfter)
{
    thread_ = std::thread([this] {
        NameThisThread("px-keeper");
        Work();
    });
}

HostKeeper::~HostKeeper()
{
    {
        std::lock_guard lock(stateMutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
    std::lock_guard lock(stateMutex_);
    host_.reset();
}

void HostKeeper::KeepConfiguration(std::u16string text)
{
    std::lock_guard lock(stateMutex_);
    configuration_ = std::move(text);
}

void HostKeeper::SetKeySink(IKeySink* sink)
{
    std::lock_guard lock(keySinkMutex_);
    keySink_ = ComPtr<IKeySink>(sink);
}

void HostKeeper::DeliverKey(const KeyEventMessage& event)
{
    std::lock_guard lock(keySinkMutex_);
    if (keySink_)
        keySink_->KeyEvent(event.key, event.action); // the sink checks the plug-in's values
}

std::optional<LONG> HostKeeper::Start(const std::u16string& progId, std::string& error)
{
    std::unique_lock lock(stateMutex_);
    progId_ = progId;
    name_ = Utf16ToUtf8(progId) + " (isolated)";
    startRequested_ = true;
    wake_.notify_all();
    wake_.wait(lock, [&] { return startDone_ || stopping_; });
    if (!host_) {
        error = startError_;
        return std::nullopt;
    }
    return interfaces_;
}

std::optional<LONGLONG> HostKeeper::hostLostSince() const
{
    std::lock_guard lock(stateMutex_);
    return hostLostSince_;
}

void HostKeeper::NoteLinked()
{
    std::lock_guard lock(stateMutex_);
    hostLostSince_.reset();
}

std::optional<LONG> HostKeeper::generation() const
{
    std::lock_guard lock(stateMutex_);
    if (!host_)
        return std::nullopt;
    return generation_;
}

std::chrono::seconds HostKeeper::NextPause()
{
    // Only a host that then worked for a while starts the pauses anew; failed restarts never do.
    if (upSince_ && std::chrono::steady_clock::now() - *upSince_ >= healthyAfter_)
        failuresInARow_ = 0;
    upSince_.reset();
    const auto pause = std::chrono::seconds(1LL << std::min(failuresInARow_, 6));
    ++failuresInARow_;
    return std::min(pause, kLongestPause);
}

std::unique_ptr<HostProcess> HostKeeper::Launch(std::string& error, std::uint64_t& replayed)
{
    auto host = HostProcess::Start(
        program_, name_, [this](const KeyEventMessage& event) { DeliverKey(event); }, error);
    if (!host)
        return nullptr;
    auto created = host->Call({Method::Create, {progId_}}, callLimit_, error);
    if (!created || FAILED(created->hr) || created->values.empty() ||
        !std::holds_alternative<LONG>(created->values[0])) {
        if (created && error.empty())
            error = "the plug-in could not be created (" + HresultText(created->hr) + ")";
        return nullptr;
    }
    std::vector<Call> replay;
    {
        std::lock_guard lock(stateMutex_);
        interfaces_ = std::get<LONG>(created->values[0]);
        replay = ReplayCalls();
        replayed = remembered_;
    }
    if (!Replay(*host, replay, error))
        return nullptr;
    return host;
}

std::vector<Call> HostKeeper::ReplayCalls() const
{
    std::vector<Call> replay;
    if (configuration_ && (interfaces_ & kPluginInfo))
        replay.push_back({Method::Configure, {*configuration_}});
    if (interfaces_ & kScreenSource)
        replay.insert(replay.end(), attachedDisplays_.begin(), attachedDisplays_.end());
    if (!(interfaces_ & kDisplayDriver))
        return replay;
    for (std::size_t code = 0; code < glyphs_.size(); ++code) {
        if (!glyphs_[code])
            continue;
        Call define{Method::SetCustomChar, {static_cast<LONG>(code)}};
        for (BYTE row : *glyphs_[code])
            define.arguments.emplace_back(row);
        replay.push_back(std::move(define));
    }
    if (background_)
        replay.push_back({Method::SetBackground, {*background_}});
    if (frame_)
        replay.push_back({frameMethod_, {*frame_}});
    if (backlight_)
        replay.push_back({Method::SetBacklight, {*backlight_}});
    if (keysAdvised_ && (interfaces_ & kDisplayInput))
        replay.push_back({Method::AdviseKeys, {LONG{1}}});
    if (interfaces_ & kDisplayLeds)
        for (std::size_t index = 0; index < leds_.size(); ++index)
            if (leds_[index])
                replay.push_back({Method::SetLed, {static_cast<LONG>(index), *leds_[index]}});
    return replay;
}

bool HostKeeper::Replay(HostProcess& host, const std::vector<Call>& calls, std::string& error)
{
    for (const Call& call : calls)
        if (!host.Call(call, callLimit_, error))
            return false;
    return true;
}

bool HostKeeper::CatchUp(HostProcess& host, std::uint64_t replayed, std::string& error)
{
    // Calls keep coming while a host is made (they find none and are kept); when any came after
    // the replay was put together, the whole of it goes once more.
    std::vector<Call> replay;
    {
        std::lock_guard lock(stateMutex_);
        if (remembered_ == replayed)
            return true;
        replay = ReplayCalls();
    }
    return Replay(host, replay, error);
}

void HostKeeper::Work()
{
    std::unique_lock lock(stateMutex_);
    while (!stopping_) {
        if (!startRequested_ && !(lost_ && std::chrono::steady_clock::now() >= retryAt_)) {
            if (lost_)
                wake_.wait_until(lock, retryAt_);
            else
                wake_.wait(lock);
            continue;
        }
        const bool first = startRequested_;
        lock.unlock();
        std::string error;
        std::uint64_t replayed = 0;
        auto host = Launch(error, replayed);
        // From the catching up until the host is in place no call comes in: none finds no host
        // and is kept after the last replay.
        std::unique_lock serialise(callMutex_, std::defer_lock);
        if (host) {
            serialise.lock();
            if (!CatchUp(*host, replayed, error))
                host.reset();
        }
        lock.lock();
        if (host) {
            host_ = std::move(host);
            ++generation_;
            upSince_ = std::chrono::steady_clock::now();
            if (lost_)
                LogInformation(name_ + ": running again");
            lost_ = false;
        } else if (first) {
            startError_ = error;
        } else {
            const auto pause = NextPause();
            retryAt_ = std::chrono::steady_clock::now() + pause;
            LogWarning(name_ + ": could not be started again (" + error + "); next try in " +
                       std::to_string(pause.count()) + " s");
        }
        if (first) {
            startRequested_ = false;
            startDone_ = true;
            wake_.notify_all();
        }
    }
}

void HostKeeper::Lose(const std::string& why)
{
    std::unique_ptr<HostProcess> lost;
    {
        std::lock_guard lock(stateMutex_);
        lost = std::move(host_);
        lost_ = true;
        if (!hostLostSince_)
            hostLostSince_ =
                std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
                    .count();
        const auto pause = NextPause();
        retryAt_ = std::chrono::steady_clock::now() + pause;
        LogWarning(name_ + ": " + why + "; the host is killed and started again in " + std::to_string(pause.count()) +
                   " s");
    }
    wake_.notify_all();
    // `lost` is killed and reaped here, outside the lock
}

void HostKeeper::Remember(const Call& call)
{
    const auto* text = call.arguments.empty() ? nullptr : std::get_if<std::u16string>(&call.arguments[0]);
    std::lock_guard lock(stateMutex_);
    switch (call.method) {
    case Method::Configure:
        if (text)
            configuration_ = *text;
        break;
    case Method::SetBackground:
        if (text)
            background_ = *text;
        break;
    case Method::AttachDisplay:
        // The service offers each display once; a bounded list all the same.
        if (attachedDisplays_.size() < 256)
            attachedDisplays_.push_back(call);
        break;
    case Method::Write:
    case Method::WriteUnicode:
        if (text) {
            frame_ = *text;
            frameMethod_ = call.method;
        }
        break;
    case Method::SetBacklight:
        if (const auto* on = call.arguments.empty() ? nullptr : std::get_if<LONG>(&call.arguments[0]))
            backlight_ = *on;
        break;
    case Method::AdviseKeys:
        if (const auto* on = call.arguments.empty() ? nullptr : std::get_if<LONG>(&call.arguments[0]))
            keysAdvised_ = *on != 0;
        break;
    case Method::SetLed: {
        if (call.arguments.size() != 2)
            return;
        const auto* index = std::get_if<LONG>(&call.arguments[0]);
        const auto* state = std::get_if<LONG>(&call.arguments[1]);
        if (!index || !state || *index < 0 || *index >= kMostLeds)
            return;
        leds_[static_cast<std::size_t>(*index)] = *state;
        break;
    }
    case Method::SetCustomChar: {
        const auto* code = std::get_if<LONG>(&call.arguments[0]);
        if (!code || *code < 0 || *code >= 8 || call.arguments.size() != 9)
            return;
        std::array<BYTE, 8> rows{};
        for (std::size_t i = 0; i < 8; ++i)
            if (const auto* row = std::get_if<BYTE>(&call.arguments[i + 1]))
                rows[i] = *row;
        glyphs_[static_cast<std::size_t>(*code)] = rows;
        break;
    }
    default: return; // asks, changes nothing a new host would need
    }
    ++remembered_;
}

std::optional<LONG> HostKeeper::LedBefore(const Call& call) const
{
    const auto* index = call.arguments.empty() ? nullptr : std::get_if<LONG>(&call.arguments[0]);
    if (call.method != Method::SetLed || !index || *index < 0 || *index >= kMostLeds)
        return std::nullopt;
    std::lock_guard lock(stateMutex_);
    return leds_[static_cast<std::size_t>(*index)];
}

void HostKeeper::RestoreLed(const Call& call, std::optional<LONG> before)
{
    const auto* index = call.arguments.empty() ? nullptr : std::get_if<LONG>(&call.arguments[0]);
    if (call.method != Method::SetLed || !index || *index < 0 || *index >= kMostLeds)
        return;
    std::lock_guard lock(stateMutex_);
    leds_[static_cast<std::size_t>(*index)] = before;
}

std::optional<Result> HostKeeper::Invoke(const Call& call)
{
    std::lock_guard serialise(callMutex_);
    return InvokeSerialised(call);
}

std::optional<Result> HostKeeper::InvokeIfIdle(const Call& call, bool& busy)
{
    std::unique_lock serialise(callMutex_, std::try_to_lock);
    busy = !serialise.owns_lock();
    if (busy)
        return std::nullopt;
    return InvokeSerialised(call);
}

std::optional<Result> HostKeeper::InvokeSerialised(const Call& call)
{
    // What the service asked for is what a new host gets, whether this call works, fails, kills
    // the host or finds none: a crash in the first Configure must not leave it unconfigured.
    const auto ledBefore = LedBefore(call);
    Remember(call);
    HostProcess* host = nullptr;
    {
        std::lock_guard lock(stateMutex_);
        host = host_.get();
    }
    if (!host)
        return std::nullopt;
    std::string error;
    auto result = host->Call(call, callLimit_, error);
    if (!result) {
        Lose(error);
        return std::nullopt;
    }
    // A state the plug-in refused is not one to give a new host: the one before stays.
    if (FAILED(result->hr))
        RestoreLed(call, ledBefore);
    return result;
}

} // namespace pixtera::host
