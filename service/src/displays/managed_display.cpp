// SPDX-License-Identifier: MIT
#include "managed_display.h"

#include "key_sink.h"
#include "queue_writer.h"
#include "refresh_schedule.h"

#include <pixtera/platform/codepage.h>
#include <pixtera/platform/event_log.h>
#include <pixtera/platform/thread.h>
#include <pixtera/user_characters.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <thread>

namespace pixtera {
namespace {

constexpr const char16_t* kWelcome = u"Welcome  to";
constexpr const char16_t* kProduct = u"Pixtera";

// A held entry (duration 0) uses this only to compute its end time.
constexpr LONG kHeldSeconds = 10;
// Longer showings and update periods would reach half the tick count's range, where "before"
// stops meaning before; such values mean "very long" and are capped.
constexpr long long kLongestWaitMs = 0x7FFFFFFFLL - 1;
// The pause after a whole round of the queue in which nothing could be shown.
constexpr DWORD kIdleCycleMs = 100;
// Client screens are drawn, and their changes looked at, every eighth of a second, as by LCDd.
constexpr DWORD kEighthMs = 125;

LONG Eighths(DWORD now) { return static_cast<LONG>(now / kEighthMs); }

} // namespace

ManagedDisplay::ManagedDisplay(QueueOrigin origin, std::shared_ptr<PluginFault> fault, DisplayRuntime runtime,
                               std::weak_ptr<KeyEvents> keys)
    : origin_(std::move(origin)), fault_(std::move(fault)), runtime_(runtime), keys_(std::move(keys))
{
}

ManagedDisplay::~ManagedDisplay()
{
    StopOutput();
    // The driver may outlive the display (another reference to it): its keys stop here.
    if (input_)
        fault_->Guard([&] { return input_->Advise(nullptr); });
}

namespace {

// How long the set-up waits for a hosted driver that failed while it was asked for its geometry.
constexpr auto kSetUpRecoveryWait = std::chrono::seconds(5);

} // namespace

template <class Call>
bool ManagedDisplay::CallDriver(Call call)
{
    return driver_ && fault_->Guard([&] { return call(*driver_); });
}

void ManagedDisplay::SetUpDisplay(IUnknown* driver, LONG index)
{
    index_ = index;
    if (!driver)
        return;
    driverObject_ = ComPtr<IUnknown>(driver);
    fault_->Guard([&] { driver_ = driverObject_.As<IDisplayDriver>(); });
    if (!driver_)
        return; // no set-up without the interface: the display runs without a driver
    fault_->Guard([&] { power_ = driverObject_.As<IDisplayPower>(); });
    LONG cellHeight = 0;
    LONG cellWidth = 0;
    LONG columns = 0;
    LONG rows = 0;
    auto askGeometry = [&] {
        return CallDriver([&](IDisplayDriver& d) {
            for (HRESULT hr :
                 {d.GetCharHeight(&cellHeight), d.GetCharWidth(&cellWidth), d.GetColumns(&columns), d.GetRows(&rows)})
                if (hr == E_PLUGIN_HOST_FAILED)
                    return hr;
            return S_OK;
        });
    };
    // Without its geometry a display stays 0x0 for good: a hosted driver that failed while asked
    // is waited for (its first restart comes after a second) and asked again, once.
    if (!askGeometry() && fault_->mayRecover()) {
        const auto until = std::chrono::steady_clock::now() + kSetUpRecoveryWait;
        while (fault_->failed() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        askGeometry();
    }
    own_.Initialize(columns, rows, cellWidth, cellHeight);
    fault_->Guard([&] { unicode_ = driverObject_.As<IDisplayUnicodeFrame>(); });
    const LONG half = columns / 2;
    own_.WriteAnsi(half - 5, 0, Utf16ToAnsi(kWelcome));
    own_.WriteAnsi(half - 4, 1, Utf16ToAnsi(kProduct));
    WriteOwnFrame(own_.cells());
    // All eight, even after a hosted driver failed at the greeting or at one of them: its next
    // host gets what its wrapper was given, and nothing else.
    for (LONG code = 0; code < kUserCharacters; ++code) {
        const auto r = UserCharacterRows(code, cellWidth);
        ownCharacters_[static_cast<std::size_t>(code)] = r;
        loadedCharacters_[static_cast<std::size_t>(code)] = r;
        fault_->GuardDefinition(
            [&] { return driver_->SetCustomChar(code, r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7]); });
    }
    fault_->Guard([&] { input_ = driverObject_.As<IDisplayInput>(); });
    fault_->Guard([&] { traffic_ = driverObject_.As<IDisplayTraffic>(); });
    SetUpLeds();
    fault_->Guard([&] { linkState_ = driverObject_.As<IDisplayLinkState>(); });
    // A definition too: a hosted driver's next host is asked for its keys again.
    if (input_)
        fault_->GuardDefinition([&] { return input_->Advise(MakeComObject<KeySink>(keys_, index_).get()); });
}

HRESULT ManagedDisplay::SetBacklight(bool on)
{
    // A refusal changes nothing: clients would otherwise see a switch that never happened.
    if (!(powerCaps() & kPowerBacklight))
        return E_NOTIMPL;
    if (backlight_.exchange(on) != on)
        PowerChanged();
    if (!blanked_)
        ApplyBacklight();
    return S_OK;
}

HRESULT ManagedDisplay::SetBrightness(LONG percent)
{
    if (percent < 0 || percent > 100)
        return E_INVALIDARG;
    HRESULT hr = E_NOTIMPL;
    if (power_)
        fault_->Guard([&] { return hr = power_->SetBrightness(percent); });
    if (SUCCEEDED(hr))
        brightness_ = percent;
    return hr;
}

LONG ManagedDisplay::powerCaps()
{
    LONG caps = 0;
    if (power_ && !fault_->Guard([&] { return power_->GetPowerCaps(&caps); }))
        caps = 0;
    return caps;
}

ManagedDisplay::FrameTraffic ManagedDisplay::lastFrameTraffic()
{
    FrameTraffic traffic;
    HRESULT hr = E_NOINTERFACE;
    if (traffic_)
        fault_->Guard([&] {
            return hr = traffic_->GetLastFrameTraffic(&traffic.bytes, &traffic.messages, &traffic.clocks,
                                                      &traffic.microseconds);
        });
    return SUCCEEDED(hr) ? traffic : FrameTraffic{};
}

ManagedDisplay::Link ManagedDisplay::link()
{
    VARIANT_BOOL linked = VARIANT_TRUE;
    LONGLONG since = 0;
    HRESULT hr = E_NOINTERFACE;
    if (linkState_)
        fault_->GuardAskingHost([&] { return hr = linkState_->GetLinkState(&linked, &since); });
    if (FAILED(hr) || linked)
        return Link{};
    return Link{false, std::max<LONGLONG>(since, 0)};
}

void ManagedDisplay::SetBlanked(bool blanked, bool keepRendering)
{
    keepRenderingWhenBlank_ = keepRendering;
    if (blanked_.exchange(blanked) == blanked)
        return;
    ApplyBacklight();
    VARIANT_BOOL running = 0;
    IsRunning(&running);
    if (running)
        powerEvent_.Set(); // the refresh thread blanks the frame, or shows it again
    else if (blanked)
        WriteBlankFrame();
    PowerChanged();
}

void ManagedDisplay::ObservePower(std::function<void()> observer)
{
    std::lock_guard lock(observerMutex_);
    observer_ = std::move(observer);
}

void ManagedDisplay::PowerChanged()
{
    std::lock_guard lock(observerMutex_);
    if (observer_)
        observer_();
}

void ManagedDisplay::ApplyBacklight()
{
    const VARIANT_BOOL on = backlight_ && !blanked_ && screenBacklight_ != 0 ? VARIANT_TRUE : VARIANT_FALSE;
    if (power_)
        fault_->Guard([&] { return power_->SetBacklight(on); });
}

void ManagedDisplay::ScreenBacklight(std::optional<LONG> backlight, LONG timer)
{
    bool dark = false;
    switch (backlight.value_or(kScreenBacklightOpen)) {
    case kScreenBacklightOff: dark = true; break;
    case kScreenBacklightBlink: dark = (timer / 4) % 2 != 0; break;
    case kScreenBacklightFlash: dark = timer % 8 == 0; break;
    default: break; // open, on: the display's own
    }
    if (screenBacklight_.exchange(dark ? 0 : -1) != (dark ? 0 : -1))
        ApplyBacklight();
}

void ManagedDisplay::WriteBlankFrame()
{
    SendFrame(std::u32string(static_cast<std::size_t>(std::max<LONG>(0, own_.columns() * own_.rows())), U' '));
}

bool ManagedDisplay::WaitWhileBlanked()
{
    WriteBlankFrame();
    while (blanked_) {
        Event* const events[] = {&stop_, &powerEvent_};
        if (WaitForAny(events, INFINITE) == WAIT_OBJECT_0)
            return false;
    }
    return true;
}

HRESULT ManagedDisplay::GetDriver(IDisplayDriver** driver)
{
    if (!driver)
        return E_POINTER;
    *driver = nullptr;
    if (!driverObject_)
        return E_NOINTERFACE;
    HRESULT hr = RPC_E_SERVERFAULT;
    fault_->Guard([&] { hr = driverObject_->QueryInterface(IID_IDisplayDriver, reinterpret_cast<void**>(driver)); });
    return hr;
}

HRESULT ManagedDisplay::IsRunning(VARIANT_BOOL* running)
{
    if (!running)
        return E_POINTER;
    std::lock_guard lock(mutex_);
    *running = running_ ? 1 : 0;
    return S_OK;
}

HRESULT ManagedDisplay::StartOutput()
{
    std::lock_guard lock(mutex_);
    if (running_)
        return E_FAIL;
    // Every start reads the design files again, one after another, before anything is shown.
    for (auto& item : queue_)
        item->Start(own_, runtime_);
    stop_.ResetEvent();
    // A key that slipped in while stopping is not this start's.
    if (menu_)
        menu_->Close();
    outputRuns_ = true;
    refreshThread_ = Thread(kPluginThreadStack, [this] { RefreshThread(); });
    running_ = true;
    return S_OK;
}

HRESULT ManagedDisplay::StopOutput()
{
    std::lock_guard lock(mutex_);
    if (!running_)
        return S_OK;
    outputRuns_ = false;
    stop_.Set();
    stopped_.Wait(INFINITE);
    refreshThread_.join();
    // The refresh thread is gone: the menu is ours to close, so a borrower's return shows the queue.
    if (menu_)
        menu_->Close();
    for (auto& item : queue_)
        item->Stop();
    running_ = false;
    SetShown(-1);
    return S_OK;
}

HRESULT ManagedDisplay::ShowQueueItem(LONG index, ULONG holdSeconds)
{
    std::lock_guard lock(mutex_);
    if (index < 0 || static_cast<std::size_t>(index) >= queue_.size())
        return E_INVALIDARG;
    std::lock_guard jumpLock(jumpMutex_);
    jump_ = Jump{static_cast<std::size_t>(index), holdSeconds};
    jumpEvent_.Set();
    return S_OK;
}

void ManagedDisplay::TakeKeys(MenuSettings settings, MenuServices services)
{
    menu_ =
        std::make_shared<DisplayMenu>(std::move(settings), static_cast<std::size_t>(std::max<LONG>(1, own_.rows())));
    menuServices_ = std::move(services);
}

void ManagedDisplay::HandKey(LONG key, LONG action)
{
    const bool menuOpen = menu_ && menu_->open();
    // LCDd's clients hear of presses only; while the menu is open no client's screen shows.
    if (!menuOpen && action != kKeyReleased && !clients_.empty() && HandScreenKey(key))
        return;
    if (!menu_ || blanked_ || !outputRuns_)
        return;
    switch (menu_->Key(key, action)) {
    case DisplayMenu::KeyUse::PreviousDesign: StepDesign(-1); break;
    case DisplayMenu::KeyUse::NextDesign: StepDesign(1); break;
    case DisplayMenu::KeyUse::Menu:
    case DisplayMenu::KeyUse::Nothing: break;
    }
}

HRESULT ManagedDisplay::StepDesign(int delta)
{
    std::lock_guard lock(mutex_);
    if (queue_.empty())
        return E_FAIL;
    std::lock_guard jumpLock(jumpMutex_);
    JumpByLocked(delta, queue_.size());
    return S_OK;
}

void ManagedDisplay::JumpByLocked(int delta, std::size_t queueSize)
{
    if (queueSize == 0)
        return;
    const auto size = static_cast<long long>(queueSize);
    // From a jump not yet shown, so that two quick presses go two entries on.
    const long long from = jump_ ? static_cast<long long>(jump_->index) : lastQueueItem_.load();
    const long long to = from < 0 ? (delta > 0 ? 0 : size - 1) : ((from + delta) % size + size) % size;
    jump_ = Jump{static_cast<std::size_t>(to), 0};
    jumpEvent_.Set();
}

std::optional<ManagedDisplay::Jump> ManagedDisplay::TakeJump()
{
    std::lock_guard lock(jumpMutex_);
    // Reset with the jump taken, under the lock: a jump asked for meanwhile keeps its event.
    jumpEvent_.ResetEvent();
    auto jump = std::exchange(jump_, std::nullopt);
    if (jump && jump->index >= queue_.size())
        return std::nullopt; // asked for while stopped, and the queue was shortened since
    // A press that comes before the entry shows counts on from it, not from the one before.
    if (jump)
        lastQueueItem_ = static_cast<LONG>(jump->index);
    return jump;
}

void ManagedDisplay::ObserveShown(std::function<void()> observer)
{
    std::lock_guard lock(shownObserverMutex_);
    shownObserver_ = std::move(observer);
}

void ManagedDisplay::SetShown(LONG index)
{
    if (index >= 0)
        lastQueueItem_ = index;
    if (shown_.exchange(index) == index)
        return;
    std::lock_guard lock(shownObserverMutex_);
    if (shownObserver_)
        shownObserver_();
}

void ManagedDisplay::RefreshThread()
{
    NameThisThread("px-refresh/" + std::to_string(index_));
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    ValueChangeSignal::Subscription subscription;
    if (ValueChangeSignal* signal = runtime_.values.changeSignal())
        subscription = signal->Subscribe(valuesChanged_);
    std::u32string lastFrame;
    bool anyFrame = false;
    ScreenRotation rotation;
    std::size_t skippedInARow = 0;
    bool lastHeld = false;
    constexpr std::size_t kNoSource = SIZE_MAX;
    std::size_t shownSource = kNoSource; // the source whose screen shows
    bool resume = false; // the menu closed: back to the entry it covered
    for (Showing showing = Showing::Shown; showing != Showing::Stopped;) {
        if (menu_ && menu_->Showing(DisplayMenu::Clock::now())) {
            if (shownSource != kNoSource)
                clients_.Shown(shownSource, index_, -1, Eighths(runtime_.clock.Now()));
            shownSource = kNoSource;
            showing = ShowMenu(lastFrame, anyFrame);
            resume = true;
            continue;
        }
        std::optional<Jump> jump = TakeJump();
        if (std::exchange(resume, false) && !jump) {
            const LONG last = lastQueueItem_;
            if (last >= 0 && static_cast<std::size_t>(last) < queue_.size())
                jump = Jump{static_cast<std::size_t>(last), 0};
        }
        const Turn turn =
            jump ? rotation.JumpTo(jump->index) : rotation.Next(queue_.size(), ClientScreenList(), lastHeld);
        if (shownSource != kNoSource && (turn.kind != Turn::Kind::Client || turn.screen.source != shownSource)) {
            clients_.Shown(shownSource, index_, -1, Eighths(runtime_.clock.Now()));
            shownSource = kNoSource;
        }
        lastHeld = false;
        if (turn.kind == Turn::Kind::Client) {
            shownSource = turn.screen.source;
            SetShown(-1);
            showing = ShowClient(turn, lastFrame, anyFrame);
            skippedInARow = 0;
        } else if (turn.kind == Turn::Kind::Queue) {
            UseOwnCharacters();
            const std::optional<ULONG> hold =
                jump && jump->holdSeconds > 0 ? std::optional(jump->holdSeconds) : std::nullopt;
            showing = Show(turn, lastFrame, anyFrame, hold);
            lastHeld = !hold && queue_[turn.queueIndex]->duration() == 0;
            // A queue whose entries all end before they start (negative durations) would
            // otherwise go round without ever pausing.
            skippedInARow = showing == Showing::Skipped ? skippedInARow + 1 : 0;
            if (showing != Showing::Stopped && skippedInARow >= queue_.size() &&
                runtime_.clock.WaitUntil(stop_, runtime_.clock.Now() + kIdleCycleMs))
                showing = Showing::Stopped;
        } else {
            SetShown(-1);
            UseOwnCharacters();
            showing = ShowIdle();
            anyFrame = false; // what shows now is not the last frame of the rotation
        }
    }
    if (shownSource != kNoSource)
        clients_.Shown(shownSource, index_, -1, Eighths(runtime_.clock.Now()));
    SetShown(-1);
    // A borrower draws on the display as it was set up: with its own user characters.
    UseOwnCharacters();
    stopped_.Set();
    CoUninitialize();
}

void ManagedDisplay::AddScreenSource(ComPtr<IScreenSource> source, std::shared_ptr<PluginFault> fault, bool advised)
{
    clients_.Add(std::move(source), std::move(fault), advised);
}

std::vector<ClientScreen> ManagedDisplay::ClientScreenList() const
{
    return clients_.empty() ? std::vector<ClientScreen>() : clients_.Read(index_);
}

bool ManagedDisplay::WatchScreens(DWORD now) const
{
    return !clients_.empty() && (!screensQuiet_ || !TickIsBefore(now, screensQuietUntil_));
}

void ManagedDisplay::ScreensSeen(DWORD now)
{
    screensQuiet_ = true;
    screensQuietUntil_ = now + kEighthMs;
}

void ManagedDisplay::UseOwnCharacters() { UseCharacters({ownCharacters_.begin(), ownCharacters_.end()}); }

void ManagedDisplay::UseCharacters(const std::vector<CharacterRows>& characters)
{
    for (std::size_t code = 0; code < characters.size() && code < loadedCharacters_.size(); ++code) {
        const CharacterRows& r = characters[code];
        if (loadedCharacters_[code] == r)
            continue;
        loadedCharacters_[code] = r;
        fault_->GuardDefinition([&] {
            return driver_->SetCustomChar(static_cast<LONG>(code), r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7]);
        });
    }
}

