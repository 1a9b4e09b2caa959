// SPDX-License-Identifier: MIT
#include "lcd_writer.h"

#include "screen_diff.h"

#include <pixtera/platform/event_log.h>
#include <pixtera/platform/thread.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace pixtera::lcd {

LcdWriter::LcdWriter(WriterSetup setup)
    : setup_(std::move(setup)), wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), polling_(setup_.polling)
{
    wanted_.frame.assign(static_cast<std::size_t>(setup_.geometry.cells()), ' ');
    worker_ = std::thread([this] {
        NameThisThread("px-lcd");
        Work();
    });
}

LcdWriter::~LcdWriter()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    Wake();
    worker_.join();
    if (link_ && setup_.farewell) { // the worker's link, now that it has ended
        LinkBatch batch;
        setup_.farewell(batch);
        std::string error;
        link_->Send(batch, setup_.sleep, error);
    }
    if (wake_ >= 0)
        close(wake_);
}

void LcdWriter::Wake()
{
    changed_.notify_all();
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = write(wake_, &one, sizeof one);
}

std::optional<std::chrono::steady_clock::time_point> LcdWriter::NextDue() const
{
    std::optional<std::chrono::steady_clock::time_point> due;
    if (!link_)
        return due;
    if (unchecked_ && cursor_)
        due = lastCheck_ + setup_.verifyEvery;
    if (setup_.refresh.count() > 0) {
        const auto refresh = lastInitialised_ + setup_.refresh;
        due = due ? std::min(*due, refresh) : refresh;
    }
    return due;
}

std::optional<std::chrono::milliseconds> LcdWriter::PollLeft() const
{
    if (!setup_.poll || !link_)
        return std::nullopt;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(nextPoll_ - std::chrono::steady_clock::now());
    return std::max(left, std::chrono::milliseconds(0));
}

void LcdWriter::PollIfDue()
{
    if (!setup_.poll || !link_)
        return;
    std::lock_guard polling(pollMutex_);
    {
        std::lock_guard lock(mutex_);
        if (!polling_)
            return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now < nextPoll_)
        return;
    nextPoll_ = now + setup_.pollEvery;
    setup_.poll(*link_);
}

void LcdWriter::SetPolling(bool on)
{
    {
        std::lock_guard polling(pollMutex_); // a poll under way ends first
        std::lock_guard lock(mutex_);
        if (polling_ == on)
            return;
        polling_ = on;
    }
    Wake();
}

bool LcdWriter::WaitForWorkOrLoss(bool& due)
{
    // Nothing to send: wait for work, but keep an eye on the module, which a static screen would
    // never write to, so that an unplugged one is noticed and, when back, gets everything again.
    due = false;
    const auto next = NextDue();
    auto remaining = [&]() -> std::optional<std::chrono::milliseconds> {
        if (!next)
            return std::nullopt;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(*next - setup_.now());
        return std::max(left, std::chrono::milliseconds(0));
    };
    bool polling = false;
    {
        std::lock_guard lock(mutex_);
        polling = polling_;
    }
    // The sooner of the check's (or refresh's) time and the next poll's; only the first is `due`.
    struct Timeout {
        std::optional<std::chrono::milliseconds> left;
        bool poll = false;
    };
    auto timeout = [&]() -> Timeout {
        const auto check = remaining();
        const auto poll = polling ? PollLeft() : std::nullopt;
        if (poll && (!check || *poll < *check))
            return {poll, true};
        return {check, false};
    };
    const auto pending = [&] {
        return stopping_ || version_ != sent_ || reinitialise_ || !link_ || polling_ != polling;
    };
    const int device = link_ ? link_->fd() : -1;
    if (device < 0 || wake_ < 0) {
        std::unique_lock lock(mutex_);
        if (const Timeout until = timeout(); until.left)
            due = !changed_.wait_for(lock, *until.left, pending) && !until.poll;
        else
            changed_.wait(lock, pending);
        return true;
    }
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (stopping_ || version_ != sent_ || reinitialise_ || polling_ != polling)
                return true;
        }
        const Timeout until = timeout();
        if (until.left && until.left->count() == 0) {
            due = !until.poll;
            return true;
        }
        pollfd fds[2] = {{device, 0, 0}, {wake_, POLLIN, 0}};
        if (poll(fds, 2, until.left ? static_cast<int>(std::min<long long>(until.left->count(), 1 << 30)) : -1) < 0)
            continue;
        if (fds[1].revents & POLLIN) {
            std::uint64_t drained = 0;
            [[maybe_unused]] const auto got = read(wake_, &drained, sizeof drained);
        }
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))
            return false;
    }
}

