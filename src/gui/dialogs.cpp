// The edit dialogs on screen: their dialog arrays and the handlers that fill the fields, run
// the library's modal loop and hand the typed values to dialog_apply. A dialog is cancelled
// through its second button (record 2) or Esc; any other close accepts it.
#include "gui/dialogs.h"

#include <algorithm>
#include <allegro.h>
#include <cstdio>

#include "editor/cursor.h"
#include "editor/state.h"
#include "files/midi_imp.h"
#include "gui/alerts.h"
#include "gui/calc.h"
#include "gui/undo_commands.h"
#include "model/block_edit.h"
#include "model/layout.h"
#include "model/selection.h"
#include "model/undo.h"

char num_text[FIELD_TEXT_SIZE];
char bit_text[FIELD_TEXT_SIZE];
char volume_text[FIELD_TEXT_SIZE];
char tempo_text[FIELD_TEXT_SIZE];
char track_text[FIELD_TEXT_SIZE];

namespace {

constexpr int FG = 255, BG = 0; // raw colour values of every record
constexpr int CANCEL = 2;       // the record whose button cancels a dialog
constexpr int RADIO_GROUP = 1;
constexpr int OPTION_FIRST_RADIO = 3, OPTION_RADIOS = 4, OPTION_CHECK = 8;
constexpr int MAX_TRANSPOSE = 127;

void *text(const char *s) {
    return const_cast<char *>(s);
}

DIALOG option_dialog[] = {
    {d_shadow_box_proc, 36, 32, 524, 372, FG, BG, 0, 0, 0, 0, nullptr, nullptr, nullptr},
    {d_button_proc, 84, 324, 164, 40, FG, BG, 0, D_EXIT, 0, 0, text("Ok"), nullptr, nullptr},
    {d_button_proc, 288, 324, 164, 40, FG, BG, 0, D_EXIT, 0, 0, text("Cancel"), nullptr, nullptr},
    {d_radio_proc, 84, 176, 360, 24, FG, BG, 0, 0, RADIO_GROUP, 0, text("No edit sound"), nullptr,
     nullptr},
    {d_radio_proc, 84, 84, 360, 24, FG, BG, 0, 0, RADIO_GROUP, 0, text("Single edit sound"),
     nullptr, nullptr},
    {d_radio_proc, 84, 116, 360, 24, FG, BG, 0, 0, RADIO_GROUP, 0, text("Track edit sound"),
     nullptr, nullptr},
    {d_radio_proc, 84, 144, 360, 24, FG, BG, 0, 0, RADIO_GROUP, 0, text("Entire edit sound"),
     nullptr, nullptr},
    {d_ctext_proc, 60, 48, 468, 36, FG, BG, 0, 0, 0, 0, text("Edit Sound Setting"), nullptr,
     nullptr},
    {d_check_proc, 92, 236, 416, 28, FG, BG, 0, 0, 0, 0, text("starting notes only"), nullptr,
     nullptr},
    {nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr},
};

DIALOG compose_dialog[] = {
    {d_shadow_box_proc, 16, 32, 500, 432, FG, BG, 0, 0, 0, 0, nullptr, nullptr, nullptr},
    {d_button_proc, 152, 440, 120, 16, FG, BG, 0, D_EXIT, 0, 0, text("OK"), nullptr, nullptr},
    {d_button_proc, 296, 440, 120, 16, FG, BG, 0, D_EXIT, 0, 0, text("Cancel"), nullptr, nullptr},
    {d_list_proc, 24, 40, 152, 168, FG, BG, 0, 0, 0, 0, reinterpret_cast<void *>(key_list_getter),
     nullptr, nullptr},
    {d_text_proc, 184, 160, 56, 24, FG, BG, 0, 0, 0, 0, text("tracks"), nullptr, nullptr},
    {d_edit_proc, 296, 160, 144, 24, FG, BG, 0, D_EXIT, 11, 0, track_text, nullptr, nullptr},
    {d_text_proc, 184, 48, 240, 24, FG, BG, 0, 0, 0, 0, text("the number of beats"), nullptr,
     nullptr},
    {d_edit_proc, 450, 48, 128, 24, FG, BG, 0, D_EXIT, 14, 0, num_text, nullptr, nullptr},
    {d_text_proc, 184, 88, 150, 24, FG, BG, 0, 0, 0, 0, text("one beat"), nullptr, nullptr},
    {d_edit_proc, 360, 88, 144, 24, FG, BG, 0, D_EXIT, 11, 0, bit_text, nullptr, nullptr},
    {d_text_proc, 184, 136, 70, 24, FG, BG, 0, 0, 0, 0, text("Tempo"), nullptr, nullptr},
    {d_edit_proc, 296, 136, 144, 24, FG, BG, 0, D_EXIT, 11, 0, tempo_text, nullptr, nullptr},
    {nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr},
};
constexpr int COMPOSE_KEY_LIST = 3;

DIALOG add_measures_dialog[] = {
    {d_shadow_box_proc, 96, 64, 240, 100, FG, BG, 0, 0, 0, 0, nullptr, nullptr, nullptr},
    {d_button_proc, 104, 128, 80, 20, FG, BG, 0, D_EXIT, 0, 0, text("OK"), nullptr, nullptr},
    {d_button_proc, 200, 128, 80, 20, FG, BG, 0, D_EXIT, 0, 0, text("Cancel"), nullptr, nullptr},
    {d_text_proc, 104, 72, 144, 20, FG, BG, 0, 0, 0, 0, text("How Many Insert?"), nullptr, nullptr},
    {d_text_proc, 104, 96, 90, 24, FG, BG, 0, 0, 0, 0, text("Number"), nullptr, nullptr},
    {d_edit_proc, 200, 96, 80, 24, FG, BG, 0, D_EXIT, 14, 0, num_text, nullptr, nullptr},
    {nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr},
};
constexpr int ADD_MEASURES_FIELD = 5;

// The one-field dialogs: box, "OK", "Cancel", a label and num_text (record 4).
#define ONE_FIELD_DIALOG(name, bx, by, bw, bh, lx, label)                                          \
    DIALOG name[] = {                                                                              \
        {d_shadow_box_proc, bx, by, bw, bh, FG, BG, 0, 0, 0, 0, nullptr, nullptr, nullptr},        \
        {d_button_proc, 96, 232, 176, 24, FG, BG, 0, D_EXIT, 0, 0, text("OK"), nullptr, nullptr},  \
        {d_button_proc, 280, 232, 192, 24, FG, BG, 0, D_EXIT, 0, 0, text("Cancel"), nullptr,       \
         nullptr},                                                                                 \
        {d_text_proc, lx, 168, 344, 24, FG, BG, 0, 0, 0, 0, text(label), nullptr, nullptr},        \
        {d_edit_proc, 104, 192, 368, 24, FG, BG, 0, D_EXIT, 14, 0, num_text, nullptr, nullptr},    \
        {nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr},                        \
    }

ONE_FIELD_DIALOG(dlg_midi_resolution, 20, 152, 600, 120, 34,
                 "Minimum note length (automatic, exact, 2's power(<=3*256 and >=3))");
ONE_FIELD_DIALOG(dlg_default_volume, 20, 152, 600, 120, 34, "default volume");
ONE_FIELD_DIALOG(dlg_set_volume, 20, 152, 600, 120, 34, "volume");
ONE_FIELD_DIALOG(dlg_go_measure, 88, 152, 400, 120, 104, "Measure Number");
ONE_FIELD_DIALOG(dlg_set_transpose, 88, 152, 400, 120, 104, "transpose");
constexpr int ONE_FIELD = 4;

DIALOG dlg_note_length[] = {
    {d_shadow_box_proc, 88, 152, 520, 200, FG, BG, 0, 0, 0, 0, nullptr, nullptr, nullptr},
    {d_button_proc, 96, 288, 176, 24, FG, BG, 0, D_EXIT, 0, 0, text("OK"), nullptr, nullptr},
    {d_button_proc, 280, 288, 192, 24, FG, BG, 0, D_EXIT, 0, 0, text("Cancel"), nullptr, nullptr},
    {d_text_proc, 104, 168, 344, 24, FG, BG, 0, 0, 0, 0,
     text("Note Length Expression(3*64=Quarter Note)"), nullptr, nullptr},
    {d_edit_proc, 104, 192, 368, 24, FG, BG, 0, D_EXIT, 14, 0, num_text, nullptr, nullptr},
    {d_text_proc, 104, 224, 344, 24, FG, BG, 0, 0, 0, 0, text("Note Volume(<=127)"), nullptr,
     nullptr},
    {d_edit_proc, 104, 256, 368, 24, FG, BG, 0, D_EXIT, 11, 0, volume_text, nullptr, nullptr},
    {nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr},
};

DIALOG dlg_set_key[] = {
    {d_shadow_box_proc, 88, 52, 400, 250, FG, BG, 0, 0, 0, 0, nullptr, nullptr, nullptr},
    {d_button_proc, 96, 252, 176, 24, FG, BG, 0, D_EXIT, 0, 0, text("OK"), nullptr, nullptr},
    {d_button_proc, 280, 252, 192, 24, FG, BG, 0, D_EXIT, 0, 0, text("Cancel"), nullptr, nullptr},
    {d_list_proc, 104, 60, 152, 168, FG, BG, 0, 0, 0, 0, reinterpret_cast<void *>(key_list_getter),
     nullptr, nullptr},
    {nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr},
};
constexpr int SET_KEY_LIST = 3;

DIALOG dlg_set_tempo[] = {
    {d_box_proc, 132, 168, 428, 100, FG, BG, 0, 0, 0, 0, nullptr, nullptr, nullptr},
    {d_button_proc, 140, 220, 212, 36, FG, BG, 0, D_EXIT, 0, 0, text("OK"), nullptr, nullptr},
    {d_button_proc, 364, 216, 188, 36, FG, BG, 0, D_EXIT, 0, 0, text("No"), nullptr, nullptr},
    {d_edit_proc, 344, 176, 212, 32, FG, BG, 0, D_EXIT, 14, 0, num_text, nullptr, nullptr},
    {d_text_proc, 148, 176, 160, 32, FG, BG, 0, 0, 0, 0, text("Set Tempo"), nullptr, nullptr},
    {nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr},
};
// The tempo field takes the focus, so that a typed value reaches it without a click.
constexpr int TEMPO_FIELD = 3;

constexpr int ESC_POLL_MS = 2;

// Runs a dialog; true when it was accepted (closed neither through its record 2 nor by Esc).
bool accepted(DIALOG *d, int focus) {
    int closed_by = run_dialog(d, focus);
    return closed_by != CANCEL && closed_by != DIALOG_ESCAPED;
}

void tie_message(const char *message) {
    alert("warning", "", message, "Ok", nullptr, 0, 0);
}

void set_field(char *field, int value) {
    std::snprintf(field, FIELD_TEXT_SIZE, "%d", value);
}

// Runs a one-field dialog proposing value; the typed text stays in num_text.
bool ask_number(DIALOG *d, int value) {
    set_field(num_text, value);
    return accepted(d, ONE_FIELD);
}

int selected_radio() {
    for (int i = 0; i < OPTION_RADIOS; i++)
        if (option_dialog[OPTION_FIRST_RADIO + i].flags & D_SELECTED)
            return i;
    return -1;
}

} // namespace

