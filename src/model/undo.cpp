// The undo history: steps kept as compact copies of a stretch of measures. A step holds the
// version of its stretch that is not in the score; undo and redo are the same swap, which
// captures the version in the score and rebuilds the other one in its place. Tie chains that
// cross the ends of a stretch are stored as positions in the neighbouring measures, which no
// step changes while the stretch is swapped, and linked again there.
#include "model/undo.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "model/invariants.h"
#include "model/view.h"

namespace {

struct undo_measure {
    int16_t n_pos, unit_x, unit_y, bit, num, key, len;
    int32_t width;
    int32_t n_notes, n_events;
};

// A note as stored. l_next: 0 none, k > 0 the k-th element after it in its measure, -(1 + i)
// the i-th element of the next measure. l_prev is stored only where the previous piece lies
// outside the stretch: -(1 + i), the i-th element counted from the end of the measure before.
struct undo_note {
    int32_t x;
    int16_t len, total_len, pitch;
    coord pos;
    int8_t pitch12, accidental, step, track;
    uint8_t volume;
    int16_t voice;
    uint8_t flags;
    int32_t l_next, l_prev;
};

constexpr uint8_t FLAG_REST = 1;
constexpr uint8_t FLAG_TRIPLET = 2;
constexpr uint8_t FLAG_STACCATO = 4;

struct undo_event {
    int32_t x;
    int32_t value;
    int16_t type;
};

struct undo_range {
    std::vector<undo_measure> measures;
    std::vector<undo_note> notes;
    std::vector<undo_event> events;
};

// A link to another measure found while capturing, resolved once the stretch is complete.
struct cross_link {
    int index;    // of the note in its measure
    note *self;   // the note itself
    note *target; // the piece it continues (prev) or that continues it (next)
    bool next;
};

// One measure captured before an edit changes it.
struct block {
    undo_measure head;
    std::vector<undo_note> notes;
    std::vector<undo_event> events;
    std::vector<cross_link> links;
};

// The track table and the tempo of measures before any tempo event, which the track dialog
// sets with it.
struct track_table {
    track_info_t info[MAX_TRACKS];
    int32_t num;
    int tempo;
};

struct undo_step {
    std::string name;
    int lo;         // index of the stretch's first measure
    int n_in_score; // measures the stretch holds in the score now
    undo_range data;
    track_table tracks;
    int before_id, after_id; // states the step leads from and to
};

struct pending_step {
    int depth = 0;
    int changed = 0;
    std::string name;
    int lo = 0, hi = -1; // captured measures, before the edit
    int before_count = 0;
    std::deque<block> blocks;
    track_table tracks;
};

std::deque<undo_step> done;
std::vector<undo_step> undone;
pending_step pending;
int current_id = 0, saved_id = 0, next_id = 1;
int changed_measure = 0;
unsigned change_count = 0;

track_table current_tracks() {
    track_table t;
    std::memcpy(t.info, g_score.tracks, sizeof t.info);
    t.num = g_score.track_num;
    t.tempo = g_score.default_tempo;
    return t;
}

void restore_tracks(const track_table &t) {
    std::memcpy(g_score.tracks, t.info, sizeof t.info);
    g_score.track_num = t.num;
    g_score.default_tempo = t.tempo;
    update_active_tracks();
}

// ---- Capturing measures ----

int forward_offset(note *from, note *to) {
    int k = 0;
    for (note *e = from; e; e = e->next, k++)
        if (e == to)
            return k;
    return 0;
}

undo_note compact(note *e) {
    undo_note u;
    u.x = e->x;
    u.len = e->len;
    u.total_len = e->total_len;
    u.pitch = e->pitch;
    u.pos = e->pos;
    u.pitch12 = e->pitch12;
    u.accidental = e->accidental;
    u.step = e->step;
    u.track = e->track;
    u.volume = e->volume;
    u.voice = e->voice;
    u.flags = static_cast<uint8_t>((e->rest ? FLAG_REST : 0) | (e->triplet ? FLAG_TRIPLET : 0) |
                                   (e->staccato ? FLAG_STACCATO : 0));
    u.l_next = u.l_prev = 0;
    return u;
}

// A piece at x 0 with a predecessor continues a piece of the measure before; a piece whose
// successor is at x 0 is continued in the next measure.
void capture_note(block *b, note *e, int index) {
    undo_note u = compact(e);
    if (e->l_next && e->l_next->x == 0)
        b->links.push_back({index, e, e->l_next, true});
    else if (e->l_next)
        u.l_next = forward_offset(e, e->l_next);
    if (e->l_prev && e->x == 0)
        b->links.push_back({index, e, e->l_prev, false});
    b->notes.push_back(u);
}

void capture_measure(measure *m, block *b) {
    b->head = {m->n_pos, m->unit_x, m->unit_y, m->bit,       m->num,
               m->key,   m->len,    m->width,  m->notes.num, m->m_events.num};
    b->notes.reserve(m->notes.num);
    int i = 0;
    for (note *e = m->notes.head; e; e = e->next)
        capture_note(b, e, i++);
    for (m_event *ev = m->m_events.head; ev; ev = ev->next)
        b->events.push_back({ev->x, ev->value, ev->type});
}

int index_from_head(measure *m, note *target) {
    int i = 0;
    for (note *e = m ? m->notes.head : nullptr; e; e = e->next, i++)
        if (e == target)
            return i;
    return -1;
}

int index_from_tail(measure *m, note *target) {
    int i = 0;
    for (note *e = m ? m->notes.tail : nullptr; e; e = e->prev, i++)
        if (e == target)
            return i;
    return -1;
}

int index_among_links(const block &b, note *self) {
    for (const cross_link &c : b.links)
        if (!c.next && c.self == self)
            return c.index;
    return -1;
}

int encode_index(int i) {
    return i < 0 ? 0 : -(1 + i);
}

// Joins the captured measures into one range, turning the links between measures into
// positions: within the stretch, or in before (the measure in front) and after (behind it).
undo_range flatten(std::deque<block> &blocks, measure *before, measure *after) {
    undo_range r;
    size_t n_notes = 0, n_events = 0;
    for (const block &b : blocks)
        n_notes += b.notes.size(), n_events += b.events.size();
    r.notes.reserve(n_notes);
    r.events.reserve(n_events);
    for (size_t k = 0; k < blocks.size(); k++) {
        block &b = blocks[k];
        size_t base = r.notes.size();
        r.measures.push_back(b.head);
        r.notes.insert(r.notes.end(), b.notes.begin(), b.notes.end());
        r.events.insert(r.events.end(), b.events.begin(), b.events.end());
        for (const cross_link &c : b.links) {
            if (c.next) {
                int i = k + 1 < blocks.size() ? index_among_links(blocks[k + 1], c.target)
                                              : index_from_head(after, c.target);
                r.notes[base + c.index].l_next = encode_index(i);
            } else if (k == 0) {
                r.notes[base + c.index].l_prev = encode_index(index_from_tail(before, c.target));
            }
        }
    }
    return r;
}

void capture_stretch(measure *first, int count, std::deque<block> *blocks) {
    measure *m = first;
    for (int i = 0; i < count && m; i++, m = m->next) {
        blocks->emplace_back();
        capture_measure(m, &blocks->back());
    }
}

// ---- Rebuilding measures ----

note *note_at_head(measure *m, int i) {
    note *e = m ? m->notes.head : nullptr;
    for (; e && i > 0; i--)
        e = e->next;
    return e;
}

note *note_at_tail(measure *m, int i) {
    note *e = m ? m->notes.tail : nullptr;
    for (; e && i > 0; i--)
        e = e->prev;
    return e;
}

void tie_pieces(note *earlier, note *later) {
    if (!earlier || !later)
        return;
    earlier->l_next = later;
    later->l_prev = earlier;
}

note *expand_note(const undo_note &u) {
    note *e = new_note();
    e->x = u.x;
    e->len = u.len;
    e->total_len = u.total_len;
    e->pitch = u.pitch;
    e->pos = u.pos;
    e->pitch12 = u.pitch12;
    e->accidental = u.accidental;
    e->step = u.step;
    e->track = u.track;
    e->volume = u.volume;
    e->voice = u.voice;
    e->rest = (u.flags & FLAG_REST) != 0;
    e->triplet = (u.flags & FLAG_TRIPLET) != 0;
    e->staccato = (u.flags & FLAG_STACCATO) != 0;
    return e;
}

measure *expand_measure(const undo_measure &h) {
    measure *m = new_measure();
    m->n_pos = h.n_pos;
    m->unit_x = h.unit_x;
    m->unit_y = h.unit_y;
    m->bit = h.bit;
    m->num = h.num;
    m->key = h.key;
    m->len = h.len;
    m->width = h.width;
    return m;
}

// Builds the range's measures after before (at the front when null) and links its chains,
// also to the neighbouring measures. Returns the new measures.
std::vector<measure *> rebuild(score *s, measure *before, const undo_range &r) {
    measure *after = before ? before->next : s->measures.head;
    std::vector<measure *> ms;
    std::vector<note *> flat(r.notes.size());
    std::vector<size_t> starts;
    size_t ni = 0, ei = 0;
    measure *pos = before;
    for (const undo_measure &h : r.measures) {
        measure *m = expand_measure(h);
        starts.push_back(ni);
        for (int i = 0; i < h.n_notes; i++, ni++)
            flat[ni] = _append_note_list(&m->notes, expand_note(r.notes[ni]));
        for (int i = 0; i < h.n_events; i++, ei++) {
            m_event *ev = new_m_event();
            ev->x = r.events[ei].x;
            ev->type = r.events[ei].type;
            ev->value = r.events[ei].value;
            _append_m_event_list(&m->m_events, ev);
        }
        pos = _insert_measure_list(&s->measures, pos, m);
        ms.push_back(m);
    }
    for (size_t k = 0; k < ms.size(); k++) {
        size_t end = k + 1 < ms.size() ? starts[k + 1] : r.notes.size();
        for (size_t i = starts[k]; i < end; i++) {
            const undo_note &u = r.notes[i];
            if (u.l_next > 0 && i + u.l_next < end)
                tie_pieces(flat[i], flat[i + u.l_next]);
            else if (u.l_next < 0 && k + 1 < ms.size())
                tie_pieces(flat[i], note_at_head(ms[k + 1], -u.l_next - 1));
            else if (u.l_next < 0)
                tie_pieces(flat[i], note_at_head(after, -u.l_next - 1));
            if (u.l_prev < 0)
                tie_pieces(note_at_tail(before, -u.l_prev - 1), flat[i]);
        }
    }
    return ms;
}

// ---- Swapping a stretch ----

// The score's measure pointers, as positions inside the stretch (-1: outside it).
struct score_marks {
    measure **field[4];
    int offset[4];
};

score_marks find_marks(score *s, measure *first, int count) {
    score_marks k = {{&s->ref_measure, &s->cursor_measure, &s->select_start, &s->select_end},
                     {-1, -1, -1, -1}};
    measure *m = first;
    for (int i = 0; i < count && m; i++, m = m->next)
        for (int f = 0; f < 4; f++)
            if (*k.field[f] == m)
                k.offset[f] = i;
    return k;
}

void move_marks(score *s, const score_marks &k, const std::vector<measure *> &ms,
                measure *fallback) {
    for (int f = 0; f < 4; f++) {
        if (k.offset[f] < 0)
            continue;
        if (ms.empty())
            *k.field[f] = fallback;
        else
            *k.field[f] = ms[std::min<size_t>(k.offset[f], ms.size() - 1)];
    }
    if (k.offset[0] >= 0)
        offset_x = 0;
    // Positions inside a measure that took another's place stay inside it.
    if (k.offset[1] >= 0 && s->cursor_measure)
        s->cursor_x = std::min<int32_t>(s->cursor_x, s->cursor_measure->len);
    if (k.offset[2] >= 0 && s->select_start)
        s->select_start_x = std::min<int32_t>(s->select_start_x, s->select_start->len);
    if (k.offset[3] >= 0 && s->select_end)
        s->select_end_x = std::min<int32_t>(s->select_end_x, s->select_end->len);
    if (!s->ref_measure)
        s->ref_measure = s->measures.head;
    set_score_ref_x(s);
}

// Cuts the chains between the stretch and its neighbours; the rebuilt stretch links again.
void cut_neighbour_links(measure *before, measure *after) {
    for (note *e = before ? before->notes.head : nullptr; e; e = e->next)
        if (e->l_next && e->l_next->x == 0)
            e->l_next = nullptr;
    for (note *e = after ? after->notes.head : nullptr; e && e->x == 0; e = e->next)
        e->l_prev = nullptr;
}

void swap_step(score *s, undo_step *st) {
    measure *before = st->lo > 0 ? get_measure_by_pos(s, st->lo - 1) : nullptr;
    measure *first = before ? before->next : s->measures.head;
    measure *after = first;
    for (int i = 0; i < st->n_in_score && after; i++)
        after = after->next;
    std::deque<block> blocks;
    capture_stretch(first, st->n_in_score, &blocks);
    undo_range now = flatten(blocks, before, after);
    score_marks marks = find_marks(s, first, st->n_in_score);
    cut_neighbour_links(before, after);
    for (int i = 0; i < st->n_in_score && first; i++) {
        measure *next = first->next;
        _delete_measure_list(&s->measures, first, destroy_measure);
        first = next;
    }
    std::vector<measure *> ms = rebuild(s, before, st->data);
    move_marks(s, marks, ms, after ? after : before);
    track_table tracks = current_tracks();
    restore_tracks(st->tracks);
    st->tracks = tracks;
    st->n_in_score = static_cast<int>(st->data.measures.size());
    st->data = std::move(now);
    changed_measure = st->lo;
}

// ---- Recording ----

// Captures measures i0..i1 (before-edit indices) into the pending step, keeping it one
// contiguous stretch; measures appended by the edit are not captured.
void extend(score *s, int i0, int i1) {
    pending_step &p = pending;
    i1 = std::min(i1, p.before_count - 1);
    i0 = std::min(i0, i1);
    if (i0 < 0)
        return;
    if (p.hi < p.lo) {
        capture_stretch(get_measure_by_pos(s, i0), i1 - i0 + 1, &p.blocks);
        p.lo = i0;
        p.hi = i1;
        return;
    }
    if (i0 < p.lo) {
        std::deque<block> front;
        capture_stretch(get_measure_by_pos(s, i0), p.lo - i0, &front);
        p.blocks.insert(p.blocks.begin(), front.begin(), front.end());
        p.lo = i0;
    }
    if (i1 > p.hi) {
        capture_stretch(get_measure_by_pos(s, p.hi + 1), i1 - p.hi, &p.blocks);
        p.hi = i1;
    }
}

// Measures before m where the chains that continue into m begin.
int chain_reach_back(measure *m) {
    int reach = 0;
    for (note *e = m->notes.head; e && e->x == 0; e = e->next) {
        int k = 0;
        for (note *c = e; c->l_prev; c = c->l_prev)
            k += c->x == 0;
        reach = std::max(reach, k);
    }
    return reach;
}

// Measures after m that the chains through m reach.
int chain_reach(measure *m) {
    int reach = 0;
    for (note *e = m->notes.head; e; e = e->next) {
        if (!e->l_next || e->l_next->x != 0)
            continue;
        int k = 0;
        for (note *c = e; c->l_next; c = c->l_next)
            k += c->l_next->x == 0;
        reach = std::max(reach, k);
    }
    return reach;
}

// Measures after m that material from tick x running len ticks reaches.
int tick_reach(measure *m, int x, int len) {
    int k = 0;
    for (int end = x + len; m && end > m->len; m = m->next, k++)
        end -= m->len;
    return k;
}

bool same_note(const undo_note &a, const undo_note &b) {
    return a.x == b.x && a.len == b.len && a.total_len == b.total_len && a.pitch == b.pitch &&
           a.pos.x == b.pos.x && a.pos.y == b.pos.y && a.pitch12 == b.pitch12 &&
           a.accidental == b.accidental && a.step == b.step && a.track == b.track &&
           a.volume == b.volume && a.voice == b.voice && a.flags == b.flags &&
           a.l_next == b.l_next && a.l_prev == b.l_prev;
}

bool same_measure(const undo_measure &a, const undo_measure &b) {
    return a.n_pos == b.n_pos && a.unit_x == b.unit_x && a.unit_y == b.unit_y && a.bit == b.bit &&
           a.num == b.num && a.key == b.key && a.len == b.len && a.width == b.width &&
           a.n_notes == b.n_notes && a.n_events == b.n_events;
}

bool same_range(const undo_range &a, const undo_range &b) {
    if (a.measures.size() != b.measures.size() || a.notes.size() != b.notes.size() ||
        a.events.size() != b.events.size())
        return false;
    for (size_t i = 0; i < a.measures.size(); i++)
        if (!same_measure(a.measures[i], b.measures[i]))
            return false;
    for (size_t i = 0; i < a.notes.size(); i++)
        if (!same_note(a.notes[i], b.notes[i]))
            return false;
    for (size_t i = 0; i < a.events.size(); i++)
        if (a.events[i].x != b.events[i].x || a.events[i].value != b.events[i].value ||
            a.events[i].type != b.events[i].type)
            return false;
    return true;
}

bool same_tracks(const track_table &a, const track_table &b) {
    if (a.num != b.num || a.tempo != b.tempo)
        return false;
    for (int t = 0; t < MAX_TRACKS; t++) {
        const track_info_t &x = a.info[t], &y = b.info[t];
        if (x.patch != y.patch || x.channel != y.channel || x.volume != y.volume ||
            x.remove != y.remove || x.active != y.active || x.mute != y.mute)
            return false;
    }
    return true;
}

// An edit that left its measures and the track table as they were is no step.
bool nothing_changed(measure *first, int count, measure *before, measure *after,
                     const undo_range &was, const track_table &tracks) {
    if (!same_tracks(tracks, current_tracks()))
        return false;
    std::deque<block> blocks;
    capture_stretch(first, count, &blocks);
    return same_range(flatten(blocks, before, after), was);
}

void drop_oldest() {
    while (static_cast<int>(done.size()) > UNDO_DEPTH)
        done.pop_front();
}

void record(score *s) {
    pending_step &p = pending;
    int delta = s->measures.num - p.before_count;
    if (p.hi < p.lo) {
        p.lo = p.before_count;
        p.hi = p.before_count - 1;
    }
    if (delta != 0 && p.hi < p.before_count - 1)
        extend(s, p.hi + 1, p.before_count - 1);
    int after_n = p.hi - p.lo + 1 + delta;
    measure *before = p.lo > 0 ? get_measure_by_pos(s, p.lo - 1) : nullptr;
    measure *after = get_measure_by_pos(s, p.lo + after_n);
    undo_step st;
    st.name = p.name;
    st.lo = p.lo;
    st.n_in_score = after_n;
    st.data = flatten(p.blocks, before, after);
    st.tracks = p.tracks;
    measure *first = before ? before->next : s->measures.head;
    if (delta == 0 && nothing_changed(first, after_n, before, after, st.data, st.tracks))
        return;
    st.before_id = current_id;
    st.after_id = current_id = next_id++;
    change_count++;
    done.push_back(std::move(st));
    undone.clear();
    drop_oldest();
}

size_t range_bytes(const undo_range &r) {
    return r.measures.capacity() * sizeof(undo_measure) + r.notes.capacity() * sizeof(undo_note) +
           r.events.capacity() * sizeof(undo_event);
}

} // namespace

