// The notation quantiser of MIDI import. Works on one file track's notes at a time, grouped by
// score track: chords first (close onsets share one), then a grid per beat by least error
// against the grid's fineness, limited to the grids the track uses often enough, then starts,
// then ends chosen among the next onset (legato) and nearby grid points by how plain the
// resulting value is and how well it fits the track's usual shortening of played notes.
#include "files/midi_quantise.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "model/score.h"

namespace {

constexpr int BEAT = TICKS_PER_QUARTER;
constexpr int MS_PER_MINUTE = 60000;
constexpr int CHORD_WINDOW_MS = 35;
constexpr int CHORD_WINDOW_MAX = 12;   // never join notes a 64th apart or more
constexpr int64_t ERROR_CAP = 48;      // an onset far off a grid counts no worse than this
constexpr int64_t GRID_POINT_COST = 8; // per grid point in a beat: finer grids must earn it
constexpr int RARE_GRID_SHARE = 100;   // a grid chosen by under 1 % of beats is not the track's
constexpr int RARE_GRID_BEATS = 2;     // nor one that a single beat chose
constexpr int64_t MAX_ONSET_SHIFT = BEAT / 8; // a 32nd: no onset moves further
constexpr int NOTATION_UNIT = 12;             // a 64th
constexpr int NOTATION_TRIPLET_UNIT = 8;
constexpr double TYPICAL_GATE = 0.83; // played notes sound about this share of their value
constexpr double MIN_GATE = 0.65;     // shorter: the note is followed by a rest
constexpr double MAX_GATE = 1.02;
constexpr double GATE_RANGE = 0.8; // a note may have sounded down to this share of the gate
constexpr int END_SLACK = 8;
constexpr double COMPLEX_VALUE_COST = 0.1; // per step away from a plain value
constexpr double OFF_BEAT_GRID_COST = 0.1; // an end off the grid of its beat
constexpr double LEGATO_BONUS = 0.15;
constexpr int MAX_END_CANDIDATES = 64;
// A note that sounded at least half the time to the next onset and would leave a rest of a
// sixteenth or less before it was played detached, not followed by a rest: it is held to it.
constexpr int DETACHED_GAP = 48;
constexpr int DETACHED_SHARE = 2;
// The start's family offers ends no finer than a sixteenth or a triplet eighth.
constexpr int END_STRAIGHT_MIN = 48;
constexpr int END_TRIPLET_MIN = 64;

int tempo_at(const std::vector<midi_tempo_point> &tempi, int tick) {
    int t = DEFAULT_TEMPO;
    for (const midi_tempo_point &p : tempi) {
        if (p.tick > tick)
            break;
        if (p.tempo > 0)
            t = p.tempo;
    }
    return t;
}

int ms_to_ticks(int ms, int tempo) {
    return static_cast<int>(static_cast<int64_t>(ms) * tempo * BEAT / MS_PER_MINUTE);
}

int64_t nearest(int64_t v, int g) {
    int64_t r = v % g;
    return v - r + (r * 2 >= g ? g : 0);
}

int is_triplet_grid(int g) {
    return g % 3 != 0;
}

// ---- Notes by track ----

// The indices of notes sorted by track, then by the time that time_of reads from a note.
template <typename Time>
std::vector<int> order_by_track(const std::vector<midi_played_note> &notes, Time time_of) {
    std::vector<int> order(notes.size());
    for (size_t i = 0; i < order.size(); i++)
        order[i] = static_cast<int>(i);
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        return notes[a].track != notes[b].track ? notes[a].track < notes[b].track
                                                : time_of(notes[a]) < time_of(notes[b]);
    });
    return order;
}

// Calls each with the indices of every track's notes, in the order of order (by track).
template <typename Each>
void for_each_track(const std::vector<midi_played_note> &notes, const std::vector<int> &order,
                    Each each) {
    for (size_t i = 0; i < order.size();) {
        size_t j = i;
        std::vector<int> idx;
        while (j < order.size() && notes[order[j]].track == notes[order[i]].track)
            idx.push_back(order[j++]);
        i = j;
        each(idx);
    }
}

