// The score model's invariant checker and its helpers: a deep score copy, and snapshots of a
// score for comparing before and after an expansion. PLINKEL_CHECK_INVARIANTS (set for this file
// in the sanitizer and fuzzing builds) makes check_score abort on a broken score.
#include "model/invariants.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <unordered_map>
#include <vector>

#include "model/voice.h"

namespace {

constexpr int MAX_REPORTED = 12; // failures listed before the report is cut short

struct location {
    int measure;
    int index;
};

// Collects failure messages of one check.
struct report {
    const score *s; // whose track table the score was validated against
    std::ostringstream text;
    int count = 0;

    std::ostream &fail(int mi) {
        count++;
        if (count > MAX_REPORTED)
            return null_stream();
        text << "\n  measure " << mi << ": ";
        return text;
    }
    static std::ostream &null_stream() {
        static std::ostringstream sink;
        sink.str("");
        return sink;
    }
};

int floor_mod(int a, int b) {
    return ((a % b) + b) % b;
}
int floor_div(int a, int b) {
    return (a - floor_mod(a, b)) / b;
}

// The measure list and every note list: links both ways, counts, head and tail.
bool check_lists(score *s, std::vector<measure *> *measures, report *r) {
    measure *prev = nullptr;
    for (measure *m = s->measures.head; m; prev = m, m = m->next) {
        if (m->prev != prev) {
            r->fail(int(measures->size())) << "measure list mislinked";
            return false;
        }
        measures->push_back(m);
    }
    if (s->measures.tail != prev || s->measures.num != int(measures->size()) || measures->empty()) {
        r->fail(-1) << "measure list header wrong or score empty (num " << s->measures.num
                    << ", walked " << measures->size() << ")";
        return false;
    }
    for (int mi = 0; mi < int(measures->size()); mi++) {
        measure *m = (*measures)[mi];
        note *last = nullptr;
        int count = 0;
        for (note *n = m->notes.head; n; last = n, n = n->next, count++)
            if (n->prev != last) {
                r->fail(mi) << "note list mislinked at element " << count;
                return false;
            }
        if (m->notes.tail != last || m->notes.num != count) {
            r->fail(mi) << "note list header wrong (num " << m->notes.num << ", walked " << count
                        << ")";
            return false;
        }
    }
    return true;
}

void check_measure_fields(measure *m, int mi, report *r) {
    if (m->len != get_measure_length(m->num, m->bit))
        r->fail(mi) << "len " << m->len << " for " << m->num << "/" << m->bit;
    if (m->unit_x != COLUMN_WIDTH || m->unit_y != STEP_HEIGHT)
        r->fail(mi) << "unit " << m->unit_x << "x" << m->unit_y;
    if (m->key < -7 || m->key > 7)
        r->fail(mi) << "key " << m->key;
}

void check_element(measure *m, int mi, note *n, report *r) {
    if (n->x < 0 || n->len < 1 || n->x + n->len > m->len)
        r->fail(mi) << describe_element(n) << " not inside the measure of " << m->len;
    if (n->track < 0 || n->track >= r->s->track_num)
        r->fail(mi) << describe_element(n) << " of a track beyond track_num " << r->s->track_num;
    if (int(n->triplet) != is_exact_triplet(n->len))
        r->fail(mi) << describe_element(n) << " triplet flag " << n->triplet;
    if (n->rest) {
        if (n->l_next || n->l_prev)
            r->fail(mi) << describe_element(n) << " is a tied rest";
        if (n->total_len != n->len)
            r->fail(mi) << describe_element(n) << " rest with total_len != len";
        return;
    }
    int step = floor_mod(n->pos.y, STEPS_PER_OCTAVE);
    int octave = floor_div(n->pos.y, STEPS_PER_OCTAVE);
    int spelled = table_8_12[step] + SEMITONES_PER_OCTAVE * octave + n->accidental;
    if (n->step != step || spelled != n->pitch || n->accidental < -2 || n->accidental > 2)
        r->fail(mi) << describe_element(n) << " spelled pos.y " << n->pos.y << " step "
                    << int(n->step) << " accidental " << int(n->accidental);
}

void check_sorted(measure *m, int mi, report *r) {
    for (note *n = m->notes.head; n && n->next; n = n->next)
        if (note_comp(n->next, n))
            r->fail(mi) << describe_element(n->next) << " sorts before " << describe_element(n);
}

using where_map = std::unordered_map<const note *, location>;

// One link of a chain: n and its l_next (known to be in the score).
void check_chain_step(const std::vector<measure *> &ms, const where_map &where, note *n,
                      report *r) {
    location at = where.at(n);
    note *nx = n->l_next;
    location to = where.at(nx);
    measure *m = ms[at.measure];
    if (nx->l_prev != n)
        r->fail(at.measure) << describe_element(n) << " l_next does not point back";
    if (nx->rest || nx->pitch != n->pitch || nx->track != n->track || nx->volume != n->volume ||
        nx->staccato != n->staccato)
        r->fail(at.measure) << describe_element(n) << " continues as a different "
                            << describe_element(nx);
    bool same = to.measure == at.measure && nx->x == n->x + n->len;
    bool next = to.measure == at.measure + 1 && nx->x == 0 && n->x + n->len == m->len;
    if (!same && !next)
        r->fail(at.measure) << describe_element(n) << " continues at measure " << to.measure << " "
                            << describe_element(nx);
    if (n->total_len != n->len + nx->total_len)
        r->fail(at.measure) << describe_element(n) << " total_len != len + " << nx->total_len;
}

void check_chains(const std::vector<measure *> &ms, const where_map &where, report *r) {
    for (int mi = 0; mi < int(ms.size()); mi++)
        for (note *n = ms[mi]->notes.head; n; n = n->next) {
            if (n->rest)
                continue;
            if (n->l_prev && (!where.count(n->l_prev) || n->l_prev->l_next != n))
                r->fail(mi) << describe_element(n)
                            << " l_prev outside the score or not pointing back";
            if (!n->l_next) {
                if (n->total_len != n->len)
                    r->fail(mi) << describe_element(n) << " ends its chain with total_len != len";
            } else if (!where.count(n->l_next)) {
                r->fail(mi) << describe_element(n) << " l_next outside the score";
            } else {
                check_chain_step(ms, where, n, r);
            }
        }
}

// The voice an element fills in its measure: validation places first pieces and pieces
// carried over the bar line; later pieces in the same measure continue their piece's voice.
int voice_of(note *n, const where_map &where, int mi) {
    while (n->l_prev && n->x > 0 && where.count(n->l_prev) && where.at(n->l_prev).measure == mi)
        n = n->l_prev;
    return n->voice;
}

void check_voices(const std::vector<measure *> &ms, const where_map &where, report *r) {
    for (int mi = 0; mi < int(ms.size()); mi++) {
        measure *m = ms[mi];
        // (track, voice) -> coverage change per tick
        std::map<std::pair<int, int>, std::vector<int>> cover;
        for (note *n = m->notes.head; n; n = n->next) {
            if (n->x < 0 || n->len < 1 || n->x + n->len > m->len)
                continue; // reported as outside the measure
            std::vector<int> &c = cover[{n->track, voice_of(n, where, mi)}];
            c.resize(m->len + 1);
            c[n->x]++;
            c[n->x + n->len]--;
        }
        std::set<int> tracks_met;
        for (auto &[key, delta] : cover) {
            tracks_met.insert(key.first);
            int depth = 0;
            for (int t = 0; t < m->len; t++) {
                depth += delta[t];
                if (depth != 1) {
                    r->fail(mi) << "track " << key.first << " voice " << key.second
                                << " covers tick " << t << " " << depth << " times";
                    break;
                }
            }
        }
        for (int t = 0; t < r->s->track_num; t++)
            if (!tracks_met.count(t))
                r->fail(mi) << "track " << t << " has no voice";
    }
}

bool shown(const score *s, const note *n) {
    return n->track >= 0 && n->track < MAX_TRACKS && s->tracks[n->track].active;
}

void check_columns(measure *m, int mi, report *r) {
    std::vector<int> starts;
    for (note *n = m->notes.head; n; n = n->next)
        if (shown(r->s, n) && (starts.empty() || starts.back() != n->x))
            starts.push_back(n->x);
    int n_pos = std::max<int>(1, starts.size());
    if (m->n_pos != n_pos)
        r->fail(mi) << "n_pos " << m->n_pos << ", distinct starts " << n_pos;
    if (m->width != m->unit_x * m->n_pos)
        r->fail(mi) << "width " << m->width << " for n_pos " << m->n_pos;
    for (note *n = m->notes.head; n; n = n->next) {
        if (!shown(r->s, n))
            continue;
        int column = int(std::find(starts.begin(), starts.end(), n->x) - starts.begin());
        if (n->pos.x != column)
            r->fail(mi) << describe_element(n) << " in column " << n->pos.x << ", expected "
                        << column;
    }
}

// Everything of a note that an edit may change, with its chain links as locations.
struct note_snapshot {
    int fields[15];
    location l_next, l_prev;
};

struct measure_snapshot {
    int fields[6];
    std::vector<note_snapshot> notes;
};

location locate(const where_map &where, const note *n) {
    if (!n)
        return {-1, -1};
    auto it = where.find(n);
    return it == where.end() ? location{-2, -2} : it->second;
}

where_map index_notes(score *s) {
    where_map where;
    int mi = 0;
    for (measure *m = s->measures.head; m; m = m->next, mi++) {
        int i = 0;
        for (note *n = m->notes.head; n; n = n->next, i++)
            where[n] = {mi, i};
    }
    return where;
}

std::vector<measure_snapshot> snapshot(score *s) {
    where_map where = index_notes(s);
    std::vector<measure_snapshot> snap;
    for (measure *m = s->measures.head; m; m = m->next) {
        measure_snapshot ms{{m->num, m->bit, m->key, m->len, m->n_pos, m->width}, {}};
        for (note *n = m->notes.head; n; n = n->next)
            ms.notes.push_back({{n->x, n->len, n->total_len, n->pitch, n->pitch12, n->pos.x,
                                 n->pos.y, n->step, n->accidental, n->track, n->volume,
                                 int(n->rest), int(n->triplet), int(n->staccato), n->voice},
                                locate(where, n->l_next),
                                locate(where, n->l_prev)});
        snap.push_back(ms);
    }
    return snap;
}

bool same_location(location a, location b) {
    return a.measure == b.measure && a.index == b.index;
}

void compare_snapshots(const std::vector<measure_snapshot> &before,
                       const std::vector<measure_snapshot> &after, report *r) {
    if (before.size() != after.size()) {
        r->fail(-1) << "expanding again changed the measure count " << before.size() << " -> "
                    << after.size();
        return;
    }
    for (int mi = 0; mi < int(before.size()); mi++) {
        const measure_snapshot &b = before[mi], &a = after[mi];
        if (!std::equal(std::begin(b.fields), std::end(b.fields), std::begin(a.fields)) ||
            b.notes.size() != a.notes.size()) {
            r->fail(mi) << "expanding again changed the measure (" << b.notes.size() << " -> "
                        << a.notes.size() << " elements)";
            continue;
        }
        for (int i = 0; i < int(b.notes.size()); i++) {
            const note_snapshot &nb = b.notes[i], &na = a.notes[i];
            if (!std::equal(std::begin(nb.fields), std::end(nb.fields), std::begin(na.fields)) ||
                !same_location(nb.l_next, na.l_next) || !same_location(nb.l_prev, na.l_prev))
                r->fail(mi) << "expanding again changed element " << i << " (x " << nb.fields[0]
                            << ", len " << nb.fields[1] << " -> x " << na.fields[0] << ", len "
                            << na.fields[1] << ")";
        }
    }
}

void check_expansion_idempotent(score *s, report *r) {
    score copy;
    copy_score(&copy, s);
    std::vector<measure_snapshot> before = snapshot(&copy);
    score_expand_by_measure(&copy);
    compare_snapshots(before, snapshot(&copy), r);
    destroy_score(&copy);
}

measure *copy_measure_shell(measure *m) {
    measure *c = new_measure();
    *c = *m;
    c->next = c->prev = nullptr;
    init_note_list(&c->notes);
    init_m_event_list(&c->m_events);
    return c;
}

} // namespace