void undo_reset() {
    done.clear();
    undone.clear();
    pending = pending_step();
    current_id = saved_id = next_id++;
}

void undo_begin(score *s, const char *name) {
    if (pending.depth++ > 0)
        return;
    pending.changed = 0;
    pending.name = name;
    pending.lo = 0;
    pending.hi = -1;
    pending.before_count = s->measures.num;
    pending.blocks.clear();
    pending.tracks = current_tracks();
}

void undo_touch(score *s, measure *first, measure *last) {
    if (pending.depth == 0 || !first)
        return;
    int i0 = get_pos_by_measure(s, first);
    int i1 = last ? get_pos_by_measure(s, last) : s->measures.num - 1;
    if (i0 < 0 || i1 < i0)
        return;
    int reach = i1, back = i0;
    measure *m = first;
    for (int i = i0; i <= i1 && m; i++, m = m->next) {
        reach = std::max(reach, i + chain_reach(m));
        back = std::min(back, i - chain_reach_back(m));
    }
    extend(s, back, reach);
}

void undo_touch_ticks(score *s, measure *m, int x, int len) {
    if (pending.depth == 0 || !m)
        return;
    int i0 = get_pos_by_measure(s, m);
    if (i0 >= 0)
        extend(s, i0, i0 + tick_reach(m, x, len));
}