// ---- Chords and onsets ----

// One onset of a track: the notes that start together.
struct onset {
    int track;
    int64_t time; // mean of the notes' starts
    int q;        // snapped
};

// Groups notes (sorted by track and start) into onsets; writes each note's onset to of.
std::vector<onset> gather_onsets(const std::vector<midi_played_note> &notes,
                                 const std::vector<int> &order,
                                 const std::vector<midi_tempo_point> &tempi, std::vector<int> &of) {
    std::vector<onset> out;
    size_t i = 0;
    while (i < order.size()) {
        const midi_played_note &first = notes[order[i]];
        int window =
            std::min(CHORD_WINDOW_MAX, ms_to_ticks(CHORD_WINDOW_MS, tempo_at(tempi, first.start)));
        int64_t sum = 0;
        size_t j = i;
        for (; j < order.size(); j++) {
            const midi_played_note &n = notes[order[j]];
            if (n.track != first.track || n.start - first.start > window)
                break;
            sum += n.start;
            of[order[j]] = static_cast<int>(out.size());
        }
        out.push_back({first.track, sum / static_cast<int64_t>(j - i), 0});
        i = j;
    }
    return out;
}

// ---- Grid per beat ----

int64_t grid_cost(const std::vector<onset> &ons, size_t from, size_t to, int g) {
    int64_t cost = GRID_POINT_COST * (BEAT / g);
    for (size_t k = from; k < to; k++) {
        int64_t e = std::min<int64_t>(ERROR_CAP, std::llabs(ons[k].time - nearest(ons[k].time, g)));
        cost += e * e;
    }
    return cost;
}

int best_grid(const std::vector<onset> &ons, size_t from, size_t to, const int *allowed) {
    int best = 0;
    int64_t best_cost = INT64_MAX;
    for (int k = 0; k < QUANT_GRID_COUNT; k++) {
        if (!allowed[k])
            continue;
        int64_t c = grid_cost(ons, from, to, QUANT_GRIDS[k]);
        if (c < best_cost) {
            best_cost = c;
            best = QUANT_GRIDS[k];
        }
    }
    return best;
}

int beat_of(int64_t t) {
    return static_cast<int>(t / BEAT);
}

int64_t largest_shift(const std::vector<onset> &ons, size_t from, size_t to, int g) {
    int64_t most = 0;
    for (size_t k = from; k < to; k++)
        most = std::max<int64_t>(most, std::llabs(ons[k].time - nearest(ons[k].time, g)));
    return most;
}

// Chooses a grid for every beat holding onsets (onsets sorted by track and time) among the
// allowed ones; a beat that these would move an onset of by more than a 32nd takes the best of
// every grid instead (the one off-beat eighth of a track in quarters stays where it was played).
void choose_grids(const std::vector<onset> &ons, const int *allowed, quantised_grids &chosen) {
    int every_grid[QUANT_GRID_COUNT];
    std::fill(every_grid, every_grid + QUANT_GRID_COUNT, 1);
    chosen.clear();
    size_t i = 0;
    while (i < ons.size()) {
        size_t j = i;
        while (j < ons.size() && ons[j].track == ons[i].track &&
               beat_of(ons[j].time) == beat_of(ons[i].time))
            j++;
        int g = best_grid(ons, i, j, allowed);
        if (largest_shift(ons, i, j, g) > MAX_ONSET_SHIFT)
            g = best_grid(ons, i, j, every_grid);
        chosen.push_back({ons[i].track, beat_of(ons[i].time), g});
        i = j;
    }
}

// The track's grids: the finest straight and the finest triplet grid that enough beats need.
void limit_grids(int *allowed, const quantised_grids &chosen) {
    int count[QUANT_GRID_COUNT] = {};
    for (const quantised_beat &b : chosen)
        for (int k = 0; k < QUANT_GRID_COUNT; k++)
            count[k] += QUANT_GRIDS[k] == b.grid;
    int64_t needed =
        std::max<int64_t>(RARE_GRID_BEATS, static_cast<int64_t>(chosen.size()) / RARE_GRID_SHARE);
    for (int triplet = 0; triplet <= 1; triplet++) {
        int finest = -1;
        for (int k = 0; k < QUANT_GRID_COUNT; k++)
            if (is_triplet_grid(QUANT_GRIDS[k]) == triplet && count[k] >= needed)
                finest = k;
        for (int k = 0; k < QUANT_GRID_COUNT; k++)
            if (is_triplet_grid(QUANT_GRIDS[k]) == triplet)
                allowed[k] = k <= finest || (!triplet && k == 0);
    }
}

