// SPDX-License-Identifier: MIT
#pragma once
// IDisplayDriver for the native character LCD drivers: the geometry from the configuration, the
// frames and user characters handed to the display's writer thread. Derived declares
// `lcd::WriterSetup Describe(const ConfigurationText&, std::vector<std::string>& problems)` (static,
// or a member for a driver that keeps something of its own per configuration), naming in
// `problems` the fields it could not use, and lists this in ComObject in place of IDisplayDriver.

#include "lcd_writer.h"

#include <pixtera/platform/codepage.h>
#include <pixtera/platform/event_log.h>
#include <pixtera/sdk/character_grid_driver.h>
#include <pixtera/sdk/configurable_plugin.h>
#include <pixtera/sdk/unicode_frame.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace pixtera::lcd {

template <class Derived>
class LcdDisplayDriver : public CharacterGridDriver {
public:
    HRESULT STDMETHODCALLTYPE SetCustomChar(LONG code, BYTE r0, BYTE r1, BYTE r2, BYTE r3, BYTE r4, BYTE r5, BYTE r6,
                                            BYTE r7) override
    {
        if (code < 0 || code >= kUserCharacters)
            return E_INVALIDARG;
        std::lock_guard lock(mutex_);
        if (writer_)
            writer_->Define(static_cast<int>(code), Glyph{r0, r1, r2, r3, r4, r5, r6, r7});
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Write(BSTR frame) override
    {
        std::string bytes = Utf16ToAnsi(BstrView(frame));
        std::lock_guard lock(mutex_);
        if (writer_)
            writer_->Show(std::move(bytes));
        return S_OK;
    }

    // A Unicode frame (IDisplayUnicodeFrame), one code point a cell.
    void ShowUnicode(std::u16string_view frame)
    {
        std::u32string cells =
            FrameCells(frame, static_cast<std::size_t>(std::max<LONG>(0, Grid().columns * Grid().rows)));
        std::lock_guard lock(mutex_);
        if (writer_)
            writer_->ShowUnicode(std::move(cells));
    }

    void Configured(const ConfigurationText& fields, const std::string& text)
    {
        std::vector<std::string> problems;
        WriterSetup setup = static_cast<Derived*>(this)->Describe(fields, problems);
        for (const auto& problem : problems)
            LogWarning(setup.name + ": unusable " + problem + " in \"" + text + "\"; the default is used");
        SetGrid({setup.geometry.columns, setup.geometry.rows}); // HD44780 cells: 5 x 8 dots
        rom_ = setup.rom;
        auto writer = std::make_unique<LcdWriter>(std::move(setup));
        std::lock_guard lock(mutex_);
        writer_ = std::move(writer); // a new configuration: a new link, the old one closed
    }

    // Hot-plug, resume and power, passed on to the writer of the configuration in force.
    template <class Call>
    void WithWriter(Call call)
    {
        std::lock_guard lock(mutex_);
        if (writer_)
            call(*writer_);
    }

    CharacterRom Rom() const { return rom_.load(); }

    // What the last frame written cost on the link: bytes, I2C clocks and time.
    LinkTraffic LastFrameTraffic()
    {
        std::lock_guard lock(mutex_);
        return writer_ ? writer_->LastTraffic() : LinkTraffic{};
    }

    // Whether the module of the configuration in force is linked; not before a configuration.
    WriterLink Link()
    {
        std::lock_guard lock(mutex_);
        return writer_ ? writer_->Link() : WriterLink{};
    }

private:
    std::atomic<CharacterRom> rom_{CharacterRom::A00};
    std::mutex mutex_; // guards writer_
    std::unique_ptr<LcdWriter> writer_;
};

} // namespace pixtera::lcd

template <class Derived>
struct InterfaceTraits<pixtera::lcd::LcdDisplayDriver<Derived>> : InterfaceTraits<IDisplayDriver> {
};
