// The glyphs in every colour depth the mode selector offers: drawn over a staff line, a note
// covers the line only where it has ink, and its red twin is red only where the note has ink.
#include <allegro.h>
#include <gtest/gtest.h>

#include "render/glyphs.h"

namespace {

constexpr int LINE_Y = 20; // a row of the quarter note's cell that its head does not fill

struct GlyphDepth : ::testing::TestWithParam<int> {
    void SetUp() override { set_color_depth(GetParam()); }
    void TearDown() override {
        destroy_all_fonts();
        set_color_depth(8);
    }
};

TEST_P(GlyphDepth, BackgroundStaysTransparent) {
    ASSERT_EQ(get_note_font(), 1);
    ASSERT_EQ(bitmap_color_depth(note4), GetParam());
    BITMAP *page = create_bitmap(GLYPH_W, GLYPH_H);
    ASSERT_NE(page, nullptr);
    int white = makecol(255, 255, 255), black = makecol(0, 0, 0), red = makecol(255, 0, 0);
    clear_to_color(page, white);
    hline(page, 0, LINE_Y, GLYPH_W - 1, black);
    masked_blit(note4, page, 0, 0, 0, 0, GLYPH_W, GLYPH_H);
    int mask = bitmap_mask_color(note4), line_seen = 0, background = 0, red_ink = 0, ink = 0;
    for (int y = 0; y < GLYPH_H; y++)
        for (int x = 0; x < GLYPH_W; x++) {
            bool is_ink = getpixel(note4, x, y) != mask;
            ink += is_ink;
            background += !is_ink;
            red_ink += getpixel(note4s, x, y) == red;
            if (y == LINE_Y && !is_ink) {
                EXPECT_EQ(getpixel(page, x, y), black) << "staff line hidden at " << x;
                line_seen++;
            } else if (!is_ink) {
                EXPECT_EQ(getpixel(page, x, y), white) << x << "," << y;
            }
        }
    EXPECT_GT(line_seen, GLYPH_W / 2);
    EXPECT_GT(background, GLYPH_W * GLYPH_H / 2);
    EXPECT_EQ(red_ink, ink) << "the red twin must be red exactly where the note has ink";
    destroy_bitmap(page);
}

INSTANTIATE_TEST_SUITE_P(EveryDepth, GlyphDepth, ::testing::Values(8, 15, 16, 24, 32));

} // namespace
