// SPDX-License-Identifier: MIT
#pragma once
// One physical display: its driver, its geometry and greeting, its queue of designs and the
// refresh thread that shows them in turn.
//
// Concurrency: `mutex_` guards running_ and queue_ against concurrent calls of the interface.
// The queue is edited only while the display is stopped (edits while it runs are refused with
// E_FAIL), so the refresh thread reads it without a lock; StopOutput joins that thread before
// anything may change again. Screen sources are added while the display is set up, before its
// output first runs, and are then the refresh thread's alone, like the user characters loaded.

#include "client_screens.h"
#include "display_menu.h"
#include "display_runtime.h"
#include "frame_tally.h"
#include "key_events.h"
#include "menu_actions.h"
#include "plugin_fault.h"
#include "queue_entry.h"
#include "queue_item.h"

#include <pixtera/platform/thread.h>
#include <pixtera/sdk/display_input.h>
#include <pixtera/sdk/display_leds.h>
#include <pixtera/sdk/display_link_state.h>
#include <pixtera/sdk/display_power.h>
#include <pixtera/sdk/display_traffic.h>
#include <pixtera/sdk/display_unicode_frame.h>
#include <pixtera/service_interfaces.h>
#include <pixtera/virtual_display.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace pixtera {

class ManagedDisplay final : public ComObject<ManagedDisplay, DispatchNotImplemented<IManagedDisplay>> {
public:
    // `fault` is the driver's fault guard, shared with every other caller of the driver; a driver
    // with keys publishes them to `keys`.
    ManagedDisplay(QueueOrigin origin, std::shared_ptr<PluginFault> fault, DisplayRuntime runtime,
                   std::weak_ptr<KeyEvents> keys = {});
    ~ManagedDisplay();

    // Learns the geometry from the driver, shows the greeting, loads the bar characters and asks
    // for the driver's keys.
    void SetUpDisplay(IUnknown* driver, LONG index);

    // Appends the entries read from the configuration file, which already holds them: unlike
    // AddQueueItem nothing is written.
    void LoadQueue(const std::vector<QueueEntry>& entries);

    // A source of client screens that serves this display; before the output first starts.
    // `advised`: it tells screensChanged() of changes, else its screens are read every eighth.
    void AddScreenSource(ComPtr<IScreenSource> source, std::shared_ptr<PluginFault> fault, bool advised);
    const std::shared_ptr<Event>& screensChanged() const { return clients_.changed(); }
    // A key pressed on this display, for its screen sources: the one whose screen shows first.
    // Any thread but the refresh thread; false when none took it.
    bool HandScreenKey(LONG key) { return clients_.Key(index_, key); }

    // The display's own keys and menu (a driver with `input` on), set before the output first
    // starts; without them the display leaves its keys to the bus and its screen sources.
    void TakeKeys(MenuSettings settings, MenuServices services);
    bool takesKeys() const { return static_cast<bool>(menu_); }
    // A key pressed on this display, any thread but the refresh thread. While the menu is closed a
    // screen source whose screen shows (or that holds the key) takes it first; otherwise it is
    // the display's: its binding, or the open menu's. Keys do nothing of the display's own while
    // it is blanked, stopped or lent, where nobody sees what they would do.
    void HandKey(LONG key, LONG action);
    // Shows the queue's entry `delta` places after the one shown (or asked for), round the ends,
    // and the rotation goes on from there. Any thread but the refresh thread.
    HRESULT StepDesign(int delta);

