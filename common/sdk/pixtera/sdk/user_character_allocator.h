// SPDX-License-Identifier: MIT
#pragma once
// The eight user characters of an HD44780-style module, shared each frame among what wants them,
// in this order: the design's own characters (each in its own slot, as always), bar segments, big
// digits and icons, then the letters the ROM lacks, most frequent first. What does not fit shows
// as its fallback: the profile's look-alike or the placeholder for a letter. Slots keep what they
// hold across frames, so a screen that does not change sends nothing and one that does redefines
// only the slots it must. A slot is redefined only when every cell that showed it changes in the
// same frame; a cell shows a slot only while the slot holds what the cell wants.
//
// Header-only and free of I/O: drivers, pixtera-render and the designer's preview share it.

#include <pixtera/sdk/letter_font.h>
#include <pixtera/sdk/rom_profile.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <tuple>
#include <vector>

namespace pixtera::lcd {

inline constexpr std::size_t kUserSlots = 8;

// The code a cell sends to show slot `slot`: 8-15 rather than 0-7, so a frame never holds NUL.
inline constexpr std::uint8_t SlotCode(std::size_t slot) { return static_cast<std::uint8_t>(8 + slot); }

// Who wants a slot, most important first.
enum class SlotUse : std::uint8_t { DesignCharacter, Bar, BigDigitOrIcon, Letter };

struct UserGlyph {
    SlotUse use = SlotUse::Letter;
    Glyph rows{};
    std::uint8_t ownSlot = 0; // a design character's own slot (0-7)
};

// What one cell wants: a ROM code, or a user character with the ROM code it falls back to.
struct WantedCell {
    std::uint8_t code = ' ';
    std::optional<UserGlyph> glyph;
};

inline WantedCell RomCell(std::uint8_t code) { return {code, std::nullopt}; }

// The design's own character `slot` (0-7), drawn as `rows`: it keeps its slot.
inline WantedCell DesignCell(std::uint8_t slot, const Glyph& rows)
{
    return {SlotCode(slot % kUserSlots),
            UserGlyph{SlotUse::DesignCharacter, rows, static_cast<std::uint8_t>(slot % kUserSlots)}};
}

// A bar segment, big-digit part or icon, with the ROM code shown when no slot is left.
inline WantedCell DrawnCell(SlotUse use, const Glyph& rows, std::uint8_t fallback)
{
    return {fallback, UserGlyph{use, rows, 0}};
}

// A character of text on `rom`: the ROM's own glyph when it has one; else the font's letter in a
// slot, falling back to the look-alike or the placeholder.
inline WantedCell LetterCell(CharacterRom rom, char32_t c)
{
    const RomCode shown = ResolveOnRom(rom, c);
    if (shown.match == Match::Exact || IsControl(c))
        return RomCell(shown.code);
    if (const auto rows = LetterGlyph(c))
        return {shown.code, UserGlyph{SlotUse::Letter, *rows, 0}};
    return RomCell(shown.code);
}

struct SlotDefinition {
    std::uint8_t slot;
    Glyph rows;
    bool operator==(const SlotDefinition&) const = default;
};

struct AllocatedFrame {
    std::vector<std::uint8_t> codes; // per cell, the code to send
    std::vector<SlotDefinition> definitions; // to write before the cells
};

// One per module, used by whoever writes its frames (it has no lock: the writer's thread).
class UserCharacterAllocator {
public:
    // The frame's cells, row after row.
    AllocatedFrame Allocate(std::span<const WantedCell> cells)
    {
        std::vector<Demand> demands = Demands(cells);
        Order(demands);
        std::array<const Demand*, kUserSlots> owner{};
        const std::size_t pinned = PinDesignCharacters(demands, owner);
        // The most important that fit get slots; of those, what a slot holds already stays there.
        std::vector<Demand*> granted;
        for (Demand& demand : demands)
            if (demand.glyph.use != SlotUse::DesignCharacter && granted.size() < kUserSlots - pinned)
                granted.push_back(&demand);
        for (Demand* demand : granted)
            for (std::size_t s = 0; s < kUserSlots; ++s)
                if (!owner[s] && loaded_[s] == demand->glyph.rows) {
                    Grant(*demand, s, owner);
                    break;
                }
        AllocatedFrame frame;
        for (const Demand& demand : demands)
            if (demand.slot && demand.glyph.use == SlotUse::DesignCharacter &&
                loaded_[*demand.slot] != demand.glyph.rows)
                Define(frame, *demand.slot, demand.glyph.rows);
        for (Demand* demand : granted) {
            if (demand->slot)
                continue;
            // A slot no one holds this frame: cells that showed it get another code below.
            const std::size_t free = FreeSlot(owner);
            Grant(*demand, free, owner);
            Define(frame, free, demand->glyph.rows);
        }
        std::map<Key, std::size_t> slotOf;
        for (const Demand& demand : demands)
            if (demand.slot)
                slotOf.emplace(KeyOf(demand.glyph), *demand.slot);
        frame.codes.reserve(cells.size());
        for (const WantedCell& cell : cells)
            frame.codes.push_back(CodeOf(cell, slotOf));
        return frame;
    }

