// The engraved LilyPond source: a header with the title, a global voice of spacers that carries
// the time and key signatures, the pickup and the tempo marks, and per shown track one staff
// (or a piano staff when the track needs both clefs) whose voices hold the notes as chords,
// spelled as the score spells them. A \midi block lets LilyPond play what it engraves.
#include <algorithm>
#include <cstdio>
#include <limits>
#include <numeric>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "files/file_support.h"
#include "files/gm_names.h"
#include "files/lilypond.h"
#include "files/notation_length.h"
#include "model/pitch.h"
#include "model/staves.h"

lilypond_setup ly_setup;

namespace {

constexpr int MAX_KEY = 7;
constexpr int MIDDLE_C_MARKS = 1; // middle C is c'
constexpr int MAX_ALTERATION = 2;
constexpr int NAMED_VOICES = 4;      // \voiceOne .. \voiceFour
constexpr double INDENT_MM = 4.0;    // room before the first system beyond its names
constexpr double NAME_CHAR_MM = 1.9; // width of one character of an instrument name
const char LY_VERSION[] = "2.24.0";
// Room between systems and between the staves of a system (in staff spaces), kept as a minimum:
// LilyPond's own spacing packs systems of many staves so tightly that ledger lines of one staff
// run into the next.
const char SYSTEM_SPACING[] = "\\paper { system-system-spacing = "
                              "#'((basic-distance . 18) (minimum-distance . 16) (padding . 2)) }\n";
const char STAFF_SPACING[] =
    "  \\context { \\Staff \\override VerticalAxisGroup.default-staff-staff-spacing = "
    "#'((basic-distance . 12) (minimum-distance . 11) (padding . 2)) }\n";
const char *const MAJOR_KEYS[2 * MAX_KEY + 1] = {
    "ces", "ges", "des", "aes", "ees", "bes", "f", "c", "g", "d", "a", "e", "b", "fis", "cis"};
const char *const ALTERATIONS[2 * MAX_ALTERATION + 1] = {"eses", "es", "", "is", "isis"};
const char *const VOICE_STYLES[NAMED_VOICES] = {"\\voiceOne", "\\voiceTwo", "\\voiceThree",
                                                "\\voiceFour"};

// Pieces of one staff sounding together: equal start and length, ascending pitch. A held note
// sounds on past the chord in the same voice: the chord lasts only as long as its shortest tied-in
// note, and the held ones go on, tied, in the voice's next chord. Doubled notes sound a pitch
// the chord has already: they are written as that one note, which carries their ties.
struct ly_chord {
    int x, len;
    std::vector<const note *> notes;
    std::vector<const note *> held;
    std::vector<const note *> doubled;
};

// What is left of a note to deal from x on, and the voice it must keep (-1: any).
struct ly_piece {
    const note *n;
    int x, len, voice;
};

// One staff of a track laid out for print: per measure, per voice, its chords in time order.
struct ly_staff {
    std::vector<std::vector<std::vector<ly_chord>>> measures;
    std::unordered_map<const note *, int> voice_of;
    std::unordered_set<const note *> restruck; // tied in, but struck again by a doubling note
    int voices = 0;
};

struct engraver {
    std::string text;
    score *s;
    std::vector<measure *> measures;
    int pickup; // the first measure is shorter than the signature of the second
    int in_tuplet;
    int staves_written;
    size_t longest_name; // of the instrument names written
    std::string mark;    // the articulation the next value written carries, then cleared
};

void put(engraver *e, const std::string &text) {
    e->text.append(text);
}

// A LilyPond string literal of text: quotes and backslashes escaped, control bytes dropped.
std::string quoted(const std::string &text) {
    std::string q = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            q += '\\';
        if (static_cast<unsigned char>(c) >= ' ')
            q += c;
    }
    return q + "\"";
}

// A length as a fraction of a whole note ("1*3/4"), exact for any tick count.
std::string whole_fraction(int len) {
    int g = std::gcd(len, TICKS_PER_WHOLE);
    if (len == TICKS_PER_WHOLE)
        return "1";
    return "1*" + std::to_string(len / g) + "/" + std::to_string(TICKS_PER_WHOLE / g);
}

std::string piece_duration(const notation_piece *p) {
    std::string d = _get_duration_output(p->ticks);
    int nominal = notation_nominal_ticks(p);
    if (p->ticks != nominal)
        d += "*" + std::to_string(p->ticks) + "/" + std::to_string(nominal);
    return d;
}