std::string describe_element(const note *n) {
    std::ostringstream o;
    o << (n->rest ? "rest" : "note") << "{x " << n->x << ", len " << n->len << ", total "
      << n->total_len << ", pitch " << n->pitch << ", track " << int(n->track) << ", voice "
      << int(n->voice) << "}";
    return o.str();
}

void copy_score(score *dst, score *src) {
    *dst = *src;
    init_measure_list(&dst->measures);
    std::unordered_map<const note *, note *> notes;
    std::unordered_map<const measure *, measure *> measures;
    for (measure *m = src->measures.head; m; m = m->next) {
        measure *c = copy_measure_shell(m);
        _append_measure_list(&dst->measures, c);
        measures[m] = c;
        for (note *n = m->notes.head; n; n = n->next) {
            note *k = new_note();
            *k = *n;
            k->next = k->prev = nullptr;
            notes[n] = _append_note_list(&c->notes, k);
        }
        for (m_event *e = m->m_events.head; e; e = e->next) {
            m_event *k = new_m_event();
            *k = *e;
            k->next = k->prev = nullptr;
            _append_m_event_list(&c->m_events, k);
        }
    }
    for (auto &[orig, copy] : notes) {
        auto next = notes.find(orig->l_next), prev = notes.find(orig->l_prev);
        copy->l_next = next == notes.end() ? nullptr : next->second;
        copy->l_prev = prev == notes.end() ? nullptr : prev->second;
    }
    auto map_measure = [&](measure *m) {
        auto it = measures.find(m);
        return it == measures.end() ? nullptr : it->second;
    };
    dst->ref_measure = map_measure(src->ref_measure);
    dst->cursor_measure = map_measure(src->cursor_measure);
    dst->select_start = map_measure(src->select_start);
    dst->select_end = map_measure(src->select_end);
}

