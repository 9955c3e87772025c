// MIDI import. Loading checks every length against the file before allocating; reading never
// goes past a chunk's end (a track without an end-of-track event simply stops there); every
// score position is checked against the measure limit, so corrupt or hostile files end in a
// refusal or a partial score and never in a crash, a hang or a run-away allocation.
#include "files/midi_imp.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <vector>

#include "files/file_support.h"
#include "files/midi_quantise.h"
#include "files/notation_length.h"
#include "model/midi_wire.h"
#include "model/note_order.h"
#include "model/pitch.h"
#include "model/tie.h"
#include "model/voice.h"

int midi_atom = 4;
midi_grid_mode midi_grid = MIDI_GRID_AUTO;
int midi_divisions = 1;
int midi_type = 0;
int num_tracks = 0;
midi_buffer mbuf[MIDI_MAX_FILE_TRACKS];

constexpr int DEFAULT_TRACK_VOLUME = 127;
constexpr int HEADER_LENGTH = 6;
constexpr int SMPTE_DIVISION_FLAG = 0x8000;
constexpr int MAX_NOTE_LEN = 32767;     // a note's length must fit its 16-bit field
constexpr int MAX_SIGNATURE_POWER = 14; // a denominator must fit the 16-bit bit field
constexpr int MAX_KEY = 7;
constexpr int64_t MAX_SCORE_TICK = INT32_MAX / 4; // room for a note's length beyond its start
constexpr int VAR_LEN_MAX_BYTES = 4;
constexpr int MIN_MEASURE_LEN = 24; // a 1/32 measure; shorter signatures are ignored

// Per-track and per-file interpretation state.
static int channel_to_track[MAX_TRACKS];
static int n_track;
static int64_t volume_sum;
static int64_t note_count;
static measure *recent_measure;
static int recent_measure_x;
static int _midi_num, _midi_beat, _midi_key, _midi_tempo;
// Pending note-ons, one queue per key: the head of a queue is the earliest note-on of its key.
static midi_note_list midi_notes[MIDI_KEYS];
// Why the file is refused while its events are read; READ_OK while it is not.
enum read_refusal {
    READ_OK,
    READ_TOO_MANY_MEASURES,
    READ_TOO_MANY_NOTES,
    READ_TOO_MANY_EVENTS,
    READ_TIMES_OUT_OF_RANGE
};
static read_refusal read_refused;
// Notes made and note-ons pending, each kept within SCORE_MAX_PIECES while the file is read.
static int64_t notes_made;
static int64_t events_made; // tempo events, kept within SCORE_MAX_EVENTS
static int64_t notes_pending;
// Automatic grid: the notes of the file track being read, placed once it has been read whole,
// and the tempo map so far.
static std::vector<midi_played_note> played;
static std::vector<midi_tempo_point> tempo_map;

midi_note *init_midi_note(midi_note *e) {
    e->next = e->prev = nullptr;
    e->pitch = e->time = e->start = e->velocity = 0;
    return e;
}

int midi_note_comp(midi_note *a, midi_note *b) {
    return a->time < b->time;
}

int midi_grid_rule(int v, int *triplet) {
    *triplet = 0;
    if (v % 3 != 0)
        return v;
    if ((v & 1) && v > 1) {
        *triplet = 1;
        return v;
    }
    return sampling(v, 3 * midi_atom);
}

int sampling(int a, int b) {
    if (b <= 1)
        return a;
    int r = a % b;
    return a - r + (r >= b / 2 ? b : 0);
}

void destroy_mbuf() {
    for (midi_buffer &b : mbuf) {
        std::free(b.data);
        b.data = nullptr;
        b.len = 0;
        b.cur = nullptr;
    }
}

// ---- Loading ----