ManagedDisplay::Showing ManagedDisplay::ShowClient(const Turn& turn, std::u32string& lastFrame, bool& anyFrame)
{
    const TickClock& clock = runtime_.clock;
    const DWORD end = clock.Now() + static_cast<DWORD>(std::clamp<LONG>(turn.screen.duration, 1, 0x7FFFFF)) * kEighthMs;
    clients_.Shown(turn.screen.source, index_, turn.screen.id, Eighths(clock.Now()));
    // The backlight is the screen's to darken while it shows, and the display's again after.
    struct BacklightBack {
        ManagedDisplay& display;
        ~BacklightBack() { display.ScreenBacklight(std::nullopt); }
    } backlightBack{*this};
    LONG backlight = turn.screen.backlight;
    // Whether the screen's turn ends, by a list read anew; else its backlight may have changed.
    auto ends = [&] {
        const auto screens = ClientScreenList();
        if (ScreenRotation::Interrupted(turn, screens))
            return true;
        for (const ClientScreen& screen : screens)
            if (screen.source == turn.screen.source && screen.id == turn.screen.id)
                backlight = screen.backlight;
        return false;
    };
    const auto cells = static_cast<std::size_t>(std::max<LONG>(0, own_.columns() * own_.rows()));
    while (TickIsBefore(clock.Now(), end)) {
        if (blanked_ && !keepRenderingWhenBlank_) {
            if (!WaitWhileBlanked())
                return Showing::Stopped;
            anyFrame = false;
            continue;
        }
        const DWORD now = clock.Now();
        const auto rendering = clients_.Render(turn.screen, index_, Eighths(now), cells);
        if (!rendering)
            return Showing::Shown; // gone
        ScreenBacklight(backlight, Eighths(now));
        if (blanked_) {
            anyFrame = false;
        } else {
            UseCharacters(rendering->characters);
            if ((!anyFrame || !SameFrame(rendering->frame, lastFrame)) &&
                (WriteOwnFrame(rendering->frame) || !driver_)) {
                lastFrame = rendering->frame;
                anyFrame = true;
            }
        }
        // Polled sources are asked at every eighth whether another screen's turn came.
        if (clients_.polled() && ends())
            return Showing::Shown;
        const DWORD next = now + kEighthMs;
        const DWORD wake = TickIsBefore(next, end) ? next : end;
        for (;;) {
            Event* events[5] = {&stop_, &powerEvent_, &jumpEvent_};
            std::size_t watched = 3;
            if (menu_)
                events[watched++] = &menu_->wake();
            const std::size_t screens = watched;
            if (WatchScreens(clock.Now()))
                events[watched++] = clients_.changed().get();
            const auto woken = clock.WaitUntilAny(std::span(events, watched), wake);
            if (woken == 0)
                return Showing::Stopped;
            if (woken == 2)
                return Showing::Shown; // a jump: the next turn takes it
            if (woken && menu_ && events[*woken] == &menu_->wake())
                return Showing::Shown; // the menu: the next turn shows it
            if (woken != screens)
                break;
            ScreensSeen(clock.Now());
            if (ends())
                return Showing::Shown;
        }
    }
    return Showing::Shown;
}

