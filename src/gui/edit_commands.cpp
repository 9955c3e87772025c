// Edit commands: precondition checks, the forwarding to the clipboard and block edits of the
// score model, and the measure-level edits (delete the cursor's measure, insert a measure with
// new settings). Every command that frees notes drops the editor's pointers into them.
#include "gui/edit_commands.h"

#include "editor/cursor.h"
#include "editor/scroll.h"
#include "editor/state.h"
#include "gui/alerts.h"
#include "gui/dialogs.h"
#include "gui/undo_commands.h"
#include "model/clipboard.h"
#include "model/selection.h"
#include "model/tie.h"
#include "model/undo.h"
#include "model/voice.h"

const char NO_CURSOR_MESSAGE[] = "Score Cursor is'nt set.See Help.";
const char NO_SELECTION_MESSAGE[] = "Nothing Selected.See Help.";

namespace {

constexpr int EXPAND_AND_VALIDATE = 1;

int cursor_set() {
    if (g_score.cursor_measure)
        return 1;
    warning(NO_CURSOR_MESSAGE);
    return 0;
}

int selection_set() {
    if (valid_selection(&g_score))
        return 1;
    warning(NO_SELECTION_MESSAGE);
    return 0;
}

// Runs a block edit that may free notes as one undo step over the measures from the one before
// first through last (null: to the end of the score); the score is marked changed when it did
// something.
int block_edit(int (*edit)(score *), const char *name, measure *first, measure *last) {
    undo_begin(&g_score, name);
    undo_touch(&g_score, first && first->prev ? first->prev : first, last);
    if (undo_commit(&g_score, edit(&g_score)))
        edited = 1;
    forget_note_pointers();
    return 1;
}

// Removes c from the score; keep takes its place as the cursor's (and, when c was shown
// first, the first shown) measure while tied notes are joined and split again around the gap.
void remove_measure(measure *c, measure *keep) {
    measure *p = c->prev;
    g_score.cursor_measure = keep;
    if (g_score.ref_measure == c) {
        g_score.ref_measure = keep;
        offset_x = 0;
    }
    if (p)
        measure_compress_by_measure(p);
    measure_compress_by_measure(c);
    _delete_measure_list(&g_score.measures, c, destroy_measure);
    // Pieces of c's notes that lay in the next measure went with c: its rests are rebuilt.
    if (keep != p)
        validate_measure(keep);
    if (p)
        _measure_expand_by_measure(&g_score, p, EXPAND_AND_VALIDATE);
}

// The fresh score's former first measure gives way to the new one in front of it.
void drop_measure_after(measure *m) {
    measure *old = m->next;
    measure_compress_by_measure(old);
    measure_compress_by_measure(m);
    _delete_measure_list(&g_score.measures, old, destroy_measure);
    _measure_expand_by_measure(&g_score, m, EXPAND_AND_VALIDATE);
    g_score.ref_measure = m;
    set_score_ref_x(&g_score);
}

} // namespace

void forget_note_pointers() {
    selected_note = nullptr;
    n_cur_position_notes = 0;
}

int menu_select_start() {
    if (!cursor_set())
        return 1;
    return set_select_start(&g_score);
}

int menu_select_end() {
    if (!cursor_set())
        return 1;
    return set_select_end(&g_score);
}

int menu_copy() {
    if (selection_set())
        copy_events(&g_score, &clip_board_measure, &clip_board_length);
    return 1;
}

int menu_paste_blend() {
    if (!cursor_set())
        return 1;
    undo_begin(&g_score, "paste blend");
    undo_touch_ticks(&g_score, g_score.cursor_measure, g_score.cursor_x, clip_board_reach());
    if (undo_commit(&g_score, paste_events_blend(&g_score, &clip_board_measure,
                                                 g_score.cursor_measure, g_score.cursor_x)))
        edited = 1;
    forget_note_pointers();
    return 1;
}

int menu_paste_solid() {
    if (!cursor_set())
        return 1;
    if (clip_board_empty()) {
        warning(NO_SELECTION_MESSAGE);
        return 1;
    }
    return block_edit(paste_events_solid, "paste solid", g_score.cursor_measure, nullptr);
}

int menu_delete_blend() {
    if (!selection_set())
        return 1;
    return block_edit(delete_events_blend, "delete blend", g_score.select_start,
                      g_score.select_end);
}

int menu_delete_solid() {
    if (!selection_set())
        return 1;
    return block_edit(delete_events_solid, "delete solid", g_score.select_start, nullptr);
}

int menu_delete_measure() {
    measure *c = g_score.cursor_measure;
    if (!cursor_set())
        return 0;
    measure *keep = c->next ? c->next : c->prev;
    if (!keep)
        return 1;
    undo_begin(&g_score, "delete measure");
    undo_touch(&g_score, c->prev ? c->prev : c, nullptr);
    remove_measure(c, keep);
    undo_commit(&g_score, 1);
    forget_note_pointers();
    clear_marker();
    set_score_ref_x(&g_score);
    edited = 1;
    return 1;
}

int menu_insert_new_property() {
    undo_begin(&g_score, "insert new property");
    measure *c = g_score.cursor_measure;
    undo_touch(&g_score, c && c->prev ? c->prev : c, nullptr);
    if (undo_commit(&g_score, change_setting()))
        edited = 1;
    return 1;
}

int change_setting() {
    measure *c = g_score.cursor_measure;
    if (!cursor_set())
        return 0;
    if (!menu_compose_dialog())
        return 0;
    measure *p = c->prev;
    if (p)
        measure_compress_by_measure(p);
    measure *m = insert_measure(&g_score, p, new_measure());
    set_measure(m, default_num, default_bit, default_key);
    validate_measure(m);
    g_score.cursor_measure = m;
    if (p)
        _measure_expand_by_measure(&g_score, p, EXPAND_AND_VALIDATE);
    set_score_ref_x(&g_score);
    return 1;
}

int new_setting() {
    g_score.cursor_measure = g_score.ref_measure;
    if (!change_setting())
        return 0;
    if (g_score.cursor_measure->next)
        drop_measure_after(g_score.cursor_measure);
    clear_marker();
    init_track_info(&g_score);
    update_active_tracks();
    return 1;
}
