// Undo and redo as the user sees them: the history of the score model swaps a stretch of
// measures back; the editor then drops its pointers into the freed notes, brings the changed
// measure into view and sets the unsaved-changes mark from the history.
#include "gui/undo_commands.h"

#include <allegro.h>
#include <algorithm>
#include <cstdio>

#include "editor/state.h"
#include "gui/edit_commands.h"
#include "gui/menu.h"
#include "model/seq.h"
#include "model/undo.h"

namespace {

constexpr int UNDO_ENTRY = 0;
constexpr int REDO_ENTRY = 1;
constexpr int MENU_TEXT_SIZE = 64;

char undo_text[MENU_TEXT_SIZE];
char redo_text[MENU_TEXT_SIZE];

// Whether measure index i starts inside the width of the score area, from ref_measure on.
bool measure_on_screen(score *s, int i) {
    int ref = get_pos_by_measure(s, s->ref_measure);
    if (i < ref)
        return false;
    int room = s->limit.x - s->origin.x, x = 0;
    measure *m = s->ref_measure;
    for (int k = ref; m && k < i; k++, m = m->next)
        x += m->width;
    return m && x < room;
}

void show_changed_measure(score *s) {
    int i = undo_changed_measure();
    measure *m = get_measure_by_pos(s, i);
    if (!m)
        m = s->measures.tail;
    if (!measure_on_screen(s, i)) {
        s->ref_measure = m;
        offset_x = 0;
    }
    set_score_ref_x(s);
}

int after_step(int done) {
    if (!done)
        return 1;
    forget_note_pointers();
    show_changed_measure(&g_score);
    edited = !undo_at_saved();
    return 1;
}

void set_menu_text(MENU *item, char *text, const char *verb, const char *name) {
    if (name)
        std::snprintf(text, MENU_TEXT_SIZE, "%s %s", verb, name);
    else
        std::snprintf(text, MENU_TEXT_SIZE, "%s", verb);
    item->text = text;
    item->flags = name ? 0 : D_DISABLED;
}

} // namespace

int menu_undo() {
    return after_step(undo(&g_score));
}

int menu_redo() {
    return after_step(redo(&g_score));
}

void undo_touch_selection(measure *first, measure *last) {
    undo_touch(&g_score, first && first->prev ? first->prev : first, last);
}

int clip_board_reach() {
    int reach = 0;
    for (note *n = clip_board_measure.notes.head; n; n = n->next)
        reach = std::max(reach, n->x + n->total_len);
    for (m_event *e = clip_board_measure.m_events.head; e; e = e->next)
        reach = std::max(reach, e->x + 1);
    return reach;
}

void update_undo_menu() {
    set_menu_text(&edit_menu[UNDO_ENTRY], undo_text, "undo", undo_name());
    set_menu_text(&edit_menu[REDO_ENTRY], redo_text, "redo", redo_name());
}