ManagedDisplay::Showing ManagedDisplay::Show(const Turn& turn, std::u32string& lastFrame, bool& anyFrame,
                                             std::optional<ULONG> holdSeconds)
{
    QueueItem& item = *queue_[turn.queueIndex];
    const TickClock& clock = runtime_.clock;
    const bool held = !holdSeconds && item.duration() == 0;
    BString background(item.background());
    CallDriver([&](IDisplayDriver& d) { return d.SetBackground(background.get()); });
    if (!holdSeconds && item.duration() < 0) // ended before it began, however long ago
        return stop_.Wait(0) == WAIT_OBJECT_0 ? Showing::Stopped : Showing::Skipped;
    SetShown(static_cast<LONG>(turn.queueIndex));
    const long long seconds = holdSeconds ? static_cast<long long>(*holdSeconds)
                              : held      ? kHeldSeconds
                                          : item.duration();
    const long long showing = std::min<long long>(seconds * 1000LL, kLongestWaitMs);
    item.endTime = clock.Now() + static_cast<DWORD>(showing);

    // An update frequency of 0 renders whenever the tick count has moved on: one tick at least.
    const auto period = static_cast<DWORD>(std::clamp<long long>(item.updateFrequency(), 1, kLongestWaitMs));
    RefreshSchedule schedule(period);
    ValueChangeSignal* const signal = runtime_.values.changeSignal();
    std::uint64_t renderedGeneration = 0;
    bool stopSeen = false;
    bool rendered = false;
    while ((held || TickIsBefore(clock.Now(), item.endTime)) && !stopSeen) {
        if (blanked_ && !keepRenderingWhenBlank_) {
            // Nothing is rendered while blanked; afterwards the current frame goes out whole.
            if (!WaitWhileBlanked()) {
                stopSeen = true;
                break;
            }
            anyFrame = false;
            schedule.Restart();
            continue;
        }
        const DWORD now = clock.Now();
        if (schedule.Due(now)) {
            if (signal)
                renderedGeneration = signal->generation();
            const QueueItem::Rendering rendering = item.Render();
            FrameOutlook outlook = rendering.outlook;
            if (blanked_) {
                anyFrame = false; // rendering on while blanked: the frame waits for the end of it
            } else if (!anyFrame || !SameFrame(rendering.frame, lastFrame)) {
                if (WriteOwnFrame(rendering.frame) || !driver_) {
                    lastFrame.assign(rendering.frame);
                    anyFrame = true;
                } else if (fault_->mayRecover()) {
                    // The frame did not arrive; a hosted driver comes back, and then it goes again.
                    outlook.readsChangingValues = true;
                }
            }
            rendered = true;
            schedule.Rendered(now, outlook);
        }
        // Sleep until the frame can next differ, or until the showing ends if that comes first;
        // with client screens, until they may have changed (at every eighth when polled).
        DWORD wake = held || TickIsBefore(schedule.next(), item.endTime) ? schedule.next() : item.endTime;
        const bool polled = clients_.polled();
        if (polled && TickIsBefore(clock.Now() + kEighthMs, wake))
            wake = clock.Now() + kEighthMs;
        if (!clients_.empty() && !WatchScreens(clock.Now()) && TickIsBefore(screensQuietUntil_, wake))
            wake = screensQuietUntil_;
        Event* events[6] = {&stop_, &powerEvent_, &jumpEvent_};
        std::size_t watched = 3;
        if (menu_)
            events[watched++] = &menu_->wake();
        const bool watchValues = signal && schedule.watchesValues();
        if (watchValues)
            events[watched++] = &valuesChanged_;
        if (WatchScreens(clock.Now()))
            events[watched++] = clients_.changed().get();
        const auto woken = clock.WaitUntilAny(std::span(events, watched), wake);
        stopSeen = woken == 0;
        if (woken == 2)
            return Showing::Shown; // a jump: the next turn takes it
        if (woken && menu_ && events[*woken] == &menu_->wake())
            return Showing::Shown; // the menu: the next turn shows it
        if (woken == 1 && !blanked_)
            schedule.Restart(); // the end of a blanking that kept rendering: show it now
        if (woken && *woken >= 3 && events[*woken] == &valuesChanged_ && signal->generation() != renderedGeneration)
            schedule.ValueChanged(clock.Now());
        const bool screensChanged = woken && *woken >= 3 && events[*woken] == clients_.changed().get();
        if (screensChanged)
            ScreensSeen(clock.Now());
        if ((screensChanged || (polled && !woken)) && ScreenRotation::Interrupted(turn, ClientScreenList(), held))
            return Showing::Shown;
    }
    if (stopSeen || stop_.Wait(0) == WAIT_OBJECT_0)
        return Showing::Stopped;
    return rendered ? Showing::Shown : Showing::Skipped;
}