namespace {

int load_fail(PACKFILE *f, const char *path, const char *why) {
    if (f)
        pack_fclose(f);
    destroy_mbuf();
    file_message("%s: %s", path, why);
    return 0;
}

int read_tag(PACKFILE *f, const char *tag) {
    char got[4];
    return pack_fread(got, 4, f) == 4 && std::memcmp(got, tag, 4) == 0;
}

// Reads the header; returns the bytes it took, or 0 when it is not acceptable.
long read_header(PACKFILE *f, long file_size, const char **why) {
    *why = "not a Standard MIDI File";
    if (!read_tag(f, "MThd"))
        return 0;
    long hlen = pack_mgetl(f);
    if (pack_feof(f) || hlen < HEADER_LENGTH || hlen > file_size - 8)
        return 0;
    midi_type = pack_mgetw(f);
    file_trace("midi type:%d\n", midi_type);
    *why = "only MIDI formats 0 and 1 can be read";
    if (midi_type != 0 && midi_type != 1)
        return 0;
    num_tracks = pack_mgetw(f);
    file_trace("tracks:%d\n", num_tracks);
    *why = "the number of tracks must be 1 to 32";
    if (num_tracks < 1 || num_tracks > MIDI_MAX_FILE_TRACKS)
        return 0;
    int division = pack_mgetw(f);
    file_trace("time division:%d\n", division);
    *why = "the time division must count ticks per quarter note";
    if (division <= 0 || (division & SMPTE_DIVISION_FLAG) || pack_feof(f))
        return 0;
    midi_divisions = division;
    // A longer header carries fields of later versions of the format: skip them.
    if (hlen > HEADER_LENGTH && pack_fseek(f, static_cast<int>(hlen - HEADER_LENGTH)) != 0)
        return 0;
    return 8 + hlen;
}

} // namespace

int _load_midi(const char *path) {
    destroy_mbuf();
    FILE *fp = std::fopen(path, "rb");
    struct stat st;
    if (!fp || fstat(fileno(fp), &st) != 0) {
        if (fp)
            std::fclose(fp);
        file_message("%s: cannot be opened", path);
        return 0;
    }
    if (!file_size_acceptable(path, fp)) {
        std::fclose(fp);
        return 0;
    }
    long file_size = static_cast<long>(st.st_size);
    PACKFILE *f = pack_from_stdio(fp, 1);
    if (!f) {
        std::fclose(fp);
        return load_fail(nullptr, path, "cannot be opened");
    }
    const char *why = nullptr;
    long pos = read_header(f, file_size, &why);
    if (!pos)
        return load_fail(f, path, why);
    for (int i = 0; i < num_tracks; i++) {
        if (!read_tag(f, "MTrk"))
            return load_fail(f, path, "track chunk missing");
        long len = pack_mgetl(f);
        pos += 8;
        if (pack_feof(f) || len < 0 || len > file_size - pos)
            return load_fail(f, path, "track chunk truncated");
        if (len > 0) {
            mbuf[i].data = static_cast<unsigned char *>(std::malloc(static_cast<size_t>(len)));
            if (!mbuf[i].data)
                return load_fail(f, path, "not enough memory");
            if (pack_fread(mbuf[i].data, len, f) != len)
                return load_fail(f, path, "track chunk truncated");
        }
        mbuf[i].len = static_cast<int>(len);
        pos += len;
        file_trace("track:%d loaded.\n", i);
    }
    pack_fclose(f);
    return 1;
}

// ---- Measure lookup ----

namespace {

measure *append_measure(score *s, measure *after) {
    measure *m = new_measure();
    if (after)
        return insert_measure(s, after, m);
    return _append_measure_list(&s->measures, m);
}

// Walks from m (starting at tick *ms) to the measure holding x, appending measures at the end.
// limit > 0 caps the number of measures; null when the cap is reached.
measure *walk_to(score *s, measure *m, int *ms, int x, int limit) {
    while (x < *ms && m->prev) {
        m = m->prev;
        *ms -= m->len;
    }
    while (x >= *ms + m->len) {
        if (!m->next) {
            if (limit > 0 && s->measures.num >= limit)
                return nullptr;
            append_measure(s, m);
        }
        *ms += m->len;
        m = m->next;
    }
    return m;
}

} // namespace

measure *get_measure_by_x(score *s, int x, int *start) {
    if (!s->measures.head)
        append_measure(s, nullptr);
    int ms = 0;
    measure *m = walk_to(s, s->measures.head, &ms, x, 0);
    *start = ms;
    return m;
}