int undo_commit(score *s, int changed) {
    if (pending.depth == 0)
        return changed;
    pending.changed |= changed != 0;
    if (--pending.depth > 0)
        return changed;
    if (pending.changed) {
        record(s);
        check_score(s, pending.name.c_str());
    }
    pending.blocks.clear();
    return changed;
}

int undo(score *s) {
    if (done.empty() || pending.depth > 0)
        return 0;
    undone.push_back(std::move(done.back()));
    done.pop_back();
    swap_step(s, &undone.back());
    current_id = undone.back().before_id;
    change_count++;
    check_score(s, "undo");
    return 1;
}

int redo(score *s) {
    if (undone.empty() || pending.depth > 0)
        return 0;
    done.push_back(std::move(undone.back()));
    undone.pop_back();
    swap_step(s, &done.back());
    current_id = done.back().after_id;
    change_count++;
    check_score(s, "redo");
    return 1;
}

const char *undo_name() {
    return done.empty() ? nullptr : done.back().name.c_str();
}

const char *redo_name() {
    return undone.empty() ? nullptr : undone.back().name.c_str();
}

int undo_changed_measure() {
    return changed_measure;
}

void undo_mark_saved() {
    saved_id = current_id;
}

int undo_at_saved() {
    return current_id == saved_id;
}

unsigned undo_changes() {
    return change_count;
}

int undo_steps() {
    return static_cast<int>(done.size());
}

size_t undo_memory() {
    size_t bytes = 0;
    for (const undo_step &st : done)
        bytes += sizeof st + range_bytes(st.data) + st.name.capacity();
    for (const undo_step &st : undone)
        bytes += sizeof st + range_bytes(st.data) + st.name.capacity();
    return bytes;
}