ManagedDisplay::Showing ManagedDisplay::ShowMenu(std::u32string& lastFrame, bool& anyFrame)
{
    SetShown(-1);
    UseOwnCharacters();
    const TickClock& clock = runtime_.clock;
    const auto columns = static_cast<std::size_t>(std::max<LONG>(0, own_.columns()));
    for (;;) {
        // A blanked display stays dark: the menu closes, and the queue's turn waits for the light.
        if (blanked_) {
            menu_->Close();
            return Showing::Shown;
        }
        auto now = DisplayMenu::Clock::now();
        const DisplayMenu::Steps steps = menu_->Step(now);
        for (const MenuAction& action : steps.actions)
            DoMenuAction(action);
        now = DisplayMenu::Clock::now();
        if (!menu_->Showing(now))
            return Showing::Shown;
        std::u32string frame;
        for (const std::u32string& row : menu_->Frame(columns, now))
            frame += row;
        if ((!anyFrame || !SameFrame(frame, lastFrame)) && (WriteOwnFrame(frame) || !driver_)) {
            lastFrame = frame;
            anyFrame = true;
        }
        DWORD wait = static_cast<DWORD>(kLongestWaitMs);
        if (const auto deadline = menu_->Deadline()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - now).count();
            wait = static_cast<DWORD>(std::clamp<long long>(left, 1, kLongestWaitMs));
        }
        Event* const events[] = {&stop_, &powerEvent_, &menu_->wake()};
        if (clock.WaitUntilAny(events, clock.Now() + wait) == 0)
            return Showing::Stopped;
    }
}