int grid_of(const quantised_grids &chosen, int track, int beat) {
    auto it = std::lower_bound(chosen.begin(), chosen.end(), quantised_beat{track, beat, 0},
                               [](const quantised_beat &a, const quantised_beat &b) {
                                   return a.track != b.track ? a.track < b.track : a.beat < b.beat;
                               });
    return it != chosen.end() && it->track == track && it->beat == beat ? it->grid : 0;
}

// ---- Ends ----

// 0 for plain values, 1 for dotted and triplet values, 2 for the rest.
int value_class(int len) {
    int v = len;
    if (v % 3 == 0)
        v /= 3;
    else if ((v & (v - 1)) == 0)
        return 1;
    if ((v & (v - 1)) == 0)
        return 0;
    return v % 3 == 0 && ((v / 3) & (v / 3 - 1)) == 0 ? 1 : 2;
}

struct end_context {
    int q_start;
    int len;      // as played
    int64_t next; // next onset of the voice, or -1
    double gate;
    int finest;          // the track's finest grid step
    int finest_straight; // and its finest straight one
};

double end_cost(const end_context &c, int64_t p, int beat_grid_step, int legato) {
    int v = static_cast<int>(p - c.q_start);
    double cost =
        COMPLEX_VALUE_COST * value_class(v) + std::fabs(std::log(v * c.gate / std::max(1, c.len)));
    if (beat_grid_step && p % beat_grid_step)
        cost += OFF_BEAT_GRID_COST;
    return legato ? cost - LEGATO_BONUS : cost;
}

int64_t choose_end(const end_context &c, const quantised_grids &chosen, int track) {
    int64_t e0 = static_cast<int64_t>(c.q_start) + c.len;
    int64_t lo = std::max<int64_t>(c.q_start + 1, e0 - END_SLACK);
    int64_t hi = c.q_start + static_cast<int64_t>(c.len / (c.gate * GATE_RANGE)) + END_SLACK;
    int end_grid = grid_of(chosen, track, beat_of(e0));
    int64_t best = -1;
    double best_cost = 0;
    auto consider = [&](int64_t p, int legato) {
        double cost = end_cost(c, p, end_grid, legato);
        if (best < 0 || cost < best_cost) {
            best = p;
            best_cost = cost;
        }
    };
    bool before_next = c.next >= 0 && e0 <= c.next + END_SLACK;
    if (before_next && (c.next <= hi || c.next - e0 < c.finest))
        consider(c.next, 1);
    // Ends lie on the grid of their beat (the track's straight grid where the beat has no
    // onset) or on a grid of the start's own family, straight or triplet: mixing the two
    // families within one note, or ending on fine points, leaves slivers of rest.
    int step = end_grid ? end_grid : c.finest_straight;
    int family = c.q_start % c.finest_straight == 0 ? std::max(c.finest_straight, END_STRAIGHT_MIN)
                                                    : std::max(c.finest, END_TRIPLET_MIN);
    for (int g : {step, family}) {
        if ((hi - lo) / g > MAX_END_CANDIDATES)
            g = BEAT;
        for (int64_t p = (lo + g - 1) / g * g; p <= hi; p += g)
            if (!before_next || p <= c.next)
                consider(p, 0);
    }
    if (best < 0)
        best = std::max<int64_t>(c.q_start + step, nearest(e0, step));
    bool detached = c.next > best && c.next - best <= DETACHED_GAP &&
                    static_cast<int64_t>(c.len) * DETACHED_SHARE >= c.next - c.q_start;
    return detached ? c.next : best;
}