    // IManagedDisplay
    HRESULT STDMETHODCALLTYPE GetDriver(IDisplayDriver** driver) override;
    HRESULT STDMETHODCALLTYPE Reserved(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE IsRunning(VARIANT_BOOL* running) override;
    HRESULT STDMETHODCALLTYPE StartOutput() override;
    HRESULT STDMETHODCALLTYPE StopOutput() override;
    HRESULT STDMETHODCALLTYPE QueueCount(LONG* count) override;
    HRESULT STDMETHODCALLTYPE AddQueueItem(BSTR fileName, LONG seconds) override;
    HRESULT STDMETHODCALLTYPE QueueFile(LONG index, BSTR* fileName) override;
    HRESULT STDMETHODCALLTYPE QueueDuration(LONG index, LONG* seconds) override;
    HRESULT STDMETHODCALLTYPE SetQueueDuration(LONG index, LONG seconds) override;
    HRESULT STDMETHODCALLTYPE DeleteQueueItem(LONG index) override;
    HRESULT STDMETHODCALLTYPE MoveQueueItemUp(LONG index) override;
    HRESULT STDMETHODCALLTYPE MoveQueueItemDown(LONG index) override;

    // Power. The user's backlight (scripts over the bus) and the power policy's blanking: a
    // blanked display shows blanks with its backlight off and renders nothing, unless asked to
    // keep rendering; unblanked, it shows its current frame again and the user's backlight.
    HRESULT SetBacklight(bool on);
    HRESULT SetBrightness(LONG percent);
    // What the driver's power can do (DisplayPowerCaps, or-ed); 0 without IDisplayPower.
    LONG powerCaps();
    void SetBlanked(bool blanked, bool keepRendering = false);
    bool backlight() const { return backlight_; }
    bool blanked() const { return blanked_; }
    // Called (on the changing thread) whenever backlight() or blanked() changed; none to stop.
    void ObservePower(std::function<void()> observer);

    // A borrower drew on the display: what it shows is not the display's own any more, and the
    // next start writes its frame whole, the greeting of an empty queue too.
    void DrawnOver() { drawnOver_ = true; }
    // Writes again the last frame the display showed of its own (its greeting before any), blanks
    // while blanked: a display given back stopped shows nothing a borrower left on it.
    void ShowOwnFrame();

    // Shows queue entry `index` at once and holds it `holdSeconds` (0: the entry's own duration),
    // then the rotation goes on after it. A stopped display begins there at its next start.
    // E_INVALIDARG for an index outside the queue.
    HRESULT ShowQueueItem(LONG index, ULONG holdSeconds);
    // The queue entry on the display now; -1 while none is (stopped, idle, a client's screen).
    LONG shownQueueItem() const { return shown_; }
    // Called (on the refresh thread, or the one stopping it) whenever shownQueueItem() changed;
    // none to stop.
    void ObserveShown(std::function<void()> observer);

    // What the driver measured of its last frame on its link (IDisplayTraffic); zeros from one
    // that does not measure.
    using FrameTraffic = pixtera::FrameTraffic;
    FrameTraffic lastFrameTraffic();
    // Whether the driver's module is reachable (IDisplayLinkState): a driver that does not say,
    // or fails to, counts as linked. Cheap: the driver never waits for its link to answer.
    struct Link {
        bool linked = true;
        LONGLONG outageSince = 0; // epoch seconds; 0 while linked or when it never was
        bool operator==(const Link&) const = default;
    };
    Link link();
    // The driver says whether its module is linked: worth polling.
    bool reportsLink() const { return static_cast<bool>(linkState_); }
    // Called on the refresh thread when it writes a frame of the display's own, the first since
    // the last TakeTrafficTotals(), so that a busy display costs its observer one call a read;
    // none to stop.
    void ObserveFrames(std::function<void()> observer);
    // The frames and bytes written since the display started; the next frame is observed again.
    TrafficTotals TakeTrafficTotals();
    // The same without observing again: while frames keep coming, the observer need not be woken.
    TrafficTotals TrafficTotalsNow();

    // The driver's LEDs (IDisplayLeds, managed_display_leds.cpp): each one's state and the states
    // it can show; none from a driver without, or one that failed.
    static constexpr LONG kMostLeds = 16; // read of a driver at most
    struct Led {
        LONG state = kLedOff;
        LONG states = 0; // 1 << LedState, or-ed
    };
    std::vector<Led> leds();
    // E_INVALIDARG for a LED the driver lacks or a state it cannot show; E_NOTIMPL without LEDs.
    HRESULT SetLed(LONG index, LONG state);
    bool hasLeds() const { return static_cast<bool>(leds_); }

    LONG index() const { return index_; }
    // The driver has keys (IDisplayInput) and was asked for them.
    bool hasKeys() const { return static_cast<bool>(input_); }
    const VirtualDisplay& canvas() const { return own_; }

private:
    enum class Showing { Shown, Skipped, Stopped };

    void SetUpLeds();

    void RefreshThread();
    // Nothing to show: the greeting, unless it shows already, until stopped or screens change.
    Showing ShowIdle();
    // Writes a frame of the display's own; false when the driver did not take it.
    bool WriteOwnFrame(std::u32string_view frame);
    // Hands a frame to the driver: as Unicode to one that takes it, else in Windows-1252.
    bool SendFrame(std::u32string_view frame);
    // Whether the driver would be given the same frame for both.
    bool SameFrame(std::u32string_view a, std::u32string_view b) const;
    // Shows one entry until its time is over (`holdSeconds` instead of its duration when given),
    // or for good when it is held (duration 0), unless a client screen or a jump interrupts it.
    Showing Show(const Turn& turn, std::u32string& lastFrame, bool& anyFrame,
                 std::optional<ULONG> holdSeconds = std::nullopt);
    // The jump ShowQueueItem asked for, if any; taken once.
    struct Jump {
        std::size_t index = 0;
        ULONG holdSeconds = 0;
    };
    std::optional<Jump> TakeJump();
    void SetShown(LONG index);
    // The jump `delta` entries from the last one shown or asked for; under jumpMutex_.
    void JumpByLocked(int delta, std::size_t queueSize);
    // The menu over the queue, until it closes and no failure of an action shows.
    Showing ShowMenu(std::u32string& lastFrame, bool& anyFrame);
    // What the open menu's action does; on the refresh thread.
    void DoMenuAction(const MenuAction& action);
    // Shows a client screen for its duration, rendered every eighth of a second, unless it goes
    // or another interrupts it.
    Showing ShowClient(const Turn& turn, std::u32string& lastFrame, bool& anyFrame);
    // The client screens now, or none without sources.
    std::vector<ClientScreen> ClientScreenList() const;
    // Whether the client screens' change event is waited for now: after a change it rests for an
    // eighth of a second, so that a client's changes never come faster than the display shows.
    bool WatchScreens(DWORD now) const;
    void ScreensSeen(DWORD now);
    // The user characters: the display's own, or those of a client screen's rendering.
    void UseOwnCharacters();
    void UseCharacters(const std::vector<CharacterRows>& characters);
    HRESULT SaveQueueLocked() const;
    // Edits under the lock, refused while running; then the queue is written.
    template <class Edit>
    HRESULT EditQueue(Edit edit);

    // Calls into the driver, guarded: a driver that throws (or whose host fails) is reported once
    // and not called again until it is back. False when the call was not made or failed so.
    template <class Call>
    bool CallDriver(Call call);
    // The backlight the display should have now: the user's, unless blanked.
    void ApplyBacklight();
    // The refresh thread: the shown client screen's ScreenBacklight at `timer` (eighths), or none.
    void ScreenBacklight(std::optional<LONG> backlight, LONG timer = 0);
    void WriteBlankFrame();
    void PowerChanged();
    // While blanked (and not rendering): waits for the end of it; false when stopped meanwhile.
    bool WaitWhileBlanked();

    const QueueOrigin origin_;
    const std::shared_ptr<PluginFault> fault_;
    const DisplayRuntime runtime_;
    const std::weak_ptr<KeyEvents> keys_;
    LONG index_ = -1;
    VirtualDisplay own_;
    ClientScreens clients_;
    std::array<CharacterRows, 8> ownCharacters_{};
    std::array<CharacterRows, 8> loadedCharacters_{}; // what the driver was given
    DWORD screensQuietUntil_ = 0; // the refresh thread's; see WatchScreens
    bool screensQuiet_ = false;
    ComPtr<IUnknown> driverObject_;
    ComPtr<IDisplayDriver> driver_;

    mutable std::mutex mutex_; // guards running_ and queue_ (see above)
    bool running_ = false;
    std::vector<std::unique_ptr<QueueItem>> queue_;

    Event stop_;
    Event stopped_;
    Event valuesChanged_; // set by the values' change signal while the refresh thread runs
    Thread refreshThread_;

    ComPtr<IDisplayPower> power_; // set up once, like driver_
    ComPtr<IDisplayInput> input_; // set up once, like driver_
    ComPtr<IDisplayTraffic> traffic_; // set up once, like driver_
    ComPtr<IDisplayLeds> leds_; // set up once, like driver_; only a driver with at least one LED
    ComPtr<IDisplayLinkState> linkState_; // set up once, like driver_
    ComPtr<IDisplayUnicodeFrame> unicode_; // set up once, like driver_; none: Windows-1252 frames
    std::atomic<bool> backlight_{true};
    std::atomic<bool> blanked_{false};
    // What the client screen that shows asks of the backlight (atomic; the refresh thread sets
    // it): -1 nothing, 0 dark. It darkens a lit backlight only, and only while the screen shows.
    std::atomic<int> screenBacklight_{-1};
    std::atomic<bool> keepRenderingWhenBlank_{false};
    Event powerEvent_; // set when blanking begins or ends, for the refresh thread
    std::mutex ownFrameMutex_; // guards ownFrame_
    std::u32string ownFrame_; // the last frame written of the display's own
    std::atomic<bool> drawnOver_{false};
    std::mutex observerMutex_; // guards observer_
    std::function<void()> observer_;
    std::shared_ptr<DisplayMenu> menu_; // set up once, before the output runs; shared with late answers
    // Whether the refresh thread runs: a key pressed while the display is stopped or lent does
    // nothing of its own, not even later, when nobody watches.
    std::atomic<bool> outputRuns_{false};
    MenuServices menuServices_; // set up with menu_
    std::atomic<LONG> lastQueueItem_{-1}; // the queue entry shown last or taken to show next (under the menu)
    std::atomic<LONG> brightness_{100}; // the last set; what BrightnessUp and Down step from
    std::mutex jumpMutex_; // guards jump_; the refresh thread cannot take mutex_ (StopOutput joins it)
    std::optional<Jump> jump_;
    Event jumpEvent_; // set with jump_, for the refresh thread
    std::atomic<LONG> shown_{-1};
    std::mutex shownObserverMutex_; // guards shownObserver_
    std::function<void()> shownObserver_;
    std::mutex frameObserverMutex_; // guards frameObserver_
    std::function<void()> frameObserver_;
    std::atomic<bool> frameNoticed_{false}; // the observer was called since the last TakeTrafficTotals
    FrameTally tally_;
};

} // namespace pixtera