namespace {

// The display as its menu's actions see it, on the refresh thread: the queue is read without
// its lock there, and jumps go under the jump mutex alone.
class MenuDisplayOf final : public MenuDisplay {
public:
    MenuDisplayOf(std::function<bool(const std::string&)> showDesign, std::function<void(int)> step,
                  ManagedDisplay& display, std::atomic<LONG>& brightness)
        : showDesign_(std::move(showDesign)), step_(std::move(step)), display_(display), brightness_(brightness)
    {
    }
    bool ShowDesign(const std::string& fileName) override { return showDesign_(fileName); }
    void StepDesign(int delta) override { step_(delta); }
    HRESULT SetBacklight(bool on) override { return display_.SetBacklight(on); }
    bool backlight() const override { return display_.backlight(); }
    HRESULT StepBrightness(LONG delta) override
    {
        return display_.SetBrightness(std::clamp<LONG>(brightness_ + delta, 0, 100));
    }

private:
    std::function<bool(const std::string&)> showDesign_;
    std::function<void(int)> step_;
    ManagedDisplay& display_;
    std::atomic<LONG>& brightness_;
};

// A queue entry written as the name or as a path ending in it, as the menu file has it.
bool NamesDesign(const std::u16string& entry, const std::string& fileName)
{
    const std::string path = Utf16ToUtf8(entry);
    return path == fileName || (path.size() > fileName.size() && path.ends_with(fileName) &&
                                path[path.size() - fileName.size() - 1] == '/');
}

} // namespace

