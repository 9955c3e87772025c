// Block edits: blend and solid deletes, the solid paste, key and transposition of the
// selection, and the removal of marked tracks.
#include "model/block_edit.h"

#include <algorithm>
#include <vector>

#include "model/clipboard.h"
#include "model/layout.h"
#include "model/pitch.h"
#include "model/selection.h"
#include "model/tie.h"
#include "model/view.h"
#include "model/voice.h"

namespace {

constexpr int LOWEST_PITCH = -60; // MIDI key 0
constexpr int HIGHEST_PITCH = 67; // MIDI key 127

// Compresses m and deletes its selected elements of shown tracks (and its selected events
// when every track is shown). Returns the number of notes and events deleted; rests, which
// validation makes again, are not counted. Raises *reach to the number of following measures
// the compressed notes had reached: a deleted note leaves rests to be filled there.
int delete_selected_in(score *s, measure *m, int *reach) {
    *reach = std::max(*reach, measure_compress_by_measure(m));
    int cls = is_selected_measure(s, m);
    int deleted = 0;
    for (note *n = m->notes.head; n;) {
        if (!track_shown(n->track) || !is_selected_note(s, cls, n->x)) {
            n = n->next;
            continue;
        }
        deleted += n->rest ? 0 : 1;
        n = _delete_note_list(&m->notes, n, nullptr);
    }
    if (n_active_track != g_score.track_num)
        return deleted;
    for (m_event *e = m->m_events.head; e;) {
        if (!is_selected_note(s, cls, e->x)) {
            e = e->next;
            continue;
        }
        deleted++;
        e = _delete_m_event_list(&m->m_events, e, nullptr);
    }
    return deleted;
}

// Expands every measure from first through last and validates from first through the last
// measure reached (last included), and at least `reached` measures after first.
void expand_range(score *s, measure *first, measure *last, int reached) {
    int reach = reached;
    int distance = 0;
    for (measure *m = first; m; m = m->next, distance++) {
        reach = std::max(reach, distance + measure_expand_by_measure(s, m));
        if (m == last)
            break;
    }
    reach = std::max(reach, distance);
    distance = 0;
    for (measure *m = first; m && distance <= reach; m = m->next, distance++)
        validate_measure(m);
}

// A measure holding nothing but rests.
bool holds_nothing(measure *m) {
    if (m->m_events.head)
        return false;
    for (note *n = m->notes.head; n; n = n->next)
        if (!n->rest)
            return false;
    return true;
}

// The score's pointers and the paste end into m, which is about to be deleted.
void forget_deleted_measure(score *s, measure *m) {
    forget_measure(s, m, nullptr);
    if (paste_end_measure == m)
        paste_end_measure = nullptr;
}

// Selects from (m, x) to a new empty measure appended at the end of the score and copies that
// span, every track with its own number, into rest_of_score.
void copy_to_end(score *s, measure *m, int x, measure *rest_of_score) {
    s->select_start = m;
    s->select_start_x = x;
    s->select_end = insert_measure(s, s->measures.tail, new_measure());
    s->select_end_x = 0;
    int length = 0;
    _copy_events(s, rest_of_score, &length, 0);
}

// The end of a solid edit around the cut at measure cut: drops the measure the pasted-back
// remainder ended in when it is empty and starts exactly at its end marker (the measure
// appended by copy_to_end), clears the selection and the cursor, joins the notes around the
// cut again and keeps the view on the measure it showed.
void finish_solid_edit(score *s, measure *cut, int ref_index) {
    measure *end = paste_end_measure;
    if (end && end != cut && paste_end_x == 0 && holds_nothing(end)) {
        forget_deleted_measure(s, end);
        _delete_measure_list(&s->measures, end, destroy_measure);
    }
    init_score_select(s);
    if (cut->prev)
        _measure_expand_by_measure(s, cut->prev, 1);
    _measure_expand_by_measure(s, cut, 1);
    s->cursor_measure = nullptr;
    measure *ref = get_measure_by_pos(s, std::max(ref_index, 0));
    s->ref_measure = ref ? ref : s->measures.tail;
    offset_x = get_near_x_by_pos_x(s->ref_measure, get_near_pos_x_by_x(s->ref_measure, offset_x));
    set_score_ref_x(s);
}

// Re-spells the selected notes of m in its key; returns how many spellings changed. Rests
// are left to the validation that follows, which places them anew.
int respell_selected(score *s, measure *m) {
    int cls = is_selected_measure(s, m);
    int changed = 0;
    for (note *n = m->notes.head; n; n = n->next) {
        if (n->rest || !is_selected_note(s, cls, n->x))
            continue;
        int old_y = n->pos.y;
        int old_accidental = n->accidental;
        get_note_pos_y(m, n);
        changed += n->pos.y != old_y || n->accidental != old_accidental;
    }
    return changed;
}

struct placed_note {
    measure *m;
    note *n;
};

void collect_note(measure *m, note *n, void *data) {
    if (!n->rest)
        static_cast<std::vector<placed_note> *>(data)->push_back({m, n});
}

// Cuts a tie between pieces that no longer share a pitch: the pieces on each side become
// notes of their own, so every tie chain keeps one pitch.
void untie_changed(note *n) {
    if (n->l_prev && n->l_prev->pitch != n->pitch) {
        note *before = n->l_prev;
        _l_untie_note(n);
        update_note_list(before);
    }
    if (n->l_next && n->l_next->pitch != n->pitch) {
        note *after = n->l_next;
        _l_untie_note(after);
        update_note_list(after);
    }
    update_note_list(n);
}

// Puts n back in its sorted place after its pitch changed.
void resort_note(measure *m, note *n) {
    _unlink_note_list(&m->notes, n);
    _insert_sorted_note_list(&m->notes, n, note_comp);
}

void validate_measures(std::vector<measure *> &touched) {
    std::sort(touched.begin(), touched.end());
    touched.erase(std::unique(touched.begin(), touched.end()), touched.end());
    for (measure *m : touched)
        validate_measure(m);
}

} // namespace

