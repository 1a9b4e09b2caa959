// SPDX-License-Identifier: MIT
#pragma once
// The writer thread of one display. The refresh loop hands over frames and user characters and
// never waits for the link; the thread sends only the cells and characters that differ from what
// the module shows, and the newest frame wins when the link is slower than the frames. A module
// that goes away is reported once and opened again every second (a device node that is gone: when
// told it appeared, or every half minute); when it is back it is initialised and gets the whole
// frame and its user characters again. A module that can be read is checked now and then after
// writing (its cursor read back, at most once per `verifyEvery`, never while the screen stands
// still) and initialised again when it disagrees; one that cannot may be initialised again every
// `refresh`. What a module has to be asked (buttons) is read on the same thread and link, at
// the setup's rate, only while polling is on.
//
// A Unicode frame is mapped on the writer's thread: each cell to its ROM code, and what the ROM
// lacks (and the user characters the frame shows) to the eight slots, shared by one allocator
// that knows what the module holds; a reconnection starts it afresh.

#include "device_link.h"
#include "lcd_protocol.h"

#include <pixtera/sdk/character_rom.h>
#include <pixtera/sdk/unicode_frame.h>
#include <pixtera/sdk/user_character_allocator.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace pixtera::lcd {

struct WriterSetup {
    std::string name; // the plug-in, for the log: "HD44780 I2C display"
    std::string device; // the device, for the log: "/dev/i2c-1 address 0x27"
    std::function<std::optional<DeviceLink>(std::string& error)> open;
    std::shared_ptr<LcdProtocol> protocol; // the writer thread's alone once handed over
    Geometry geometry;
    CharacterRom rom = CharacterRom::A00; // what the protocol maps frames to
    Sleeper sleep = [](std::chrono::microseconds pause) { std::this_thread::sleep_for(pause); };
    std::chrono::milliseconds retry{1000};
    std::chrono::milliseconds absentRetry{30000}; // the device node is gone: hot-plug says when it is back
    std::function<std::chrono::steady_clock::time_point()> now = [] { return std::chrono::steady_clock::now(); };
    std::chrono::milliseconds verifyEvery{5000};
    std::chrono::milliseconds refresh{0}; // 0: never
    // Reads something of the module's (a plate's buttons) on the writer's own link, every
    // `pollEvery` while polling is on and the module is open: nothing else opens the bus.
    std::function<void(DeviceLink&)> poll;
    std::chrono::milliseconds pollEvery{50};
    bool polling = false; // from the start
    // What a module still linked is sent as the writer stops (a watchdog disarmed).
    std::function<void(LinkBatch&)> farewell;
};

// Whether the module is open and initialised, and since when it is not: none when it never was.
struct WriterLink {
    bool linked = false;
    std::optional<std::chrono::system_clock::time_point> lostSince;
};

class LcdWriter {
public:
    explicit LcdWriter(WriterSetup setup);
    LcdWriter(const LcdWriter&) = delete;
    LcdWriter& operator=(const LcdWriter&) = delete;
    ~LcdWriter();

    // A frame of columns x rows cells in the display's code page (shorter: blanks follow).
    void Show(std::string frame);
    // A frame of columns x rows code points (shorter: blanks follow); 1-15 are the user characters
    // given to Define (code & 7), the rest shown on the setup's ROM.
    void ShowUnicode(std::u32string cells);
    void Define(int code, const Glyph& glyph);

    // The backlight and brightness (0-255) wanted; sent with the next update, and again after
    // every reconnection.
    void SetBacklight(bool on);
    void SetBrightness(int level);
    // LED `index` (below kMostLeds) to a LedState; sent with the next update, and again after
    // every reconnection.
    void SetLed(int index, long state);

    // A device node appeared: a module that is away is tried at once.
    void TryNow();
    // The module lost its power (the machine slept): it is initialised again and gets everything.
    void Reinitialise();

    // Whether `poll` runs (the display is in use). When SetPolling(false) returns, no poll is
    // running and none starts until it is switched on again.
    void SetPolling(bool on);

    // Waits until everything handed over has reached the module, or the module is away.
    // False when `limit` passed first.
    bool WaitUntilSent(std::chrono::milliseconds limit);