void set_tuplet(engraver *e, int on) {
    if (on == e->in_tuplet)
        return;
    put(e, on ? "\\tuplet 3/2 { " : "} ");
    e->in_tuplet = on;
}

// Whether a note of the chord begins there and is staccato: its first value carries the dot.
bool begins_staccato(const ly_chord &c) {
    return std::any_of(c.notes.begin(), c.notes.end(),
                       [&c](const note *n) { return n->staccato && !n->l_prev && n->x == c.x; });
}

// Writes len ticks from x as values tied together (tie_between), and tied on after the last one
// too when tie_last is set. Every value but the last is written as name, the last as last_name
// (a chord's final value carries the ties of its own notes).
void write_values(engraver *e, measure *m, const std::string &name, const std::string &last_name,
                  int x, int len, bool tie_between, bool tie_last) {
    while (len > 0) {
        notation_piece p;
        int ticks = first_notation_piece(m, x, len, &p);
        x += ticks;
        len -= ticks;
        set_tuplet(e, p.tuplet);
        put(e, (len > 0 ? name : last_name) + piece_duration(&p) + e->mark);
        e->mark.clear();
        put(e, (len > 0 ? tie_between : tie_last) ? "~ " : " ");
    }
}

// --- spelling ---

// The score's own spelling of n when it agrees with its pitch, else the key's spelling.
std::string note_name(const measure *m, const note *n) {
    int step = n->step, alteration = n->accidental, level = 0, pos_step = 0;
    get_mod_level(n->pos.y, STEPS_PER_OCTAVE, &pos_step, &level);
    int marks = level + MIDDLE_C_MARKS;
    bool spelled = pos_step == step && alteration >= -MAX_ALTERATION &&
                   alteration <= MAX_ALTERATION &&
                   table_8_12[step] + SEMITONES_PER_OCTAVE * level + alteration == n->pitch;
    if (!spelled)
        get_pitch7(n->pitch, m->key, &alteration, &step, &marks);
    return std::string(table_7_to_a[step]) + ALTERATIONS[alteration + MAX_ALTERATION] +
           get_octave_output(marks);
}

std::string key_text(int key) {
    key = std::clamp(key, -MAX_KEY, MAX_KEY);
    return std::string("\\key ") + MAJOR_KEYS[key + MAX_KEY] + " \\major ";
}

// --- layout: chords dealt to voices ---

bool on_staff(const note *n, int track, int filter) {
    return !n->rest && n->track == track &&
           (filter == STAFF_BOTH || pitch_staff(n->pitch) == filter);
}

// The measure's notes of the staff as pieces, by start, length and pitch.
std::vector<ly_piece> measure_pieces(const measure *m, int track, int filter) {
    std::vector<ly_piece> own;
    for (const note *n = m->notes.head; n; n = n->next)
        if (on_staff(n, track, filter))
            own.push_back({n, n->x, n->len, -1});
    std::stable_sort(own.begin(), own.end(), [](const ly_piece &a, const ly_piece &b) {
        return a.x != b.x ? a.x < b.x : a.len != b.len ? a.len < b.len : a.n->pitch < b.n->pitch;
    });
    return own;
}

bool voice_free(const std::vector<int> &ends, int v, int x) {
    return v >= static_cast<int>(ends.size()) || ends[v] <= x;
}

// The voice a piece must go to: the one it was dealt to before a split, else the one its
// tied-in note sounded in when that voice is free at x (also one the measure has not opened
// yet), else none.
int kept_voice(const ly_staff &st, const std::vector<int> &ends, const ly_piece &p) {
    int v = p.voice;
    if (v < 0 && p.n->l_prev) {
        auto it = st.voice_of.find(p.n->l_prev);
        v = it == st.voice_of.end() ? -1 : it->second;
    }
    return v >= 0 && voice_free(ends, v, p.x) ? v : -1;
}

int lowest_free_voice(const std::vector<int> &ends, int x) {
    int v = 0;
    while (!voice_free(ends, v, x))
        v++;
    return v;
}

// Sounding pieces starting together (x, len) as one chord: ascending pitch, one note per pitch.
ly_chord make_chord(int x, int len, std::vector<ly_piece> members) {
    std::stable_sort(members.begin(), members.end(),
                     [](const ly_piece &a, const ly_piece &b) { return a.n->pitch < b.n->pitch; });
    ly_chord c{x, len, {}, {}, {}};
    for (const ly_piece &p : members) {
        bool doubled = !c.notes.empty() && c.notes.back()->pitch == p.n->pitch;
        (doubled ? c.doubled : c.notes).push_back(p.n);
        if (p.len > len)
            c.held.push_back(p.n);
    }
    return c;
}