int delete_events_blend(score *s) {
    if (!valid_selection(s))
        return 0;
    update_active_tracks();
    if (n_active_track == 0)
        return 0;
    measure *first = s->select_start->prev ? s->select_start->prev : s->select_start;
    // Validation must also reach the measures that deleted notes had been tied into.
    int reach = 0;
    if (s->select_start->prev)
        reach = measure_compress_by_measure(s->select_start->prev);
    int deleted = 0;
    int distance = first == s->select_start ? 0 : 1;
    for (measure *m = s->select_start; m; m = m->next, distance++) {
        int count = 0;
        deleted += delete_selected_in(s, m, &count);
        reach = std::max(reach, distance + count);
        if (m == s->select_end)
            break;
    }
    expand_range(s, first, s->select_end, reach);
    return deleted > 0;
}

int delete_events_solid(score *s) {
    // Both ends must be set and in order: cutting at a start that lies after the end would
    // paste the stretch between them a second time.
    if (!valid_selection(s))
        return 0;
    int ref_index = get_pos_by_measure(s, s->ref_measure);
    measure *cut = s->select_start;
    int cut_x = s->select_start_x;
    measure rest_of_score;
    init_measure(&rest_of_score);
    copy_to_end(s, s->select_end, s->select_end_x, &rest_of_score);
    truncate_measure(s, cut, cut_x);
    _paste_events_blend(s, &rest_of_score, cut, cut_x, 0);
    finish_solid_edit(s, cut, ref_index);
    destroy_measure(&rest_of_score);
    return 1;
}

int paste_events_solid(score *s) {
    measure *cut = s->cursor_measure;
    if (!cut || clip_board_empty())
        return 0;
    update_active_tracks();
    if (n_active_track == 0)
        return 0;
    int ref_index = get_pos_by_measure(s, s->ref_measure);
    int cut_x = s->cursor_x;
    measure rest_of_score;
    init_measure(&rest_of_score);
    copy_to_end(s, cut, cut_x, &rest_of_score);
    truncate_measure(s, cut, cut_x);
    _paste_events_blend(s, &clip_board_measure, cut, cut_x, 1);
    measure *end = paste_end_measure ? paste_end_measure : cut;
    int end_x = paste_end_measure ? paste_end_x : cut_x;
    _paste_events_blend(s, &rest_of_score, end, end_x, 0);
    finish_solid_edit(s, cut, ref_index);
    destroy_measure(&rest_of_score);
    return 1;
}

int set_key(score *s, int key) {
    if (!valid_selection(s))
        return 0;
    // Only measures wholly inside the selection take the key.
    measure *first = s->select_start;
    if (s->select_start_x != 0) {
        if (first == s->select_end)
            return 0;
        first = first->next;
    }
    int changed = 0;
    for (measure *m = first; m; m = m->next) {
        if (m == s->select_end && s->select_end_x == 0)
            break;
        changed += m->key != key;
        m->key = static_cast<int16_t>(key);
        changed += respell_selected(s, m);
        validate_measure(m);
        if (m == s->select_end)
            break;
    }
    return changed > 0;
}

int transpose(score *s, int semitones) {
    std::vector<placed_note> selected;
    foreach_selection(s, collect_note, &selected);
    std::vector<measure *> touched;
    for (const placed_note &p : selected) {
        int pitch = std::clamp(p.n->pitch + semitones, LOWEST_PITCH, HIGHEST_PITCH);
        if (pitch == p.n->pitch)
            continue;
        p.n->pitch = static_cast<int16_t>(pitch);
        get_note_pos_y(p.m, p.n);
        resort_note(p.m, p.n);
        touched.push_back(p.m);
    }
    for (const placed_note &p : selected)
        untie_changed(p.n);
    validate_measures(touched);
    return !touched.empty();
}

int remove_checked_track(score *s) {
    get_not_remove_track_order(not_remove_track, &n_not_remove_track);
    for (measure *m = s->measures.head; m; m = m->next)
        for (note *n = m->notes.head; n;) {
            bool known = n->track >= 0 && n->track < s->track_num;
            if (known && s->tracks[n->track].remove) {
                n = _delete_note_list(&m->notes, n, nullptr);
                continue;
            }
            if (known)
                n->track = not_remove_track[n->track];
            n = n->next;
        }
    int kept = 0;
    for (int t = 0; t < s->track_num; t++)
        if (!s->tracks[t].remove)
            s->tracks[kept++] = s->tracks[t];
    if (kept == 0) {
        s->tracks[0].remove = 0;
        s->tracks[0].active = 1;
        kept = 1;
    }
    s->track_num = kept;
    update_active_tracks();
    return s->track_num;
}
