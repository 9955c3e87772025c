// Loading the glyph picture, its red copy for selected symbols, and cutting both into cells.
#include "render/glyphs.h"

#include "base/datadir.h"

PALETTE the_palette;
BITMAP *note_font = nullptr;
BITMAP *note_font_s = nullptr;

BITMAP *note1, *note1s, *note2, *note2s, *note4, *note4s, *note8, *note8s;
BITMAP *note16, *note16s, *note32, *note32s, *note64, *note64s;
BITMAP *note128, *note128s, *note256, *note256s;
BITMAP *icon_select, *icon_insert, *icon_dot_mode;
BITMAP *icon_flat, *icon_flat_s, *icon_sharp, *icon_sharp_s;
BITMAP *icon_natural, *icon_natural_s, *icon_double_sharp, *icon_double_sharp_s;
BITMAP *icon_double_flat, *icon_double_flat_s, *icon_dot, *icon_dot_s;
BITMAP *icon_plus, *icon_plus_s, *icon_minus, *icon_minus_s, *icon_exit, *icon_exit_s;
BITMAP *icon_triplet, *icon_triplet_s;
BITMAP *rest1, *rest1s, *rest2, *rest2s, *rest4, *rest4s, *rest8, *rest8s;
BITMAP *rest16, *rest16s, *rest32, *rest32s, *rest64, *rest64s;
BITMAP *rest128, *rest128s, *rest256, *rest256s;

BITMAP *note_table[GLYPH_TABLE_SIZE];
BITMAP *note_table_s[GLYPH_TABLE_SIZE];
BITMAP *rest_table[GLYPH_TABLE_SIZE];
BITMAP *rest_table_s[GLYPH_TABLE_SIZE];

namespace {

enum table_kind { NO_TABLE, NOTE_TABLE, REST_TABLE };

// One cell of the picture: its glyph, its red twin (null for the panel icons that have none)
// and, for notes and rests, the plain length it stands for.
struct cell {
    BITMAP **plain;
    BITMAP **red;
    table_kind table;
    int len;
};

const cell cells[GLYPH_CELLS] = {
    {&note1, &note1s, NOTE_TABLE, 768},
    {&note2, &note2s, NOTE_TABLE, 384},
    {&note4, &note4s, NOTE_TABLE, 192},
    {&note8, &note8s, NOTE_TABLE, 96},
    {&note16, &note16s, NOTE_TABLE, 48},
    {&icon_select, nullptr, NO_TABLE, 0},
    {&icon_insert, nullptr, NO_TABLE, 0},
    {&icon_flat, &icon_flat_s, NO_TABLE, 0},
    {&icon_sharp, &icon_sharp_s, NO_TABLE, 0},
    {&icon_natural, &icon_natural_s, NO_TABLE, 0},
    {&icon_double_sharp, &icon_double_sharp_s, NO_TABLE, 0},
    {&icon_double_flat, &icon_double_flat_s, NO_TABLE, 0},
    {&icon_dot, &icon_dot_s, NO_TABLE, 0},
    {&icon_dot_mode, nullptr, NO_TABLE, 0},
    {&note32, &note32s, NOTE_TABLE, 24},
    {&note64, &note64s, NOTE_TABLE, 12},
    {&note128, &note128s, NOTE_TABLE, 6},
    {&note256, &note256s, NOTE_TABLE, 3},
    {&icon_plus, &icon_plus_s, NO_TABLE, 0},
    {&icon_minus, &icon_minus_s, NO_TABLE, 0},
    {&icon_exit, &icon_exit_s, NO_TABLE, 0},
    {&rest1, &rest1s, REST_TABLE, 768},
    {&rest2, &rest2s, REST_TABLE, 384},
    {&rest4, &rest4s, REST_TABLE, 192},
    {&rest8, &rest8s, REST_TABLE, 96},
    {&rest16, &rest16s, REST_TABLE, 48},
    {&rest32, &rest32s, REST_TABLE, 24},
    {&rest64, &rest64s, REST_TABLE, 12},
    {&rest128, &rest128s, REST_TABLE, 6},
    {&rest256, &rest256s, REST_TABLE, 3},
    {&icon_triplet, &icon_triplet_s, NO_TABLE, 0},
};

BITMAP *cut(BITMAP *picture, int index) {
    return create_sub_bitmap(picture, index * GLYPH_W, 0, GLYPH_W, GLYPH_H);
}

// Loads the picture in the screen's colour depth. Outside 8-bit modes the library converts
// the palette picture on loading; it must turn index 0, the background, into the mask colour,
// or every glyph would be an opaque block hiding the staff lines behind it.
BITMAP *load_picture(const char *path) {
    int conversion = get_color_conversion();
    set_color_conversion(conversion | COLORCONV_KEEP_TRANS);
    BITMAP *picture = load_pcx(path, the_palette);
    set_color_conversion(conversion);
    return picture;
}

} // namespace

// Background is the bitmap's mask colour: 0 in 8-bit modes, where the picture's palette index 0
// is the background, and the library's mask pink in the other depths, which is what palette
// index 0 becomes when the picture is converted on loading. Everything else is ink.
void make_red_bitmap(BITMAP *bitmap) {
    int red = makecol(255, 0, 0);
    int background = bitmap_mask_color(bitmap);
    for (int y = 0; y < bitmap->h; y++)
        for (int x = 0; x < bitmap->w; x++)
            if (getpixel(bitmap, x, y) != background)
                putpixel(bitmap, x, y, red);
}

int get_note_font() {
    char path[1024];
    find_data_file("mfont.pcx", path, sizeof(path));
    BITMAP *picture = load_picture(path);
    if (!picture)
        return 0;
    if (picture->w < GLYPH_CELLS * GLYPH_W || picture->h < GLYPH_H) {
        destroy_bitmap(picture);
        return 0;
    }
    note_font = picture;
    if (get_color_depth() == 8)
        set_palette(the_palette);
    note_font_s = create_bitmap(note_font->w, note_font->h);
    blit(note_font, note_font_s, 0, 0, 0, 0, note_font->w, note_font->h);
    make_red_bitmap(note_font_s);

    for (int i = 0; i < GLYPH_CELLS; i++) {
        const cell &c = cells[i];
        *c.plain = cut(note_font, i);
        if (c.red)
            *c.red = cut(note_font_s, i);
        if (c.table == NOTE_TABLE) {
            note_table[c.len - 1] = *c.plain;
            note_table_s[c.len - 1] = *c.red;
        } else if (c.table == REST_TABLE) {
            rest_table[c.len - 1] = *c.plain;
            rest_table_s[c.len - 1] = *c.red;
        }
    }
    return 1;
}

void destroy_all_fonts() {
    if (!note_font)
        return;
    for (const cell &c : cells) {
        destroy_bitmap(*c.plain);
        *c.plain = nullptr;
        if (c.red) {
            destroy_bitmap(*c.red);
            *c.red = nullptr;
        }
    }
    destroy_bitmap(note_font);
    destroy_bitmap(note_font_s);
    note_font = note_font_s = nullptr;
}