void ManagedDisplay::DoMenuAction(const MenuAction& action)
{
    auto showDesign = [this](const std::string& fileName) {
        for (std::size_t i = 0; i < queue_.size(); ++i) {
            if (!NamesDesign(queue_[i]->fileName(), fileName))
                continue;
            std::lock_guard lock(jumpMutex_);
            jump_ = Jump{i, 0};
            jumpEvent_.Set();
            return true;
        }
        return false;
    };
    auto step = [this](int delta) {
        std::lock_guard lock(jumpMutex_);
        JumpByLocked(delta, queue_.size());
    };
    MenuDisplayOf display(showDesign, step, *this, brightness_);
    PerformMenuAction(action, index_, display, menuServices_, menu_);
}

bool ManagedDisplay::SameFrame(std::u32string_view a, std::u32string_view b) const
{
    // Frames that differ only where Windows-1252 has no character look the same to such a driver.
    return a == b || (!unicode_ && AnsiOfCells(a) == AnsiOfCells(b));
}

bool ManagedDisplay::SendFrame(std::u32string_view frame)
{
    if (unicode_) {
        BString text(Utf16OfCells(frame));
        return CallDriver([&](IDisplayDriver&) { return unicode_->WriteUnicode(text.get()); });
    }
    // What such a driver has always been given: one Windows-1252 character a cell.
    BString text(AnsiToUtf16(AnsiOfCells(frame)));
    return CallDriver([&](IDisplayDriver& d) { return d.Write(text.get()); });
}