void reset_measure_cache(score *s) {
    recent_measure = s->measures.head;
    recent_measure_x = 0;
}

measure *get_measure_by_x_fast(score *s, int x, int *start) {
    if (!s->measures.head) {
        append_measure(s, nullptr);
        reset_measure_cache(s);
    }
    if (!recent_measure)
        reset_measure_cache(s);
    int ms = recent_measure_x;
    measure *m = walk_to(s, recent_measure, &ms, x, SCORE_MAX_MEASURES);
    if (!m)
        return nullptr;
    recent_measure = m;
    recent_measure_x = ms;
    *start = ms;
    return m;
}

// ---- Interpreting ----

namespace {

// File ticks to score ticks. File times must fit the pending notes' int field and score ticks
// must leave room for a note's length; otherwise the file is refused.
int to_score_ticks(int64_t t) {
    if (t > INT32_MAX) {
        read_refused = READ_TIMES_OUT_OF_RANGE;
        return 0;
    }
    int64_t v = t * TICKS_PER_QUARTER / midi_divisions;
    if (v > MAX_SCORE_TICK) {
        read_refused = READ_TIMES_OUT_OF_RANGE;
        return 0;
    }
    return static_cast<int>(v);
}

void clear_pending() {
    for (midi_note_list &l : midi_notes)
        _destroy_midi_note_list(&l, nullptr);
    notes_pending = 0;
}

void note_on_process(int64_t time, int key, int velocity) {
    if (++notes_pending > SCORE_MAX_PIECES) {
        read_refused = READ_TOO_MANY_NOTES;
        return;
    }
    midi_note *p = new_midi_note();
    p->pitch = key - KEY_OF_MIDDLE_C;
    p->time =
        time > INT32_MAX ? (read_refused = READ_TIMES_OUT_OF_RANGE, 0) : static_cast<int>(time);
    p->velocity = velocity;
    midi_note_list *l = &midi_notes[key];
    // Times only grow along a track, so the new element nearly always belongs at the tail.
    if (l->tail && !midi_note_comp(p, l->tail))
        _append_midi_note_list(l, p);
    else
        _insert_sorted_midi_note_list(l, p, midi_note_comp);
}

int clamp_note_len(int d) {
    if (d <= MAX_NOTE_LEN)
        return d;
    int grid = 3 * midi_atom;
    return MAX_NOTE_LEN / grid * grid;
}

// Puts a note of len ticks at score tick start_tick; snap_x applies the grid rule to its place
// in the measure, as the exact rule does.
void place_note(score *s, int start_tick, int len, int triplet, int key, int velocity, int track,
                int snap_x, int staccato) {
    int start = 0;
    measure *m = get_measure_by_x_fast(s, start_tick, &start);
    int unused = 0;
    int x = m ? (snap_x ? midi_grid_rule(start_tick - start, &unused) : start_tick - start) : 0;
    if (x < 0)
        x = 0;
    // Snapping may push the start onto the bar line: the note then opens the next measure.
    if (m && x >= m->len) {
        int at = start + x;
        m = get_measure_by_x_fast(s, at, &start);
        x = at - start;
    }
    if (!m) {
        read_refused = READ_TOO_MANY_MEASURES;
        return;
    }
    note *n = new_note();
    n->pitch = static_cast<int16_t>(key - KEY_OF_MIDDLE_C);
    n->triplet = triplet;
    n->volume = static_cast<uint8_t>(velocity);
    n->len = n->total_len = static_cast<int16_t>(len ? len : midi_atom);
    n->x = x;
    n->track = static_cast<int8_t>(track);
    n->staccato = staccato;
    _append_note_list(&m->notes, n); // every list is sorted once the file has been read
    get_note_pos_y(m, n);
}

// The exact rule for a note from file time on to file time off.
void place_exactly(score *s, int64_t on, int64_t off, int key, int velocity, int track,
                   int staccato) {
    int triplet = 0;
    int start_tick = midi_grid_rule(to_score_ticks(on), &triplet);
    int d = clamp_note_len(midi_grid_rule(to_score_ticks(off - on), &triplet));
    if (!read_refused)
        place_note(s, start_tick, d, triplet, key, velocity, track, 1, staccato);
}

int converts_exactly(int64_t t) {
    return t * TICKS_PER_QUARTER % midi_divisions == 0;
}

void keep_played(int64_t on, int64_t off, int key, int velocity, int track) {
    midi_played_note n;
    n.start = to_score_ticks(on);
    n.end = to_score_ticks(off);
    n.pitch = key - KEY_OF_MIDDLE_C;
    n.track = track;
    n.velocity = velocity;
    n.exact = converts_exactly(on) && converts_exactly(off);
    n.q_start = n.q_len = n.staccato = 0;
    played.push_back(n);
}

void note_off_process(score *s, int64_t time, int key, int track) {
    midi_note *p = midi_notes[key].head;
    if (!p)
        return;
    int64_t on = p->time;
    int velocity = p->velocity;
    _delete_midi_note_list(&midi_notes[key], p, nullptr);
    notes_pending--;
    if (!read_refused && ++notes_made > SCORE_MAX_PIECES)
        read_refused = READ_TOO_MANY_NOTES;
    if (read_refused)
        return;
    if (midi_grid == MIDI_GRID_EXACT)
        place_exactly(s, on, time, key, velocity, track, 0);
    else
        keep_played(on, time, key, velocity, track);
}

// The written values that a note or a rest of len ticks from score tick start takes over the
// measures it crosses; more than any split gives where the score cannot hold it.
int written_values_in(score *s, int start, int len, int is_rest) {
    int count = 0;
    while (len > 0) {
        int ms = 0;
        measure *m = get_measure_by_x_fast(s, start, &ms);
        if (!m)
            return count + NOTATION_MAX_PIECES;
        int piece = std::min(len, m->len - (start - ms));
        notation_piece values[NOTATION_MAX_PIECES];
        int n = split_metric_length(m, start - ms, piece, is_rest, values, NOTATION_MAX_PIECES);
        count += n < 0 ? NOTATION_MAX_PIECES : n;
        start += piece;
        len -= piece;
    }
    return count;
}

int64_t to_file_ticks(int64_t score_ticks) {
    return score_ticks * midi_divisions / TICKS_PER_QUARTER;
}

// Places the notes kept for the automatic grid: by the exact rule when the track was written
// exactly, as notation programs write, else quantised for notation. Either way short notes
// before a rest may be written as staccato notes; on exactly written tracks they then sound
// exactly as the file has them.
void place_played(score *s) {
    written_values_counter values = [s](int start, int len, int is_rest) {
        return written_values_in(s, start, len, is_rest);
    };
    if (played_notes_are_notated(played)) {
        for (midi_played_note &n : played) {
            n.q_start = n.start;
            n.q_len = n.end - n.start;
        }
        mark_detached_notes(played, 0, values);
        for (const midi_played_note &n : played)
            if (!read_refused)
                place_exactly(s, to_file_ticks(n.q_start), to_file_ticks(n.q_start + n.q_len),
                              n.pitch + KEY_OF_MIDDLE_C, n.velocity, n.track, n.staccato);
    } else {
        std::stable_sort(
            tempo_map.begin(), tempo_map.end(),
            [](const midi_tempo_point &a, const midi_tempo_point &b) { return a.tick < b.tick; });
        quantise_played_notes(played, tempo_map);
        mark_detached_notes(played, 1, values);
        for (const midi_played_note &n : played)
            if (!read_refused)
                place_note(s, n.q_start, clamp_note_len(n.q_len), 0, n.pitch + KEY_OF_MIDDLE_C,
                           n.velocity, n.track, 0, n.staccato);
    }
    played.clear();
}

// ---- Meta events ----

void time_sig_event(measure *m, int) {
    set_measure(m, _midi_num, _midi_beat, m->key);
}
void key_sig_event(measure *m, int) {
    set_measure(m, m->num, m->bit, _midi_key);
}
void meta_tempo_event(measure *m, int offset) {
    m_event *e = new_m_event();
    e->x = offset;
    e->type = EVENT_TEMPO;
    e->value = _midi_tempo;
    _append_m_event_list(&m->m_events, e); // every list is sorted once the file has been read
}

void do_meta_event(score *s, int64_t time, void (*applier)(measure *, int)) {
    int x = sampling(to_score_ticks(time), midi_atom);
    if (read_refused)
        return;
    int start = 0;
    measure *m = get_measure_by_x_fast(s, x, &start);
    if (!m) {
        read_refused = READ_TOO_MANY_MEASURES;
        return;
    }
    int offset = sampling(x - start, midi_atom);
    if (offset >= m->len) {
        m = get_measure_by_x_fast(s, start + offset, &start);
        offset = 0;
        if (!m) {
            read_refused = READ_TOO_MANY_MEASURES;
            return;
        }
    }
    applier(m, offset);
}

// A signature is applied only when it gives a measure a length the score can hold.
int acceptable_time_signature(int num, int power) {
    if (num < 1 || power > MAX_SIGNATURE_POWER)
        return 0;
    int len = get_measure_length(num, 1 << power);
    return len >= MIN_MEASURE_LEN && len <= INT16_MAX;
}

void apply_meta(score *s, int64_t time, int type, const unsigned char *d, int len) {
    if (type == 0x51 && len >= 3) {
        int u = (d[0] << 16) | (d[1] << 8) | d[2];
        if (u == 0)
            return;
        if (++events_made > SCORE_MAX_EVENTS) {
            read_refused = READ_TOO_MANY_EVENTS;
            return;
        }
        _midi_tempo = MICROSECONDS_PER_MINUTE / u;
        tempo_map.push_back({to_score_ticks(time), _midi_tempo});
        do_meta_event(s, time, meta_tempo_event);
    } else if (type == 0x58 && len >= 2) {
        if (!acceptable_time_signature(d[0], d[1]))
            return;
        _midi_num = d[0];
        _midi_beat = 1 << d[1];
        do_meta_event(s, time, time_sig_event);
    } else if (type == 0x59 && len >= 1) {
        int key = static_cast<signed char>(d[0]);
        if (key < -MAX_KEY || key > MAX_KEY)
            return;
        _midi_key = key;
        do_meta_event(s, time, key_sig_event);
    }
}

// ---- Events ----

unsigned char *buffer_end(midi_buffer *b) {
    return b->data + b->len;
}

void end_track(midi_buffer *b) {
    b->cur = nullptr;
    b->time = MIDI_TIME_END;
}

// The next byte of the track, or -1 (and the track ends) at the end of its chunk.
int next_byte(midi_buffer *b) {
    if (!b->cur || b->cur >= buffer_end(b)) {
        end_track(b);
        return -1;
    }
    return *b->cur++;
}

// A variable-length quantity of at most four bytes; -1 when it is cut off or longer.
int parse_var_len(midi_buffer *b) {
    int value = 0;
    for (int i = 0; i < VAR_LEN_MAX_BYTES; i++) {
        int c = next_byte(b);
        if (c < 0)
            return -1;
        value = (value << 7) | (c & 0x7F);
        if (!(c & 0x80))
            return value;
    }
    return -1;
}

// Skips n bytes; the track ends when fewer are left.
void skip_bytes(midi_buffer *b, int64_t n) {
    if (!b->cur)
        return;
    if (n > buffer_end(b) - b->cur) {
        end_track(b);
        return;
    }
    b->cur += n;
}

void process_meta_event(score *s, midi_buffer *b) {
    int type = next_byte(b);
    int len = type < 0 ? -1 : parse_var_len(b);
    if (len < 0 || len > buffer_end(b) - b->cur) {
        end_track(b);
        return;
    }
    if (type == 0x2F) {
        end_track(b);
        return;
    }
    apply_meta(s, b->time, type, b->cur, len);
    b->cur += len;
}

int track_of_channel(score *s, int c) {
    if (channel_to_track[c] < 0) {
        channel_to_track[c] = n_track;
        s->tracks[n_track].channel = static_cast<int16_t>(c);
        if (c == PERCUSSION_CHANNEL)
            s->tracks[n_track].patch = PERCUSSION_PATCH;
        n_track++;
    }
    return channel_to_track[c];
}

// Data bytes are seven bits wide; -1 ends the event when the chunk runs out.
int data_byte(midi_buffer *b, int *first) {
    if (*first >= 0) {
        int c = *first;
        *first = -1;
        return c & 0x7F;
    }
    int c = next_byte(b);
    return c < 0 ? -1 : c & 0x7F;
}

void process_channel_message(score *s, midi_buffer *b, int status, int first) {
    int c = status & 0x0F;
    int track = track_of_channel(s, c);
    int kind = status & 0xF0;
    int a = data_byte(b, &first);
    if (a < 0)
        return;
    if (kind == 0xC0) {
        s->tracks[track].channel = static_cast<int16_t>(c);
        s->tracks[track].patch =
            static_cast<int16_t>(c == PERCUSSION_CHANNEL ? PERCUSSION_PATCH : a);
        file_trace("process_midi_event():track:%d,channel:%d,patch:%d\n", track, c,
                   s->tracks[track].patch);
        return;
    }
    if (kind == 0xD0)
        return;
    int v = data_byte(b, &first);
    if (v < 0)
        return;
    if (kind == 0x80 || (kind == 0x90 && v == 0)) {
        note_off_process(s, b->time, a, track);
    } else if (kind == 0x90) {
        note_on_process(b->time, a, v);
        volume_sum += v;
        note_count++;
    }
}

void process_system_message(midi_buffer *b, int status, int first) {
    switch (status) {
    case 0xF0:
    case 0xF7: {
        int n = parse_var_len(b);
        if (n < 0)
            end_track(b);
        else
            skip_bytes(b, n);
        break;
    }
    case 0xF2:
        skip_bytes(b, first >= 0 ? 1 : 2);
        break;
    case 0xF3:
        skip_bytes(b, first >= 0 ? 0 : 1);
        break;
    default:
        break;
    }
}

void process_midi_event(score *s, midi_buffer *b) {
    int c = next_byte(b);
    if (c < 0)
        return;
    int status = c;
    int first = -1;
    if (c & 0x80) {
        if (c != 0xF0 && c != 0xF7 && c != 0xFF)
            b->status = c;
    } else if (b->status) {
        status = b->status;
        first = c;
    } else {
        file_trace("error\n");
        b->cur--; // read again as the next delta time
        return;
    }
    if (status == 0xFF)
        process_meta_event(s, b);
    else if (status < 0xF0)
        process_channel_message(s, b, status, first);
    else
        process_system_message(b, status, first);
}

void read_track(score *s, int i) {
    midi_buffer *b = &mbuf[i];
    file_trace("track:%d read\n", i);
    clear_pending();
    reset_measure_cache(s);
    volume_sum = note_count = 0;
    int v = (midi_type == 1 && i > 0) ? i - 1 : i;
    while (b->cur && !read_refused) {
        int delta = parse_var_len(b);
        if (delta < 0) {
            if (b->cur)
                file_trace("midi file abnormally read \n");
            end_track(b);
            break;
        }
        b->time += delta;
        process_midi_event(s, b);
    }
    if (!read_refused)
        place_played(s);
    played.clear();
    s->tracks[v].volume =
        note_count > 0 ? static_cast<int>(volume_sum / note_count) : DEFAULT_TRACK_VOLUME;
    clear_pending();
}

// Signature changes can shorten a measure after notes or tempo events were placed in it; such
// elements move on into the following measures so that every element starts inside its measure.
void settle_elements(score *s) {
    for (measure *m = s->measures.head; m; m = m->next) {
        for (note *n = m->notes.head; n;) {
            if (n->x < m->len) {
                n = n->next;
                continue;
            }
            note *next = _unlink_note_list(&m->notes, n);
            if (!m->next)
                append_measure(s, m);
            n->next = n->prev = nullptr;
            n->x -= m->len;
            _append_note_list(&m->next->notes, n);
            get_note_pos_y(m->next, n);
            n = next;
        }
        for (m_event *e = m->m_events.head; e;) {
            if (e->x < m->len) {
                e = e->next;
                continue;
            }
            m_event *next = _unlink_m_event_list(&m->m_events, e);
            if (!m->next)
                append_measure(s, m);
            e->next = e->prev = nullptr;
            e->x -= m->len;
            _append_m_event_list(&m->next->m_events, e);
            e = next;
        }
    }
}

} // namespace

