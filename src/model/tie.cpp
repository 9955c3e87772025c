// Tied notes: the chain links, total lengths along a chain, expansion of notes into notatable
// pieces tied across bar lines, compression of a chain back into one note, and cutting the
// score at a position.
#include "model/tie.h"

#include "model/length.h"
#include "model/note_order.h"
#include "model/pitch.h"
#include "model/voice.h"

namespace {

// A new piece continuing n: same pitch, track, volume and articulation, spelled in the key of m.
note *new_piece_of(measure *m, const note *n, int x, int len) {
    note *p = new_note();
    p->x = x;
    p->len = p->total_len = static_cast<int16_t>(len);
    p->pitch = n->pitch;
    p->track = n->track;
    p->volume = n->volume;
    p->staccato = n->staccato;
    get_note_pos_y(m, p);
    return p;
}

// How a new piece enters its measure's note list: sorted at once (an edit), or appended and
// sorted with the whole list afterwards (a whole score, where one sorted insertion after another
// would cost the square of the pieces that meet at one tick).
enum piece_placement { PLACE_SORTED, PLACE_APPENDED };

void place_piece(measure *m, note *after, note *piece, piece_placement placement) {
    if (placement == PLACE_APPENDED)
        _append_note_list(&m->notes, piece);
    else if (after)
        insert_note_sorted_after(m, after, piece);
    else
        _insert_sorted_note_list(&m->notes, piece, note_comp);
}

// Validates m and the count measures after it, as far as the score goes.
void validate_reach(measure *m, int count) {
    for (int i = 0; m && i <= count; i++, m = m->next)
        validate_measure(m);
}

// Only a piece that starts inside m can be cut at its bar line: one starting at or past it
// (a malformed position) would be left with a negative length.
bool crosses_bar_line(const measure *m, const note *piece) {
    return piece->x < m->len && piece->x + piece->len > m->len;
}

// Cuts piece at the bar line of m and continues it at the start of the next measure
// (appended when m is the last one). Returns the new piece and its measure.
note *split_at_bar_line(score *s, measure **m, note *piece, piece_placement placement) {
    int overhang = piece->x + piece->len - (*m)->len;
    piece->len = static_cast<int16_t>((*m)->len - piece->x);
    if (!(*m)->next)
        insert_measure(s, *m, new_measure());
    *m = (*m)->next;
    note *tail_piece = new_piece_of(*m, piece, 0, overhang);
    _l_link_note(piece, tail_piece);
    place_piece(*m, nullptr, tail_piece, placement);
    return tail_piece;
}

void delete_notes_from(measure *m, int x) {
    for (note *n = m->notes.head; n;)
        n = n->x >= x ? _delete_note_list(&m->notes, n, nullptr) : n->next;
}

void delete_events_from(measure *m, int x) {
    for (m_event *e = m->m_events.head; e;)
        e = e->x >= x ? _delete_m_event_list(&m->m_events, e, nullptr) : e->next;
}

// The piece after piece in its chain, moving *m on when that piece opens the next measure.
// Null at the end of the chain, or when the chain runs past the last measure.
note *next_piece(measure **m, const note *piece) {
    note *next = piece->l_next;
    if (next && next->x == 0) {
        if (!(*m)->next)
            return nullptr;
        *m = (*m)->next;
    }
    return next;
}

// Splits the chain from n at every bar line it crosses, appending measures at the end of the
// score; returns the number of following measures it reaches. Total lengths are left as they are.
int split_at_bar_lines(score *s, measure *m, note *n, piece_placement placement) {
    int count = 0;
    for (note *piece = n; piece;) {
        if (crosses_bar_line(m, piece)) {
            piece = split_at_bar_line(s, &m, piece, placement);
            count++;
            continue;
        }
        measure *before = m;
        piece = next_piece(&m, piece);
        if (m != before)
            count++;
    }
    return count;
}

// Clips one piece to its first notatable value; a remainder, when there is one, is inserted
// after it in m and linked as its successor.
void clip_piece(measure *m, note *piece, piece_placement placement) {
    int whole = piece->len;
    if (whole <= 0)
        return;
    int clipped = 0;
    int value = get_clipped_len(m, piece->x, whole, &clipped);
    piece->triplet = is_exact_triplet(value) ? 1 : 0;
    piece->len = static_cast<int16_t>(value);
    if (!clipped || whole <= value)
        return;
    note *tail_piece = new_piece_of(m, piece, piece->x + value, whole - value);
    place_piece(m, piece, tail_piece, placement);
    _l_link_note(piece, tail_piece);
}

void clip_chain(measure *m, note *n, piece_placement placement) {
    for (note *piece = n; piece; piece = next_piece(&m, piece))
        clip_piece(m, piece, placement);
    update_note_list(n);
}

// The pieces clip_piece makes of whole ticks from x in m.
int64_t clipped_pieces(measure *m, int x, int whole) {
    int64_t count = 0;
    while (whole > 0) {
        count++;
        int clipped = 0;
        int value = get_clipped_len(m, x, whole, &clipped);
        if (!clipped || whole <= value || value <= 0)
            break;
        x += value;
        whole -= value;
    }
    return count;
}

// The pieces a whole note of len ticks from x in m becomes, counted up to budget; *beyond gets
// the measures it would append past the last one (which inherit the last one's signature).
int64_t note_pieces(measure *m, int x, int len, int64_t budget, int *beyond) {
    int64_t count = 0;
    *beyond = 0;
    for (;;) {
        int room = m->len - x;
        if (room <= 0)
            return count + 1;
        int segment = len < room ? len : room;
        count += clipped_pieces(m, x, segment);
        len -= segment;
        if (len <= 0 || count > budget)
            return count;
        if (m->next)
            m = m->next;
        else
            ++*beyond;
        x = 0;
    }
}

} // namespace