// The library's focus follows the pointer, and with the pointer away from every control no
// record has it, so Return would reach nothing. The first exit button is the default one: a
// Return while no other control holds the focus presses it, wherever the pointer is; a control
// under the pointer keeps the focus and takes Return as before.
static DIALOG *running_dialog = nullptr;

static bool is_return(int combo) {
    int ascii = combo & 0xff;
    return ascii == '\r' || ascii == '\n';
}

static bool other_record_has_focus(const DIALOG *self) {
    for (const DIALOG *r = running_dialog; r && r->proc; r++)
        if (r != self && (r->flags & D_GOTFOCUS))
            return true;
    return false;
}

static int default_button_proc(int msg, DIALOG *d, int c) {
    if (msg == MSG_XCHAR && is_return(c) && !other_record_has_focus(d))
        return D_CLOSE | D_USED_CHAR;
    return d_button_proc(msg, d, c);
}

static void set_default_button(DIALOG *d) {
    for (DIALOG *r = d; r->proc; r++)
        if ((r->proc == d_button_proc || r->proc == default_button_proc) && (r->flags & D_EXIT)) {
            r->proc = default_button_proc;
            return;
        }
}

// The dialogs are laid out for a 640 x 480 screen; on a larger one they show in its middle.
constexpr int LAYOUT_W = 640, LAYOUT_H = 480;

