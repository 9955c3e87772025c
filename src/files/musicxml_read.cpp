// The MusicXML reader. pugixml parses the text into a tree (no DTD, no external entities);
// every part is walked into a staging area of measure signatures, notes in ticks within their
// measure and tempo marks. Only when the whole file has been accepted are the measures built,
// tie chains joined into whole notes, and the score and the track table replaced.
#include "files/musicxml_read.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <pugixml.hpp>
#include <set>
#include <string>
#include <vector>

#include "files/file_support.h"
#include "files/musicxml_source.h"
#include "model/note_order.h"
#include "model/pitch.h"
#include "model/tie.h"
#include "model/voice.h"

namespace {

constexpr int MIDDLE_C_OCTAVE = 4; // MusicXML octave of middle C
constexpr int MIDDLE_C_KEY = 60;
constexpr int MIDI_KEY_MAX = 127;
// MusicXML's octaves run from 0 to 9, but MIDI keys 0 to 11 lie in octave -1 (and a B sharp
// on key 0 in octave -2), where the writer has to put them; the MIDI range is checked after.
constexpr int MIN_OCTAVE = -2;
constexpr int MAX_OCTAVE = 9;
constexpr int MAX_ALTER = 2;
constexpr int MAX_KEY_FIFTHS = 14;     // beyond seven, a key is read as its enharmonic equivalent
constexpr int DEFAULT_MIDDLE_LINE = 6; // B4, the middle line of the treble staff
constexpr int GRACE_SHARE = 2;         // a grace group takes at most half of its principal
constexpr int SLASHED_SHARE = 4;       // a slashed one at most a quarter
constexpr double SLASHED_TICKS = TICKS_PER_WHOLE / 32.0;      // what a slashed grace sounds
constexpr double GRACE_DEFAULT_TICKS = TICKS_PER_WHOLE / 8.0; // a grace of no written value
constexpr int MAX_TREMOLO_STROKES = 4;
constexpr int MAX_TREMOLO_NOTES = 256;   // repeated notes one tremolo may stand for
constexpr long MAX_WRITTEN_OUT = 500000; // repeated notes all tremolos of a file may give
constexpr int MAX_TRANSPOSE = 48;
constexpr int MAX_BEAT_TYPE = 256; // the shortest beat a fitted signature uses
// A signature's beat type may go down to one tick: the writer gives a measure of a beat that
// is not a power of two (2/5) as its length over the ticks of a whole (307/768).
constexpr int MAX_TIME_BEAT_TYPE = TICKS_PER_WHOLE;
// Every measure length is a multiple of this many ticks (the shortest beat).
constexpr int SIGNATURE_GRID = TICKS_PER_WHOLE / MAX_BEAT_TYPE;
constexpr int MAX_TEMPO = 10000;
constexpr int MAX_VOICE_NUMBER = 1000000; // voice and staff numbers beyond are ignored
constexpr double FORTE_VELOCITY = 90.0;   // the velocity of dynamics="100"
constexpr double VOLUME_PERCENT = 100.0;  // midi-instrument volume is 0..100
constexpr int MIDI_CHANNELS = 16;
constexpr int MIDI_PROGRAMS = 128;
constexpr int MAX_NOTE_LEN = INT16_MAX; // a whole note's length must fit its 16-bit field
constexpr double TICK_EPSILON = 1e-6;
constexpr int MESSAGE_SIZE = 256;
const char STEP_LETTERS[] = "CDEFGAB";

struct instrument_def {
    std::string id;
    int unpitched; // MIDI key of a percussion sound, -1 when none
};

struct part_def {
    std::string id;
    int channel = -1; // 1..16 as written, -1 when not given
    int program = -1; // 1..128 as written
    double volume = -1;
    std::vector<instrument_def> instruments;
};

struct staged_note {
    int measure;
    double start, end; // ticks from the start of the MusicXML measure
    int pitch;
    int pos_y, accidental, spelled; // the written spelling, when spelled is set
    int velocity;
    int track;
    int tie_start, tie_stop;
    int staccato;     // a detached articulation: the whole note is marked, at its written length
    int voice, staff; // as written, 0 when not given: a tie is joined within its voice first
    int chord;        // the number of its chord within the part, -1 for a grace note
    int tremolo;      // strokes of a tremolo mark, 0 when none
    int tremolo_type; // TREMOLO_SINGLE, TREMOLO_START or TREMOLO_STOP
    double stretch;   // what a tuplet ratio does to its written value (normal / actual)
    // Where the written rhythm puts the note, before grace notes take some of its time: ties
    // are matched on these.
    double at, until;
    long s, e;   // absolute ticks, once the measures are built
    long ts, te; // the written place in absolute ticks
    int dead;    // joined into the note it continues
};

enum tremolo_kind { TREMOLO_NONE, TREMOLO_SINGLE, TREMOLO_START, TREMOLO_STOP };

// A grace note waiting for the note it leads to.
struct pending_grace {
    staged_note note;
    double written; // its sounding value before the limits
    int slashed;
    int with_previous; // sounds together with the grace before it (a grace chord)
};

struct tempo_mark {
    int measure;
    double at;
    int value;
    long tick;
};

enum key_source { KEY_NONE, KEY_TRANSPOSED, KEY_CONCERT };

struct measure_info {
    int num = 0, bit = 0, key = 0;
    int has_time = 0;
    key_source key_from = KEY_NONE;
    double content = 0; // the furthest any part reached in it
};

// The walk through one part.
struct part_state {
    int track;
    const part_def *def;
    int index; // of the measure being read
    double divisions = 1;
    double cursor = 0, last_start = 0, reached = 0;
    int transpose = 0;
    double velocity = FORTE_VELOCITY;
    int chords = 0;                        // chords begun in the part
    double delay = 0;                      // how late grace notes make the current chord sound
    int middle_line = DEFAULT_MIDDLE_LINE; // staff position of an unpitched note without one
    size_t first_note;                     // of the measure being read, in the reader's notes
    std::map<int, std::vector<pending_grace>> graces; // waiting in each voice
    std::set<double> starts; // of the chords of the measure: a backup lands on one
    double drift = 0;        // how far written values moved the measure's durations
};

struct mxml_reader {
    const char *path;
    std::vector<part_def> defs;
    std::vector<measure_info> measures;
    std::vector<staged_note> notes;
    std::vector<tempo_mark> tempos;
    int parts = 0, parts_left_out = 0, rounded = 0;
    int graces = 0, enharmonic_keys = 0, unpitched_shown = 0, skipped = 0;
    long written_out = 0; // notes that tremolos became
    int start_tempo = DEFAULT_TEMPO;
    track_info_t tracks[MAX_TRACKS];
    measure_list staged;
    std::vector<long> starts; // absolute tick of each MusicXML measure
};

int refuse(mxml_reader *r, const part_state *p, const char *why) {
    if (p)
        file_message("%s: part %d, measure %d: %s", r->path, p->track + 1, p->index + 1, why);
    else
        file_message("%s: %s", r->path, why);
    return 0;
}

// A whole text that is one finite number (blanks around it allowed).
int number_of(const char *text, double *out) {
    char *end = nullptr;
    errno = 0;
    double v = std::strtod(text, &end);
    if (end == text)
        return 0;
    while (*end == ' ' || *end == '\t' || *end == '\n' || *end == '\r')
        end++;
    if (*end || !std::isfinite(v))
        return 0;
    *out = v;
    return 1;
}

int int_of(const char *text, int lo, int hi, int *out) {
    double v;
    if (!number_of(text, &v) || v < lo || v > hi || v != std::floor(v))
        return 0;
    *out = static_cast<int>(v);
    return 1;
}

// Elements and attributes cost the parser memory; a file holding too many is refused before
// parsing, which keeps the tree of any accepted file well below a few hundred megabytes.
long count_markup(const std::vector<char> &text) {
    long n = 0;
    for (char c : text)
        n += c == '<' || c == '=';
    return n;
}

// --- the part list ---

void read_midi_instrument(part_def *d, pugi::xml_node mi) {
    int v;
    double vol;
    if (d->channel < 0 && int_of(mi.child_value("midi-channel"), 1, MIDI_CHANNELS, &v))
        d->channel = v;
    if (d->program < 0 && int_of(mi.child_value("midi-program"), 1, MIDI_PROGRAMS, &v))
        d->program = v;
    if (d->volume < 0 && number_of(mi.child_value("volume"), &vol) && vol >= 0 &&
        vol <= VOLUME_PERCENT)
        d->volume = vol;
    if (int_of(mi.child_value("midi-unpitched"), 1, MIDI_PROGRAMS, &v))
        d->instruments.push_back({mi.attribute("id").value(), v - 1});
}

void read_part_list(mxml_reader *r, pugi::xml_node root) {
    for (pugi::xml_node sp : root.child("part-list").children("score-part")) {
        part_def d;
        d.id = sp.attribute("id").value();
        for (pugi::xml_node mi : sp.children("midi-instrument"))
            read_midi_instrument(&d, mi);
        r->defs.push_back(d);
    }
}

const part_def *find_def(const mxml_reader *r, const char *id) {
    for (const part_def &d : r->defs)
        if (d.id == id)
            return &d;
    return nullptr;
}

// --- attributes ---

// Converts a duration element's value to ticks; a missing element gives 0.
int read_ticks(mxml_reader *r, part_state *p, pugi::xml_node parent, const char *name,
               double *ticks) {
    *ticks = 0;
    pugi::xml_node d = parent.child(name);
    if (!d)
        return 1;
    double v;
    if (!number_of(d.child_value(), &v) || v < 0)
        return refuse(r, p, "a duration is not a positive number");
    *ticks = v * TICKS_PER_QUARTER / p->divisions;
    if (*ticks > MUSICXML_MAX_TICKS)
        return refuse(r, p, "a duration is too long");
    return 1;
}

// Shifts a key by a transposition of the given semitones: 7 fifths per semitone, modulo 12,
// the result taken in the range of key signatures.
int concert_key(int fifths, int semitones) {
    int k = fifths +
            ((semitones * 7) % SEMITONES_PER_OCTAVE + SEMITONES_PER_OCTAVE) % SEMITONES_PER_OCTAVE;
    while (k > KEY_ACCIDENTALS - 1)
        k -= SEMITONES_PER_OCTAVE;
    return k < -KEY_ACCIDENTALS ? k + SEMITONES_PER_OCTAVE : k;
}

int read_key(mxml_reader *r, part_state *p, pugi::xml_node key) {
    pugi::xml_node f = key.child("fifths");
    int fifths;
    if (!f)
        return 1; // a non-traditional key keeps the one in force
    if (!int_of(f.child_value(), -MAX_KEY_FIFTHS, MAX_KEY_FIFTHS, &fifths)) {
        r->skipped++;
        return 1;
    }
    if (std::abs(fifths) > KEY_ACCIDENTALS) {
        fifths -= fifths > 0 ? SEMITONES_PER_OCTAVE : -SEMITONES_PER_OCTAVE;
        r->enharmonic_keys++;
    }
    measure_info &mi = r->measures[p->index];
    key_source from = p->transpose ? KEY_TRANSPOSED : KEY_CONCERT;
    if (from > mi.key_from) {
        mi.key = p->transpose ? concert_key(fifths, p->transpose) : fifths;
        mi.key_from = from;
    }
    return 1;
}

// Beats may be a sum ("3+2").
int read_beats(const char *text, int *out) {
    int sum = 0;
    std::string s(text);
    size_t at = 0;
    while (at <= s.size()) {
        size_t plus = s.find('+', at);
        std::string term = s.substr(at, plus == std::string::npos ? std::string::npos : plus - at);
        int v;
        if (!int_of(term.c_str(), 1, INT16_MAX, &v) || sum + v > INT16_MAX)
            return 0;
        sum += v;
        if (plus == std::string::npos)
            break;
        at = plus + 1;
    }
    *out = sum;
    return 1;
}

int read_time(mxml_reader *r, part_state *p, pugi::xml_node time) {
    if (time.child("senza-misura") || !time.child("beats"))
        return 1;
    int num, bit;
    long len = 0;
    if (read_beats(time.child_value("beats"), &num) &&
        int_of(time.child_value("beat-type"), 1, MAX_TIME_BEAT_TYPE, &bit))
        len = static_cast<long>(num) * TICKS_PER_WHOLE / bit;
    if (len < 1 || len > INT16_MAX) {
        r->skipped++; // the measures keep the signature in force
        return 1;
    }
    measure_info &mi = r->measures[p->index];
    if (!mi.has_time) {
        mi.num = num;
        mi.bit = bit;
        mi.has_time = 1;
    }
    return 1;
}

// Notes the middle line of the first staff's clef, where an unpitched note without a display
// position is shown.
void read_clef(part_state *p, pugi::xml_node c) {
    static const struct {
        char sign;
        int pos_y; // of the note the clef names
    } signs[] = {{'G', 4}, {'F', -4}, {'C', 0}};
    if (c.attribute("number") && std::strcmp(c.attribute("number").value(), "1"))
        return;
    int line = 0;
    if (!int_of(c.child_value("line"), 1, 5, &line))
        line = 0;
    p->middle_line = DEFAULT_MIDDLE_LINE;
    for (const auto &s : signs)
        if (c.child_value("sign")[0] == s.sign && line)
            p->middle_line = s.pos_y + 2 * (3 - line);
}

int read_attributes(mxml_reader *r, part_state *p, pugi::xml_node a) {
    if (pugi::xml_node d = a.child("divisions")) {
        double v;
        if (!number_of(d.child_value(), &v) || v <= 0)
            return refuse(r, p, "divisions must be a positive number");
        p->divisions = v;
    }
    if (pugi::xml_node t = a.child("transpose")) {
        int chromatic = 0, octaves = 0;
        if (!int_of(t.child_value("chromatic"), -MAX_TRANSPOSE, MAX_TRANSPOSE, &chromatic) ||
            (t.child("octave-change") && !int_of(t.child_value("octave-change"), -4, 4, &octaves)))
            r->skipped++;
        else
            p->transpose = chromatic + SEMITONES_PER_OCTAVE * octaves;
    }
    for (pugi::xml_node c : a.children("clef"))
        read_clef(p, c);
    for (pugi::xml_node k : a.children("key"))
        if (!read_key(r, p, k))
            return 0;
    for (pugi::xml_node t : a.children("time"))
        if (!read_time(r, p, t))
            return 0;
    return 1;
}

// --- sounds: tempo and dynamics ---

void read_sound(mxml_reader *r, part_state *p, pugi::xml_node sound, double at) {
    double v;
    if (number_of(sound.attribute("tempo").value(), &v) && v >= 1 && v <= MAX_TEMPO)
        r->tempos.push_back({p->index, at, static_cast<int>(std::lround(v)), 0});
    if (number_of(sound.attribute("dynamics").value(), &v) && v >= 0)
        p->velocity = v * FORTE_VELOCITY / 100.0;
}

int read_direction(mxml_reader *r, part_state *p, pugi::xml_node d) {
    double at = p->cursor;
    if (pugi::xml_node off = d.child("offset")) {
        double v;
        if (!number_of(off.child_value(), &v) || std::fabs(v) > MUSICXML_MAX_TICKS)
            r->skipped++;
        else
            at = std::max(0.0, at + v * TICKS_PER_QUARTER / p->divisions);
    }
    for (pugi::xml_node s : d.children("sound"))
        read_sound(r, p, s, at);
    return 1;
}

// --- notes ---

int unpitched_key(const part_def *def, pugi::xml_node n) {
    if (!def)
        return -1;
    const char *id = n.child("instrument").attribute("id").value();
    for (const instrument_def &i : def->instruments)
        if (i.id == id)
            return i.unpitched;
    return def->instruments.size() == 1 ? def->instruments[0].unpitched : -1;
}

enum pitch_result { PITCH_REFUSED, PITCH_READ, PITCH_SKIPPED };

// A step letter and an octave, as <pitch> and <unpitched> write them: PITCH_SKIPPED when the
// octave is a whole number out of range.
pitch_result read_step_octave(const char *step_text, const char *octave_text, int *step,
                              int *octave) {
    const char *at = step_text[0] ? std::strchr(STEP_LETTERS, step_text[0]) : nullptr;
    double v;
    if (!at || step_text[1] || !number_of(octave_text, &v) || v != std::floor(v))
        return PITCH_REFUSED;
    if (!int_of(octave_text, MIN_OCTAVE, MAX_OCTAVE, octave))
        return PITCH_SKIPPED;
    *step = static_cast<int>(at - STEP_LETTERS);
    return PITCH_READ;
}

pitch_result read_pitched(mxml_reader *r, part_state *p, pugi::xml_node pitch, staged_note *s) {
    int step, octave;
    double alter = 0;
    pitch_result got =
        read_step_octave(pitch.child_value("step"), pitch.child_value("octave"), &step, &octave);
    if (got != PITCH_READ)
        return got;
    if (pitch.child("alter") && !number_of(pitch.child_value("alter"), &alter))
        return PITCH_REFUSED;
    if (std::fabs(alter) > MAX_ALTER) {
        r->skipped++; // the note sounds its step
        alter = 0;
    }
    s->accidental = static_cast<int>(std::lround(alter));
    s->pos_y = (octave - MIDDLE_C_OCTAVE) * STEPS_PER_OCTAVE + step;
    s->pitch = table_8_12[step] + SEMITONES_PER_OCTAVE * (octave - MIDDLE_C_OCTAVE) +
               s->accidental + p->transpose;
    s->spelled = p->transpose == 0;
    return PITCH_READ;
}

// An unpitched note sounds the MIDI instrument of its part; in a part without one, it sounds
// where it is shown: its display position, else the middle line of its staff.
void read_unpitched(mxml_reader *r, part_state *p, pugi::xml_node n, staged_note *s) {
    pugi::xml_node un = n.child("unpitched");
    int key = unpitched_key(p->def, n), step, octave;
    if (key >= 0) {
        s->pitch = key - MIDDLE_C_KEY;
        return;
    }
    if (!p->def || p->def->instruments.empty())
        r->unpitched_shown++;
    if (read_step_octave(un.child_value("display-step"), un.child_value("display-octave"), &step,
                         &octave) == PITCH_READ) {
        s->pitch = table_8_12[step] + SEMITONES_PER_OCTAVE * (octave - MIDDLE_C_OCTAVE);
        return;
    }
    int below = p->middle_line < 0 ? (STEPS_PER_OCTAVE - 1) : 0; // rounds the octave down
    octave = (p->middle_line - below) / STEPS_PER_OCTAVE;
    step = p->middle_line - octave * STEPS_PER_OCTAVE;
    s->pitch = table_8_12[step] + SEMITONES_PER_OCTAVE * octave;
}

pitch_result read_pitch(mxml_reader *r, part_state *p, pugi::xml_node n, staged_note *s) {
    s->spelled = 0;
    if (pugi::xml_node pitch = n.child("pitch")) {
        pitch_result got = read_pitched(r, p, pitch, s);
        if (got == PITCH_REFUSED)
            return refuse(r, p, "a pitch lacks its step or octave"), PITCH_REFUSED;
        if (got == PITCH_SKIPPED) {
            r->skipped++;
            return PITCH_SKIPPED;
        }
    } else if (n.child("unpitched")) {
        read_unpitched(r, p, n, s);
    } else {
        return refuse(r, p, "a note has no pitch"), PITCH_REFUSED;
    }
    if (s->pitch + MIDDLE_C_KEY < 0 || s->pitch + MIDDLE_C_KEY > MIDI_KEY_MAX) {
        r->skipped++;
        return PITCH_SKIPPED;
    }
    return PITCH_READ;
}

// A voice or staff number as written, 0 when missing or out of range.
int small_number(const char *text) {
    double v = 0;
    if (!number_of(text, &v) || std::fabs(v) > MAX_VOICE_NUMBER || v != std::floor(v))
        return 0;
    return static_cast<int>(v);
}

// A tie of the given type ("start" or "stop"), written as a tie element, a tied notation or
// both; a tied notation that continues counts as either.
int has_tie(pugi::xml_node n, const char *type) {
    for (pugi::xml_node t : n.children("tie"))
        if (!std::strcmp(t.attribute("type").value(), type))
            return 1;
    for (pugi::xml_node nt : n.children("notations"))
        for (pugi::xml_node t : nt.children("tied")) {
            const char *v = t.attribute("type").value();
            if (!std::strcmp(v, type) || !std::strcmp(v, "continue"))
                return 1;
        }
    return 0;
}

// Whether a note carries an articulation that plays it detached: staccato, staccatissimo or
// spiccato, in any of its notations elements.
int is_detached(pugi::xml_node n) {
    static const char *const detached[] = {"staccato", "staccatissimo", "spiccato"};
    for (pugi::xml_node nt : n.children("notations"))
        for (pugi::xml_node a : nt.children("articulations"))
            for (const char *name : detached)
                if (a.child(name))
                    return 1;
    return 0;
}

// The strokes of a note's tremolo mark (0 when it has none, or an unmeasured one) and its
// kind. Strokes beyond reach are skipped.
int read_tremolo(mxml_reader *r, pugi::xml_node n, int *kind) {
    static const struct {
        const char *name;
        tremolo_kind kind;
    } kinds[] = {{"", TREMOLO_SINGLE},
                 {"single", TREMOLO_SINGLE},
                 {"start", TREMOLO_START},
                 {"stop", TREMOLO_STOP}};
    *kind = TREMOLO_NONE;
    pugi::xml_node t = n.child("notations").child("ornaments").child("tremolo");
    for (pugi::xml_node nt = n.child("notations"); nt && !t; nt = nt.next_sibling("notations"))
        t = nt.child("ornaments").child("tremolo");
    if (!t)
        return 0;
    for (const auto &k : kinds)
        if (!std::strcmp(t.attribute("type").value(), k.name))
            *kind = k.kind;
    int strokes = 0;
    if (*kind != TREMOLO_NONE && !int_of(t.child_value(), 0, MAX_TREMOLO_STROKES, &strokes))
        r->skipped++;
    return strokes;
}

int velocity_of(part_state *p, pugi::xml_node n) {
    double v = p->velocity, d;
    if (number_of(n.attribute("dynamics").value(), &d) && d >= 0)
        v = d * FORTE_VELOCITY / 100.0;
    return std::clamp(static_cast<int>(std::lround(v)), 1, MIDI_KEY_MAX);
}

// The length in ticks that a note's written value gives: its type, dots and tuplet ratio; 0
// when it has no type or an unknown one.
double written_ticks(pugi::xml_node n) {
    static const struct {
        const char *name;
        double ticks;
    } types[] = {{"maxima", 8.0 * TICKS_PER_WHOLE},  {"long", 4.0 * TICKS_PER_WHOLE},
                 {"breve", 2.0 * TICKS_PER_WHOLE},   {"whole", TICKS_PER_WHOLE},
                 {"half", TICKS_PER_WHOLE / 2.0},    {"quarter", TICKS_PER_WHOLE / 4.0},
                 {"eighth", TICKS_PER_WHOLE / 8.0},  {"16th", TICKS_PER_WHOLE / 16.0},
                 {"32nd", TICKS_PER_WHOLE / 32.0},   {"64th", TICKS_PER_WHOLE / 64.0},
                 {"128th", TICKS_PER_WHOLE / 128.0}, {"256th", TICKS_PER_WHOLE / 256.0},
                 {"512th", TICKS_PER_WHOLE / 512.0}, {"1024th", TICKS_PER_WHOLE / 1024.0}};
    const char *type = n.child_value("type");
    double ticks = 0;
    for (const auto &t : types)
        if (!std::strcmp(type, t.name))
            ticks = t.ticks;
    double add = ticks;
    for (pugi::xml_node d = n.child("dot"); d && add > 0; d = d.next_sibling("dot")) {
        add /= 2;
        ticks += add;
    }
    if (pugi::xml_node tm = n.child("time-modification")) {
        double actual, normal;
        if (!number_of(tm.child_value("actual-notes"), &actual) ||
            !number_of(tm.child_value("normal-notes"), &normal) || actual <= 0 || normal <= 0)
            return 0;
        ticks = ticks * normal / actual;
    }
    return ticks;
}

// What a tuplet ratio does to a note's written value: normal over actual notes, 1 without one.
double stretch_of(pugi::xml_node n) {
    double actual, normal;
    pugi::xml_node tm = n.child("time-modification");
    if (!tm || !number_of(tm.child_value("actual-notes"), &actual) ||
        !number_of(tm.child_value("normal-notes"), &normal) || actual <= 0 || normal <= 0)
        return 1;
    double stretch = normal / actual;
    return std::isfinite(stretch) && stretch > 0 ? stretch : 1;
}

// The parts of a note that do not depend on where it sounds.
void stage_common(part_state *p, pugi::xml_node n, staged_note *s) {
    s->measure = p->index;
    s->velocity = velocity_of(p, n);
    s->track = p->track;
    s->tie_start = has_tie(n, "start");
    s->tie_stop = has_tie(n, "stop");
    s->staccato = is_detached(n);
    s->voice = small_number(n.child_value("voice"));
    s->staff = small_number(n.child_value("staff"));
    s->stretch = stretch_of(n);
}

// --- grace notes: they sound on the beat of their principal note, taking its time ---

double grace_value(const pending_grace &g) {
    return g.slashed ? SLASHED_TICKS : g.written;
}

int stage_grace(mxml_reader *r, part_state *p, pugi::xml_node n) {
    if (n.child("cue"))
        return 1;
    pending_grace g{};
    pitch_result got = read_pitch(r, p, n, &g.note);
    if (got != PITCH_READ)
        return got == PITCH_SKIPPED;
    stage_common(p, n, &g.note);
    g.note.chord = -1;
    double written = written_ticks(n);
    g.written = written > 0 ? written : GRACE_DEFAULT_TICKS;
    g.slashed = !std::strcmp(n.child("grace").attribute("slash").value(), "yes");
    std::vector<pending_grace> &waiting = p->graces[g.note.voice];
    g.with_previous = n.child("chord") && !waiting.empty();
    waiting.push_back(g);
    return 1;
}

// The factor that fits a grace group into the share of a note of length len it may take: a
// half, or a quarter when every grace of it is slashed.
double grace_scale(const std::vector<pending_grace> &group, double len) {
    double total = 0;
    int all_slashed = 1;
    for (const pending_grace &g : group) {
        if (!g.with_previous)
            total += grace_value(g);
        all_slashed &= g.slashed;
    }
    double room = len / (all_slashed ? SLASHED_SHARE : GRACE_SHARE);
    return total > room ? room / total : 1;
}

// Stages the group one after the other from the given place; returns where it ends.
double place_graces(mxml_reader *r, const std::vector<pending_grace> &group, double from,
                    double scale) {
    double t = from, len = 0;
    for (size_t i = 0; i < group.size(); i++) {
        if (i == 0 || !group[i].with_previous) {
            t += len;
            len = grace_value(group[i]) * scale;
        }
        staged_note s = group[i].note;
        s.start = s.at = t;
        s.end = s.until = t + len;
        r->notes.push_back(s);
        r->graces++;
    }
    return t + len;
}

// Places the grace notes waiting in the voice on the beat of their principal, which starts at
// the given place and lasts len; returns how much later the principal sounds.
double lead_in(mxml_reader *r, part_state *p, int voice, double at, double len) {
    auto waiting = p->graces.find(voice);
    if (waiting == p->graces.end())
        return 0;
    std::vector<pending_grace> group;
    group.swap(waiting->second);
    p->graces.erase(waiting);
    return place_graces(r, group, at, grace_scale(group, len)) - at;
}

struct chord_span {
    double start = MUSICXML_MAX_TICKS, end = 0;
    std::vector<size_t> members; // in the reader's notes
};

// Grace notes left at the end of a measure follow their note: they take the end of the last
// chord of their voice. Without one, they sound where the measure's reading ended.
void flush_graces(mxml_reader *r, part_state *p) {
    if (p->graces.empty())
        return;
    std::map<int, int> last; // chord of each voice
    std::map<int, chord_span> spans;
    for (size_t i = p->first_note; i < r->notes.size(); i++) {
        const staged_note &n = r->notes[i];
        if (n.chord < 0)
            continue;
        last[n.voice] = std::max(last[n.voice], n.chord);
        chord_span &c = spans[n.chord];
        c.start = std::min(c.start, n.start);
        c.end = std::max(c.end, n.end);
        c.members.push_back(i);
    }
    for (const auto &[voice, group] : p->graces) {
        auto chord = last.find(voice);
        if (chord == last.end()) {
            place_graces(r, group, p->cursor, 1);
            continue;
        }
        const chord_span &c = spans[chord->second];
        double scale = grace_scale(group, c.end - c.start), total = 0;
        for (const pending_grace &g : group)
            total += g.with_previous ? 0 : grace_value(g) * scale;
        for (size_t i : c.members)
            r->notes[i].end = std::min(r->notes[i].end, c.end - total);
        place_graces(r, group, c.end - total, scale);
    }
    p->graces.clear();
}

// --- tremolos: written out as the repeated notes they stand for ---

// A stroke halves the value of the notes repeated, from an eighth for one stroke.
double tremolo_unit(int strokes) {
    return TICKS_PER_WHOLE / static_cast<double>(4 << strokes);
}

// Room for count more written-out notes, counted against the whole file's allowance.
int may_write_out(mxml_reader *r, double count) {
    if (!(count <= MAX_TREMOLO_NOTES) || r->written_out + count > MAX_WRITTEN_OUT) {
        r->skipped++;
        return 0;
    }
    r->written_out += static_cast<long>(count);
    return 1;
}

// A piece of a written-out note, from start to end, keeping the ties of its ends only.
staged_note piece_of(const staged_note &n, double start, double end, int first, int last) {
    staged_note s = n;
    s.start = start;
    s.end = end;
    s.at = first ? n.at : start;
    s.until = last ? n.until : end;
    s.tie_stop = first && n.tie_stop;
    s.tie_start = last && n.tie_start;
    s.tremolo = 0;
    return s;
}

void repeat_note(mxml_reader *r, const staged_note &n, int strokes) {
    double len = n.end - n.start;
    double count = std::max(1.0, std::round((n.until - n.at) / n.stretch / tremolo_unit(strokes)));
    if (!may_write_out(r, count)) {
        r->notes.push_back(n);
        return;
    }
    for (int i = 0; i < count; i++)
        r->notes.push_back(piece_of(n, n.start + len * i / count, n.start + len * (i + 1) / count,
                                    i == 0, i == count - 1));
}

// A chord of the measure: its notes and its tremolo mark.
struct tremolo_chord {
    std::vector<staged_note> notes;
    int strokes = 0, kind = TREMOLO_NONE;
    int next = -1; // the chord after it in its voice
};

// The two chords of a two-note tremolo alternate over the time both take, in an even number of
// repeated notes.
void alternate(mxml_reader *r, const tremolo_chord &a, const tremolo_chord &b) {
    chord_span span;
    for (const tremolo_chord *c : {&a, &b})
        for (const staged_note &n : c->notes) {
            span.start = std::min(span.start, n.start);
            span.end = std::max(span.end, n.end);
        }
    double pairs = std::max(1.0, std::round((span.end - span.start) / tremolo_unit(a.strokes) / 2));
    if (!may_write_out(r, 2 * pairs)) {
        for (const tremolo_chord *c : {&a, &b})
            r->notes.insert(r->notes.end(), c->notes.begin(), c->notes.end());
        return;
    }
    double len = (span.end - span.start) / (2 * pairs);
    for (int i = 0; i < 2 * pairs; i++)
        for (const staged_note &n : (i % 2 ? b : a).notes) {
            double from = span.start + len * i;
            staged_note s = piece_of(n, from, from + len, 0, 0);
            s.at = s.start;
            s.until = s.end;
            r->notes.push_back(s);
        }
}

// The chords of the notes, with the tremolo mark any of their notes carries and the chord that
// follows each in its voice.
std::map<int, tremolo_chord> gather_chords(const std::vector<staged_note> &in) {
    std::map<int, tremolo_chord> chords;
    std::map<int, int> last; // chord of each voice
    for (const staged_note &n : in) {
        tremolo_chord &c = chords[n.chord];
        c.notes.push_back(n);
        if (n.tremolo && !c.strokes) {
            c.strokes = n.tremolo;
            c.kind = n.tremolo_type;
        }
        auto before = last.find(n.voice);
        if (before != last.end() && before->second != n.chord)
            chords[before->second].next = n.chord;
        last[n.voice] = n.chord;
    }
    return chords;
}

void write_out_tremolos(mxml_reader *r, part_state *p) {
    auto first = r->notes.begin() + static_cast<long>(p->first_note);
    if (std::none_of(first, r->notes.end(), [](const staged_note &n) { return n.tremolo; }))
        return;
    std::vector<staged_note> in(first, r->notes.end()), graces;
    r->notes.erase(first, r->notes.end());
    auto is_grace = [](const staged_note &n) { return n.chord < 0; };
    std::copy_if(in.begin(), in.end(), std::back_inserter(graces), is_grace);
    in.erase(std::remove_if(in.begin(), in.end(), is_grace), in.end());
    std::map<int, tremolo_chord> chords = gather_chords(in);
    for (auto &[id, t] : chords) {
        auto partner = chords.find(t.next);
        if (t.strokes && t.kind == TREMOLO_START && partner != chords.end()) {
            alternate(r, t, partner->second);
            partner->second.notes.clear();
        } else if (t.strokes && t.kind == TREMOLO_SINGLE) {
            for (const staged_note &n : t.notes)
                repeat_note(r, n, t.strokes);
        } else {
            r->notes.insert(r->notes.end(), t.notes.begin(), t.notes.end());
        }
    }
    r->notes.insert(r->notes.end(), graces.begin(), graces.end());
}

// --- the notes and the cursor ---

int read_note(mxml_reader *r, part_state *p, pugi::xml_node n) {
    if (n.child("grace"))
        return stage_grace(r, p, n);
    double dur;
    if (!read_ticks(r, p, n, "duration", &dur))
        return 0;
    // A tuplet's duration in whole divisions is often rounded; when it is less than one
    // division from what the written value gives, the written value is the exact length, and
    // using it keeps the rounding from adding up along the measure. A whole-measure rest is
    // written as a whole whatever the measure's length.
    double written = written_ticks(n);
    if (written > 0 && std::fabs(written - dur) < TICKS_PER_QUARTER / p->divisions &&
        !n.child("rest").attribute("measure")) {
        p->drift += std::fabs(written - dur);
        dur = written;
    }
    double start = p->cursor;
    if (n.child("chord")) {
        start = p->last_start;
    } else {
        p->last_start = p->cursor;
        p->cursor += dur;
        p->reached = std::max(p->reached, p->cursor);
        p->chords++;
        p->starts.insert(start);
        p->delay = lead_in(r, p, small_number(n.child_value("voice")), start, dur);
    }
    if (p->cursor > MUSICXML_MAX_TICKS)
        return refuse(r, p, "the measure is too long");
    if (n.child("rest") || n.child("cue") || dur <= 0)
        return 1;
    staged_note s{};
    pitch_result got = read_pitch(r, p, n, &s);
    if (got != PITCH_READ)
        return got == PITCH_SKIPPED;
    stage_common(p, n, &s);
    s.at = start;
    s.start = start + p->delay;
    s.end = s.until = start + dur;
    s.chord = p->chords;
    s.tremolo = read_tremolo(r, n, &s.tremolo_type);
    r->notes.push_back(s);
    return 1;
}

// A backup after rounded tuplet durations lands near the chord it means to go back to, by as
// much as the written values made up for: it is taken to that chord.
void snap_back(part_state *p) {
    double best = p->cursor, off = p->drift + TICK_EPSILON;
    auto after = p->starts.lower_bound(p->cursor);
    if (after != p->starts.end() && *after - p->cursor <= off) {
        best = *after;
        off = *after - p->cursor;
    }
    if (after != p->starts.begin() && p->cursor - *std::prev(after) <= off)
        best = *std::prev(after);
    p->cursor = best;
}

int move_cursor(mxml_reader *r, part_state *p, pugi::xml_node e, int sign) {
    double d;
    if (!read_ticks(r, p, e, "duration", &d))
        return 0;
    p->cursor = std::max(0.0, p->cursor + sign * d);
    if (sign < 0 && p->drift > 0)
        snap_back(p);
    p->reached = std::max(p->reached, p->cursor);
    if (p->cursor > MUSICXML_MAX_TICKS)
        return refuse(r, p, "the measure is too long");
    return 1;
}

int read_measure_child(mxml_reader *r, part_state *p, pugi::xml_node e) {
    const char *name = e.name();
    if (!std::strcmp(name, "note"))
        return read_note(r, p, e);
    if (!std::strcmp(name, "backup"))
        return move_cursor(r, p, e, -1);
    if (!std::strcmp(name, "forward"))
        return move_cursor(r, p, e, 1);
    if (!std::strcmp(name, "attributes"))
        return read_attributes(r, p, e);
    if (!std::strcmp(name, "direction"))
        return read_direction(r, p, e);
    if (!std::strcmp(name, "sound"))
        read_sound(r, p, e, p->cursor);
    return 1;
}

int read_part(mxml_reader *r, pugi::xml_node part) {
    part_state p;
    p.track = r->parts;
    p.def = find_def(r, part.attribute("id").value());
    p.index = 0;
    for (pugi::xml_node m : part.children("measure")) {
        if (p.index >= MUSICXML_MAX_MEASURES)
            return refuse(r, &p, "too many measures");
        if (static_cast<int>(r->measures.size()) <= p.index)
            r->measures.emplace_back();
        p.cursor = p.last_start = p.reached = p.delay = p.drift = 0;
        p.starts = {0.0};
        p.first_note = r->notes.size();
        for (pugi::xml_node e : m.children())
            if (!read_measure_child(r, &p, e))
                return 0;
        flush_graces(r, &p);
        write_out_tremolos(r, &p);
        measure_info &mi = r->measures[p.index];
        mi.content = std::max(mi.content, p.reached);
        p.index++;
    }
    return 1;
}

// --- building the score ---

// Gives m the simplest signature of exactly the given length, a multiple of 3 ticks that fits
// a measure.
void fit_measure(measure *m, long ticks) {
    for (int bit = 1; bit <= MAX_BEAT_TYPE; bit *= 2)
        if (ticks * bit % TICKS_PER_WHOLE == 0) {
            set_measure(m, static_cast<int>(ticks * bit / TICKS_PER_WHOLE), bit, m->key);
            return;
        }
}

measure *append_copy(measure_list *list, int num, int bit, int key) {
    measure *m = new_measure();
    _append_measure_list(list, m);
    set_measure(m, num, bit, key);
    return m;
}

// Appends the score measures of one MusicXML measure whose content reaches the given ticks and
// returns the ticks they cover (0 beyond the measure limit). Content within a stray tick of the
// signature in force (other programs' rounded tuplets leave one) keeps it. Other content (a
// pickup, say) gets a measure of exactly its length on the 3-tick grid, so later measures keep
// their places; content longer than any measure can be spreads over measures of the signature
// in force, the last one fitted to what is left.
long append_measures_for(mxml_reader *r, int num, int bit, int key, double content) {
    measure *m = append_copy(&r->staged, num, bit, key);
    if (content <= 0 || std::fabs(content - m->len) < SIGNATURE_GRID)
        return m->len;
    long ticks = std::max<long>(std::lround(content / SIGNATURE_GRID), 1) * SIGNATURE_GRID;
    if (ticks <= INT16_MAX) {
        fit_measure(m, ticks);
        return m->len;
    }
    long covered = m->len;
    while (covered < ticks) {
        if (r->staged.num >= MUSICXML_MAX_MEASURES)
            return 0;
        measure *more = append_copy(&r->staged, num, bit, key);
        if (ticks - covered < more->len)
            fit_measure(more, ticks - covered);
        covered += more->len;
    }
    return covered;
}

int build_measures(mxml_reader *r, const measure *fresh) {
    int num = fresh->num, bit = fresh->bit, key = fresh->key;
    long at = 0;
    if (r->measures.empty())
        r->measures.emplace_back();
    for (const measure_info &mi : r->measures) {
        if (mi.has_time) {
            num = mi.num;
            bit = mi.bit;
        }
        if (mi.key_from != KEY_NONE)
            key = mi.key;
        r->starts.push_back(at);
        long covered = append_measures_for(r, num, bit, key, mi.content);
        if (covered == 0)
            return refuse(r, nullptr, "too many measures");
        at += covered;
    }
    return 1;
}

long round_tick(double v, int *rounded) {
    long t = std::lround(v);
    if (std::fabs(v - t) > TICK_EPSILON)
        *rounded = 1;
    return t;
}

void place_in_time(mxml_reader *r) {
    for (staged_note &n : r->notes) {
        int rounded = 0;
        double base = static_cast<double>(r->starts[n.measure]);
        n.s = round_tick(base + n.start, &rounded);
        n.e = round_tick(base + n.end, &rounded);
        if (n.e <= n.s)
            n.e = n.s + 1;
        n.ts = std::lround(base + n.at);
        n.te = std::lround(base + n.until);
        r->rounded += rounded;
    }
    for (tempo_mark &t : r->tempos)
        t.tick = std::lround(r->starts[t.measure] + t.at);
}

// A note whose tie stops, following a note of the same track and pitch whose tie starts and
// that ends where it begins (as sounded, or as written when grace notes before the
// continuation take the start of it), becomes part of that note, as long as the whole length fits.
// Such a note in the same voice and staff is taken first, so overlapping unisons whose chains
// run in different voices are not joined crosswise.
void join_ties(mxml_reader *r) {
    std::vector<staged_note *> order;
    for (staged_note &n : r->notes)
        order.push_back(&n);
    std::stable_sort(order.begin(), order.end(), [](const staged_note *a, const staged_note *b) {
        if (a->track != b->track)
            return a->track < b->track;
        if (a->pitch != b->pitch)
            return a->pitch < b->pitch;
        if (a->s != b->s)
            return a->s < b->s;
        return a->tie_stop > b->tie_stop; // the continuation before a new note on its tick
    });
    // Notes of the group (one track and pitch) that may still be continued: several can sound
    // at once in different voices.
    std::vector<staged_note *> open;
    for (size_t i = 0; i < order.size(); i++) {
        staged_note *n = order[i];
        if (i > 0 && (order[i - 1]->track != n->track || order[i - 1]->pitch != n->pitch))
            open.clear();
        auto continues = [n](const staged_note *o) {
            return o->tie_start && (o->e == n->s || o->te == n->ts) && n->e - o->s <= MAX_NOTE_LEN;
        };
        auto continued = std::find_if(open.begin(), open.end(), [&](const staged_note *o) {
            return continues(o) && o->voice == n->voice && o->staff == n->staff;
        });
        if (continued == open.end())
            continued = std::find_if(open.begin(), open.end(), continues);
        if (n->tie_stop && continued != open.end()) {
            (*continued)->e = n->e;
            (*continued)->te = n->te;
            (*continued)->tie_start = n->tie_start;
            (*continued)->voice = n->voice;
            (*continued)->staff = n->staff;
            n->dead = 1;
            continue;
        }
        open.erase(std::remove_if(open.begin(), open.end(),
                                  [n](const staged_note *o) {
                                      return std::max(o->e, o->te) < std::min(n->s, n->ts);
                                  }),
                   open.end());
        open.push_back(n);
    }
}

note *make_note(const staged_note &sn, measure *m, long mstart) {
    note *n = new_note();
    n->x = static_cast<int32_t>(sn.s - mstart);
    long len = std::min<long>(sn.e - sn.s, MAX_NOTE_LEN);
    n->len = n->total_len = static_cast<int16_t>(len);
    n->track = static_cast<int8_t>(sn.track);
    n->volume = static_cast<uint8_t>(sn.velocity);
    n->staccato = sn.staccato != 0;
    if (sn.spelled) {
        set_note_pos(m->key, n, sn.pos_y, sn.accidental, 0);
    } else {
        n->pitch = static_cast<int16_t>(sn.pitch);
        get_note_pos_y(m, n);
    }
    return n;
}

// The measure holding tick t, walking on from *m (starting at *mstart) and appending measures
// at the end as needed. Null when that would exceed the measure limit.
measure *measure_at(mxml_reader *r, measure **m, long *mstart, long t) {
    while (t >= *mstart + (*m)->len) {
        if (!(*m)->next) {
            if (r->staged.num >= MUSICXML_MAX_MEASURES)
                return nullptr;
            append_copy(&r->staged, (*m)->num, (*m)->bit, (*m)->key);
        }
        *mstart += (*m)->len;
        *m = (*m)->next;
    }
    return *m;
}

int place_notes(mxml_reader *r) {
    std::vector<const staged_note *> order;
    for (const staged_note &n : r->notes)
        if (!n.dead)
            order.push_back(&n);
    std::stable_sort(order.begin(), order.end(), [](const staged_note *a, const staged_note *b) {
        return a->s != b->s ? a->s < b->s : a->pitch < b->pitch;
    });
    measure *m = r->staged.head;
    long mstart = 0;
    for (const staged_note *sn : order) {
        if (!measure_at(r, &m, &mstart, sn->s))
            return refuse(r, nullptr, "too many measures");
        insert_note_sorted_from_tail(m, make_note(*sn, m, mstart));
    }
    return 1;
}

// Tempo marks on the same tick (every part may repeat them) give one event; a mark at the very
// start is the score's starting tempo.
void place_tempos(mxml_reader *r) {
    std::stable_sort(r->tempos.begin(), r->tempos.end(),
                     [](const tempo_mark &a, const tempo_mark &b) { return a.tick < b.tick; });
    measure *m = r->staged.head;
    long mstart = 0;
    for (const tempo_mark &t : r->tempos) {
        if (t.tick == 0) {
            r->start_tempo = t.value;
            continue;
        }
        while (m && t.tick >= mstart + m->len) {
            mstart += m->len;
            m = m->next;
        }
        if (!m)
            return;
        int x = static_cast<int>(t.tick - mstart);
        if (m->m_events.tail && m->m_events.tail->x == x) {
            m->m_events.tail->value = t.value;
            continue;
        }
        m_event *e = new_m_event();
        e->type = EVENT_TEMPO;
        e->x = x;
        e->value = t.value;
        _append_m_event_list(&m->m_events, e);
    }
}

// Channel, program and volume of a part's first MIDI instrument; the rest as a new track.
void set_track(track_info_t *ti, int track, const part_def *d) {
    *ti = new_track(track);
    if (d && d->channel > 0)
        ti->channel = static_cast<int16_t>(d->channel - 1);
    if (d && d->program > 0)
        ti->patch = static_cast<int16_t>(d->program - 1);
    if (ti->channel == PERCUSSION_CHANNEL)
        ti->patch = PERCUSSION_PATCH;
    if (d && d->volume >= 0)
        ti->volume = static_cast<int32_t>(std::lround(d->volume * MIDI_KEY_MAX / VOLUME_PERCENT));
}

int read_parts(mxml_reader *r, pugi::xml_node root) {
    read_part_list(r, root);
    for (pugi::xml_node part : root.children("part")) {
        if (r->parts >= MUSICXML_MAX_PARTS) {
            r->parts_left_out++;
            continue;
        }
        if (!read_part(r, part))
            return 0;
        set_track(&r->tracks[r->parts], r->parts, find_def(r, part.attribute("id").value()));
        r->parts++;
    }
    if (r->parts == 0)
        return refuse(r, nullptr, "the score has no parts");
    return 1;
}

int parse_and_stage(mxml_reader *r, std::vector<char> *text, const measure *fresh) {
    if (count_markup(*text) > MUSICXML_MAX_MARKUP)
        return refuse(r, nullptr, "too many elements");
    pugi::xml_document doc;
    pugi::xml_parse_result res =
        doc.load_buffer_inplace(text->data(), text->size(), pugi::parse_default);
    if (!res) {
        char why[MESSAGE_SIZE];
        std::snprintf(why, sizeof why, "not well-formed XML at byte %ld (%s)",
                      static_cast<long>(res.offset), res.description());
        return refuse(r, nullptr, why);
    }
    pugi::xml_node root = doc.child("score-partwise");
    if (!root)
        return refuse(r, nullptr,
                      doc.child("score-timewise") ? "timewise MusicXML is not supported"
                                                  : "not a MusicXML score");
    if (!read_parts(r, root))
        return 0;
    if (!build_measures(r, fresh))
        return 0;
    place_in_time(r);
    join_ties(r);
    if (!place_notes(r))
        return 0;
    place_tempos(r);
    return 1;
}

// One message tells all that was adjusted, each clause only when it happened.
void tell_adjustments(const mxml_reader *r) {
    std::string text;
    char clause[MESSAGE_SIZE];
    auto add = [&](int count, const char *fmt) {
        if (!count)
            return;
        std::snprintf(clause, sizeof clause, fmt, count, MUSICXML_MAX_PARTS);
        text += (text.empty() ? "" : "; ") + std::string(clause);
    };
    add(r->parts_left_out, "%d parts beyond the first %d left out");
    add(r->rounded, "%d notes rounded to whole ticks");
    add(r->graces, "%d grace notes written out as notes");
    add(r->enharmonic_keys, "%d key signatures beyond seven accidentals read as their enharmonic "
                            "equivalents");
    add(r->unpitched_shown, "%d unpitched notes sounded where they are shown");
    add(r->skipped, "%d details out of range skipped");
    if (!text.empty())
        file_message("%s: %s", r->path, text.c_str());
}

} // namespace

int read_musicxml(const char *path, score *s) {
    mxml_reader r;
    r.path = path;
    std::copy(s->tracks, s->tracks + MAX_TRACKS, r.tracks);
    init_measure_list(&r.staged);
    std::vector<char> text;
    const char *why = nullptr;
    if (!load_musicxml_text(path, &text, &why))
        return refuse(&r, nullptr, why);
    if (!parse_and_stage(&r, &text, s->measures.head)) {
        _destroy_measure_list(&r.staged, destroy_measure);
        return 0;
    }
    commit_read_score(s, r.staged, r.start_tempo, r.parts, r.tracks);
    check_read_score(s, "reading a MusicXML file");
    tell_adjustments(&r);
    return 1;
}
