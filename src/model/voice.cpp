// Measure validation: voice slots, the rest fill of every voice and every silent track, and
// the numbering of the columns that fixes a measure's drawn width.
#include "model/voice.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "model/length.h"

voice_slot_t voice_slot[MAX_VOICE_SLOTS];
int n_voice_slot = 0;
int new_slot_allocated = 0;
int track_note_exist[MAX_TRACKS];

namespace {

const score *validated = &g_score; // whose track table validation reads

bool validated_track_shown(int track) {
    return track >= 0 && track < MAX_TRACKS && validated->tracks[track].active;
}

} // namespace

tracks_of_score::tracks_of_score(const score *s) : before(validated) {
    validated = s;
}

tracks_of_score::~tracks_of_score() {
    validated = before;
}

const score *validation_tracks() {
    return validated;
}

namespace {

constexpr int NO_PITCH_BOUND = 100000;  // larger than any pitch distance
constexpr int NO_PREVIOUS_X = -1000000; // before any tick of a measure
constexpr int NO_REMEMBERED_START = -1;

// The slots of each track in ascending index order, so that a slot request looks only at
// its own track. Rebuilt with the slot table.
int track_slots[MAX_TRACKS][MAX_VOICE_SLOTS];
int n_track_slots[MAX_TRACKS];

// Rests made by one validation, merged into the note list in one pass at the end.
std::vector<note *> new_rests;
struct keyed {
    int64_t key;
    note *rest;
};
std::vector<keyed> keyed_rests;
constexpr int64_t PITCH_KEY_RANGE = 65536; // every 16-bit pitch
constexpr int PITCH_KEY_OFFSET = 32768;
// The rests taken out of the measure at the start of a validation, reused for the new ones
// instead of going back to the heap.
std::vector<note *> spare_rests;

bool valid_track(int track) {
    return track >= 0 && track < MAX_TRACKS;
}

void reset_slots() {
    n_voice_slot = 0;
    for (int t = 0; t < MAX_TRACKS; t++)
        n_track_slots[t] = 0;
}

note *take_spare_rest() {
    if (spare_rests.empty())
        return new_note();
    note *r = spare_rests.back();
    spare_rests.pop_back();
    return init_note(r);
}

// Takes a rest out of m into the spare rests.
void take_out_rest(measure *m, note *r) {
    _unlink_note_list(&m->notes, r);
    spare_rests.push_back(r);
}

void free_spare_rests() {
    for (note *r : spare_rests) {
        r->next = r->prev = nullptr;
        _delete_note(r);
    }
    spare_rests.clear();
}

// Makes the rests of one voice over [from, to) of m, each a notatable value on the grid.
void fill_rests(measure *m, int from, int to, int pitch, int pos_y, int track, int voice) {
    while (to - from > 0) {
        int triplet = 0;
        int piece = decompose_len(m, from, to - from, &triplet);
        note *r = take_spare_rest();
        r->rest = 1;
        r->x = from;
        r->pitch = static_cast<int16_t>(pitch);
        r->pos.y = static_cast<int16_t>(pos_y);
        r->len = r->total_len = static_cast<int16_t>(piece);
        r->triplet = triplet ? 1 : 0;
        r->voice = static_cast<int16_t>(voice);
        r->track = static_cast<int8_t>(track);
        new_rests.push_back(r);
        from += piece;
    }
}

// A key whose order is note_comp's (x first, then pitch), so that the rests can be sorted
// and merged without a call per comparison.
int64_t order_key(const note *n) {
    return int64_t{n->x} * PITCH_KEY_RANGE + (n->pitch + PITCH_KEY_OFFSET);
}

// Puts the new rests into the list where one sorted insertion after another would have put
// them: after every element with a key not greater, notes before rests of equal key, rests of
// equal key in the order they were made.
void merge_rests(measure *m) {
    keyed_rests.clear();
    for (note *r : new_rests)
        keyed_rests.push_back({order_key(r), r});
    std::stable_sort(keyed_rests.begin(), keyed_rests.end(),
                     [](const keyed &a, const keyed &b) { return a.key < b.key; });
    note *pos = m->notes.head;
    for (const keyed &r : keyed_rests) {
        while (pos && order_key(pos) <= r.key)
            pos = pos->next;
        _insert_note_list(&m->notes, pos ? pos->prev : m->notes.tail, r.rest);
    }
    new_rests.clear();
}

// A note takes a voice when it starts its chain or is tied over from the previous measure;
// later pieces in the same measure are covered by the time their first piece reserves.
bool takes_voice(const note *n) {
    return valid_track(n->track) && (!n->l_prev || n->x <= 0);
}

// Steps a to g for one note: choose its slot and fill the gap of that slot before it.
void place_note(measure *m, note *n) {
    track_note_exist[n->track] = 1;
    int slot = get_free_voice_slot(n->pitch, n->track);
    if (slot == NO_VOICE_SLOT)
        return;
    voice_slot_t &v = voice_slot[slot];
    int gap_start = 0;
    if (new_slot_allocated) {
        v.track = n->track;
        v.pos_y = n->pos.y;
        v.pitch = n->pitch;
    } else {
        gap_start = v.x + v.len;
    }
    n->voice = static_cast<int16_t>(slot);
    int rest_pitch = v.pitch;
    int rest_pos_y = v.pos_y;
    v.busy = 1;
    v.x = n->x;
    v.len = n->l_next ? n->total_len : n->len;
    v.pos_y = n->pos.y;
    v.pitch = n->pitch;
    fill_rests(m, gap_start, n->x, rest_pitch, rest_pos_y, n->track, slot);
}

// Step 2, in the same walk that takes the old rests out of the measure.
void place_notes(measure *m) {
    int remembered = NO_REMEMBERED_START;
    for (note *n = m->notes.head, *next = nullptr; n; n = next) {
        next = n->next;
        if (n->rest) {
            take_out_rest(m, n);
            continue;
        }
        if (!takes_voice(n))
            continue;
        if (n->x != remembered) {
            remembered = n->x;
            check_voice_slot(n->x);
        }
        place_note(m, n);
    }
}

// Every voice runs to the end of the measure; its trailing rests keep its voice number.
void fill_trailing_rests(measure *m) {
    for (int i = 0; i < n_voice_slot; i++) {
        const voice_slot_t &v = voice_slot[i];
        fill_rests(m, v.x + v.len, m->len, v.pitch, v.pos_y, v.track, i);
    }
}

void fill_empty_tracks(measure *m) {
    for (int t = 0; t < validated->track_num && t < MAX_TRACKS; t++)
        if (!track_note_exist[t])
            fill_rests(m, 0, m->len, 0, 0, t, 0);
}

} // namespace

