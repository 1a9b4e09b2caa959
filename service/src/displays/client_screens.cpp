// SPDX-License-Identifier: MIT
#include "client_screens.h"

#include <pixtera/platform/codepage.h>
#include <pixtera/sdk/unicode_frame.h>

namespace pixtera {
namespace {

class ScreenSink final : public ComObject<ScreenSink, IScreenSink> {
public:
    explicit ScreenSink(std::vector<std::pair<LONG, std::shared_ptr<Event>>> displays) : displays_(std::move(displays))
    {
    }
    HRESULT STDMETHODCALLTYPE ScreensChanged(LONG display) override
    {
        for (const auto& [index, event] : displays_)
            if (index == display)
                event->Set();
        return S_OK;
    }

private:
    const std::vector<std::pair<LONG, std::shared_ptr<Event>>> displays_;
};

} // namespace

ComPtr<IScreenSink> MakeScreenSink(std::vector<std::pair<LONG, std::shared_ptr<Event>>> displays)
{
    return MakeComObject<ScreenSink>(std::move(displays)).As<IScreenSink>();
}

ClientScreens::ClientScreens() : changed_(std::make_shared<Event>()) {}

void ClientScreens::Add(ComPtr<IScreenSource> source, std::shared_ptr<PluginFault> fault, bool advised)
{
    ComPtr<IScreenKeys> keys;
    fault->Guard([&] { keys = source.As<IScreenKeys>(); });
    sources_.push_back({std::move(source), std::move(fault), std::move(keys)});
    polled_ = polled_ || !advised;
}

std::vector<ClientScreen> ClientScreens::Read(LONG display) const
{
    std::vector<ClientScreen> screens;
    for (std::size_t i = 0; i < sources_.size(); ++i) {
        BString list;
        if (!sources_[i].fault->Guard([&] { return sources_[i].object->GetScreens(display, list.Out()); }))
            continue;
        const std::string text = Utf16ToUtf8(BstrView(list.get()));
        for (auto& screen : ReadScreenList(text, i))
            screens.push_back(screen);
    }
    return screens;
}

std::optional<ScreenRendering> ClientScreens::Render(const ClientScreen& screen, LONG display, LONG timer,
                                                     std::size_t cells) const
{
    if (screen.source >= sources_.size())
        return std::nullopt;
    const Source& source = sources_[screen.source];
    BString frame;
    BString characters;
    HRESULT hr = E_FAIL;
    if (!source.fault->Guard([&] {
            return hr = source.object->RenderScreen(display, screen.id, timer, frame.Out(), characters.Out());
        }) ||
        hr != S_OK)
        return std::nullopt;
    ScreenRendering rendering;
    const std::u16string_view text = BstrView(frame.get());
    rendering.frame = lcd::FrameCells(text, cells);
    rendering.frame.resize(cells, U' '); // a source's frame of another size is cut or padded
    const std::u16string_view rows = BstrView(characters.get());
    for (std::size_t at = 0; at + 8 <= rows.size() && rendering.characters.size() < 8; at += 8) {
        CharacterRows glyph{};
        for (std::size_t row = 0; row < 8; ++row)
            glyph[row] = static_cast<BYTE>(rows[at + row]);
        rendering.characters.push_back(glyph);
    }
    return rendering;
}

void ClientScreens::Shown(std::size_t source, LONG display, LONG screen, LONG timer)
{
    {
        std::lock_guard lock(shownMutex_);
        shownSource_ = screen >= 0 ? source : SIZE_MAX;
        shownScreen_ = screen;
    }
    if (source < sources_.size())
        sources_[source].fault->Guard([&] { return sources_[source].object->ScreenShown(display, screen, timer); });
}

bool ClientScreens::Key(LONG display, LONG key) const
{
    std::size_t shown = SIZE_MAX;
    LONG screen = -1;
    {
        std::lock_guard lock(shownMutex_);
        shown = shownSource_;
        screen = shownScreen_;
    }
    auto offer = [&](const Source& source, LONG onScreen) {
        HRESULT hr = S_FALSE;
        return source.keys &&
               source.fault->Guard([&] { return hr = source.keys->ScreenKey(display, onScreen, key); }) && hr == S_OK;
    };
    if (shown < sources_.size() && offer(sources_[shown], screen))
        return true;
    for (std::size_t i = 0; i < sources_.size(); ++i)
        if (i != shown && offer(sources_[i], -1))
            return true;
    return false;
}

} // namespace pixtera