void LcdWriter::Show(std::string frame)
{
    frame.resize(static_cast<std::size_t>(setup_.geometry.cells()), ' ');
    std::string codes = ToModule(setup_.rom, frame);
    {
        std::lock_guard lock(mutex_);
        if (!wanted_.cells && codes == wanted_.frame)
            return;
        wanted_.frame = std::move(codes);
        wanted_.cells.reset();
        ++version_;
    }
    Wake();
}

void LcdWriter::ShowUnicode(std::u32string cells)
{
    cells.resize(static_cast<std::size_t>(setup_.geometry.cells()), U' ');
    {
        std::lock_guard lock(mutex_);
        if (cells == wanted_.cells)
            return;
        wanted_.cells = std::move(cells);
        ++version_;
    }
    Wake();
}

std::vector<SlotDefinition> LcdWriter::Allocate(Wanted& wanted)
{
    if (!wanted.cells)
        return {};
    std::array<Glyph, kUserSlots> design{};
    for (std::size_t slot = 0; slot < kUserSlots; ++slot)
        design[slot] = wanted.glyphs[slot].value_or(Glyph{});
    AllocatedFrame allocated = allocator_.Allocate(WantedCells(setup_.rom, *wanted.cells, design));
    wanted.frame.assign(allocated.codes.begin(), allocated.codes.end());
    return std::move(allocated.definitions);
}

void LcdWriter::RecordShown(const Wanted& wanted)
{
    // The slots as the allocation left them, so that a Windows-1252 frame after it defines the
    // user characters that differ; after such a frame the allocator knows the slots no more.
    const bool defined = !wanted.cells && wanted.glyphs != shown_.glyphs;
    shown_ = wanted;
    if (wanted.cells)
        shown_.glyphs = allocator_.loaded();
    else if (defined)
        allocator_.Reset();
}

void LcdWriter::ForgetShown()
{
    shown_ = Wanted{};
    shown_.frame.assign(static_cast<std::size_t>(setup_.geometry.cells()), ' ');
    allocator_.Reset();
    cursor_.reset();
    unchecked_ = false;
    lastInitialised_ = lastCheck_ = setup_.now();
}

void LcdWriter::Define(int code, const Glyph& glyph)
{
    if (code < 0 || code >= kUserCharacters)
        return;
    {
        std::lock_guard lock(mutex_);
        if (wanted_.glyphs[static_cast<std::size_t>(code)] == glyph)
            return;
        wanted_.glyphs[static_cast<std::size_t>(code)] = glyph;
        ++version_;
    }
    Wake();
}

template <class Change>
void LcdWriter::ChangeWanted(Change change)
{
    {
        std::lock_guard lock(mutex_);
        if (!change(wanted_))
            return;
        ++version_;
    }
    Wake();
}

void LcdWriter::SetBacklight(bool on)
{
    ChangeWanted([&](Wanted& wanted) { return std::exchange(wanted.backlight, on) != on; });
}

void LcdWriter::SetBrightness(int level)
{
    ChangeWanted([&](Wanted& wanted) { return std::exchange(wanted.brightness, level) != level; });
}

void LcdWriter::SetLed(int index, long state)
{
    if (index < 0 || index >= kMostLeds)
        return;
    ChangeWanted([&](Wanted& wanted) {
        auto& led = wanted.leds[static_cast<std::size_t>(index)];
        return std::exchange(led, state) != state;
    });
}

void LcdWriter::TryNow()
{
    {
        std::lock_guard lock(mutex_);
        tryNow_ = true;
    }
    Wake();
}

void LcdWriter::Reinitialise()
{
    {
        std::lock_guard lock(mutex_);
        reinitialise_ = true;
        tryNow_ = true;
    }
    Wake();
}

bool LcdWriter::WaitUntilSent(std::chrono::milliseconds limit)
{
    std::unique_lock lock(mutex_);
    return sentChanged_.wait_for(lock, limit, [&] { return (linked_ && sent_ == version_) || away_; });
}

