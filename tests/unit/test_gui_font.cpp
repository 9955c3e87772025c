// The compiled-in GUI font: the datafile `data` holds one FONT of 11 x 20 glyphs for the codes
// 32 to 255, ready before main, and it draws ink into a memory bitmap.
#include <allegro.h>
#include <gtest/gtest.h>

#include "editor/gui_font.h"

namespace {

// Reads text as 8-bit characters for the lifetime of the guard, as the library does with U_ASCII.
struct ascii_text {
    int previous = get_uformat();
    ascii_text() { set_uformat(U_ASCII); }
    ~ascii_text() { set_uformat(previous); }
};

int ink_in(BITMAP *bmp, int x0, int y0, int w, int h, int ink) {
    int count = 0;
    for (int y = y0; y < y0 + h; y++)
        for (int x = x0; x < x0 + w; x++)
            count += getpixel(bmp, x, y) == ink;
    return count;
}

struct GuiFont : ::testing::Test {
    BITMAP *bmp = nullptr;
    void SetUp() override {
        bmp = create_bitmap(400, 60);
        ASSERT_NE(bmp, nullptr);
        clear_to_color(bmp, 0);
    }
    void TearDown() override { destroy_bitmap(bmp); }
};

TEST_F(GuiFont, DatafileHoldsOneFontThenTheEnd) {
    EXPECT_EQ(data[0].type, DAT_FONT);
    EXPECT_EQ(data[0].dat, gui_font());
    EXPECT_EQ(data[1].type, DAT_END);
    ASSERT_NE(gui_font(), nullptr);
    EXPECT_NE(gui_font(), font);
}

TEST_F(GuiFont, ConstructedAsMonoFontBeforeMain) {
    EXPECT_TRUE(is_mono_font(gui_font()));
    EXPECT_FALSE(is_color_font(gui_font()));
}

TEST_F(GuiFont, CellsAreElevenByTwenty) {
    EXPECT_EQ(text_height(gui_font()), GUI_FONT_H);
    EXPECT_EQ(text_length(gui_font(), "A"), GUI_FONT_W);
    EXPECT_EQ(text_length(gui_font(), "untitled"), 8 * GUI_FONT_W);
    EXPECT_EQ(text_length(gui_font(), ""), 0);
}

TEST_F(GuiFont, EveryCodeFrom32To255HasACell) {
    ascii_text guard;
    for (int c = GUI_FONT_FIRST; c <= GUI_FONT_LAST; c++) {
        char text[2] = {static_cast<char>(c), '\0'};
        SCOPED_TRACE(c);
        EXPECT_EQ(text_length(gui_font(), text), GUI_FONT_W);
    }
}

TEST_F(GuiFont, LetterHasInkInsideItsCellOnly) {
    textout_ex(bmp, gui_font(), "A", 10, 10, 1, -1);
    int inside = ink_in(bmp, 10, 10, GUI_FONT_W, GUI_FONT_H, 1);
    EXPECT_GT(inside, 10);
    EXPECT_EQ(ink_in(bmp, 0, 0, bmp->w, bmp->h, 1), inside);
}

TEST_F(GuiFont, SpaceHasNoInkAndBackgroundFillsTheCell) {
    textout_ex(bmp, gui_font(), " ", 0, 0, 1, 2);
    EXPECT_EQ(ink_in(bmp, 0, 0, GUI_FONT_W, GUI_FONT_H, 1), 0);
    EXPECT_EQ(ink_in(bmp, 0, 0, GUI_FONT_W, GUI_FONT_H, 2), GUI_FONT_W * GUI_FONT_H);
    EXPECT_EQ(ink_in(bmp, GUI_FONT_W, 0, 10, GUI_FONT_H, 2), 0);
}

TEST_F(GuiFont, LatinOneLetterHasInk) {
    ascii_text guard;
    const char text[] = {static_cast<char>(0xC4), '\0'}; // A with diaeresis
    textout_ex(bmp, gui_font(), text, 0, 0, 1, -1);
    EXPECT_GT(ink_in(bmp, 0, 0, GUI_FONT_W, GUI_FONT_H, 1), 10);
}

TEST_F(GuiFont, DistinctLettersDrawDistinctly) {
    textout_ex(bmp, gui_font(), "O", 0, 0, 1, -1);
    textout_ex(bmp, gui_font(), "I", 20, 0, 1, -1);
    int differing = 0;
    for (int y = 0; y < GUI_FONT_H; y++)
        for (int x = 0; x < GUI_FONT_W; x++)
            differing += getpixel(bmp, x, y) != getpixel(bmp, 20 + x, y);
    EXPECT_GT(differing, 5);
}

} // namespace
