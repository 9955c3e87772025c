// The glyph set: loading "mfont.pcx", the red copy, the 59 cells as sub-bitmaps, the four
// length tables (only the nine plain lengths filled), and destroying and rebuilding the set.
// Runs in the build directory, where mfont.pcx is generated.
#include <allegro.h>
#include <climits>
#include <cstdio>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

#include "render/glyphs.h"

namespace {

const int PLAIN_INDEXES[] = {767, 383, 191, 95, 47, 23, 11, 5, 2};

BITMAP **all_glyphs[] = {
    &note1,
    &note1s,
    &note2,
    &note2s,
    &note4,
    &note4s,
    &note8,
    &note8s,
    &note16,
    &note16s,
    &note32,
    &note32s,
    &note64,
    &note64s,
    &note128,
    &note128s,
    &note256,
    &note256s,
    &icon_select,
    &icon_insert,
    &icon_dot_mode,
    &icon_flat,
    &icon_flat_s,
    &icon_sharp,
    &icon_sharp_s,
    &icon_natural,
    &icon_natural_s,
    &icon_double_sharp,
    &icon_double_sharp_s,
    &icon_double_flat,
    &icon_double_flat_s,
    &icon_dot,
    &icon_dot_s,
    &icon_plus,
    &icon_plus_s,
    &icon_minus,
    &icon_minus_s,
    &icon_exit,
    &icon_exit_s,
    &icon_triplet,
    &icon_triplet_s,
    &rest1,
    &rest1s,
    &rest2,
    &rest2s,
    &rest4,
    &rest4s,
    &rest8,
    &rest8s,
    &rest16,
    &rest16s,
    &rest32,
    &rest32s,
    &rest64,
    &rest64s,
    &rest128,
    &rest128s,
    &rest256,
    &rest256s,
};

bool is_plain_index(int i) {
    for (int p : PLAIN_INDEXES)
        if (p == i)
            return true;
    return false;
}

struct Glyphs : ::testing::Test {
    void TearDown() override { destroy_all_fonts(); }
};

TEST_F(Glyphs, FiftyNineDistinctGlyphs) {
    ASSERT_EQ(get_note_font(), 1);
    std::set<BITMAP *> seen;
    for (BITMAP **g : all_glyphs) {
        ASSERT_NE(*g, nullptr);
        EXPECT_EQ((*g)->w, GLYPH_W);
        EXPECT_EQ((*g)->h, GLYPH_H);
        EXPECT_TRUE(is_sub_bitmap(*g));
        seen.insert(*g);
    }
    EXPECT_EQ(seen.size(), 59u);
}

TEST_F(Glyphs, CellsAreCutSideBySideFromTheRightPicture) {
    ASSERT_EQ(get_note_font(), 1);
    struct {
        BITMAP *glyph, *parent;
        int cell;
    } cases[] = {{note1, note_font, 0},       {note1s, note_font_s, 0},
                 {icon_select, note_font, 5}, {icon_dot_mode, note_font, 13},
                 {note32s, note_font_s, 14},  {rest1, note_font, 21},
                 {rest256s, note_font_s, 29}, {icon_triplet_s, note_font_s, 30}};
    for (auto c : cases) {
        SCOPED_TRACE(c.cell);
        // A sub-bitmap shares its parent's rows, offset by its x position.
        EXPECT_EQ(c.glyph->line[0], c.parent->line[0] + c.cell * GLYPH_W);
        EXPECT_EQ(c.glyph->x_ofs, c.cell * GLYPH_W);
        EXPECT_EQ(c.glyph->y_ofs, 0);
    }
}

TEST_F(Glyphs, TablesHoldThePlainLengthsAtTheirIndexes) {
    ASSERT_EQ(get_note_font(), 1);
    BITMAP *notes[] = {note1, note2, note4, note8, note16, note32, note64, note128, note256};
    BITMAP *notes_s[] = {note1s,  note2s,  note4s,   note8s,  note16s,
                         note32s, note64s, note128s, note256s};
    BITMAP *rests[] = {rest1, rest2, rest4, rest8, rest16, rest32, rest64, rest128, rest256};
    BITMAP *rests_s[] = {rest1s,  rest2s,  rest4s,   rest8s,  rest16s,
                         rest32s, rest64s, rest128s, rest256s};
    for (int i = 0; i < 9; i++) {
        int index = PLAIN_INDEXES[i];
        SCOPED_TRACE(index);
        EXPECT_EQ(note_table[index], notes[i]);
        EXPECT_EQ(note_table_s[index], notes_s[i]);
        EXPECT_EQ(rest_table[index], rests[i]);
        EXPECT_EQ(rest_table_s[index], rests_s[i]);
    }
    EXPECT_EQ(note_table[191], note4);
    EXPECT_EQ(note_table_s[191], note4s);
}

TEST_F(Glyphs, EveryOtherTableEntryIsNull) {
    ASSERT_EQ(get_note_font(), 1);
    for (int i = 0; i < GLYPH_TABLE_SIZE; i++) {
        if (is_plain_index(i))
            continue;
        SCOPED_TRACE(i);
        EXPECT_EQ(note_table[i], nullptr);
        EXPECT_EQ(note_table_s[i], nullptr);
        EXPECT_EQ(rest_table[i], nullptr);
        EXPECT_EQ(rest_table_s[i], nullptr);
    }
}

TEST_F(Glyphs, RedPictureFollowsThePlainOne) {
    ASSERT_EQ(get_note_font(), 1);
    ASSERT_EQ(note_font_s->w, note_font->w);
    ASSERT_EQ(note_font_s->h, note_font->h);
    int red = makecol(255, 0, 0);
    int ink = 0;
    for (int y = 0; y < note_font->h; y++)
        for (int x = 0; x < note_font->w; x++) {
            int plain = getpixel(note_font, x, y);
            int copy = getpixel(note_font_s, x, y);
            if (plain == 0) {
                EXPECT_EQ(copy, 0) << x << "," << y;
            } else {
                EXPECT_EQ(copy, red) << x << "," << y;
                ink++;
            }
        }
    EXPECT_GT(ink, 0); // the picture is not blank, so the rule was exercised
}

TEST_F(Glyphs, EveryRedGlyphHasInk) {
    ASSERT_EQ(get_note_font(), 1);
    int red = makecol(255, 0, 0);
    BITMAP *red_glyphs[] = {note1s, note4s, note256s, icon_sharp_s, rest4s, icon_triplet_s};
    for (BITMAP *g : red_glyphs) {
        int count = 0;
        for (int y = 0; y < GLYPH_H; y++)
            for (int x = 0; x < GLYPH_W; x++)
                count += getpixel(g, x, y) == red;
        EXPECT_GT(count, 0);
    }
}

TEST_F(Glyphs, MakeRedKeepsBackgroundZeroIn8Bit) {
    BITMAP *b = create_bitmap_ex(8, 4, 2);
    ASSERT_NE(b, nullptr);
    int values[] = {0, 1, 7, 255, 0, 0, 200, 3};
    for (int i = 0; i < 8; i++)
        putpixel(b, i % 4, i / 4, values[i]);
    make_red_bitmap(b);
    int red = makecol(255, 0, 0);
    for (int i = 0; i < 8; i++)
        EXPECT_EQ(getpixel(b, i % 4, i / 4), values[i] == 0 ? 0 : red) << i;
    destroy_bitmap(b);
}

// In the true-colour depths the background of a loaded picture is the library's mask colour.
TEST_F(Glyphs, MakeRedKeepsMaskColourInTrueColour) {
    int depth = get_color_depth();
    set_color_depth(32);
    BITMAP *b = create_bitmap(3, 1);
    ASSERT_NE(b, nullptr);
    int mask = bitmap_mask_color(b);
    putpixel(b, 0, 0, mask);
    putpixel(b, 1, 0, makecol(0, 0, 0));
    putpixel(b, 2, 0, makecol(10, 200, 30));
    make_red_bitmap(b);
    int red = makecol(255, 0, 0);
    EXPECT_EQ(getpixel(b, 0, 0), mask);
    EXPECT_EQ(getpixel(b, 1, 0), red);
    EXPECT_EQ(getpixel(b, 2, 0), red);
    destroy_bitmap(b);
    set_color_depth(depth);
}

TEST_F(Glyphs, DestroyClearsEveryGlyphAndBothPictures) {
    ASSERT_EQ(get_note_font(), 1);
    destroy_all_fonts();
    EXPECT_EQ(note_font, nullptr);
    EXPECT_EQ(note_font_s, nullptr);
    for (BITMAP **g : all_glyphs)
        EXPECT_EQ(*g, nullptr);
    destroy_all_fonts(); // a second destroy finds nothing to free
}

// Run under the sanitizer build: a glyph of an earlier build left alive is reported as a leak.
TEST_F(Glyphs, RebuildTwiceLeavesOnlyTheLastSet) {
    for (int round = 0; round < 3; round++) {
        ASSERT_EQ(get_note_font(), 1);
        EXPECT_EQ(note_table[191], note4);
        EXPECT_EQ(note4->line[0], note_font->line[0] + 2 * GLYPH_W);
        destroy_all_fonts();
        for (BITMAP **g : all_glyphs)
            ASSERT_EQ(*g, nullptr);
    }
}

// Cases that run in a scratch directory instead of the build directory.
struct GlyphsElsewhere : Glyphs {
    char dir[64] = "/tmp/plinkel_glyphs_XXXXXX";
    char home[PATH_MAX];
    void SetUp() override {
        ASSERT_NE(getcwd(home, sizeof(home)), nullptr);
        ASSERT_NE(mkdtemp(dir), nullptr);
        ASSERT_EQ(chdir(dir), 0);
    }
    void TearDown() override {
        Glyphs::TearDown();
        std::remove("mfont.pcx");
        EXPECT_EQ(chdir(home), 0);
        rmdir(dir);
    }
    void expect_nothing_created() {
        EXPECT_EQ(note_font, nullptr);
        EXPECT_EQ(note_font_s, nullptr);
        for (BITMAP **g : all_glyphs)
            EXPECT_EQ(*g, nullptr);
    }
};

TEST_F(GlyphsElsewhere, MissingPictureReturnsZeroAndCreatesNothing) {
    EXPECT_EQ(get_note_font(), 0);
    expect_nothing_created();
}

TEST_F(GlyphsElsewhere, PictureTooSmallForTheCellsIsRefused) {
    BITMAP *small = create_bitmap_ex(8, 100, 32);
    clear_to_color(small, 1);
    PALETTE pal;
    get_palette(pal);
    ASSERT_EQ(save_pcx("mfont.pcx", small, pal), 0);
    destroy_bitmap(small);
    EXPECT_EQ(get_note_font(), 0);
    expect_nothing_created();
}

TEST_F(GlyphsElsewhere, CorruptPictureIsRefused) {
    std::FILE *f = std::fopen("mfont.pcx", "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("this is not a picture", f);
    std::fclose(f);
    EXPECT_EQ(get_note_font(), 0);
    expect_nothing_created();
}

} // namespace