bool LcdWriter::Connect(bool& absent)
{
    std::string error;
    errno = 0;
    link_ = setup_.open(error);
    absent = !link_ && (errno == ENOENT || errno == ENODEV);
    if (link_) {
        LinkBatch batch;
        setup_.protocol->Initialise(batch);
        const ReadyProbe ready = [this]() -> std::optional<bool> {
            const auto status = setup_.protocol->ReadStatus(*link_);
            return status ? std::optional<bool>(!(*status & 0x80)) : std::nullopt;
        };
        if (link_->Send(batch, setup_.sleep, error, ready)) {
            if (outageReported_)
                LogInformation(setup_.name + ": " + setup_.device + " is back");
            outageReported_ = false;
            {
                std::lock_guard lock(mutex_);
                linkState_ = WriterLink{true, std::nullopt};
            }
            // A module just initialised is blank and has no user characters of ours.
            ForgetShown();
            return true;
        }
        link_.reset();
    }
    if (!outageReported_)
        LogWarning(setup_.name + ": cannot use " + setup_.device + " (" + error + "); " +
                   (absent ? "waiting for it to be plugged in" : "trying again every second"));
    outageReported_ = true;
    LinkLost();
    return false;
}

void LcdWriter::WaitToRetry(bool absent)
{
    std::unique_lock lock(mutex_);
    away_ = true;
    sentChanged_.notify_all();
    changed_.wait_for(lock, absent ? setup_.absentRetry : setup_.retry, [&] { return stopping_ || tryNow_; });
    tryNow_ = false;
}

LinkBatch LcdWriter::Update(const Wanted& wanted, const std::vector<SlotDefinition>& slots,
                            std::optional<int>& cursor) const
{
    LcdProtocol& protocol = *setup_.protocol;
    LinkBatch batch;
    if (wanted.backlight && wanted.backlight != shown_.backlight) {
        batch.Break();
        protocol.Backlight(batch, *wanted.backlight);
        cursor.reset();
    }
    if (wanted.brightness && wanted.brightness != shown_.brightness) {
        batch.Break();
        if (protocol.Brightness(batch, *wanted.brightness))
            cursor.reset();
    }
    for (std::size_t led = 0; led < wanted.leds.size(); ++led) {
        if (wanted.leds[led] && wanted.leds[led] != shown_.leds[led]) {
            batch.Break();
            if (protocol.Led(batch, static_cast<int>(led), *wanted.leds[led]))
                cursor.reset();
        }
    }
    // A Unicode frame defines the slots its allocation chose; a Windows-1252 one the user
    // characters as given.
    for (std::size_t code = 0; !wanted.cells && code < wanted.glyphs.size(); ++code) {
        if (wanted.glyphs[code] && wanted.glyphs[code] != shown_.glyphs[code]) {
            batch.Break();
            protocol.Define(batch, static_cast<int>(code), *wanted.glyphs[code]);
            cursor.reset();
        }
    }
    for (const SlotDefinition& slot : slots) {
        batch.Break();
        protocol.Define(batch, slot.slot, slot.rows);
        cursor.reset();
    }
    auto runs = ChangedRuns(shown_.frame, wanted.frame, setup_.geometry.columns, protocol.jumpCost());
    // In the module's address order, so that a run the cursor reaches by itself (row 2 after
    // row 0 on an HD44780) goes on without a jump.
    std::stable_sort(runs.begin(), runs.end(), [&](const Run& a, const Run& b) {
        return protocol.CursorAt(a.column, a.row) < protocol.CursorAt(b.column, b.row);
    });
    for (const Run& run : runs) {
        const int at = protocol.CursorAt(run.column, run.row);
        if (cursor != at) {
            batch.Break(); // a message per stretch written
            protocol.MoveTo(batch, run.column, run.row);
        }
        protocol.WriteCodes(batch, run.text);
        cursor = at;
        for (std::size_t i = 0; i < run.text.size(); ++i)
            cursor = protocol.CursorAfter(*cursor);
    }
    return batch;
}

bool LcdWriter::Send(const LinkBatch& batch)
{
    std::string error;
    const auto start = setup_.now();
    const bool sent = link_->Send(batch, setup_.sleep, error);
    LinkTraffic traffic = link_->traffic();
    traffic.elapsed = setup_.now() - start;
    if (!sent) {
        LogWarning(setup_.name + ": " + setup_.device + " failed (" + error + "); trying again every second");
        outageReported_ = true;
        link_.reset();
        LinkLost();
        return false;
    }
    std::lock_guard lock(mutex_);
    traffic_ = traffic;
    return true;
}