// The share of its value that the track's notes sound when the next onset follows them.
double track_gate(const std::vector<midi_played_note> &notes, const std::vector<int> &idx,
                  const std::vector<int64_t> &next) {
    std::vector<double> ratios;
    for (size_t k = 0; k < idx.size(); k++) {
        const midi_played_note &n = notes[idx[k]];
        if (next[k] <= n.q_start)
            continue;
        double r = static_cast<double>(n.end - n.start) / static_cast<double>(next[k] - n.q_start);
        if (r >= MIN_GATE && r <= MAX_GATE)
            ratios.push_back(r);
    }
    if (ratios.empty())
        return TYPICAL_GATE;
    std::nth_element(ratios.begin(), ratios.begin() + ratios.size() / 2, ratios.end());
    return std::min(1.0, ratios[ratios.size() / 2]);
}

int finest_grid(const int *allowed, int straight_only) {
    int f = BEAT;
    for (int k = 0; k < QUANT_GRID_COUNT; k++)
        if (allowed[k] && QUANT_GRIDS[k] < f && !(straight_only && is_triplet_grid(QUANT_GRIDS[k])))
            f = QUANT_GRIDS[k];
    return f;
}

// The next onset after each note (idx: the notes of one track), -1 at the end.
std::vector<int64_t> next_onsets(const std::vector<midi_played_note> &notes,
                                 const std::vector<int> &idx, const std::vector<int> &starts) {
    std::vector<int64_t> next(idx.size(), -1);
    for (size_t k = 0; k < idx.size(); k++) {
        auto it = std::upper_bound(starts.begin(), starts.end(), notes[idx[k]].q_start);
        if (it != starts.end())
            next[k] = *it;
    }
    return next;
}

// A note of one key ends where the next note of that key starts.
void end_overlaps_of_a_key(std::vector<midi_played_note> &notes, std::vector<int> idx) {
    std::sort(idx.begin(), idx.end(), [&](int a, int b) {
        return notes[a].pitch != notes[b].pitch ? notes[a].pitch < notes[b].pitch
                                                : notes[a].q_start < notes[b].q_start;
    });
    for (size_t k = 0; k + 1 < idx.size(); k++) {
        midi_played_note &a = notes[idx[k]];
        const midi_played_note &b = notes[idx[k + 1]];
        if (b.pitch == a.pitch && b.q_start > a.q_start && a.q_start + a.q_len > b.q_start)
            a.q_len = b.q_start - a.q_start;
    }
}

void end_track_notes(std::vector<midi_played_note> &notes, const std::vector<int> &idx,
                     const int *allowed, const quantised_grids &chosen) {
    std::vector<int> starts;
    for (int i : idx)
        starts.push_back(notes[i].q_start);
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    std::vector<int64_t> next = next_onsets(notes, idx, starts);
    end_context c{
        0, 0, -1, track_gate(notes, idx, next), finest_grid(allowed, 0), finest_grid(allowed, 1)};
    for (size_t k = 0; k < idx.size(); k++) {
        midi_played_note &n = notes[idx[k]];
        c.q_start = n.q_start;
        c.len = n.end - n.start;
        c.next = next[k];
        n.q_len = static_cast<int>(choose_end(c, chosen, n.track) - n.q_start);
    }
    end_overlaps_of_a_key(notes, idx);
}

// ---- Detached notes ----

// Written lengths of staccato notes go up to a dotted quarter: longer values before a rest are
// meant as written.
constexpr int LONGEST_STACCATO = 3 * BEAT / 2;
// A track whose chords run into the next onset this often is played legato.
constexpr int LEGATO_TRACK_PERCENT = 70;

// The chords of one track, in time order: notes with one start.
struct chord_span {
    int start, len; // len: 0 when its notes differ in length
    int64_t next;   // the next onset, -1 at the end
    int alone;      // nothing else of the track sounds from the start to the next onset
    std::vector<int> notes;
};