int validate_measure(measure *m) {
    return _validate_measure(m, -1, 1);
}

int _validate_measure(measure *m, int track, int only_active) {
    set_measure_all_rest(m, track);
    update_measure_order(m, only_active);
    return 1;
}

int validate_measure_by_note(measure *m, note *n) {
    if (!n)
        return 0;
    return validate_measure(m);
}

int measure_clear_all_rests(measure *m, int track) {
    int count = 0;
    for (note *n = m->notes.head; n;) {
        if (n->rest && (track < 0 || n->track == track)) {
            n = _delete_note_list(&m->notes, n, nullptr);
            count++;
        } else {
            n = n->next;
        }
    }
    return count;
}

int check_voice_slot(int x) {
    for (int i = 0; i < n_voice_slot; i++)
        if (voice_slot[i].busy && voice_slot[i].x + voice_slot[i].len <= x)
            voice_slot[i].busy = 0;
    return 1;
}

int get_free_voice_slot(int pitch, int track) {
    if (!valid_track(track))
        return NO_VOICE_SLOT;
    if (n_voice_slot == 0)
        reset_slots();
    int best = NO_VOICE_SLOT;
    int best_distance = NO_PITCH_BOUND;
    for (int k = 0; k < n_track_slots[track]; k++) {
        int i = track_slots[track][k];
        if (i >= n_voice_slot)
            break;
        const voice_slot_t &v = voice_slot[i];
        if (v.busy || v.track != track)
            continue;
        int distance = std::abs(v.pitch - pitch);
        if (distance < best_distance) {
            best_distance = distance;
            best = i;
        }
    }
    if (best != NO_VOICE_SLOT) {
        new_slot_allocated = 0;
        return best;
    }
    if (n_voice_slot >= MAX_VOICE_SLOTS)
        return NO_VOICE_SLOT;
    voice_slot_t &v = voice_slot[n_voice_slot];
    v.x = 0;
    v.len = 0;
    v.busy = 0;
    v.pitch = 0;
    v.pos_y = 0;
    v.track = track;
    track_slots[track][n_track_slots[track]++] = n_voice_slot;
    new_slot_allocated = 1;
    return n_voice_slot++;
}

// Single-track validation is never needed: every call rebuilds all tracks, so the rests of
// one track never go out of step with the notes of another.
int set_measure_all_rest(measure *m, int) {
    reset_slots();
    for (int t = 0; t < MAX_TRACKS; t++)
        track_note_exist[t] = 0;
    place_notes(m);
    fill_trailing_rests(m);
    fill_empty_tracks(m);
    merge_rests(m);
    free_spare_rests();
    return 1;
}

int update_measure_order(measure *m, int only_active) {
    int column = -1;
    int previous_x = NO_PREVIOUS_X;
    for (note *n = m->notes.head; n; n = n->next) {
        if (only_active && !validated_track_shown(n->track))
            continue;
        if (n->x != previous_x)
            column++;
        n->pos.x = static_cast<int16_t>(column);
        previous_x = n->x;
    }
    m->n_pos = static_cast<int16_t>(column < 0 ? 1 : column + 1);
    get_measure_display_size(m);
    return m->n_pos;
}
