// The glyph set: every musical symbol and panel icon, cut from the picture "mfont.pcx" (31 cells
// of 16 x 32 pixels) and from its red copy, plus the four tables that map a plain note length
// (ticks - 1) to its note or rest glyph.
#pragma once

#include <allegro.h>

constexpr int GLYPH_W = 16;
constexpr int GLYPH_H = 32;
constexpr int GLYPH_CELLS = 31;
constexpr int GLYPH_TABLE_SIZE = 768;

extern PALETTE the_palette;
extern BITMAP *note_font;
extern BITMAP *note_font_s;

extern BITMAP *note1, *note1s, *note2, *note2s, *note4, *note4s, *note8, *note8s;
extern BITMAP *note16, *note16s, *note32, *note32s, *note64, *note64s;
extern BITMAP *note128, *note128s, *note256, *note256s;
extern BITMAP *icon_select, *icon_insert, *icon_dot_mode;
extern BITMAP *icon_flat, *icon_flat_s, *icon_sharp, *icon_sharp_s;
extern BITMAP *icon_natural, *icon_natural_s, *icon_double_sharp, *icon_double_sharp_s;
extern BITMAP *icon_double_flat, *icon_double_flat_s, *icon_dot, *icon_dot_s;
extern BITMAP *icon_plus, *icon_plus_s, *icon_minus, *icon_minus_s, *icon_exit, *icon_exit_s;
extern BITMAP *icon_triplet, *icon_triplet_s;
extern BITMAP *rest1, *rest1s, *rest2, *rest2s, *rest4, *rest4s, *rest8, *rest8s;
extern BITMAP *rest16, *rest16s, *rest32, *rest32s, *rest64, *rest64s;
extern BITMAP *rest128, *rest128s, *rest256, *rest256s;

extern BITMAP *note_table[GLYPH_TABLE_SIZE];
extern BITMAP *note_table_s[GLYPH_TABLE_SIZE];
extern BITMAP *rest_table[GLYPH_TABLE_SIZE];
extern BITMAP *rest_table_s[GLYPH_TABLE_SIZE];

// 1 when the set is ready, 0 when the picture cannot be loaded (nothing is created then).
int get_note_font();
void make_red_bitmap(BITMAP *bitmap);
void destroy_all_fonts();