std::vector<chord_span> chords_of(const std::vector<midi_played_note> &notes,
                                  const std::vector<int> &idx) {
    std::vector<chord_span> out;
    int64_t sounding_until = 0; // the end of the notes of the chords so far
    for (size_t k = 0; k < idx.size();) {
        const midi_played_note &first = notes[idx[k]];
        chord_span c{first.q_start, first.q_len, -1, sounding_until <= first.q_start, {}};
        int64_t end = 0;
        for (; k < idx.size() && notes[idx[k]].q_start == first.q_start; k++) {
            const midi_played_note &n = notes[idx[k]];
            if (n.q_len != c.len)
                c.len = 0;
            end = std::max<int64_t>(end, static_cast<int64_t>(n.q_start) + n.q_len);
            c.notes.push_back(idx[k]);
        }
        sounding_until = std::max(sounding_until, end);
        if (!out.empty())
            out.back().next = c.start;
        out.push_back(c);
    }
    return out;
}

int legato_track(const std::vector<chord_span> &chords) {
    int64_t followed = 0, legato = 0;
    for (const chord_span &c : chords)
        if (c.next >= 0 && c.len) {
            followed++;
            legato += c.start + c.len == c.next;
        }
    return followed && legato * 100 >= followed * LEGATO_TRACK_PERCENT;
}

// The written length that a detached chord takes with the mark, or 0 to keep it as it is.
int staccato_length(const chord_span &c, int may_shorten, const written_values_counter &values) {
    if (!c.alone || !c.len || c.next < 0 || c.start + c.len >= c.next)
        return 0;
    int span = static_cast<int>(c.next - c.start); // the note and its rest
    int best = 0;
    int fewest = values(c.start, c.len, 0) + values(c.start + c.len, span - c.len, 1);
    for (int written : {2 * c.len, may_shorten && c.len % 2 == 0 ? c.len * 3 / 2 : 0}) {
        if (!written || written > span || written > LONGEST_STACCATO)
            continue;
        int n = values(c.start, written, 0) +
                (written < span ? values(c.start + written, span - written, 1) : 0);
        if (n < fewest) {
            fewest = n;
            best = written;
        }
    }
    return best;
}

} // namespace

void mark_detached_notes(std::vector<midi_played_note> &notes, int may_shorten,
                         const written_values_counter &values) {
    std::vector<int> order =
        order_by_track(notes, [](const midi_played_note &n) { return n.q_start; });
    for_each_track(notes, order, [&](const std::vector<int> &idx) {
        std::vector<chord_span> chords = chords_of(notes, idx);
        if (legato_track(chords))
            return;
        for (const chord_span &c : chords)
            if (int written = staccato_length(c, may_shorten, values))
                for (int n : c.notes) {
                    notes[n].q_len = written;
                    notes[n].staccato = 1;
                }
    });
}

int played_notes_are_notated(const std::vector<midi_played_note> &notes) {
    auto on_unit = [](int v) { return v % NOTATION_UNIT == 0 || v % NOTATION_TRIPLET_UNIT == 0; };
    for (const midi_played_note &n : notes)
        if (!n.exact || !on_unit(n.start) || !on_unit(n.end))
            return 0;
    return 1;
}

quantised_grids quantise_played_notes(std::vector<midi_played_note> &notes,
                                      const std::vector<midi_tempo_point> &tempi) {
    std::vector<int> order =
        order_by_track(notes, [](const midi_played_note &n) { return n.start; });
    std::vector<int> of(notes.size());
    std::vector<onset> ons = gather_onsets(notes, order, tempi, of);
    int allowed[QUANT_GRID_COUNT];
    std::fill(allowed, allowed + QUANT_GRID_COUNT, 1);
    quantised_grids chosen;
    choose_grids(ons, allowed, chosen);
    limit_grids(allowed, chosen);
    choose_grids(ons, allowed, chosen);
    for (onset &o : ons)
        o.q = static_cast<int>(nearest(o.time, grid_of(chosen, o.track, beat_of(o.time))));
    for (size_t i = 0; i < notes.size(); i++)
        notes[i].q_start = ons[of[i]].q;
    for_each_track(notes, order, [&](const std::vector<int> &idx) {
        end_track_notes(notes, idx, allowed, chosen);
    });
    return chosen;
}

int quantised_beat_grid(const quantised_grids &grids, int track, int t) {
    return grid_of(grids, track, beat_of(t));
}