bool ManagedDisplay::WriteOwnFrame(std::u32string_view frame)
{
    {
        std::lock_guard lock(ownFrameMutex_);
        ownFrame_ = frame;
    }
    if (!SendFrame(frame))
        return false;
    tally_.Written(traffic_ ? std::optional<FrameTraffic>(lastFrameTraffic()) : std::nullopt);
    if (!frameNoticed_.exchange(true)) {
        std::lock_guard lock(frameObserverMutex_);
        if (frameObserver_)
            frameObserver_();
    }
    return true;
}

void ManagedDisplay::ObserveFrames(std::function<void()> observer)
{
    std::lock_guard lock(frameObserverMutex_);
    frameObserver_ = std::move(observer);
}

TrafficTotals ManagedDisplay::TakeTrafficTotals()
{
    // First: a frame written while the totals are read is observed again, not lost.
    frameNoticed_ = false;
    return TrafficTotalsNow();
}

TrafficTotals ManagedDisplay::TrafficTotalsNow()
{
    return tally_.Totals(traffic_ ? std::optional<FrameTraffic>(lastFrameTraffic()) : std::nullopt);
}

ManagedDisplay::Showing ManagedDisplay::ShowIdle()
{
    bool greeting = false;
    {
        std::lock_guard lock(ownFrameMutex_);
        greeting = ownFrame_ == own_.cells();
    }
    // Written again only when something else may be on the display (a borrower's frame, a design
    // of the queue as it was, a client's screen): an idle display does not write at every start.
    if (drawnOver_.exchange(false) || !greeting) {
        if (blanked_)
            WriteBlankFrame();
        else
            WriteOwnFrame(own_.cells());
    }
    if (clients_.empty()) {
        if (!menu_ || WaitForAny({&stop_, &menu_->wake()}, INFINITE) == WAIT_OBJECT_0)
            return Showing::Stopped;
        return Showing::Shown; // the menu: the next turn shows it
    }
    // Until a client screen may want its turn: at its source's word, or every eighth when polled.
    const TickClock& clock = runtime_.clock;
    const DWORD wake = clients_.polled() ? clock.Now() + kEighthMs : clock.Now() + static_cast<DWORD>(kLongestWaitMs);
    if (!WatchScreens(clock.Now()) && clock.WaitUntil(stop_, screensQuietUntil_))
        return Showing::Stopped;
    Event* events[3] = {&stop_, clients_.changed().get()};
    if (menu_)
        events[2] = &menu_->wake();
    const auto woken = clock.WaitUntilAny(std::span(events, menu_ ? 3 : 2), wake);
    if (woken == 0 || stop_.Wait(0) == WAIT_OBJECT_0)
        return Showing::Stopped;
    if (woken == 2)
        return Showing::Shown; // the menu: the next turn shows it
    ScreensSeen(clock.Now());
    return Showing::Shown;
}