struct voice_dealer {
    ly_staff *st;
    std::vector<int> ends;
    std::vector<std::vector<ly_chord>> voices;
    std::vector<ly_piece> todo; // by start
};

bool starts_fresh(const note *n, const ly_chord &c) {
    return n->x == c.x && !n->l_prev;
}

// A tied-in note doubled by a note of its pitch that starts there is struck again, as the score
// sounds it: the tie into it is not written.
void mark_restruck(ly_staff *st, const ly_chord &c) {
    for (const note *d : c.doubled) {
        std::vector<const note *> group{d};
        for (const std::vector<const note *> *list : {&c.notes, &c.doubled})
            for (const note *n : *list)
                if (n != d && n->pitch == d->pitch)
                    group.push_back(n);
        if (std::none_of(group.begin(), group.end(),
                         [&](const note *n) { return starts_fresh(n, c); }))
            continue;
        for (const note *n : group)
            if (n->x == c.x && n->l_prev)
                st->restruck.insert(n);
    }
}

void place(voice_dealer *d, int v, ly_chord c) {
    if (v >= static_cast<int>(d->ends.size())) {
        d->ends.resize(v + 1, 0);
        d->voices.resize(v + 1);
    }
    d->ends[v] = c.x + c.len;
    for (const note *n : c.notes)
        d->st->voice_of[n] = v;
    for (const note *n : c.doubled)
        d->st->voice_of[n] = v;
    mark_restruck(d->st, c);
    d->voices[v].push_back(std::move(c));
}

// The rest of a held note, to be dealt again to the same voice when its chord ends.
void hold_on(voice_dealer *d, const ly_piece &p, int len, int v) {
    ly_piece rest{p.n, p.x + len, p.len - len, v};
    auto at = std::upper_bound(d->todo.begin(), d->todo.end(), rest,
                               [](const ly_piece &a, const ly_piece &b) { return a.x < b.x; });
    d->todo.insert(at, rest);
}

// The pieces of now that continue voice v (kept), as one chord as long as the shortest of them,
// with the free pieces of that length; the longer ones are held on in v.
void deal_tied_in(voice_dealer *d, const std::vector<ly_piece> &now, const std::vector<int> &kept,
                  std::vector<bool> *used, int v) {
    int len = std::numeric_limits<int>::max();
    for (size_t j = 0; j < now.size(); j++)
        if (kept[j] == v)
            len = std::min(len, now[j].len);
    std::vector<ly_piece> members;
    for (size_t j = 0; j < now.size(); j++)
        if (!(*used)[j] && (kept[j] == v || (kept[j] < 0 && now[j].len == len))) {
            (*used)[j] = true;
            members.push_back(now[j]);
            if (now[j].len > len)
                hold_on(d, now[j], len, v);
        }
    place(d, v, make_chord(now.front().x, len, members));
}

// Deals the pieces starting at one time. Tied-in pieces go first to the voice they continue;
// the free pieces left make chords by length in the lowest free voices.
void deal_at(voice_dealer *d, const std::vector<ly_piece> &now) {
    std::vector<int> kept;
    for (const ly_piece &p : now)
        kept.push_back(kept_voice(*d->st, d->ends, p));
    std::vector<bool> used(now.size(), false);
    for (size_t i = 0; i < now.size(); i++)
        if (kept[i] >= 0 && !used[i])
            deal_tied_in(d, now, kept, &used, kept[i]);
    for (size_t i = 0; i < now.size(); i++) {
        if (used[i])
            continue;
        std::vector<ly_piece> members;
        for (size_t j = i; j < now.size(); j++)
            if (!used[j] && now[j].len == now[i].len) {
                used[j] = true;
                members.push_back(now[j]);
            }
        place(d, lowest_free_voice(d->ends, now[i].x), make_chord(now[i].x, now[i].len, members));
    }
}

std::vector<std::vector<ly_chord>> deal_measure(ly_staff *st, const measure *m, int track,
                                                int filter) {
    voice_dealer d{st, {}, {}, measure_pieces(m, track, filter)};
    while (!d.todo.empty()) {
        auto end = std::find_if(d.todo.begin(), d.todo.end(),
                                [&](const ly_piece &p) { return p.x != d.todo.front().x; });
        std::vector<ly_piece> now(d.todo.begin(), end);
        d.todo.erase(d.todo.begin(), end);
        deal_at(&d, now);
    }
    return std::move(d.voices);
}