void LcdWriter::LinkLost()
{
    std::lock_guard lock(mutex_);
    linked_ = false;
    if (std::exchange(linkState_.linked, false))
        linkState_.lostSince = std::chrono::system_clock::now();
}

bool LcdWriter::InitialiseAgain(const std::string& why)
{
    if (!why.empty())
        LogWarning(setup_.name + ": " + setup_.device + " " + why + "; initialised again");
    LinkBatch batch;
    setup_.protocol->Initialise(batch);
    std::string error;
    const ReadyProbe ready = [this]() -> std::optional<bool> {
        const auto status = setup_.protocol->ReadStatus(*link_);
        return status ? std::optional<bool>(!(*status & 0x80)) : std::nullopt;
    };
    if (!link_->Send(batch, setup_.sleep, error, ready)) {
        LogWarning(setup_.name + ": " + setup_.device + " failed (" + error + "); trying again every second");
        outageReported_ = true;
        link_.reset();
        LinkLost();
        return false;
    }
    const Wanted kept = shown_;
    ForgetShown();
    shown_.backlight = kept.backlight; // part of every byte the protocol sends
    return true;
}

bool LcdWriter::Verify(bool force)
{
    if (!link_ || !unchecked_ || !cursor_ || (!force && setup_.now() - lastCheck_ < setup_.verifyEvery))
        return true;
    const auto status = setup_.protocol->ReadStatus(*link_);
    lastCheck_ = setup_.now();
    unchecked_ = false;
    if (!status)
        return true; // a bus error: the next write tells
    if ((*status & 0x7F) == (*cursor_ & 0x7F))
        return true;
    char found[64];
    std::snprintf(found, sizeof found, "read back its cursor at 0x%02x, not at 0x%02x", *status & 0x7F,
                  *cursor_ & 0x7F);
    InitialiseAgain(std::string(found));
    return false;
}

LinkTraffic LcdWriter::LastTraffic() const
{
    std::lock_guard lock(mutex_);
    return traffic_;
}

WriterLink LcdWriter::Link() const
{
    std::lock_guard lock(mutex_);
    return linkState_;
}

void LcdWriter::Work()
{
    while (true) {
        Wanted wanted;
        std::uint64_t version = 0;
        bool due = false;
        if (!WaitForWorkOrLoss(due)) {
            LogWarning(setup_.name + ": " + setup_.device + " went away");
            outageReported_ = true;
            link_.reset();
            LinkLost();
            continue;
        }
        PollIfDue();
        if (due && link_) {
            // A check after the last change, or the periodic re-initialisation; what the
            // module lost is written below.
            if (setup_.refresh.count() > 0 && setup_.now() - lastInitialised_ >= setup_.refresh) {
                if (!InitialiseAgain({}))
                    continue;
            } else {
                Verify(true);
            }
        }
        {
            std::lock_guard lock(mutex_);
            if (stopping_)
                return;
            wanted = wanted_;
            version = version_;
            if (std::exchange(reinitialise_, false)) {
                link_.reset(); // opened and initialised afresh below
                linked_ = false;
            }
            tryNow_ = false;
        }
        bool absent = false;
        if (!link_ && !Connect(absent)) {
            WaitToRetry(absent);
            continue;
        }
        bool written = false;
        for (int attempt = 0; attempt < 2 && !written; ++attempt) {
            std::optional<int> cursor = cursor_;
            const std::vector<SlotDefinition> slots = Allocate(wanted);
            const LinkBatch batch = Update(wanted, slots, cursor);
            if (!batch.empty() && !Send(batch))
                break; // the link is dropped: the next connection starts the slots afresh
            cursor_ = cursor;
            RecordShown(wanted);
            unchecked_ = unchecked_ || (!batch.empty() && setup_.protocol->readable());
            // A module that disagrees was initialised again: everything once more, checked later.
            written = attempt == 1 || Verify(false) || !link_;
        }
        if (!link_)
            continue;
        std::lock_guard lock(mutex_);
        away_ = false;
        linked_ = true;
        sent_ = version;
        sentChanged_.notify_all();
    }
}

} // namespace pixtera::lcd