std::string score_invariant_failures(score *s) {
    report r;
    r.s = validation_tracks();
    std::vector<measure *> ms;
    if (check_lists(s, &ms, &r)) {
        for (int mi = 0; mi < int(ms.size()); mi++) {
            check_measure_fields(ms[mi], mi, &r);
            check_sorted(ms[mi], mi, &r);
            for (note *n = ms[mi]->notes.head; n; n = n->next)
                check_element(ms[mi], mi, n, &r);
            check_columns(ms[mi], mi, &r);
        }
        where_map where = index_notes(s);
        check_chains(ms, where, &r);
        check_voices(ms, where, &r);
        // Expanding a copy follows every chain, so only a well-linked score is expanded.
        if (r.count == 0)
            check_expansion_idempotent(s, &r);
    }
    if (r.count == 0)
        return "";
    if (r.count > MAX_REPORTED)
        r.text << "\n  ... " << r.count - MAX_REPORTED << " more";
    return std::to_string(r.count) + " invariant failures:" + r.text.str();
}

#ifdef PLINKEL_CHECK_INVARIANTS
void check_score(score *s, const char *what) {
    std::string failures = score_invariant_failures(s);
    if (failures.empty())
        return;
    std::fprintf(stderr, "the score broke its invariants after %s: %s\n", what, failures.c_str());
    std::abort();
}
#else
void check_score(score *, const char *) {}
#endif
