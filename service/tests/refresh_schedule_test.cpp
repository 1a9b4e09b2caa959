// SPDX-License-Identifier: MIT
#include "service_fixture.h"

#include "managed_display.h"
#include "refresh_schedule.h"

#include <pixtera/sdk/plugin_info.h>

#include <chrono>
#include <functional>
#include <map>

namespace {

using namespace pixtera;
using namespace pixtera::test;

TEST(RefreshSchedule, RendersOnTheGridAtTheFirstTickTheFrameCanDiffer)
{
    RefreshSchedule schedule(100);
    EXPECT_TRUE(schedule.Due(5)) << "the first rendering is due at once";

    schedule.Rendered(1000, FrameOutlook{});
    EXPECT_FALSE(schedule.Due(1100)) << "a frame that cannot change is not rendered again";
    EXPECT_FALSE(schedule.watchesValues());
    EXPECT_EQ(schedule.next() - 1000u, 1073741900u) << "only the idle rendering, on the grid";

    schedule.Rendered(1000, FrameOutlook{.nextScrollStep = 1250});
    EXPECT_EQ(schedule.next(), 1300u) << "a scroll step between ticks shows at the tick after it";
    schedule.Rendered(1000, FrameOutlook{.nextScrollStep = 1200, .readsChangingValues = true});
    EXPECT_EQ(schedule.next(), 1100u) << "values that may differ at any reading: every tick";

    schedule.Rendered(1000, FrameOutlook{.nextScrollStep = {}, .readsStoredValues = true});
    EXPECT_TRUE(schedule.watchesValues());
    schedule.ValueChanged(1000);
    EXPECT_EQ(schedule.next(), 1100u) << "a store in the millisecond of the rendering may have missed it";
    schedule.Rendered(1100, FrameOutlook{.nextScrollStep = {}, .readsStoredValues = true});
    schedule.ValueChanged(1501);
    EXPECT_EQ(schedule.next(), 1600u);
    EXPECT_FALSE(schedule.Due(1599));
    EXPECT_TRUE(schedule.Due(1600));
    schedule.ValueChanged(1750);
    EXPECT_EQ(schedule.next(), 1600u) << "a later change does not put off an earlier rendering";
}

TEST(RefreshSchedule, KeepsItsDistancesInRangeAcrossTheWrapAndForHugePeriods)
{
    RefreshSchedule wrapping(30);
    wrapping.Rendered(0xFFFFFFF0u, FrameOutlook{.nextScrollStep = 0x00000005u});
    EXPECT_EQ(wrapping.next(), 0x0000000Eu) << "the grid goes on through the wrap";

    RefreshSchedule huge(0x7FFFFFFEu);
    huge.Rendered(10, FrameOutlook{.nextScrollStep = 11});
    EXPECT_EQ(huge.next(), 10u + 0x7FFFFFFEu);
    EXPECT_FALSE(huge.Due(11)) << "not read as a time in the past";
    huge.Rendered(10, FrameOutlook{});
    EXPECT_EQ(huge.next(), 10u + 0x7FFFFFFEu) << "idle: one period, the largest that fits";
}

// Values that change only when the test stores them; counts the readings, which are the renderings
// of a design with one data item.
class StoredValues final : public ValueSource {
public:
    HRESULT Value(std::u16string_view name, VARIANT* value) override
    {
        std::lock_guard lock(mutex_);
        ++reads_;
        const auto it = values_.find(name);
        Variant text = Variant::FromText(it == values_.end() ? u"Error" : it->second);
        *value = text;
        VariantInit(&text);
        return S_OK;
    }
    Changes HowValueChanges(std::u16string_view) override { return Changes::WhenStored; }
    ValueChangeSignal* changeSignal() override { return &signal_; }