static void shift_dialog(DIALOG *d, int dx, int dy) {
    for (DIALOG *r = d; r->proc; r++) {
        r->x += dx;
        r->y += dy;
    }
}

int run_dialog(DIALOG *d, int focus) {
    // The records' raw colours index the glyph picture's palette, where they are too pale to
    // read; the dialogs take the editor's own black on white, as its menu and alerts do.
    for (DIALOG *r = d; r->proc; r++) {
        r->fg = gui_fg_color;
        r->bg = gui_bg_color;
    }
    set_default_button(d);
    DIALOG *outer = running_dialog;
    running_dialog = d;
    int dx = std::max(0, (SCREEN_W - LAYOUT_W) / 2), dy = std::max(0, (SCREEN_H - LAYOUT_H) / 2);
    shift_dialog(d, dx, dy);
    int closed_by = do_dialog(d, focus);
    shift_dialog(d, -dx, -dy);
    running_dialog = outer;
    poll_keyboard();
    while (key[KEY_ESC]) {
        rest(ESC_POLL_MS);
        poll_keyboard();
    }
    return closed_by;
}

int do_option_dialog() {
    for (int i = 0; i < OPTION_RADIOS; i++)
        option_dialog[OPTION_FIRST_RADIO + i].flags &= ~D_SELECTED;
    if (edit_sound_mode >= 0 && edit_sound_mode < OPTION_RADIOS)
        option_dialog[OPTION_FIRST_RADIO + edit_sound_mode].flags |= D_SELECTED;
    option_dialog[OPTION_CHECK].flags = starting_notes_only ? D_SELECTED : 0;
    if (run_dialog(option_dialog, CANCEL) != 1)
        return 1;
    if (selected_radio() >= 0)
        edit_sound_mode = selected_radio();
    starting_notes_only = (option_dialog[OPTION_CHECK].flags & D_SELECTED) ? 1 : 0;
    return 1;
}