    // What the last update that wrote something cost on the link, and how long it took.
    LinkTraffic LastTraffic() const;
    // Whether the module is linked now; never waits for the link. A reinitialisation asked for
    // (resume) is no outage unless the module then fails to open.
    WriterLink Link() const;

private:
    struct Wanted {
        std::string frame; // the module's codes
        std::optional<std::u32string> cells; // a Unicode frame: `frame` is made of it when sent
        std::array<std::optional<Glyph>, kUserCharacters> glyphs;
        std::optional<bool> backlight; // none: as initialised
        std::optional<int> brightness; // none: as initialised
        std::array<std::optional<long>, kMostLeds> leds; // none: as initialised
    };

    void Work();
    void Wake();
    // Waits until there is something to send (true), a check or refresh is due (true, `due`
    // set) or the module went away (false).
    bool WaitForWorkOrLoss(bool& due);
    // When the next check or refresh is due, if any.
    std::optional<std::chrono::steady_clock::time_point> NextDue() const;
    // Reads the cursor back when a check is due (`force`: now); false when the module disagreed
    // and was initialised again.
    bool Verify(bool force);
    // Initialises the open module again; it then shows nothing of ours.
    bool InitialiseAgain(const std::string& why);
    // Opens the module and initialises it; false (reported once per outage) when it is away, with
    // `absent` set when its device node does not exist.
    bool Connect(bool& absent);
    // After a failed connection: until the next try is due, or stopping, or told to try now.
    void WaitToRetry(bool absent);
    // The bytes that take the module from what it shows to `wanted`; `cursor` is where the
    // module's cursor stands, before and after.
    LinkBatch Update(const Wanted& wanted, const std::vector<SlotDefinition>& slots, std::optional<int>& cursor) const;
    // A Unicode frame's codes into `wanted.frame`, and the slots to define first.
    std::vector<SlotDefinition> Allocate(Wanted& wanted);
    // The module shows nothing of ours any more.
    void ForgetShown();
    // What the module shows after `wanted` was sent.
    void RecordShown(const Wanted& wanted);
    // Sends a batch, measuring it; false (and the link dropped, said once) when the module failed.
    bool Send(const LinkBatch& batch);
    // The module failed or went away: the link is down from now (unless it was down already).
    void LinkLost();
    template <class Change>
    void ChangeWanted(Change change);
    // How long until the next poll, when polling.
    std::optional<std::chrono::milliseconds> PollLeft() const;
    void PollIfDue();

    const WriterSetup setup_;

    const int wake_; // an eventfd beside changed_: the worker may wait in poll() on the module
    // guards wanted_, version_, sent_, linked_, away_, tryNow_, reinitialise_, stopping_, polling_,
    // traffic_ and linkState_
    mutable std::mutex mutex_;
    // held through every poll, and while polling is switched (before mutex_, never inside it)
    std::mutex pollMutex_;
    std::condition_variable changed_;
    std::condition_variable sentChanged_;
    Wanted wanted_;
    std::uint64_t version_ = 0; // of wanted_
    std::uint64_t sent_ = 0; // the version the module shows
    bool linked_ = false; // the module is open and initialised
    bool away_ = false; // the last attempt to open it failed
    bool tryNow_ = false;
    bool reinitialise_ = false;
    bool stopping_ = false;
    bool polling_ = false;
    LinkTraffic traffic_;
    WriterLink linkState_; // linked_ follows what was sent; this the link alone

    // The worker's own.
    std::optional<DeviceLink> link_;
    Wanted shown_; // an empty frame: unknown, every cell is written
    UserCharacterAllocator allocator_; // the slots the module holds, for Unicode frames
    std::optional<int> cursor_; // where the module's cursor stands, when known
    bool unchecked_ = false; // written to since the last check
    std::chrono::steady_clock::time_point lastCheck_{};
    std::chrono::steady_clock::time_point lastInitialised_{};
    bool outageReported_ = false;
    std::chrono::steady_clock::time_point nextPoll_{}; // real time: a rate, whatever `now` says

    std::thread worker_;
};

} // namespace pixtera::lcd
