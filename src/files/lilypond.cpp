// LilyPond sketch export. Validation gives every note a voice slot shared by all tracks of a
// measure; the writer numbers the slots of each track per measure (its own voices 0, 1, ...),
// averages the pitch of each such voice over the score to choose its staff, and writes each voice
// as a sequence of measures, every one closed by a bar check so LilyPond verifies its length.
#include "files/lilypond.h"

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "files/file_support.h"
#include "files/notation_length.h"
#include "model/length.h"
#include "model/pitch.h"

double voice_length[MAX_VOICE_SLOTS];
double average_pitch[MAX_VOICE_SLOTS];
int treble[MAX_VOICE_SLOTS];
int n_treble;
int bass[MAX_VOICE_SLOTS];
int n_bass;

namespace {

constexpr int TEXT_SIZE = 48;
constexpr int MAX_OCTAVE_MARKS = 16;
constexpr int PUTF_SIZE = 128;
constexpr int NAME_CACHE_SIZE = 256; // pitches -128 .. 127
constexpr int PLAIN_FACTOR = 3;
constexpr int WHOLE_DENOMINATOR = 1;
constexpr int NO_VOICE = -1;

// What the writer needs of one element, copied while its measure is still in the cache from
// its validation: the writing then reads compact arrays instead of chasing the note lists.
struct ly_element {
    int32_t x;
    int16_t len;
    int16_t pitch;
    int16_t voice; // the track's own voice number, NO_VOICE when the element has none
    int8_t track;
    int8_t rest;
    int8_t tied;     // tied to the next piece, which sounds in the same written voice
    const note *src; // the element itself, to match the pieces of a note across a bar line
};

// A piece tied over the bar line, waiting for the next measure to number its continuation.
struct ly_pending_tie {
    const note *next; // the continuation
    int element;      // index of the piece in ly_writer::elements
    int voice;
};

// The elements of one track in one measure, grouped by voice, list order kept within a voice.
// The track's voice v is its v-th slot in ascending order; every voice starts at tick 0 (with
// its first note or the rests before it), so the elements there name all the slots.
struct ly_cell {
    int slots;   // offset of the track's ascending slots in ly_writer::slots
    int n_slots; // the track's voice count in this measure
    int bounds;  // voice v's elements are elements[bounds[v]] up to elements[bounds[v + 1]]
};

struct ly_writer {
    std::string text;      // the whole source, written to the file in one go
    std::string rest_text; // the last whole-measure rest and its measure's num and len
    int rest_num;
    int rest_len;
    score *s;
    int tracks;
    int track;
    int in_tuplet;              // a \tuplet 3/2 group is open
    int counted;                // elements written for the current voice
    std::vector<ly_cell> cells; // measure index * tracks + track
    std::vector<int> slots;
    std::vector<int> bounds;
    std::vector<ly_element> elements;
    // The measure being gathered, by track.
    std::vector<std::vector<int>> track_slots;
    std::vector<std::vector<ly_element>> track_elements;
    std::vector<int> counts;
    std::vector<ly_pending_tie> pending_ties;      // from the previous measure
    std::vector<ly_pending_tie> next_pending_ties; // to the next measure
};

// Writes v (>= 0) in decimal at text; returns the number of characters. Formatted by hand:
// it runs for every value of every voice.
int format_count(char *text, int v) {
    char digits[TEXT_SIZE];
    int n = 0;
    for (int d = v; d > 0 || n == 0; d /= 10)
        digits[n++] = static_cast<char>('0' + d % 10);
    for (int k = 0; k < n; k++)
        text[k] = digits[n - 1 - k];
    return n;
}

void put(ly_writer *w, const char *text) {
    w->text.append(text);
}

void putf(ly_writer *w, const char *fmt, ...) __attribute__((format(printf, 2, 3)));
void putf(ly_writer *w, const char *fmt, ...) {
    char text[PUTF_SIZE];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    put(w, text);
}

// Later pieces of a note inside one measure take no slot of their own: they sound in the
// slot of the piece that opened the note in this measure.
int note_voice(const note *n) {
    while (n->l_prev && n->x > 0)
        n = n->l_prev;
    return n->voice;
}

int voice_rank(const int *slots, int n_slots, int slot) {
    const int *it = std::lower_bound(slots, slots + n_slots, slot);
    return it != slots + n_slots && *it == slot ? static_cast<int>(it - slots) : NO_VOICE;
}

const ly_cell &cell_of(const ly_writer *w, int measure_index, int track) {
    return w->cells[static_cast<size_t>(measure_index) * w->tracks + track];
}

// The elements of m by track, each with its raw slot, and each track's slots.
void gather_measure(ly_writer *w, measure *m) {
    for (int t = 0; t < w->tracks; t++) {
        w->track_slots[t].clear();
        w->track_elements[t].clear();
    }
    for (note *n = m->notes.head; n; n = n->next) {
        if (n->track < 0 || n->track >= w->tracks)
            continue;
        std::vector<int> &slots = w->track_slots[n->track];
        auto at = std::lower_bound(slots.begin(), slots.end(), n->voice);
        if (n->x == 0 && (at == slots.end() || *at != n->voice))
            slots.insert(at, n->voice);
        w->track_elements[n->track].push_back({n->x, n->len, n->pitch,
                                               static_cast<int16_t>(note_voice(n)), n->track,
                                               static_cast<int8_t>(n->rest), 0, n});
    }
}

// A note is tied to its next piece when that piece sounds in the same written voice: always
// inside the measure (the piece ends before the bar line); across the bar line when the next
// measure gives the continuation the same voice number, settled when that measure is filed.
// The pieces are contiguous, so no note outside this measure needs to be read.
void link_ties(ly_writer *w, const measure *m, int k) {
    ly_element &e = w->elements[k];
    const note *n = e.src;
    if (n->l_prev && n->x == 0)
        for (const ly_pending_tie &p : w->pending_ties)
            if (p.next == n && p.voice == e.voice)
                w->elements[p.element].tied = 1;
    if (n->l_next && !e.rest) {
        if (n->x + n->len < m->len)
            e.tied = 1;
        else
            w->next_pending_ties.push_back({n->l_next, k, e.voice});
    }
}

// Appends the cells of the measure: each track's elements with their voice numbers, grouped
// by voice (a counting sort, which keeps list order within a voice).
void file_measure(ly_writer *w, const measure *m) {
    for (int t = 0; t < w->tracks; t++) {
        const std::vector<int> &slots = w->track_slots[t];
        std::vector<ly_element> &in = w->track_elements[t];
        int n_slots = static_cast<int>(slots.size());
        ly_cell c = {static_cast<int>(w->slots.size()), n_slots,
                     static_cast<int>(w->bounds.size())};
        w->slots.insert(w->slots.end(), slots.begin(), slots.end());
        // counts[v + 1] counts voice v; elements without a voice (NO_VOICE) are dropped.
        w->counts.assign(n_slots + 1, 0);
        for (ly_element &e : in) {
            e.voice = static_cast<int16_t>(voice_rank(slots.data(), n_slots, e.voice));
            if (e.voice != NO_VOICE)
                w->counts[e.voice + 1]++;
        }
        int base = static_cast<int>(w->elements.size());
        for (int v = 0; v < n_slots; v++)
            w->counts[v + 1] += w->counts[v];
        for (int v = 0; v <= n_slots; v++)
            w->bounds.push_back(base + w->counts[v]);
        w->elements.resize(base + w->counts[n_slots]);
        for (const ly_element &e : in)
            if (e.voice != NO_VOICE)
                w->elements[base + w->counts[e.voice]++] = e;
        w->cells.push_back(c);
        for (int k = base; k < static_cast<int>(w->elements.size()); k++)
            link_ties(w, m, k);
    }
}

// Validates every measure and gathers its elements right after, while they are in the cache.
void validate_and_gather(ly_writer *w) {
    w->pending_ties.clear();
    w->track_slots.resize(w->tracks);
    w->track_elements.resize(w->tracks);
    for (measure *m = w->s->measures.head; m; m = m->next) {
        validate_measure(m);
        gather_measure(w, m);
        w->next_pending_ties.clear();
        file_measure(w, m);
        w->pending_ties.swap(w->next_pending_ties);
    }
}

// Voice v's elements in a cell: [*begin, *end) of w->elements.
void voice_range(const ly_writer *w, const ly_cell &c, int v, int *begin, int *end) {
    *begin = w->bounds[c.bounds + v];
    *end = w->bounds[c.bounds + v + 1];
}

// Steps a and b: the track's voice count; voice_length, average_pitch and the staff lists.
int average_track_voices(ly_writer *w) {
    for (int v = 0; v < MAX_VOICE_SLOTS; v++)
        voice_length[v] = average_pitch[v] = 0;
    int count = 0;
    for (size_t i = w->track; i < w->cells.size(); i += w->tracks) {
        const ly_cell &c = w->cells[i];
        for (int v = 0; v < c.n_slots && v < MAX_VOICE_SLOTS; v++) {
            int begin, end;
            voice_range(w, c, v, &begin, &end);
            for (int k = begin; k < end; k++) {
                const ly_element &e = w->elements[k];
                if (e.rest)
                    continue;
                voice_length[v] += e.len;
                average_pitch[v] += static_cast<double>(e.pitch) * e.len;
                if (v + 1 > count)
                    count = v + 1;
            }
        }
    }
    return count;
}

// A voice from middle C up on average goes to the treble staff, any other (below middle C, or
// without notes) to the bass staff.
void assign_staves(int count) {
    n_treble = n_bass = 0;
    for (int v = 0; v < count; v++) {
        if (voice_length[v] > 0)
            average_pitch[v] /= voice_length[v];
        if (voice_length[v] > 0 && average_pitch[v] >= 0)
            treble[n_treble++] = v;
        else
            bass[n_bass++] = v;
    }
}

void set_tuplet(ly_writer *w, int on) {
    if (on == w->in_tuplet)
        return;
    put(w, on ? "\\tuplet 3/2 { " : "} ");
    w->in_tuplet = on;
}

// A value standing for more ticks than the piece lasts (the lone tick) is scaled down to it.
void format_piece_duration(char *text, const notation_piece *p) {
    int nominal = notation_nominal_ticks(p);
    int k = static_cast<int>(std::strlen(_get_duration_output(p->ticks)));
    std::memcpy(text, _get_duration_output(p->ticks), k);
    if (p->ticks != nominal) {
        text[k++] = '*';
        k += format_count(text + k, p->ticks);
        text[k++] = '/';
        k += format_count(text + k, nominal);
    }
    text[k] = '\0';
}

// A piece's value follows from its ticks alone, so the texts of the values up to a whole note
// are made once.
const char *piece_duration(const notation_piece *p) {
    static char cache[TICKS_PER_WHOLE + 1][TEXT_SIZE];
    static char text[TEXT_SIZE];
    if (p->ticks < 0 || p->ticks > TICKS_PER_WHOLE) {
        format_piece_duration(text, p);
        return text;
    }
    char *cached = cache[p->ticks];
    if (!cached[0])
        format_piece_duration(cached, p);
    return cached;
}

// Writes len ticks from x as values of name: a note's values tied together (the last one too
// when tie_on is set), a rest's ("r") as consecutive rests.
void write_values(ly_writer *w, measure *m, const char *name, int x, int len, bool is_note,
                  bool tie_on) {
    while (len > 0) {
        notation_piece p;
        int ticks = first_notation_piece(m, x, len, &p);
        x += ticks;
        len -= ticks;
        set_tuplet(w, p.tuplet);
        bool tie = is_note && (tie_on || len > 0);
        put(w, name);
        put(w, piece_duration(&p));
        put(w, tie ? "~ " : " ");
    }
}

// A whole-measure rest; its text is kept for the following measures of the same length.
void write_measure_rest(ly_writer *w, measure *m) {
    if (w->rest_num != m->num || w->rest_len != m->len) {
        size_t start = w->text.size();
        write_values(w, m, "r", 0, m->len, false, false);
        set_tuplet(w, 0);
        w->rest_text.assign(w->text, start, std::string::npos);
        w->rest_num = m->num;
        w->rest_len = m->len;
        return;
    }
    w->text.append(w->rest_text);
}

void format_pitch_name(char *name, int pitch) {
    int accidental = 0, step = 0, octave = 0;
    get_pitch7(pitch, 0, &accidental, &step, &octave);
    name[0] = '\0';
    std::strcat(name, table_7_to_a[step]);
    std::strcat(name, get_prefix_output(accidental));
    std::strcat(name, get_octave_output(octave));
}

// A note's name in C with its absolute octave ("cis'"); the names of the MIDI range are made
// once.
const char *pitch_name(int pitch) {
    static char cache[NAME_CACHE_SIZE][TEXT_SIZE];
    static char name[TEXT_SIZE];
    int i = pitch + NAME_CACHE_SIZE / 2;
    if (i < 0 || i >= NAME_CACHE_SIZE) {
        format_pitch_name(name, pitch);
        return name;
    }
    if (!cache[i][0])
        format_pitch_name(cache[i], pitch);
    return cache[i];
}

void write_element(ly_writer *w, measure *m, const ly_element &e) {
    if (e.rest) {
        write_values(w, m, "r", e.x, e.len, false, false);
        return;
    }
    int accidental = 0, step = 0, octave = 0;
    get_pitch7(e.pitch, 0, &accidental, &step, &octave);
    file_trace("%d,%d,%d \n", e.pitch, octave, step);
    write_values(w, m, pitch_name(e.pitch), e.x, e.len, true, e.tied);
}

// One measure of one voice; a voice the track does not have here rests for the whole measure.
void write_voice_measure(ly_writer *w, measure *m, int measure_index, int voice) {
    if (m->prev && (m->prev->num != m->num || m->prev->bit != m->bit))
        putf(w, "\\time %d/%d ", m->num, m->bit);
    const ly_cell &c = cell_of(w, measure_index, w->track);
    if (voice >= c.n_slots) {
        write_measure_rest(w, m);
    } else {
        int begin, end;
        voice_range(w, c, voice, &begin, &end);
        for (int k = begin; k < end; k++)
            write_element(w, m, w->elements[k]);
        w->counted += end - begin;
    }
    set_tuplet(w, 0);
    put(w, "|\n");
}

// Steps c and d: one staff with its clef, the first time signature and its voices.
void write_staff(ly_writer *w, const char *clef, const int *voices, int n_voices) {
    measure *first = w->s->measures.head;
    putf(w, "\\new Staff<<\\clef %s\n", clef);
    putf(w, "\\time\t%d/%d\n", first ? first->num : default_num, first ? first->bit : default_bit);
    for (int i = 0; i < n_voices; i++) {
        if (i > 0)
            put(w, "\\\\\n");
        put(w, "{");
        w->counted = 0;
        int index = 0;
        for (measure *m = first; m; m = m->next, index++)
            write_voice_measure(w, m, index, voices[i]);
        put(w, "}\n");
        if (!w->counted)
            break;
    }
    put(w, ">>\n");
}

void write_track(ly_writer *w, int track) {
    w->track = track;
    assign_staves(average_track_voices(w));
    write_staff(w, "treble", treble, n_treble);
    write_staff(w, "bass", bass, n_bass);
}

} // namespace