    void Store(std::u16string name, std::u16string text)
    {
        {
            std::lock_guard lock(mutex_);
            values_[std::move(name)] = std::move(text);
        }
        signal_.Notify();
    }
    int reads() const
    {
        std::lock_guard lock(mutex_);
        return reads_;
    }

private:
    mutable std::mutex mutex_; // guards values_ and reads_
    std::map<std::u16string, std::u16string, std::less<>> values_;
    int reads_ = 0;
    ValueChangeSignal signal_;
};

// The manual clock, counting the refresh thread's waits and telling when it sleeps with nothing
// to do before its deadline.
class CountingClock final : public TickClock {
public:
    DWORD Now() const override { return clock.Now(); }
    std::optional<std::size_t> WaitUntilAny(std::span<Event* const> events,
                                            std::optional<DWORD> deadline) const override
    {
        deadline_ = deadline ? static_cast<std::int64_t>(*deadline) : -1;
        ++waits;
        waiting_ = true;
        const auto woken = clock.WaitUntilAny(events, deadline);
        waiting_ = false;
        return woken;
    }
    bool Settled() const
    {
        const std::int64_t deadline = deadline_;
        return waiting_ && (deadline < 0 || TickIsBefore(Now(), static_cast<DWORD>(deadline)));
    }

    ManualTickClock clock{1000};
    mutable std::atomic<int> waits{0};

private:
    mutable std::atomic<std::int64_t> deadline_{-1};
    mutable std::atomic<bool> waiting_{false};
};

// One data item "V" in the first row; `appearance` is the item's Appearance element.
std::string ValueDesign(const std::string& updateFrequency,
                        const std::string& appearance = R"(<Appearance Mode="Static"/>)")
{
    return R"(<Design UpdateFreq=")" + updateFrequency +
           R"("><DisplayItems><DisplayItem>)"
           R"(<Position X="0" Y="0" Width="20" Height="1"/>)" +
           appearance + R"(<Data Mode="Data" Name="V"/></DisplayItem></DisplayItems></Design>)";
}

class RefreshCountTest : public ServiceFixture {
protected:
    void SetUp() override
    {
        ServiceFixture::SetUp();
        values.Store(u"V", u"first");
        CLSID clsid{};
        ASSERT_EQ(CLSIDFromProgID(kRecordingDisplayProgId, &clsid), S_OK);
        ComPtr<IPluginInfo> info;
        ASSERT_EQ(CreateInstance(clsid, CLSCTX_INPROC_SERVER, info), S_OK);
        info->Configure(BString(std::string_view("columns=20;rows=2")).get());
        driver = info.As<IUnknown>();
        const auto path = WriteConfiguration(Driver("PixteraTest.RecordingDisplay", "columns=20;rows=2", kDisplay));
        display = displays->AddDisplay(driver.get(), {path, 0, "PixteraTest.RecordingDisplay", "columns=20;rows=2"});
        RecordedCalls(driver.get());
    }
    void TearDown() override { display->StopOutput(); }

    void Show(const std::string& xml, LONG seconds, const std::string& name = "design.pxd")
    {
        const auto path = TestDirectory() / name;
        std::ofstream(path) << xml;
        ASSERT_EQ(display->AddQueueItem(BString(std::string_view(path.string())).get(), seconds), S_OK);
    }

    // The first row of every frame written so far.
    std::vector<std::string> Rows()
    {
        for (const auto& call : RecordedCalls(driver.get()))
            if (call.rfind("Write ", 0) == 0)
                rows.push_back(call.substr(6, 20));
        return rows;
    }

    // Moves the clock on to `time` in steps of at most `step` ms, letting the refresh thread
    // finish its work at each.
    void PassTo(DWORD time, DWORD step = 100)
    {
        while (TickIsBefore(clock.Now(), time)) {
            clock.clock.Advance(std::min(step, time - clock.Now()));
            ASSERT_TRUE(Eventually([&] { return clock.Settled(); }));
        }
    }

    // Stores a value and waits until the refresh thread has taken note.
    void Store(std::u16string text)
    {
        const int waits = clock.waits;
        values.Store(u"V", std::move(text));
        ASSERT_TRUE(Eventually([&] { return clock.waits > waits && clock.Settled(); }));
    }