int midi_read(score *s) {
    return _midi_read(s, "MIDI file");
}

namespace {

void report_refusal(const char *path) {
    if (read_refused == READ_TOO_MANY_MEASURES)
        file_message("%s: more than %d measures, the limit of a score", path, SCORE_MAX_MEASURES);
    else if (read_refused == READ_TOO_MANY_EVENTS)
        file_message("%s: more than %d tempo events, the limit of a score", path, SCORE_MAX_EVENTS);
    else if (read_refused == READ_TOO_MANY_NOTES)
        file_message("%s: more than %lld notes, the limit of a score", path,
                     static_cast<long long>(SCORE_MAX_PIECES));
    else
        file_message("%s: events later than tick %lld, the limit of a score", path,
                     static_cast<long long>(MAX_SCORE_TICK));
}

} // namespace

int _midi_read(score *s, const char *path) {
    for (midi_buffer &b : mbuf) {
        b.cur = b.data;
        b.time = b.data ? 0 : MIDI_TIME_END;
        b.status = 0;
    }
    for (int &t : channel_to_track)
        t = -1;
    for (track_info_t &ti : s->tracks)
        ti.volume = 0;
    n_track = 0;
    read_refused = READ_OK;
    notes_made = events_made = 0;
    played.clear();
    tempo_map.clear();
    for (int i = 0; i < MIDI_MAX_FILE_TRACKS && !read_refused; i++)
        read_track(s, i);
    clear_pending();
    recent_measure = nullptr;
    if (read_refused) {
        report_refusal(path);
        return 0;
    }
    settle_elements(s);
    for (measure *m = s->measures.head; m; m = m->next)
        sort_measure_elements(m);
    if (!score_size_acceptable(path, s->measures.head))
        return 0;
    // Validation gives every track a voice in every measure, the imported tracks too.
    s->track_num = n_track > 0 ? n_track : 1;
    tracks_of_score validating(s);
    score_expand_by_measure(s);
    for (measure *m = s->measures.head; m; m = m->next)
        validate_measure(m);
    return 1;
}