void forget_measure(score *s, measure *m, measure *survivor) {
    if (s->ref_measure == m)
        s->ref_measure = survivor;
    if (s->cursor_measure == m)
        s->cursor_measure = nullptr;
    if (s->select_start == m)
        s->select_start = nullptr;
    if (s->select_end == m)
        s->select_end = nullptr;
}

note *_l_start_note(note *piece) {
    while (piece && piece->l_prev)
        piece = piece->l_prev;
    return piece;
}

note *_l_link_note(note *piece, note *new_piece) {
    if (!new_piece)
        return nullptr;
    if (!piece) {
        new_piece->l_next = new_piece->l_prev = nullptr;
        return new_piece;
    }
    new_piece->l_next = piece->l_next;
    new_piece->l_prev = piece;
    if (piece->l_next)
        piece->l_next->l_prev = new_piece;
    piece->l_next = new_piece;
    return new_piece;
}

note *_l_unlink_note(note *piece) {
    if (!piece)
        return nullptr;
    if (piece->l_prev)
        piece->l_prev->l_next = piece->l_next;
    if (piece->l_next)
        piece->l_next->l_prev = piece->l_prev;
    return piece;
}

note *_l_tie_note(note *earlier, note *later) {
    if (later)
        later->l_prev = earlier;
    if (earlier)
        earlier->l_next = later;
    return later;
}

note *_l_untie_note(note *piece) {
    if (!piece)
        return nullptr;
    if (piece->l_prev)
        piece->l_prev->l_next = nullptr;
    piece->l_prev = nullptr;
    return piece;
}

int update_note_list(note *piece) {
    if (!piece)
        return 0;
    while (piece->l_next)
        piece = piece->l_next;
    int16_t sum = 0;
    for (;; piece = piece->l_prev) {
        sum = static_cast<int16_t>(sum + piece->len);
        piece->total_len = sum;
        if (!piece->l_prev)
            return sum;
    }
}

int get_total_len(note *piece) {
    return update_note_list(piece);
}

int __note_expand_by_measure(score *s, measure *m, note *n) {
    int count = split_at_bar_lines(s, m, n, PLACE_SORTED);
    update_note_list(n);
    return count;
}

