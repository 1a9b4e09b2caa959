// SPDX-License-Identifier: MIT
// The service's dual interfaces put IDispatch's four slots first and their own operations from
// slot 7, reserved slots included. A C caller's view of one implementation checks the order.

#include <pixtera/service_interfaces.h>
#include <pixtera/virtual_display_interface.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace pixtera;

// Records which operation each slot reached.
class ProbeDisplay final : public ComObject<ProbeDisplay, DispatchNotImplemented<IManagedDisplay>> {
public:
    std::vector<std::string> calls;

    HRESULT STDMETHODCALLTYPE GetDriver(IDisplayDriver**) override { return Note("GetDriver"); }
    HRESULT STDMETHODCALLTYPE Reserved(LONG) override { return Note("Reserved"); }
    HRESULT STDMETHODCALLTYPE IsRunning(VARIANT_BOOL*) override { return Note("IsRunning"); }
    HRESULT STDMETHODCALLTYPE StartOutput() override { return Note("StartOutput"); }
    HRESULT STDMETHODCALLTYPE StopOutput() override { return Note("StopOutput"); }
    HRESULT STDMETHODCALLTYPE QueueCount(LONG*) override { return Note("QueueCount"); }
    HRESULT STDMETHODCALLTYPE AddQueueItem(BSTR, LONG) override { return Note("AddQueueItem"); }
    HRESULT STDMETHODCALLTYPE QueueFile(LONG, BSTR*) override { return Note("QueueFile"); }
    HRESULT STDMETHODCALLTYPE QueueDuration(LONG, LONG*) override { return Note("QueueDuration"); }
    HRESULT STDMETHODCALLTYPE SetQueueDuration(LONG, LONG) override { return Note("SetQueueDuration"); }
    HRESULT STDMETHODCALLTYPE DeleteQueueItem(LONG) override { return Note("DeleteQueueItem"); }
    HRESULT STDMETHODCALLTYPE MoveQueueItemUp(LONG) override { return Note("MoveQueueItemUp"); }
    HRESULT STDMETHODCALLTYPE MoveQueueItemDown(LONG) override { return Note("MoveQueueItemDown"); }

private:
    HRESULT Note(const char* name)
    {
        calls.emplace_back(name);
        return S_OK;
    }
};

using Slot = HRESULT (*)(void*, LONG, LONG);

TEST(ServiceInterfaces, ManagedDisplayOperationsStartAtSlotSeven)
{
    auto probe = MakeComObject<ProbeDisplay>();
    auto display = probe.As<IManagedDisplay>();
    ASSERT_TRUE(display);
    auto* const* vtbl = *reinterpret_cast<void* const* const*>(display.get());

    UINT count = 99;
    ASSERT_EQ(reinterpret_cast<HRESULT (*)(void*, UINT*)>(vtbl[3])(display.get(), &count), S_OK);
    EXPECT_EQ(count, 0u) << "slot 3 is GetTypeInfoCount";
    // Every operation here takes at most two word-sized arguments, so one call shape fits all.
    for (int slot = 7; slot <= 19; ++slot)
        reinterpret_cast<Slot>(vtbl[slot])(display.get(), 0, 0);
    EXPECT_EQ(probe->calls,
              (std::vector<std::string>{"GetDriver", "Reserved", "IsRunning", "StartOutput", "StopOutput", "QueueCount",
                                        "AddQueueItem", "QueueFile", "QueueDuration", "SetQueueDuration",
                                        "DeleteQueueItem", "MoveQueueItemUp", "MoveQueueItemDown"}));
}

TEST(ServiceInterfaces, DualInterfacesAnswerForIDispatchAndTheirBase)
{
    auto probe = MakeComObject<ProbeDisplay>();
    EXPECT_TRUE(probe.As<IDispatch>());
    EXPECT_TRUE(probe.As<IUnknown>());
    EXPECT_FALSE(probe.As<IManager>());
}

TEST(ServiceInterfaces, IdentifiersAreDistinct)
{
    const GUID ids[] = {IID_IPluginInfo,     IID_IDataProvider,   IID_IDisplayDriver,  IID_IDispatchWrapper,
                        IID_IVirtualDisplay, IID_IManager,        IID_IDriverManager,  IID_IDataManager,
                        IID_IDataCollection, IID_IDisplayManager, IID_IManagedDisplay, CLSID_Manager,
                        LIBID_Pixtera2Lib,   APPID_Pixtera2,      IID_IUnknown,        IID_IDispatch};
    for (std::size_t i = 0; i < std::size(ids); ++i)
        for (std::size_t j = i + 1; j < std::size(ids); ++j)
            EXPECT_NE(ids[i], ids[j]) << i << " and " << j;
}

} // namespace