int menu_compose_dialog() {
    compose_dialog[COMPOSE_KEY_LIST].d1 = row_of_key(default_key);
    set_field(num_text, default_num);
    set_field(bit_text, default_bit);
    set_field(tempo_text, default_tempo);
    set_field(track_text, track_num);
    if (!accepted(compose_dialog, 1))
        return 0;
    apply_compose_fields(num_text, bit_text, tempo_text, track_text,
                         compose_dialog[COMPOSE_KEY_LIST].d1);
    edited = 1;
    return 1;
}

int menu_insert_measures() {
    if (!g_score.cursor_measure) {
        warning("Score Cursor is'nt set.See Help.");
        return 0;
    }
    set_field(num_text, 1);
    if (!accepted(add_measures_dialog, ADD_MEASURES_FIELD))
        return 0;
    undo_begin(&g_score, "insert measures");
    undo_touch_selection(g_score.cursor_measure, nullptr);
    int before = g_score.measures.num;
    insert_measures(&g_score, field_int(num_text));
    undo_commit(&g_score, g_score.measures.num != before);
    return 1;
}

int do_midi_resolution_dialog() {
    midi_grid_choice_text(num_text, FIELD_TEXT_SIZE, midi_grid == MIDI_GRID_AUTO, midi_atom);
    if (!accepted(dlg_midi_resolution, ONE_FIELD))
        return 0;
    int automatic = midi_grid == MIDI_GRID_AUTO;
    midi_grid_from_text(num_text, &automatic, &midi_atom);
    midi_grid = automatic ? MIDI_GRID_AUTO : MIDI_GRID_EXACT;
    return 1;
}

int do_set_default_volume_dialog() {
    if (!ask_number(dlg_default_volume, default_volume))
        return 0;
    default_volume = default_volume_from_text(num_text, default_volume);
    return 1;
}