namespace {

// Gives s back the one empty measure it had: the first measure stays (the score's pointers
// refer to it), everything after it goes.
void restore_fresh_score(score *s, int num, int bit, int key) {
    measure *first = s->measures.head;
    while (first && first->next)
        _delete_measure_list(&s->measures, first->next, destroy_measure);
    if (first) {
        destroy_measure(first);
        set_measure(first, num, bit, key);
    }
}

// Every track of the file is shown, whatever an earlier score hid. A channel that carries
// controllers and program changes but never sounds a note still gets its track; the automatic
// grid, which reads a file as a score, does not show such tracks, as long as some track sounds.
void show_sounding_tracks(score *s, int hide_silent) {
    bool sounds[MAX_TRACKS] = {};
    bool any = false;
    for (const measure *m = s->measures.head; m; m = m->next)
        for (const note *n = m->notes.head; n; n = n->next)
            if (!n->rest && n->track >= 0 && n->track < MAX_TRACKS)
                any = sounds[n->track] = true;
    for (int t = 0; t < s->track_num && t < MAX_TRACKS; t++)
        s->tracks[t].active = sounds[t] || !any || !hide_silent;
}

} // namespace

int midi_import(const char *path, score *s) {
    if (!_load_midi(path))
        return 0;
    track_info_t saved[MAX_TRACKS];
    std::memcpy(saved, s->tracks, sizeof saved);
    measure *first = s->measures.head;
    int num = first ? first->num : default_num;
    int bit = first ? first->bit : default_bit;
    int key = first ? first->key : default_key;
    int ok = _midi_read(s, path);
    destroy_mbuf();
    if (!ok) {
        restore_fresh_score(s, num, bit, key);
        std::memcpy(s->tracks, saved, sizeof saved);
        return 0;
    }
    file_trace("read succeeded.\n");
    show_sounding_tracks(s, midi_grid != MIDI_GRID_EXACT);
    check_read_score(s, "reading a MIDI file");
    return 1;
}