ly_staff lay_out_staff(const engraver *e, int track, int filter) {
    ly_staff st;
    for (const measure *m : e->measures) {
        std::vector<std::vector<ly_chord>> voices = deal_measure(&st, m, track, filter);
        st.voices = std::max(st.voices, static_cast<int>(voices.size()));
        st.measures.push_back(std::move(voices));
    }
    st.voices = std::max(st.voices, 1);
    return st;
}

// --- writing the voices ---

bool note_tied_on(const ly_staff &st, const ly_chord &c, const note *n, int voice) {
    if (std::find(c.held.begin(), c.held.end(), n) != c.held.end())
        return true;
    if (!n->l_next || st.restruck.count(n->l_next))
        return false;
    auto it = st.voice_of.find(n->l_next);
    return it != st.voice_of.end() && it->second == voice;
}

// Whether the chord's note n, or a note doubling it, is tied on in the voice.
bool tied_on(const ly_staff &st, const ly_chord &c, const note *n, int voice) {
    if (note_tied_on(st, c, n, voice))
        return true;
    for (const note *d : c.doubled)
        if (d->pitch == n->pitch && note_tied_on(st, c, d, voice))
            return true;
    return false;
}

void write_chord(engraver *e, measure *m, const ly_staff &st, const ly_chord &c, int voice) {
    e->mark = begins_staccato(c) ? "-." : "";
    if (c.notes.size() == 1) {
        std::string name = note_name(m, c.notes[0]);
        write_values(e, m, name, name, c.x, c.len, true, tied_on(st, c, c.notes[0], voice));
        return;
    }
    std::string plain, last;
    for (const note *n : c.notes) {
        std::string name = note_name(m, n);
        plain += (plain.empty() ? "" : " ") + name;
        last += (last.empty() ? "" : " ") + name + (tied_on(st, c, n, voice) ? "~" : "");
    }
    write_values(e, m, "<" + plain + ">", "<" + last + ">", c.x, c.len, true, false);
}

void write_voice_measure(engraver *e, const ly_staff &st, size_t index, int voice) {
    measure *m = e->measures[index];
    const auto &voices = st.measures[index];
    // A measure without notes: an invisible spacer in the further voices, a whole-measure rest
    // in the first (as plain rests in a pickup, where LilyPond's R fails the bar check).
    static const std::vector<ly_chord> none;
    const std::vector<ly_chord> &chords =
        voice < static_cast<int>(voices.size()) ? voices[voice] : none;
    if (chords.empty() && (voice || !(index == 0 && e->pickup))) {
        put(e, (voice ? "s" : "R") + whole_fraction(m->len) + " |\n");
        return;
    }
    int at = 0;
    for (const ly_chord &c : chords) {
        if (c.x > at)
            write_values(e, m, "r", "r", at, c.x - at, false, false);
        write_chord(e, m, st, c, voice);
        at = c.x + c.len;
    }
    if (at < m->len)
        write_values(e, m, "r", "r", at, m->len - at, false, false);
    set_tuplet(e, 0);
    put(e, "|\n");
}

void write_staff(engraver *e, const ly_staff &st, const char *clef, const std::string &name) {
    put(e, "\\new Staff ");
    if (!name.empty())
        put(e, "\\with { instrumentName = " + quoted(name) + " } ");
    put(e, std::string("<< \\clef ") + clef + " \\global\n");
    if (!e->staves_written++)
        put(e, "\\tempi\n");
    for (int v = 0; v < st.voices; v++) {
        put(e, "\\new Voice { ");
        if (st.voices > 1)
            put(e, std::string(VOICE_STYLES[v % NAMED_VOICES]) + " ");
        put(e, "\n");
        for (size_t i = 0; i < e->measures.size(); i++)
            write_voice_measure(e, st, i, v);
        put(e, "}\n");
    }
    put(e, ">>\n");
}

void write_track(engraver *e, int track, int use) {
    std::string name = gm_instrument_name(e->s->tracks[track].patch);
    e->longest_name = std::max(e->longest_name, name.size());
    if (use != STAFF_BOTH) {
        write_staff(e, lay_out_staff(e, track, STAFF_BOTH), use == STAFF_BASS ? "bass" : "treble",
                    name);
        return;
    }
    put(e, "\\new PianoStaff \\with { instrumentName = " + quoted(name) + " } <<\n");
    write_staff(e, lay_out_staff(e, track, STAFF_TREBLE), "treble", "");
    write_staff(e, lay_out_staff(e, track, STAFF_BASS), "bass", "");
    put(e, ">>\n");
}

