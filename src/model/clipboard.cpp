// The clipboard measure, its track maps, the copy of a selection into it and the blend paste.
#include "model/clipboard.h"

#include <algorithm>

#include "model/pitch.h"
#include "model/selection.h"
#include "model/tie.h"
#include "model/voice.h"

measure clip_board_measure;
int clip_board_length = 0;
int8_t clipboard_track[MAX_TRACKS];
int n_clipboard_track = 0;
int paste_end_x = 0;
measure *paste_end_measure = nullptr;

namespace {

// Signature events stand this many ticks before the start of the measure they describe.
constexpr int SIGNATURE_LEAD = 1;

void append_event(measure *target, int x, int type, int value) {
    m_event *e = new_m_event();
    e->x = x;
    e->type = static_cast<int16_t>(type);
    e->value = value;
    _append_m_event_list(&target->m_events, e);
}

// Appends the signature of m and its selected tempo events, placed from offset a.
void copy_measure_events(score *s, measure *m, int cls, int a, measure *target) {
    append_event(target, a - SIGNATURE_LEAD, EVENT_NUM, m->num);
    append_event(target, a - SIGNATURE_LEAD, EVENT_BIT, m->bit);
    append_event(target, a - SIGNATURE_LEAD, EVENT_KEY, m->key);
    for (m_event *e = m->m_events.head; e; e = e->next)
        if (is_selected_note(s, cls, e->x))
            append_event(target, a + e->x, e->type, e->value);
}

// Appends, whole, every note that starts at a selected position of m. A piece that continues
// an earlier one belongs to a note that started before it and is left out.
void copy_measure_notes(score *s, measure *m, int cls, int a, measure *target, int by_active) {
    for (note *n = m->notes.head; n; n = n->next) {
        if (n->rest || n->l_prev || !is_selected_note(s, cls, n->x))
            continue;
        if (by_active && (!track_shown(n->track) || n->track >= g_score.track_num))
            continue;
        note *c = new_note();
        c->x = a + n->x;
        c->pitch = n->pitch;
        c->volume = n->volume;
        c->staccato = n->staccato;
        c->len = c->total_len = n->total_len;
        c->track = by_active ? clipboard_track[n->track] : n->track;
        _append_note_list(&target->notes, c);
    }
}

// The signature a paste gives the measures it appends.
struct signature {
    int num, bit, key;
};

// Appends a measure of signature sig after the last measure of s; an unusable signature
// (from a damaged clipboard) falls back to the last measure's, so every measure has a length.
measure *append_signed_measure(score *s, measure *last, const signature &sig) {
    measure *m = insert_measure(s, last, new_measure());
    if (sig.num > 0 && sig.bit > 0)
        set_measure(m, sig.num, sig.bit, sig.key);
    return m;
}

// A cursor walking the measures from a start, appending measures past the end of the score.
struct measure_cursor {
    measure *m;
    int sum;      // ticks from the start measure to the start of m
    int distance; // measures from the start measure to m
};

// Moves c on until tick `at` (from the start measure) lies inside c.m. Appended measures get
// sig, or copy their predecessor's signature when sig is null.
void advance_to(score *s, measure_cursor *c, int at, const signature *sig) {
    while (at >= c->sum + c->m->len) {
        if (!c->m->next) {
            if (sig)
                append_signed_measure(s, c->m, *sig);
            else
                insert_measure(s, c->m, new_measure());
        }
        c->sum += c->m->len;
        c->m = c->m->next;
        c->distance++;
    }
}

// Places the events of source; returns the number of tempo events inserted. Leaves in *ev
// the measure the last event reached.
int paste_events(score *s, measure *source, int x, measure_cursor *ev) {
    signature sig{ev->m->num, ev->m->bit, ev->m->key};
    int count = 0;
    for (m_event *e = source->m_events.head; e; e = e->next) {
        int at = x + e->x;
        advance_to(s, ev, at, &sig);
        switch (e->type) {
        case EVENT_TEMPO: {
            m_event *t = new_m_event();
            t->x = at - ev->sum;
            t->type = EVENT_TEMPO;
            t->value = e->value;
            _insert_sorted_m_event_list(&ev->m->m_events, t, m_event_comp);
            count++;
            break;
        }
        case EVENT_KEY:
            sig.key = e->value;
            break;
        case EVENT_NUM:
            sig.num = e->value;
            break;
        case EVENT_BIT:
            sig.bit = e->value;
            break;
        case EVENT_SELECT_END:
            paste_end_x = at - ev->sum;
            paste_end_measure = ev->m;
            break;
        default:
            break;
        }
    }
    return count;
}

// Inserts the notes of source, whole, among the notes already there; returns their number.
// Leaves in *f the measure of the last note.
int paste_notes(score *s, measure *source, int x, int by_active, measure_cursor *f) {
    int count = 0;
    for (note *n = source->notes.head; n; n = n->next) {
        if (n->track < 0 || n->track >= g_score.track_num ||
            (by_active && n->track >= n_clipboard_track))
            continue;
        int at = x + n->x;
        advance_to(s, f, at, nullptr);
        note *p = new_note();
        p->x = at - f->sum;
        p->pitch = n->pitch;
        p->volume = n->volume;
        p->staccato = n->staccato;
        p->len = p->total_len = n->total_len;
        p->track = by_active ? clipboard_track[n->track] : n->track;
        get_note_pos_y(f->m, p);
        _insert_sorted_note_list(&f->m->notes, p, note_comp);
        count++;
    }
    return count;
}

// Expands the measures from start through `through` measures on, then validates every
// measure touched: those, the ones the expansion reached and the first `also` measures.
void expand_and_validate(score *s, measure *start, int through, int also) {
    int last = also;
    int distance = 0;
    for (measure *m = start; m && distance <= through; m = m->next, distance++)
        last = std::max(last, distance + measure_expand_by_measure(s, m));
    last = std::max(last, through);
    distance = 0;
    for (measure *m = start; m && distance <= last; m = m->next, distance++)
        validate_measure(m);
}

} // namespace

