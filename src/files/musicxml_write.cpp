// The MusicXML writer. Each measure of each part is laid out afresh for notation: a track whose
// notes fit one clef (and a drum kit) is written on one staff, any other on a grand staff with
// its notes on the treble or the bass staff by pitch; a note's pieces within a measure are
// joined, notes of equal start and length form chords, chords are dealt to voices (a tie chain
// keeps its voice), and each voice is written from the start of the measure to its end, gaps as
// rests, every length split into notatable values by split_metric_length, triplet values
// bracketed as 3:2 tuplets.
#include "files/musicxml_write.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <deque>
#include <numeric>
#include <unordered_map>
#include <vector>

#include "files/file_support.h"
#include "files/gm_names.h"
#include "files/notation_length.h"
#include "model/midi_wire.h"
#include "model/pitch.h"
#include "model/staves.h"

namespace {

constexpr int WRITE_BUFFER = 1 << 16;
constexpr int MIDDLE_C_OCTAVE = 4;
constexpr int TREBLE = 1, BASS = 2, STAVES = 2; // staff numbers of a grand staff
constexpr double FORTE_VELOCITY = 90.0;         // the velocity of dynamics="100"
constexpr double VOLUME_PERCENT = 100.0;
constexpr int MIDI_DATA_RANGE = 127;
constexpr int MAX_BEAT_TYPE = 256;
constexpr int TUPLET_GROUP = 3;  // triplet values add up to plain ticks in threes
constexpr int TUPLET_ACTUAL = 3; // three values in the time of two (or of one)
// Voices a staff may have in one measure: MuseScore, like most notation programs, keeps four
// per staff and misplaces the notes of any further voice.
constexpr int STAFF_VOICES = 4;
// A shared voice is written cut at every start and end of its notes. In a staff crowded with
// overlapping notes (generated or damaged scores) that would multiply the file's size; when a
// shared voice would be written with more than this many times its notes, the staff's measure
// opens further voices instead.
constexpr int SEGMENT_GROWTH = 3;

const char STEP_LETTERS[] = "CDEFGAB";

// Notes sounding together in one staff: pieces of equal start and length.
struct chord {
    int x, len;
    std::vector<note *> notes; // ascending pitch
    // Per note, in a voice written in segments: whether it continues from the segment before
    // and into the one after (empty otherwise).
    std::vector<char> tied_in, tied_out;
};

struct voice_line {
    int staff;
    int end; // where its last chord ends
    std::vector<chord *> chords;
    int segmented; // holds overlapping chords, written cut at every start and end
    std::unordered_map<int, int> sounding_until; // pitch -> end of its last note here
    std::vector<chord *> segments;               // a segmented voice's chords as written
};

// One written value of a voice: a rest, or piece k of count of a chord.
struct item {
    notation_piece p;
    chord *c; // null for a rest
    int k, count;
    int tuplet_start, tuplet_stop;
};

struct writer {
    FILE *fp;
    score *s;
    std::vector<int> tracks;
    int staff_use;   // of the part being written: one clef, or both on a grand staff
    int measure_len; // of the measure being laid out
    std::unordered_map<const note *, int> voice_of; // piece -> voice index in its staff
};

const char *type_name(int denominator) {
    switch (denominator) {
    case 1:
        return "whole";
    case 2:
        return "half";
    case 4:
        return "quarter";
    case 8:
        return "eighth";
    case 16:
        return "16th";
    case 32:
        return "32nd";
    case 64:
        return "64th";
    case 128:
        return "128th";
    default:
        return "256th";
    }
}

// The staff of a piece in its part: the only one, or on a grand staff the one of its pitch.
int staff_of(const writer *w, const note *n) {
    if (w->staff_use != STAFF_BOTH)
        return TREBLE;
    return pitch_staff(n->pitch) == STAFF_TREBLE ? TREBLE : BASS;
}

// --- the head of the file ---

void write_header(writer *w) {
    std::fprintf(w->fp, "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
                        "<!DOCTYPE score-partwise PUBLIC \"-//Recordare//DTD MusicXML 3.1 "
                        "Partwise//EN\" \"http://www.musicxml.org/dtds/partwise.dtd\">\n"
                        "<score-partwise version=\"3.1\">\n"
                        "  <identification><encoding><software>plinkel</software></encoding>"
                        "</identification>\n");
}

void write_part_list(writer *w) {
    std::fprintf(w->fp, "  <part-list>\n");
    for (size_t i = 0; i < w->tracks.size(); i++) {
        const track_info_t &ti = w->s->tracks[w->tracks[i]];
        const char *name = gm_instrument_name(ti.patch);
        int program = ti.patch >= 0 && ti.patch < PERCUSSION_PATCH ? ti.patch + 1 : 1;
        int volume = static_cast<int>(std::lround(std::clamp(ti.volume, 0, MIDI_DATA_RANGE) *
                                                  VOLUME_PERCENT / MIDI_DATA_RANGE));
        std::fprintf(w->fp,
                     "    <score-part id=\"P%zu\">\n      <part-name>%s</part-name>\n"
                     "      <score-instrument id=\"P%zu-I1\"><instrument-name>%s"
                     "</instrument-name></score-instrument>\n"
                     "      <midi-instrument id=\"P%zu-I1\"><midi-channel>%d</midi-channel>"
                     "<midi-program>%d</midi-program><volume>%d</volume></midi-instrument>\n"
                     "    </score-part>\n",
                     i + 1, name, i + 1, name, i + 1, midi_channel(ti.channel) + 1, program,
                     volume);
    }
    std::fprintf(w->fp, "  </part-list>\n");
}

// --- attributes and tempo marks ---

// The time signature of m as beats and beat type: num/bit when that is exact, else the
// measure's length as a fraction of a whole note.
void time_signature(const measure *m, int *beats, int *beat_type) {
    *beats = m->num;
    *beat_type = m->bit;
    int power_of_two = m->bit > 0 && (m->bit & (m->bit - 1)) == 0;
    if (power_of_two && m->bit <= MAX_BEAT_TYPE && m->num * TICKS_PER_WHOLE % m->bit == 0)
        return;
    int g = std::gcd(static_cast<int>(m->len), TICKS_PER_WHOLE);
    *beats = m->len / g;
    *beat_type = TICKS_PER_WHOLE / g;
}

void write_attributes(writer *w, const measure *m, const measure *prev) {
    int first = prev == nullptr;
    int new_key = first || prev->key != m->key;
    int new_time = first || prev->num != m->num || prev->bit != m->bit || prev->len != m->len;
    if (!new_key && !new_time)
        return;
    std::fprintf(w->fp, "      <attributes>\n");
    if (first)
        std::fprintf(w->fp, "        <divisions>%d</divisions>\n", MUSICXML_DIVISIONS);
    if (new_key)
        std::fprintf(w->fp, "        <key><fifths>%d</fifths></key>\n", m->key);
    if (new_time) {
        int beats, beat_type;
        time_signature(m, &beats, &beat_type);
        std::fprintf(w->fp, "        <time><beats>%d</beats><beat-type>%d</beat-type></time>\n",
                     beats, beat_type);
    }
    if (first && w->staff_use == STAFF_BOTH)
        std::fprintf(w->fp,
                     "        <staves>%d</staves>\n"
                     "        <clef number=\"1\"><sign>G</sign><line>2</line></clef>\n"
                     "        <clef number=\"2\"><sign>F</sign><line>4</line></clef>\n",
                     STAVES);
    else if (first && w->staff_use == STAFF_BASS)
        std::fprintf(w->fp, "        <clef><sign>F</sign><line>4</line></clef>\n");
    else if (first)
        std::fprintf(w->fp, "        <clef><sign>G</sign><line>2</line></clef>\n");
    std::fprintf(w->fp, "      </attributes>\n");
}

void write_tempo(writer *w, int x, int tempo) {
    std::fprintf(w->fp,
                 "      <direction placement=\"above\"><direction-type><metronome>"
                 "<beat-unit>quarter</beat-unit><per-minute>%d</per-minute></metronome>"
                 "</direction-type>",
                 tempo);
    if (x > 0)
        std::fprintf(w->fp, "<offset sound=\"yes\">%d</offset>", x);
    std::fprintf(w->fp, "<staff>1</staff><sound tempo=\"%d\"/></direction>\n", tempo);
}

// Tempo marks go with the first part. The first measure always states the starting tempo.
void write_tempos(writer *w, const measure *m, int first_measure) {
    int at_zero = 0;
    for (const m_event *e = m->m_events.head; e; e = e->next)
        at_zero |= e->type == EVENT_TEMPO && e->x == 0;
    if (first_measure && !at_zero)
        write_tempo(w, 0, w->s->default_tempo);
    for (const m_event *e = m->m_events.head; e; e = e->next)
        if (e->type == EVENT_TEMPO && e->value > 0)
            write_tempo(w, e->x, e->value);
}

// --- laying out one track of one measure ---

// The score keeps a note in pieces cut at the beats; a chain of pieces within one measure is
// written as one length, split again as notation wants it. A piece continues a chain within its
// measure when it has a previous piece and does not start at the bar line.
bool continues_in_measure(const note *n) {
    return n->l_prev && n->x > 0;
}

// The last piece of n's chain within its measure: the chain goes on there until a piece
// reaches the bar line.
const note *measure_tail(const note *n, int measure_len) {
    while (n->l_next && n->x + n->len < measure_len)
        n = n->l_next;
    return n;
}

// The length from the piece n to the end of its chain within the measure.
int written_len(const note *n, int measure_len) {
    const note *tail = measure_tail(n, measure_len);
    return tail->x + tail->len - n->x;
}

// The voice of the piece n continues, or -1.
int note_continued_voice(const writer *w, const note *n) {
    if (!n->l_prev)
        return -1;
    auto it = w->voice_of.find(n->l_prev);
    return it == w->voice_of.end() ? -1 : it->second;
}

// Groups the pieces starting on one tick into chords: pieces of equal length continuing the
// same voice. Unisons stay in chords of their own, so every tie chain can keep to its voice.
// The pieces before this tick must already be dealt, so that the voices they continue are known.
void gather_chords(const writer *w, note *const *pieces, note *const *end, std::deque<chord> *store,
                   std::vector<chord *> *out) {
    size_t first = store->size();
    for (; pieces != end; pieces++) {
        note *n = *pieces;
        int len = written_len(n, w->measure_len);
        auto same = [&](const chord &c) {
            return c.len == len &&
                   note_continued_voice(w, c.notes[0]) == note_continued_voice(w, n) &&
                   std::none_of(c.notes.begin(), c.notes.end(),
                                [n](const note *o) { return o->pitch == n->pitch; });
        };
        auto it =
            std::find_if(store->begin() + static_cast<std::ptrdiff_t>(first), store->end(), same);
        if (it == store->end())
            store->push_back({n->x, len, {n}, {}, {}});
        else
            it->notes.push_back(n);
    }
    for (size_t i = first; i < store->size(); i++)
        out->push_back(&(*store)[i]);
}

// The voice a chord continues (the voice of its first note's previous piece), or -1.
int continued_voice(const writer *w, const chord &c) {
    for (const note *n : c.notes)
        if (int v = note_continued_voice(w, n); v >= 0)
            return v;
    return -1;
}

// Whether voice v can take chord c besides its own notes: it has no note of c's pitches still
// sounding where c starts, a unison a voice written in segments cannot show. Chords are placed
// in the order of their starts.
int can_share(const voice_line &v, const chord &c) {
    for (const note *n : c.notes) {
        auto it = v.sounding_until.find(n->pitch);
        if (it != v.sounding_until.end() && it->second > c.x)
            return 0;
    }
    return 1;
}

// The voice a chord that finds every voice of a full staff busy shares: the voice it continues,
// else the one that falls free first, among those that can take it; -1 when none can.
int shared_voice(const std::vector<voice_line> &voices, const chord &c, int preferred) {
    if (preferred >= 0 && preferred < static_cast<int>(voices.size()) &&
        can_share(voices[preferred], c))
        return preferred;
    int best = -1;
    for (int v = 0; v < static_cast<int>(voices.size()); v++)
        if (can_share(voices[v], c) && (best < 0 || voices[v].end < voices[best].end))
            best = v;
    return best;
}

// Puts chord c in voice v when that voice is free at its start, otherwise in the first free
// voice, opening voices as needed. A staff whose voices are all busy and at the limit shares one
// of them with the chord, and that voice is written in segments.
void place_chord(writer *w, std::vector<voice_line> *voices, chord *c, int v, int staff,
                 int limit) {
    if (v < 0 || (v < static_cast<int>(voices->size()) && (*voices)[v].end > c->x)) {
        int preferred = v;
        v = 0;
        while (v < static_cast<int>(voices->size()) && (*voices)[v].end > c->x)
            v++;
        if (v >= limit) {
            int shared = shared_voice(*voices, *c, preferred);
            if (shared >= 0) {
                v = shared;
                (*voices)[v].segmented = 1;
            }
        }
    }
    while (static_cast<int>(voices->size()) <= v)
        voices->push_back({staff, 0, {}, 0, {}, {}});
    voice_line &line = (*voices)[v];
    line.chords.push_back(c);
    line.end = std::max(line.end, c->x + c->len);
    for (const note *n : c->notes) {
        for (const note *p = n, *tail = measure_tail(n, w->measure_len); p != tail; p = p->l_next)
            w->voice_of[p] = v;
        w->voice_of[measure_tail(n, w->measure_len)] = v;
        int &until = line.sounding_until[n->pitch];
        until = std::max(until, c->x + c->len);
    }
}

// Whether chord c continues a voice that is still free at its start.
int keeps_free_voice(const writer *w, const std::vector<voice_line> &voices, const chord &c) {
    int v = continued_voice(w, c);
    return v >= 0 && (v >= static_cast<int>(voices.size()) || voices[v].end <= c.x);
}

// The chords of a voice that holds overlapping ones, cut at every start and end of a note: each
// segment holds the notes sounding through it, tied to their own parts in the segments around.
// No two notes sounding together in one voice share a pitch, so few sound at any cut.
std::vector<chord *> segment_voice(const voice_line &v, std::deque<chord> *store) {
    struct held {
        note *n;
        int end; // of its chain in the measure
    };
    std::vector<held> notes;
    std::vector<int> cuts;
    for (const chord *c : v.chords)
        for (note *n : c->notes) {
            notes.push_back({n, c->x + c->len});
            cuts.push_back(n->x);
            cuts.push_back(c->x + c->len);
        }
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    std::stable_sort(notes.begin(), notes.end(),
                     [](const held &a, const held &b) { return a.n->x < b.n->x; });
    std::vector<chord *> out;
    std::vector<held> sounding;
    size_t next = 0;
    for (size_t i = 0; i + 1 < cuts.size(); i++) {
        int from = cuts[i], to = cuts[i + 1];
        sounding.erase(std::remove_if(sounding.begin(), sounding.end(),
                                      [from](const held &h) { return h.end <= from; }),
                       sounding.end());
        for (; next < notes.size() && notes[next].n->x <= from; next++)
            sounding.push_back(notes[next]);
        if (sounding.empty())
            continue;
        std::sort(sounding.begin(), sounding.end(),
                  [](const held &a, const held &b) { return a.n->pitch < b.n->pitch; });
        chord seg{from, to - from, {}, {}, {}};
        for (const held &h : sounding) {
            seg.notes.push_back(h.n);
            seg.tied_in.push_back(h.n->x < from);
            seg.tied_out.push_back(h.end > to);
        }
        store->push_back(std::move(seg));
        out.push_back(&store->back());
    }
    return out;
}

// Deals the pieces of one staff to voices, tick by tick, at most limit voices while a busy
// voice can be shared. On each tick the pieces are gathered into chords, and the chords
// continuing a voice that is free take it first, so neither a new note nor a piece pushed out of
// its own voice can take it from them; the other chords keep their voice when it is free,
// otherwise the first free voice takes them, and a new voice opens when none is.
std::vector<voice_line> deal_pieces(writer *w, const std::vector<note *> &own, int staff,
                                    std::deque<chord> *store, int limit) {
    std::vector<voice_line> voices;
    for (size_t i = 0, j; i < own.size(); i = j) {
        j = i;
        while (j < own.size() && own[j]->x == own[i]->x)
            j++;
        std::vector<chord *> chords, rest;
        gather_chords(w, own.data() + i, own.data() + j, store, &chords);
        for (chord *c : chords) {
            if (keeps_free_voice(w, voices, *c))
                place_chord(w, &voices, c, continued_voice(w, *c), staff, limit);
            else
                rest.push_back(c);
        }
        for (chord *c : rest)
            place_chord(w, &voices, c, continued_voice(w, *c), staff, limit);
    }
    return voices;
}

// The pieces of the score that n and the rest of its chain in the measure stand for.
size_t pieces_in_measure(const note *n, int measure_len) {
    size_t count = 1;
    for (const note *tail = measure_tail(n, measure_len); n != tail; n = n->l_next)
        count++;
    return count;
}

// Whether every shared voice's segments stay within SEGMENT_GROWTH times the pieces of its
// notes.
int segments_affordable(const std::vector<voice_line> &voices, int measure_len) {
    for (const voice_line &v : voices) {
        size_t notes = 0, written = 0;
        for (const chord *c : v.chords)
            for (const note *n : c->notes)
                notes += pieces_in_measure(n, measure_len);
        for (const chord *c : v.segments)
            written += c->notes.size();
        if (written > SEGMENT_GROWTH * notes)
            return 0;
    }
    return 1;
}

// The voices of one staff of a track in a measure: at most STAFF_VOICES, sharing voices where
// more are busy at once, unless the shared voices would grow too large to write. The chords live
// in store.
std::vector<voice_line> deal_voices(writer *w, const measure *m, int track, int staff,
                                    std::deque<chord> *store) {
    w->measure_len = m->len;
    std::vector<note *> own;
    for (note *n = m->notes.head; n; n = n->next)
        if (!n->rest && n->track == track && staff_of(w, n) == staff && !continues_in_measure(n))
            own.push_back(n);
    std::stable_sort(own.begin(), own.end(),
                     [](const note *a, const note *b) { return a->x < b->x; });
    std::vector<voice_line> voices = deal_pieces(w, own, staff, store, STAFF_VOICES);
    for (voice_line &v : voices)
        if (v.segmented)
            v.segments = segment_voice(v, store);
    if (!segments_affordable(voices, m->len))
        voices = deal_pieces(w, own, staff, store, INT_MAX);
    if (voices.empty())
        voices.push_back({staff, 0, {}, 0, {}, {}});
    return voices;
}

void append_split(measure *m, int x, int len, chord *c, std::vector<item> *items) {
    notation_piece p[NOTATION_MAX_PIECES];
    int count = split_metric_length(m, x, len, c == nullptr, p, NOTATION_MAX_PIECES);
    for (int k = 0; k < count; k++)
        items->push_back({p[k], c, k, count, 0, 0});
}

// How many of a value go into the time of how many: 3 in 2 for a triplet value, 3 in 1 for the
// single tick (a 256th scaled down to a third), 0 for a plain or dotted value.
int tuplet_normal(const notation_piece &p) {
    if (p.ticks != notation_nominal_ticks(&p))
        return 1;
    return p.tuplet ? 2 : 0;
}

// Brackets runs of values of one tuplet kind: a bracket closes where its values add up to
// plain ticks, or at its last value when another kind of value follows first.
void mark_tuplets(std::vector<item> *items) {
    int open = -1, sum = 0;
    for (size_t i = 0; i < items->size(); i++) {
        item &it = (*items)[i];
        int kind = tuplet_normal(it.p);
        if (open >= 0 && kind != tuplet_normal((*items)[open].p)) {
            (*items)[i - 1].tuplet_stop = 1;
            open = -1;
        }
        if (!kind)
            continue;
        if (open < 0) {
            open = static_cast<int>(i);
            sum = 0;
            it.tuplet_start = 1;
        }
        sum += it.p.ticks;
        if (sum % TUPLET_GROUP == 0) {
            it.tuplet_stop = 1;
            open = -1;
        }
    }
    if (open >= 0)
        items->back().tuplet_stop = 1;
}

std::vector<item> voice_items(measure *m, const voice_line &v) {
    std::vector<item> items;
    int at = 0;
    for (chord *c : v.segmented ? v.segments : v.chords) {
        if (c->x > at)
            append_split(m, at, c->x - at, nullptr, &items);
        append_split(m, c->x, c->len, c, &items);
        at = c->x + c->len;
    }
    if (at < m->len)
        append_split(m, at, m->len - at, nullptr, &items);
    mark_tuplets(&items);
    return items;
}

// --- writing notes ---

void write_pitch(writer *w, const note *n) {
    int step, level;
    get_mod_level(n->pos.y, STEPS_PER_OCTAVE, &step, &level);
    std::fprintf(w->fp, "<pitch><step>%c</step>", STEP_LETTERS[step]);
    if (n->accidental)
        std::fprintf(w->fp, "<alter>%d</alter>", n->accidental);
    std::fprintf(w->fp, "<octave>%d</octave></pitch>", level + MIDDLE_C_OCTAVE);
}

void write_duration(writer *w, const item &it) {
    std::fprintf(w->fp, "<duration>%d</duration>", it.p.ticks);
}

// staccato: the value begins a staccato note, which carries its mark there.
void write_tail(writer *w, const item &it, int voice, int staff, int tie_stop, int tie_start,
                int first_of_chord, int staccato) {
    std::fprintf(w->fp, "<voice>%d</voice><type>%s</type>", voice, type_name(it.p.denominator));
    if (it.p.dots)
        std::fprintf(w->fp, "<dot/>");
    if (int normal = tuplet_normal(it.p))
        std::fprintf(w->fp,
                     "<time-modification><actual-notes>%d</actual-notes>"
                     "<normal-notes>%d</normal-notes></time-modification>",
                     TUPLET_ACTUAL, normal);
    std::fprintf(w->fp, "<staff>%d</staff>", staff);
    int tuplet = first_of_chord && (it.tuplet_start || it.tuplet_stop);
    if (tie_stop || tie_start || tuplet || staccato) {
        std::fprintf(w->fp, "<notations>");
        if (tie_stop)
            std::fprintf(w->fp, "<tied type=\"stop\"/>");
        if (tie_start)
            std::fprintf(w->fp, "<tied type=\"start\"/>");
        if (first_of_chord && it.tuplet_start)
            std::fprintf(w->fp, "<tuplet type=\"start\" bracket=\"yes\"/>");
        if (first_of_chord && it.tuplet_stop)
            std::fprintf(w->fp, "<tuplet type=\"stop\"/>");
        if (staccato)
            std::fprintf(w->fp, "<articulations><staccato/></articulations>");
        std::fprintf(w->fp, "</notations>");
    }
    std::fprintf(w->fp, "</note>\n");
}

void write_rest(writer *w, const item &it, int voice, int staff) {
    std::fprintf(w->fp, "      <note><rest/>");
    write_duration(w, it);
    write_tail(w, it, voice, staff, 0, 0, 1, 0);
}

void write_chord(writer *w, const item &it, int voice, int staff) {
    for (size_t i = 0; i < it.c->notes.size(); i++) {
        const note *n = it.c->notes[i];
        double dynamics = n->volume * VOLUME_PERCENT / FORTE_VELOCITY;
        std::fprintf(w->fp, "      <note dynamics=\"%.2f\">", dynamics);
        if (i > 0)
            std::fprintf(w->fp, "<chord/>");
        write_pitch(w, n);
        write_duration(w, it);
        int tie_stop = it.k > 0 || n->l_prev || (!it.c->tied_in.empty() && it.c->tied_in[i]);
        int tie_start = it.k < it.count - 1 || measure_tail(n, w->measure_len)->l_next ||
                        (!it.c->tied_out.empty() && it.c->tied_out[i]);
        if (tie_stop)
            std::fprintf(w->fp, "<tie type=\"stop\"/>");
        if (tie_start)
            std::fprintf(w->fp, "<tie type=\"start\"/>");
        // A value nothing is tied into begins its note.
        write_tail(w, it, voice, staff, tie_stop, tie_start, i == 0, n->staccato && !tie_stop);
    }
}

void write_voice(writer *w, measure *m, const voice_line &v, int number) {
    if (v.chords.empty()) {
        std::fprintf(w->fp,
                     "      <note><rest measure=\"yes\"/><duration>%d</duration>"
                     "<voice>%d</voice><staff>%d</staff></note>\n",
                     m->len, number, v.staff);
        return;
    }
    for (const item &it : voice_items(m, v)) {
        if (it.c)
            write_chord(w, it, number, v.staff);
        else
            write_rest(w, it, number, v.staff);
    }
}

// Treble voices are numbered from 1 and bass voices after the most treble voices of any
// measure of the part, so a voice keeps its number from measure to measure. A part on one
// staff writes its voices as treble voices.
void write_track_measure(writer *w, measure *m, int track, int bass_first) {
    std::deque<chord> chords;
    std::vector<voice_line> treble = deal_voices(w, m, track, TREBLE, &chords);
    std::vector<voice_line> bass;
    if (w->staff_use == STAFF_BOTH)
        bass = deal_voices(w, m, track, BASS, &chords);
    for (size_t i = 0; i < treble.size(); i++) {
        if (i > 0)
            std::fprintf(w->fp, "      <backup><duration>%d</duration></backup>\n", m->len);
        write_voice(w, m, treble[i], static_cast<int>(i) + 1);
    }
    for (size_t i = 0; i < bass.size(); i++) {
        std::fprintf(w->fp, "      <backup><duration>%d</duration></backup>\n", m->len);
        write_voice(w, m, bass[i], bass_first + static_cast<int>(i));
    }
}

// The most treble voices any measure of the track needs, dealt as write_track_measure does.
int most_treble_voices(writer *w, int track) {
    size_t most = 1;
    for (measure *m = w->s->measures.head; m; m = m->next) {
        std::deque<chord> chords;
        most = std::max(most, deal_voices(w, m, track, TREBLE, &chords).size());
    }
    w->voice_of.clear();
    return static_cast<int>(most);
}

void write_part(writer *w, size_t index) {
    std::fprintf(w->fp, "  <part id=\"P%zu\">\n", index + 1);
    w->voice_of.clear();
    w->staff_use = track_staff_use(w->s, w->tracks[index]);
    int bass_first = w->staff_use == STAFF_BOTH ? most_treble_voices(w, w->tracks[index]) + 1 : 1;
    int number = 1;
    const measure *prev = nullptr;
    for (measure *m = w->s->measures.head; m; prev = m, m = m->next, number++) {
        std::fprintf(w->fp, "    <measure number=\"%d\">\n", number);
        write_attributes(w, m, prev);
        if (index == 0)
            write_tempos(w, m, prev == nullptr);
        write_track_measure(w, m, w->tracks[index], bass_first);
        if (!m->next)
            std::fprintf(w->fp, "      <barline location=\"right\"><bar-style>light-heavy"
                                "</bar-style></barline>\n");
        std::fprintf(w->fp, "    </measure>\n");
    }
    std::fprintf(w->fp, "  </part>\n");
}

} // namespace

int write_musicxml(const char *path, score *s) {
    writer w;
    w.s = s;
    w.staff_use = STAFF_BOTH;
    w.measure_len = 0;
    for (int t = 0; t < s->track_num && t < MAX_TRACKS; t++)
        if (s->tracks[t].active)
            w.tracks.push_back(t);
    if (w.tracks.empty()) {
        file_message("%s: no track is shown, nothing to write", path);
        return 0;
    }
    output_file out;
    if (!open_output(&out, path))
        return 0;
    w.fp = out.fp;
    std::setvbuf(w.fp, nullptr, _IOFBF, WRITE_BUFFER);
    write_header(&w);
    write_part_list(&w);
    for (size_t i = 0; i < w.tracks.size(); i++)
        write_part(&w, i);
    std::fprintf(w.fp, "</score-partwise>\n");
    return finish_output(&out, 1);
}