// --- the global voice and the tempo marks ---

void write_global(engraver *e) {
    put(e, "global = {\n");
    int num = 0, bit = 0, key = MAX_KEY + 1;
    for (size_t i = 0; i < e->measures.size(); i++) {
        const measure *m = e->measures[i];
        const measure *sig = i == 0 && e->pickup ? e->measures[1] : m;
        if (sig->num != num || sig->bit != bit)
            put(e, "\\time " + std::to_string(sig->num) + "/" + std::to_string(sig->bit) + " ");
        num = sig->num;
        bit = sig->bit;
        if (m->key != key)
            put(e, key_text(m->key));
        key = m->key;
        if (i == 0 && e->pickup)
            put(e, "\\partial " + whole_fraction(m->len) + " ");
        put(e, "s" + whole_fraction(m->len) + " |\n");
    }
    put(e, "}\n");
}

// The tempo at the start of every measure where it changes, and the changes inside measures.
void write_tempi(engraver *e) {
    put(e, "tempi = {\n");
    int tempo = -1;
    for (measure *m : e->measures) {
        int start = get_x_tempo(e->s, m, 0, 1), at = 0;
        if (start != tempo)
            put(e, "\\tempo 4 = " + std::to_string(start) + " ");
        tempo = start;
        for (const m_event *ev = m->m_events.head; ev; ev = ev->next) {
            if (ev->type != EVENT_TEMPO || ev->x <= at || ev->x >= m->len || ev->value == tempo)
                continue;
            put(e, "s" + whole_fraction(ev->x - at) + " \\tempo 4 = " + std::to_string(ev->value) +
                       " ");
            tempo = ev->value;
            at = ev->x;
        }
        put(e, "s" + whole_fraction(m->len - at) + " |\n");
    }
    put(e, "}\n");
}

void write_header(engraver *e) {
    put(e, std::string("\\version \"") + LY_VERSION + "\"\n");
    put(e, "#(set-default-paper-size " + quoted(ly_setup.paper.empty() ? "a4" : ly_setup.paper) +
               ")\n");
    put(e, SYSTEM_SPACING);
    put(e, "\\header {\n  title = " + quoted(ly_setup.title) + "\n");
    if (!ly_setup.subtitle.empty())
        put(e, "  subtitle = " + quoted(ly_setup.subtitle) + "\n");
    put(e, "  tagline = ##f\n}\n");
}

bool track_written(int track) {
    return track_shown(track) && (ly_setup.part < 0 || ly_setup.part == track);
}

void write_score(engraver *e) {
    write_header(e);
    write_global(e);
    write_tempi(e);
    put(e, "\\score {\n<<\n");
    int first = -1;
    for (int t = 0; t < e->s->track_num && t < MAX_TRACKS; t++) {
        if (!track_written(t))
            continue;
        int use = track_staff_use(e->s, t);
        if (first < 0)
            first = t;
        if (use != STAFF_NONE)
            write_track(e, t, use);
    }
    // A score without notes still gets one staff of rests, so the page shows its measures.
    if (!e->staves_written && first >= 0)
        write_track(e, first, STAFF_TREBLE);
    // The first system is indented so that the longest instrument name fits before it.
    int indent = static_cast<int>(INDENT_MM + NAME_CHAR_MM * static_cast<double>(e->longest_name));
    put(e, ">>\n\\layout { indent = " + std::to_string(indent) + "\\mm\n" + STAFF_SPACING +
               "}\n\\midi { }\n}\n");
}

} // namespace

int write_lilypond(const char *path, score *s) {
    output_file out;
    if (!open_output(&out, path))
        return 0;
    engraver e{};
    e.s = s;
    for (measure *m = s->measures.head; m; m = m->next) {
        validate_measure(m);
        e.measures.push_back(m);
    }
    e.pickup =
        e.measures.size() > 1 && e.measures[0]->len < e.measures[1]->len &&
        (e.measures[0]->num != e.measures[1]->num || e.measures[0]->bit != e.measures[1]->bit);
    if (!e.measures.empty())
        write_score(&e);
    std::fwrite(e.text.data(), 1, e.text.size(), out.fp);
    return finish_output(&out, 1);
}