int clip_board_empty() {
    for (m_event *e = clip_board_measure.m_events.head; e; e = e->next)
        if (e->type == EVENT_SELECT_END)
            return 0;
    return 1;
}

int copy_events(score *s, measure *target, int *length_out) {
    return _copy_events(s, target, length_out, 1);
}

int _copy_events(score *s, measure *target, int *length_out, int by_active) {
    if (!valid_selection(s))
        return 0;
    destroy_measure(target);
    init_measure(target);
    if (by_active)
        get_active_track_order(clipboard_track, &n_clipboard_track);
    *length_out = get_seletion_length(s);
    int a = -s->select_start_x;
    for (measure *m = s->select_start; m; a += m->len, m = m->next) {
        int cls = is_selected_measure(s, m);
        copy_measure_events(s, m, cls, a, target);
        copy_measure_notes(s, m, cls, a, target, by_active);
        if (m == s->select_end) {
            append_event(target, a + s->select_end_x, EVENT_SELECT_END, m->key);
            break;
        }
    }
    return 1;
}

int paste_events_blend(score *s, measure *source, measure *m, int x) {
    return _paste_events_blend(s, source, m, x, 1);
}

int _paste_events_blend(score *s, measure *source, measure *m, int x, int by_active) {
    if (!m)
        return 0;
    int count_tracks = 0;
    get_active_track(clipboard_track, &count_tracks);
    n_clipboard_track = count_tracks;
    if (by_active && n_clipboard_track == 0)
        return 0;
    paste_end_measure = nullptr;
    paste_end_x = 0;
    measure_cursor ev{m, 0, 0};
    int count = paste_events(s, source, x, &ev);
    measure_cursor f{m, 0, 0};
    count += paste_notes(s, source, x, by_active, &f);
    // Measures appended for the events alone are validated too, so that they get their rests.
    expand_and_validate(s, m, f.distance, ev.distance);
    s->cursor_measure = nullptr;
    return count;
}
