// SPDX-License-Identifier: MIT
#include "client_session.h"
#include "screen_renderer.h"

#include <gtest/gtest.h>

namespace {

using namespace pixtera::lcdproc;

// A screen built by the protocol, as a client would.
class Render : public ::testing::Test {
protected:
    void Build(std::initializer_list<std::string_view> lines, Geometry geometry = {20, 4, 5, 8}, bool utf8 = false)
    {
        geometry_ = geometry;
        session_ = std::make_unique<ClientSession>(geometry, utf8);
        session_->Execute("hello");
        session_->Execute("screen_add s");
        session_->Execute("screen_set s -heartbeat off");
        for (auto line : lines)
            for (const auto& reply : session_->Execute(line).replies)
                ASSERT_EQ(reply, "success") << line;
    }
    RenderedScreen At(long timer) { return RenderScreen(session_->screens().front(), geometry_, timer); }
    std::u32string Cells(const RenderedScreen& r, int row)
    {
        return r.cells.substr(static_cast<std::size_t>(row * geometry_.columns), geometry_.columns);
    }
    // A row of Latin-1 cells as bytes; a cell beyond is a failure.
    std::string Row(const RenderedScreen& r, int row)
    {
        std::string bytes;
        for (char32_t c : Cells(r, row)) {
            EXPECT_LE(c, 0xFFu) << "row " << row;
            bytes.push_back(static_cast<char>(c));
        }
        return bytes;
    }
    // The cells with user characters shown as digits 0-7.
    std::string Shown(const RenderedScreen& r, int row)
    {
        std::string text = Row(r, row);
        for (char& c : text)
            if (static_cast<unsigned char>(c) >= kFirstUserCode && static_cast<unsigned char>(c) < kFirstUserCode + 8)
                c = static_cast<char>('0' + static_cast<unsigned char>(c) - kFirstUserCode);
        return text;
    }
    GlyphRows Glyph(const RenderedScreen& r, char cell)
    {
        return r.glyphs[static_cast<std::size_t>(static_cast<unsigned char>(cell) - kFirstUserCode)];
    }