int do_set_volume_dialog() {
    if (const char *problem = selection_problem(&g_score)) {
        warning(problem);
        return 0;
    }
    if (!ask_number(dlg_set_volume, selection_average_volume(&g_score)))
        return 0;
    undo_begin(&g_score, "set volume");
    undo_touch_selection(g_score.select_start, g_score.select_end);
    if (undo_commit(&g_score, set_selection_volume(&g_score, velocity_from_text(num_text))))
        edited = 1;
    return 1;
}

int do_set_note_length_and_volume_dialog() {
    note *n = nullptr;
    measure *m = screen_score_find_note(&g_score, cursor.x, cursor.y, &n, 0);
    if (!m || !n)
        return 0;
    note_length_text(n, num_text, FIELD_TEXT_SIZE);
    set_field(volume_text, n->volume);
    double v;
    if (!accepted(dlg_note_length, ONE_FIELD) || !calc(num_text, &v))
        return 0;
    undo_begin(&g_score, "set note property");
    undo_touch(&g_score, m, m);
    undo_touch_ticks(&g_score, m, n->x, std::max(calc_to_int(v), int(n->total_len)));
    int changed = apply_note_length(&g_score, m, n, calc_to_int(v));
    if (calc(volume_text, &v) && apply_note_volume(n, calc_to_int(v)))
        edited = changed = 1;
    undo_commit(&g_score, changed);
    return changed;
}

int do_go_measure_dialog() {
    if (!ask_number(dlg_go_measure, g_score.ref_x))
        return 0;
    int n = field_int(num_text);
    if (n > 0)
        go_to_measure(&g_score, n);
    return 1;
}

int menu_set_key() {
    if (!valid_selection(&g_score)) {
        warning("Nothing Selected.See Help.");
        return 0;
    }
    dlg_set_key[SET_KEY_LIST].d1 = row_of_key(0);
    if (!accepted(dlg_set_key, CANCEL))
        return 0;
    undo_begin(&g_score, "set key");
    undo_touch_selection(g_score.select_start, g_score.select_end);
    if (undo_commit(&g_score, set_key(&g_score, key_of_row(dlg_set_key[SET_KEY_LIST].d1))))
        edited = 1;
    return 1;
}

int menu_transpose() {
    if (!valid_selection(&g_score)) {
        warning("Nothing Selected.See Help.");
        return 0;
    }
    if (!ask_number(dlg_set_transpose, 0))
        return 0;
    int semitones = field_int(num_text);
    if (semitones > MAX_TRANSPOSE)
        semitones = MAX_TRANSPOSE;
    if (semitones < -MAX_TRANSPOSE)
        semitones = -MAX_TRANSPOSE;
    undo_begin(&g_score, "transpose");
    undo_touch_selection(g_score.select_start, g_score.select_end);
    if (undo_commit(&g_score, transpose(&g_score, semitones)))
        edited = 1;
    return 1;
}

int menu_set_tempo() {
    if (const char *problem = selection_problem(&g_score)) {
        warning(problem);
        return 0;
    }
    int t2;
    tempo_proposal(&g_score, num_text, FIELD_TEXT_SIZE, &t2);
    if (!accepted(dlg_set_tempo, TEMPO_FIELD))
        return 0;
    undo_begin(&g_score, "set tempo");
    undo_touch_selection(g_score.select_start, g_score.select_end);
    const char *problem = apply_selection_tempo(&g_score, num_text, t2);
    undo_commit(&g_score, !problem);
    if (problem)
        warning(problem);
    else
        edited = 1;
    return 1;
}

int menu_tie() {
    note *n = nullptr;
    measure *m = screen_score_find_note(&g_score, cursor.x, cursor.y, &n, 0);
    undo_begin(&g_score, "tie to previous");
    undo_touch_selection(m, m);
    const char *problem = tie_note(m, n);
    undo_commit(&g_score, !problem);
    if (problem)
        tie_message(problem);
    return 1;
}

int menu_untie() {
    note *n = nullptr;
    measure *m = screen_score_find_note(&g_score, cursor.x, cursor.y, &n, 0);
    undo_begin(&g_score, "untie from previous");
    undo_touch_selection(m, m);
    const char *problem = untie_note(n);
    undo_commit(&g_score, !problem);
    if (problem)
        tie_message(problem);
    return 1;
}