    StoredValues values;
    CountingClock clock;
    ComPtr<DisplayManager> displays = MakeComObject<DisplayManager>(DisplayRuntime{values, clock});
    ComPtr<IUnknown> driver;
    ComPtr<ManagedDisplay> display;
    std::vector<std::string> rows;
};

TEST_F(RefreshCountTest, AnUnchangingDesignRendersOncePerShowingAndStopsAtOnce)
{
    Show(ValueDesign("30"), 1, "a.pxd");
    Show(ValueDesign("30"), 1, "b.pxd");
    ASSERT_EQ(display->StartOutput(), S_OK);
    ASSERT_TRUE(Eventually([&] { return values.reads() == 1 && clock.Settled(); }));
    PassTo(1990, 30);
    EXPECT_EQ(values.reads(), 1) << "33 update ticks, nothing that could change";
    EXPECT_EQ(clock.waits, 1);
    PassTo(2990, 30);
    EXPECT_EQ(values.reads(), 2) << "the second showing renders once";
    EXPECT_EQ(Rows().size(), 1u) << "both showings have the same frame";

    display->StopOutput();
    Show(ValueDesign("30"), 0, "held.pxd");
    display->DeleteQueueItem(0);
    display->DeleteQueueItem(0);
    ASSERT_EQ(display->StartOutput(), S_OK);
    ASSERT_TRUE(Eventually([&] { return values.reads() == 3 && clock.Settled(); }));
    PassTo(clock.Now() + 86400000, 3600000);
    EXPECT_EQ(values.reads(), 3) << "a held entry sleeps through the day";
    EXPECT_EQ(display->StopOutput(), S_OK) << "a stop ends the long sleep";
}

TEST_F(RefreshCountTest, AScrollerRendersOncePerStepOnTheUpdateGrid)
{
    values.Store(u"V", u"0123456789");
    Show(ValueDesign("100", R"(<Appearance Mode="RightToLeft" ScrollDelay="250"/>)"), 0);
    ASSERT_EQ(display->StartOutput(), S_OK);
    ASSERT_TRUE(Eventually([&] { return Rows().size() == 1 && clock.Settled(); }));
    // The item was made at 1000: its steps at 1250, 1500, 1750, 2000 show at the ticks 1300,
    // 1500, 1800 and 2000.
    PassTo(2000, 50);
    EXPECT_EQ(values.reads(), 5) << "one rendering per step";
    EXPECT_EQ(clock.waits, 5);
    ASSERT_EQ(Rows().size(), 5u);
    EXPECT_EQ(Rows()[1], "12345678901234567890");
    EXPECT_EQ(Rows()[4], "45678901234567890123");
}

TEST_F(RefreshCountTest, AStoredValueRendersOnceAndShowsAtTheFirstTickAfterTheStore)
{
    Show(ValueDesign("300"), 0);
    ASSERT_EQ(display->StartOutput(), S_OK);
    ASSERT_TRUE(Eventually([&] { return values.reads() == 1 && clock.Settled(); }));
    // Update ticks fall at 1000 + 300k; one store a second.
    const DWORD stores[] = {2050, 3050, 4100};
    const DWORD shown[] = {2200, 3100, 4300};
    for (int i = 0; i < 3; ++i) {
        PassTo(stores[i]);
        const auto before = Rows().size();
        Store(u"value " + std::u16string(1, static_cast<char16_t>(u'1' + i)));
        PassTo(shown[i] - 1);
        EXPECT_EQ(Rows().size(), before) << "not before the tick, store " << i;
        PassTo(shown[i]);
        ASSERT_EQ(Rows().size(), before + 1) << "at the tick, store " << i;
        EXPECT_EQ(Rows().back().substr(0, 7), "value " + std::to_string(i + 1));
    }
    PassTo(6000);
    EXPECT_EQ(values.reads(), 4) << "once at the start, once per store";
}

} // namespace