int note_expand_by_note(measure *m, note *n) {
    if (!n || n->rest)
        return 0;
    clip_chain(m, n, PLACE_SORTED);
    return 1;
}

int _note_expand_by_measure(score *s, measure *m, note *n, int validate) {
    if (!n || n->rest)
        return 0;
    // The clipping below recomputes the total lengths of the whole chain.
    int count = split_at_bar_lines(s, m, n, PLACE_SORTED);
    note_expand_by_note(m, n);
    if (validate)
        validate_reach(m, count);
    return count;
}

int note_expand_by_measure(score *s, measure *m, note *n) {
    return _note_expand_by_measure(s, m, n, 0);
}

int _measure_expand_by_measure(score *s, measure *m, int validate) {
    int reach = 0;
    for (note *n = m->notes.head; n; n = n->next) {
        if (n->rest)
            continue;
        int count = _note_expand_by_measure(s, m, n, 0);
        if (count > reach)
            reach = count;
    }
    if (validate)
        validate_reach(m, reach);
    return reach;
}

int measure_expand_by_measure(score *s, measure *m) {
    return _measure_expand_by_measure(s, m, 0);
}

// A chain is expanded from its first piece, which reaches all of it; its later pieces, met again
// further on, are notatable already, and going over the rest of the chain from each of them would
// make a long note over many short measures cost the square of its pieces. New pieces are
// appended and every list sorted once at the end.
int score_expand_by_measure(score *s) {
    int count = 0;
    for (measure *m = s->measures.head; m; m = m->next, count++)
        for (note *n = m->notes.head; n; n = n->next)
            if (!n->rest && !n->l_prev) {
                split_at_bar_lines(s, m, n, PLACE_APPENDED);
                clip_chain(m, n, PLACE_APPENDED);
            }
    for (measure *m = s->measures.head; m; m = m->next)
        sort_note_list(&m->notes);
    return count;
}

expansion_size score_expansion_size(measure *first, int64_t max_pieces) {
    expansion_size size = {0, 0};
    for (measure *m = first; m && size.pieces <= max_pieces; m = m->next)
        for (note *n = m->notes.head; n && size.pieces <= max_pieces; n = n->next) {
            if (n->rest || n->l_prev)
                continue;
            int beyond = 0;
            size.pieces += note_pieces(m, n->x, n->len, max_pieces - size.pieces, &beyond);
            if (beyond > size.appended_measures)
                size.appended_measures = beyond;
        }
    return size;
}

int note_compress_by_measure(measure *m, note *n) {
    if (!n || n->rest)
        return 0;
    int starts = 0;
    int sum = 0;
    for (note *p = n; p; p = p->l_next) {
        if (p->x == 0)
            starts++;
        sum += p->len;
    }
    n->len = n->total_len = static_cast<int16_t>(sum);
    while (note *p = n->l_next) {
        _l_unlink_note(p);
        if (p->x == 0)
            m = m->next;
        _delete_note_list(&m->notes, p, nullptr);
    }
    if (n->x != 0)
        return starts;
    return starts > 0 ? starts - 1 : 0;
}

int measure_compress_by_measure(measure *m) {
    int reach = 0;
    for (note *n = m->notes.head; n; n = n->next) {
        int count = note_compress_by_measure(m, n);
        if (count > reach)
            reach = count;
    }
    return reach;
}

int truncate_measure(score *s, measure *m, int x) {
    measure_compress_by_measure(m);
    if (m->prev)
        measure_compress_by_measure(m->prev);
    delete_notes_from(m, x);
    delete_events_from(m, x);
    while (m->next) {
        forget_measure(s, m->next, m);
        _delete_measure_list(&s->measures, m->next, destroy_measure);
    }
    measure *prev = m->prev;
    if (x == 0 && prev) {
        _unlink_measure_list(&s->measures, m);
        insert_measure(s, prev, m);
    }
    return 1;
}