void ManagedDisplay::ShowOwnFrame()
{
    drawnOver_ = false;
    if (blanked_) {
        WriteBlankFrame();
        return;
    }
    std::u32string frame;
    {
        std::lock_guard lock(ownFrameMutex_);
        frame = ownFrame_;
    }
    SendFrame(frame);
}

template <class Edit>
HRESULT ManagedDisplay::EditQueue(Edit edit)
{
    std::lock_guard lock(mutex_);
    if (running_)
        return E_FAIL; // stop the output first: the refresh thread reads the queue
    if (HRESULT hr = edit(); FAILED(hr))
        return hr;
    return SaveQueueLocked();
}

HRESULT ManagedDisplay::SaveQueueLocked() const
{
    std::vector<QueueEntry> entries;
    entries.reserve(queue_.size());
    for (const auto& item : queue_)
        entries.push_back({item->fileName(), item->duration()});
    return WriteQueue(origin_, entries);
}

HRESULT ManagedDisplay::QueueCount(LONG* count)
{
    if (!count)
        return E_POINTER;
    std::lock_guard lock(mutex_);
    *count = static_cast<LONG>(queue_.size());
    return S_OK;
}

void ManagedDisplay::LoadQueue(const std::vector<QueueEntry>& entries)
{
    std::lock_guard lock(mutex_);
    for (const auto& entry : entries)
        queue_.push_back(std::make_unique<QueueItem>(entry.fileName, entry.seconds));
}

HRESULT ManagedDisplay::AddQueueItem(BSTR fileName, LONG seconds)
{
    // Accepted all the same: the design may be written later.
    const std::string file = Utf16ToUtf8(BstrView(fileName));
    std::error_code ec;
    if (!std::filesystem::exists(file, ec))
        LogWarning("The design " + file + " does not exist (yet); it is added to the queue all the same");
    return EditQueue([&] {
        queue_.push_back(std::make_unique<QueueItem>(std::u16string(BstrView(fileName)), seconds));
        return S_OK;
    });
}

HRESULT ManagedDisplay::QueueFile(LONG index, BSTR* fileName)
{
    if (!fileName)
        return E_POINTER;
    *fileName = nullptr;
    std::lock_guard lock(mutex_);
    if (index < 0 || static_cast<std::size_t>(index) >= queue_.size())
        return E_FAIL;
    *fileName = BString(queue_[static_cast<std::size_t>(index)]->fileName()).Detach();
    return S_OK;
}

HRESULT ManagedDisplay::QueueDuration(LONG index, LONG* seconds)
{
    if (!seconds)
        return E_POINTER;
    std::lock_guard lock(mutex_);
    if (index < 0 || static_cast<std::size_t>(index) >= queue_.size())
        return E_FAIL;
    *seconds = queue_[static_cast<std::size_t>(index)]->duration();
    return S_OK;
}

HRESULT ManagedDisplay::SetQueueDuration(LONG index, LONG seconds)
{
    return EditQueue([&] {
        if (index < 0 || static_cast<std::size_t>(index) >= queue_.size())
            return E_FAIL; // nothing written
        queue_[static_cast<std::size_t>(index)]->setDuration(seconds);
        return S_OK;
    });
}

HRESULT ManagedDisplay::DeleteQueueItem(LONG index)
{
    return EditQueue([&] {
        if (index >= 0 && static_cast<std::size_t>(index) < queue_.size())
            queue_.erase(queue_.begin() + index);
        return S_OK;
    });
}

HRESULT ManagedDisplay::MoveQueueItemUp(LONG index)
{
    return EditQueue([&] {
        if (index >= 1 && static_cast<std::size_t>(index) < queue_.size())
            std::swap(queue_[static_cast<std::size_t>(index) - 1], queue_[static_cast<std::size_t>(index)]);
        return S_OK;
    });
}

HRESULT ManagedDisplay::MoveQueueItemDown(LONG index)
{
    return EditQueue([&] {
        if (index >= 0 && static_cast<std::size_t>(index) + 1 < queue_.size())
            std::swap(queue_[static_cast<std::size_t>(index)], queue_[static_cast<std::size_t>(index) + 1]);
        return S_OK;
    });
}

} // namespace pixtera