    // The module was initialised again: its slots hold nothing we know.
    void Reset() { loaded_ = {}; }

    const std::array<std::optional<Glyph>, kUserSlots>& loaded() const { return loaded_; }

private:
    struct Demand {
        UserGlyph glyph;
        std::size_t count = 0;
        std::size_t first = 0; // the first cell that wants it
        std::optional<std::size_t> slot;
    };

    // One demand per drawing; a design character's per slot as well.
    using Key = std::tuple<Glyph, bool, std::uint8_t>;

    static Key KeyOf(const UserGlyph& glyph)
    {
        const bool design = glyph.use == SlotUse::DesignCharacter;
        return {glyph.rows, design, design ? glyph.ownSlot : std::uint8_t{0}};
    }

    static std::vector<Demand> Demands(std::span<const WantedCell> cells)
    {
        std::vector<Demand> demands;
        std::map<Key, std::size_t> index;
        for (std::size_t i = 0; i < cells.size(); ++i) {
            if (!cells[i].glyph)
                continue;
            const UserGlyph& glyph = *cells[i].glyph;
            const auto [found, added] = index.try_emplace(KeyOf(glyph), demands.size());
            if (added) {
                demands.push_back({glyph, 1, i, std::nullopt});
                continue;
            }
            Demand& demand = demands[found->second];
            ++demand.count;
            demand.glyph.use = std::min(demand.glyph.use, glyph.use); // a bar and a letter drawn alike: a bar
        }
        return demands;
    }

    void Order(std::vector<Demand>& demands) const
    {
        auto isLoaded = [&](const Demand& d) {
            return std::find(loaded_.begin(), loaded_.end(), d.glyph.rows) != loaded_.end();
        };
        std::stable_sort(demands.begin(), demands.end(), [&](const Demand& a, const Demand& b) {
            if (a.glyph.use != b.glyph.use)
                return a.glyph.use < b.glyph.use;
            if (a.glyph.use == SlotUse::Letter && a.count != b.count)
                return a.count > b.count;
            const bool aLoaded = isLoaded(a), bLoaded = isLoaded(b);
            if (aLoaded != bLoaded)
                return aLoaded;
            return a.first < b.first;
        });
    }

    static void Grant(Demand& demand, std::size_t slot, std::array<const Demand*, kUserSlots>& owner)
    {
        demand.slot = slot;
        owner[slot] = &demand;
    }

    // The design's characters take their own slots; the first to claim a slot has it.
    static std::size_t PinDesignCharacters(std::vector<Demand>& demands, std::array<const Demand*, kUserSlots>& owner)
    {
        std::size_t pinned = 0;
        for (Demand& demand : demands) {
            if (demand.glyph.use != SlotUse::DesignCharacter || owner[demand.glyph.ownSlot % kUserSlots])
                continue;
            Grant(demand, demand.glyph.ownSlot % kUserSlots, owner);
            ++pinned;
        }
        return pinned;
    }

    // Of the slots no one holds this frame, one never written if any.
    std::size_t FreeSlot(const std::array<const Demand*, kUserSlots>& owner) const
    {
        std::optional<std::size_t> written;
        for (std::size_t s = 0; s < kUserSlots; ++s) {
            if (owner[s])
                continue;
            if (!loaded_[s])
                return s;
            if (!written)
                written = s;
        }
        return written.value_or(0);
    }

    void Define(AllocatedFrame& frame, std::size_t slot, const Glyph& rows)
    {
        loaded_[slot] = rows;
        frame.definitions.push_back({static_cast<std::uint8_t>(slot), rows});
    }

    static std::uint8_t CodeOf(const WantedCell& cell, const std::map<Key, std::size_t>& slotOf)
    {
        if (!cell.glyph)
            return cell.code;
        const auto found = slotOf.find(KeyOf(*cell.glyph));
        return found != slotOf.end() ? SlotCode(found->second) : FallbackOf(cell);
    }

    // A cell whose character got no slot; a design character's code is its slot, which a
    // character of another meaning may hold: it shows as a space then.
    static std::uint8_t FallbackOf(const WantedCell& cell)
    {
        return cell.glyph->use == SlotUse::DesignCharacter ? std::uint8_t{' '} : cell.code;
    }

    std::array<std::optional<Glyph>, kUserSlots> loaded_{}; // what each slot holds on the module
    std::vector<std::uint8_t> shown_; // the codes of the last frame
};

} // namespace pixtera::lcd