    Geometry geometry_;
    std::unique_ptr<ClientSession> session_;
};

TEST_F(Render, StringsAreClippedAndATitleHasItsBar)
{
    Build({"widget_add s t title", "widget_set s t \"CPU Load\"", "widget_add s a string",
           "widget_set s a 15 2 \"clipped here\"", "widget_add s b string", "widget_set s b 0 3 \"x=0: hidden\""});
    const auto r = At(0);
    EXPECT_EQ(Shown(r, 0), "00 CPU Load 00000000");
    EXPECT_EQ(Shown(r, 1), "              clippe");
    EXPECT_EQ(Shown(r, 2), std::string(20, ' '));
    EXPECT_EQ(r.glyphsUsed, 1);
    EXPECT_EQ(r.glyphs[0], (GlyphRows{0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F}));
}

TEST_F(Render, ALongTitleRunsToAndFro)
{
    Build({"widget_add s t title", "widget_set s t \"A title of twenty-two\""});
    EXPECT_EQ(Row(At(0), 0).substr(3, 14), "A title of twe");
    EXPECT_EQ(Row(At(1), 0).substr(3, 14), " title of twen");
    EXPECT_EQ(Row(At(7), 0).substr(3, 14), " of twenty-two") << "at the end";
    EXPECT_EQ(Row(At(9), 0).substr(3, 14), "le of twenty-t") << "and back";
    EXPECT_EQ(Row(At(9), 0).substr(0, 2), Row(At(9), 0).substr(18, 2)) << "the bar stays";
}

TEST_F(Render, BarsEndInAPartialCell)
{
    Build({"widget_add s h hbar", "widget_set s h 2 1 13", "widget_add s v vbar", "widget_set s v 20 4 11"});
    const auto r = At(0);
    EXPECT_EQ(Shown(r, 0).substr(0, 5), " 001 ");
    const char partial = Row(r, 0)[3];
    EXPECT_EQ(Glyph(r, partial), (GlyphRows{0x1C, 0x1C, 0x1C, 0x1C, 0x1C, 0x1C, 0x1C, 0x1C})) << "3 of 5 columns";
    EXPECT_EQ(Shown(r, 3)[19], '0');
    const char top = Row(r, 2)[19];
    EXPECT_EQ(Glyph(r, top), (GlyphRows{0, 0, 0, 0, 0, 0x1F, 0x1F, 0x1F})) << "3 of 8 rows";
    EXPECT_EQ(Row(r, 1)[19], ' ');
}

TEST_F(Render, AProgressBarSitsBetweenItsLabels)
{
    Build({"widget_add s p pbar", "widget_set s p 1 1 10 500 [ ]"});
    EXPECT_EQ(Shown(At(0), 0).substr(0, 11), "[0000    ] ") << "half of 8 cells";
}

TEST_F(Render, BigDigitsSpanTheRowsWithUserCharacters)
{
    Build({"widget_add s n num", "widget_set s n 5 8", "widget_add s c num", "widget_set s c 8 10"});
    const auto r = At(0);
    for (int row = 0; row < 4; ++row) {
        const std::string cells = Row(r, row).substr(4, 3);
        EXPECT_NE(cells, "   ") << "row " << row;
        for (char c : cells)
            EXPECT_TRUE(c == ' ' || static_cast<unsigned char>(c) >= kFirstUserCode) << "row " << row;
    }
    EXPECT_LE(r.glyphsUsed, 4);
    Build({"widget_add s n num", "widget_set s n 1 3"}, Geometry{16, 2, 5, 8});
    const auto small = At(0);
    EXPECT_NE(Row(small, 0).substr(0, 3), "   ");
    EXPECT_NE(Row(small, 1).substr(0, 3), "   ");
}

TEST_F(Render, ScrollersMoveWithTheTimer)
{
    Build({"widget_add s h scroller", "widget_set s h 1 1 5 1 h 2 \"abcdefgh\"", "widget_add s m scroller",
           "widget_set s m 1 2 5 2 m 1 \"abcdefgh\"", "widget_add s v scroller",
           "widget_set s v 1 3 2 4 v 1 \"abcdefgh\""});
    EXPECT_EQ(Row(At(0), 0).substr(0, 5), "abcde");
    EXPECT_EQ(Row(At(2), 0).substr(0, 5), "bcdef") << "a step every second tick";
    EXPECT_EQ(Row(At(6), 0).substr(0, 5), "defgh") << "at the end";
    EXPECT_EQ(Row(At(8), 0).substr(0, 5), "cdefg") << "and back";
    EXPECT_EQ(Row(At(6), 1).substr(0, 5), "ghabc") << "a marquee goes round";
    EXPECT_EQ(Row(At(0), 2).substr(0, 2), "ab");
    EXPECT_EQ(Row(At(0), 3).substr(0, 2), "cd");
    EXPECT_EQ(Row(At(2), 2).substr(0, 2), "ef") << "vertical: a line per step";
}

// "Жизнь прекрасна!": sixteen letters, thirty bytes.
constexpr std::string_view kCyrillic = "\xD0\x96\xD0\xB8\xD0\xB7\xD0\xBD\xD1\x8C \xD0\xBF\xD1\x80\xD0\xB5\xD0\xBA"
                                       "\xD1\x80\xD0\xB0\xD1\x81\xD0\xBD\xD0\xB0!";

TEST_F(Render, Utf8TextsTakeACellPerLetter)
{
    const std::string set = "widget_set s a 1 1 \"" + std::string(kCyrillic) + "\"";
    const std::string twice = "widget_set s b 5 2 \"" + std::string(kCyrillic) + std::string(kCyrillic) + "\"";
    const std::string label = "widget_set s p 1 3 10 500 \"\xD0\x96\xD0\x96\" \"\xCE\xA9\"";
    Build({"widget_add s a string", set, "widget_add s b string", twice, "widget_add s p pbar", label}, {20, 4, 5, 8},
          true);
    const auto r = At(0);
    EXPECT_EQ(Cells(r, 0), U"Жизнь прекрасна!    ");
    EXPECT_EQ(Cells(r, 1), U"    Жизнь прекрасна!") << "clipped after sixteen letters, not bytes";
    const std::u32string bar = Cells(r, 2);
    EXPECT_EQ(bar.substr(0, 2), U"ЖЖ");
    EXPECT_EQ(bar[9], U'Ω') << "the labels take a cell per letter, the bar the seven between";
    EXPECT_EQ(bar.substr(10), std::u32string(10, U' '));
}

TEST_F(Render, ATitleOfLettersRunsByLetters)
{
    const std::string set = "widget_set s t \"" + std::string(kCyrillic) + "\"";
    Build({"widget_add s t title", set}, {20, 4, 5, 8}, true);
    EXPECT_EQ(Cells(At(0), 0).substr(3, 14), U"Жизнь прекрасн");
    EXPECT_EQ(Cells(At(1), 0).substr(3, 14), U"изнь прекрасна");
    EXPECT_EQ(Cells(At(2), 0).substr(3, 14), U"знь прекрасна!");
}

TEST_F(Render, AGreekScrollerMovesByLetters)
{
    // "αβγδεζηθ" in each direction.
    const std::string greek = "\"\xCE\xB1\xCE\xB2\xCE\xB3\xCE\xB4\xCE\xB5\xCE\xB6\xCE\xB7\xCE\xB8\"";
    const std::string h = "widget_set s h 1 1 5 1 h 2 " + greek;
    const std::string m = "widget_set s m 1 2 5 2 m 1 " + greek;
    const std::string v = "widget_set s v 1 3 2 4 v 1 " + greek;
    Build({"widget_add s h scroller", h, "widget_add s m scroller", m, "widget_add s v scroller", v}, {20, 4, 5, 8},
          true);
    EXPECT_EQ(Cells(At(0), 0).substr(0, 6), U"αβγδε ");
    EXPECT_EQ(Cells(At(2), 0).substr(0, 6), U"βγδεζ ") << "a letter every second tick";
    EXPECT_EQ(Cells(At(6), 0).substr(0, 6), U"δεζηθ ") << "at the end after three letters";
    EXPECT_EQ(Cells(At(8), 0).substr(0, 6), U"γδεζη ") << "and back";
    EXPECT_EQ(Cells(At(6), 1).substr(0, 6), U"ηθαβγ ") << "a marquee goes round by letters";
    EXPECT_EQ(Cells(At(0), 2).substr(0, 3), U"αβ ");
    EXPECT_EQ(Cells(At(0), 3).substr(0, 3), U"γδ ");
    EXPECT_EQ(Cells(At(2), 2).substr(0, 3), U"εζ ") << "vertical: a line of two letters per step";
}

TEST_F(Render, LatinOneAndBrokenUtf8AreCodePointsToo)
{
    Build({"widget_add s a string", "widget_set s a 1 1 \"K\xE4se \xFF\""});
    EXPECT_EQ(Cells(At(0), 0).substr(0, 7), U"Käse ÿ ") << "a Latin-1 client's 0xE4 is ä";
    Build({"widget_add s a string", "widget_set s a 1 1 \"K\xE4se\""}, {20, 4, 5, 8}, true);
    EXPECT_EQ(Cells(At(0), 0).substr(0, 5), U"K\uFFFDse ") << "a UTF-8 client's stray byte is one cell of U+FFFD";
}

TEST_F(Render, FramesScrollTheirContents)
{
    Build({"widget_add s f frame", "widget_set s f 3 2 8 3 6 4 v 2", "widget_add s a string -in f",
           "widget_set s a 1 1 first", "widget_add s b string -in f", "widget_set s b 1 3 \"third line\"",
           "widget_add s c string -in f", "widget_set s c 1 4 fourth"});
    auto r = At(0);
    EXPECT_EQ(Row(r, 1), "  first             ");
    EXPECT_EQ(Row(r, 2), std::string(20, ' '));
    r = At(4);
    EXPECT_EQ(Row(r, 1), "  third             ") << "clipped to the frame's six columns";
    EXPECT_EQ(Row(r, 2), "  fourth            ");
    EXPECT_EQ(Row(At(6), 1), "  first             ") << "and round again";
}

TEST_F(Render, IconsAndTheHeartbeat)
{
    Build({"screen_set s -heartbeat on", "widget_add s i icon", "widget_set s i 1 1 ARROW_UP", "widget_add s j icon",
           "widget_set s j 2 1 FF"});
    const auto beat = At(0);
    EXPECT_EQ(Row(beat, 0).substr(0, 3), "^>>");
    const char heart = Row(beat, 0)[19];
    ASSERT_GE(static_cast<unsigned char>(heart), kFirstUserCode);
    const auto other = At(4);
    EXPECT_NE(Glyph(other, Row(other, 0)[19]), Glyph(beat, heart)) << "the heart beats";
}

TEST_F(Render, WhenEightUserCharactersAreTakenStandInsAreUsed)
{
    std::vector<std::string> lines;
    for (int i = 1; i <= 7; ++i)
        lines.push_back("widget_add s v" + std::to_string(i) + " vbar"),
            lines.push_back("widget_set s v" + std::to_string(i) + " " + std::to_string(i) + " 1 " + std::to_string(i));
    lines.push_back("widget_add s h hbar");
    lines.push_back("widget_set s h 1 2 9");
    lines.push_back("widget_add s g hbar");
    lines.push_back("widget_set s g 1 3 2");
    std::vector<std::string_view> views(lines.begin(), lines.end());
    geometry_ = {20, 4, 5, 8};
    session_ = std::make_unique<ClientSession>(geometry_, false);
    session_->Execute("hello");
    session_->Execute("screen_add s");
    session_->Execute("screen_set s -heartbeat off");
    for (auto line : views)
        session_->Execute(line);
    const auto r = At(0);
    EXPECT_EQ(r.glyphsUsed, 8);
    EXPECT_EQ(Row(r, 1)[1], '#') << "4 of 5 columns: more than half, a block";
    EXPECT_EQ(Row(r, 2)[0], ' ') << "2 of 5 columns: less than half, nothing";
}

TEST_F(Render, HugeLengthsDrawWhatShows)
{
    Build({"widget_add s p pbar", "widget_set s p 1 1 500000 1000", "widget_add s v vbar",
           "widget_set s v 1 1000000 1000000", "widget_add s m scroller", "widget_set s m 1 3 1000000 3 m 1 abc",
           "widget_add s w vbar", "widget_set s w 20 4 1000000"});
    const auto r = At(3);
    EXPECT_EQ(Shown(r, 0), std::string(20, '0')) << "a full bar of half a million cells";
    EXPECT_EQ(Shown(r, 1), std::string(19, ' ') + "0") << "only the bar that reaches the screen";
    EXPECT_EQ(Shown(r, 2), "abc" + std::string(16, ' ') + "0");
    EXPECT_EQ(Shown(r, 3), std::string(19, ' ') + "0");
}

TEST_F(Render, ABarInAScrollingFrameShowsAsTheFrameMoves)
{
    Build({"widget_add s f frame", "widget_set s f 1 1 4 2 4 4 v 1", "widget_add s v vbar -in f",
           "widget_set s v 1 4 16"});
    EXPECT_EQ(Shown(At(0), 0).substr(0, 4), "    ");
    EXPECT_EQ(Shown(At(0), 1).substr(0, 4), "    ");
    EXPECT_EQ(Shown(At(2), 0).substr(0, 4), "0   ") << "the frame's last two rows";
    EXPECT_EQ(Shown(At(2), 1).substr(0, 4), "0   ");
}

TEST_F(Render, AScreenNarrowerThanTheDisplayClipsItsWidgets)
{
    Build({"screen_set s -wid 6", "widget_add s a string", "widget_set s a 1 1 \"abcdefghij\""});
    EXPECT_EQ(Row(At(0), 0), "abcdef              ");
}

TEST_F(Render, TheCursorBlinksOverItsCellAsLcddDrawsIt)
{
    Build({"widget_add s w string", "widget_set s w 1 2 abcdef", "screen_set s -cursor block -cursor_x 3 -cursor_y 2"});
    EXPECT_EQ(Shown(At(0), 1), "ab0def              ") << "a block, from a user character";
    EXPECT_EQ(Glyph(At(0), Row(At(0), 1)[2]), (GlyphRows{31, 31, 31, 31, 31, 31, 31, 31}));
    EXPECT_EQ(Shown(At(1), 1), "ab0def              ");
    EXPECT_EQ(Shown(At(2), 1), "abcdef              ") << "off for the next quarter second";
    EXPECT_EQ(Shown(At(3), 1), "abcdef              ");
    EXPECT_EQ(Shown(At(4), 1), "ab0def              ");
    session_->Execute("screen_set s -cursor under");
    EXPECT_EQ(Shown(At(0), 1), "ab_def              ");
    session_->Execute("screen_set s -cursor_x 20 -cursor_y 4");
    EXPECT_EQ(Row(At(0), 3).back(), '_') << "the last cell";
    session_->Execute("screen_set s -cursor off");
    EXPECT_EQ(Row(At(0), 3), std::string(20, ' '));
}

} // namespace