const char *_get_duration_output(int length) {
    static char text[TEXT_SIZE];
    notation_piece p;
    int denominator = NOTATION_SHORTEST, dots = 0;
    if (notation_value(length, &p)) {
        denominator = p.denominator;
        dots = p.dots;
    } else if (length >= PLAIN_FACTOR) {
        int u = get_max_power2(length / PLAIN_FACTOR);
        denominator = u >= NOTATION_SHORTEST ? WHOLE_DENOMINATOR : NOTATION_SHORTEST / u;
        dots = is_dot_length(length);
    }
    int k = format_count(text, denominator);
    if (dots)
        text[k++] = '.';
    text[k] = '\0';
    return text;
}

const char *get_octave_output(int octave) {
    static char text[MAX_OCTAVE_MARKS + 1];
    int n = octave < 0 ? -octave : octave;
    if (n > MAX_OCTAVE_MARKS)
        n = MAX_OCTAVE_MARKS;
    for (int i = 0; i < n; i++)
        text[i] = octave > 0 ? '\'' : ',';
    text[n] = '\0';
    return text;
}

const char *get_prefix_output(int accidental) {
    if (accidental > 0)
        return "is";
    if (accidental < 0)
        return "es";
    return "";
}

int write_lilypond_sketch(const char *path, score *s) {
    output_file out;
    if (!open_output(&out, path))
        return 0;
    // The tables keep their capacity from one export to the next.
    static ly_writer w;
    w.cells.clear();
    w.slots.clear();
    w.bounds.clear();
    w.elements.clear();
    w.text.clear();
    w.rest_num = w.rest_len = -1;
    w.s = s;
    w.tracks = track_num < MAX_TRACKS ? track_num : MAX_TRACKS;
    w.in_tuplet = 0;
    validate_and_gather(&w);
    put(&w, " \\score {\n<<\n");
    for (int t = 0; t < w.tracks; t++)
        write_track(&w, t);
    put(&w, ">>\n}\n");
    std::fwrite(w.text.data(), 1, w.text.size(), out.fp);
    return finish_output(&out, 1);
}
