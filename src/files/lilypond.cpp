// LilyPond export. Validation gives every note a voice slot shared by all tracks of a measure;
// the writer numbers the slots of each track per measure (its own voices 0, 1, ...), averages
// the pitch of each such voice over the score to choose its staff, and writes each voice as a
// sequence of measures, every one closed by a bar check so LilyPond verifies its length.
#include "files/lilypond.h"

#include <cstdio>

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
constexpr int LY_WRITE_BUFFER = 1 << 16;
constexpr int PLAIN_FACTOR = 3;
constexpr int WHOLE_DENOMINATOR = 1;

// The voice slots of one track in one measure, ascending: slot[k] holds the track's voice k.
struct voice_slots {
    int slot[MAX_VOICE_SLOTS];
    int n;
};

// Every voice starts at tick 0, with its first note or the rests before it, so the elements
// at the head of the list name them all.
void get_voice_slots(measure *m, int track, voice_slots *vs) {
    vs->n = 0;
    for (note *n = m->notes.head; n && n->x == 0; n = n->next) {
        if (n->track != track)
            continue;
        int i = vs->n;
        while (i > 0 && vs->slot[i - 1] > n->voice)
            i--;
        if (i > 0 && vs->slot[i - 1] == n->voice)
            continue;
        for (int k = vs->n; k > i; k--)
            vs->slot[k] = vs->slot[k - 1];
        vs->slot[i] = n->voice;
        vs->n++;
    }
}

int voice_rank(const voice_slots *vs, int slot) {
    for (int i = 0; i < vs->n; i++)
        if (vs->slot[i] == slot)
            return i;
    return -1;
}

// Later pieces of a note inside one measure take no slot of their own: they sound in the
// slot of the piece that opened the note in this measure.
int note_voice(const note *n) {
    while (n->l_prev && n->x > 0)
        n = n->l_prev;
    return n->voice;
}

// Steps a and b: the track's voice count; voice_length, average_pitch and the staff lists.
int average_track_voices(score *s, int track) {
    for (int v = 0; v < MAX_VOICE_SLOTS; v++)
        voice_length[v] = average_pitch[v] = 0;
    int count = 0;
    voice_slots vs;
    for (measure *m = s->measures.head; m; m = m->next) {
        get_voice_slots(m, track, &vs);
        for (note *n = m->notes.head; n; n = n->next) {
            int v = n->track == track && !n->rest ? voice_rank(&vs, note_voice(n)) : -1;
            if (v < 0)
                continue;
            voice_length[v] += n->len;
            average_pitch[v] += static_cast<double>(n->pitch) * n->len;
            if (v + 1 > count)
                count = v + 1;
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

struct ly_writer {
    FILE *fp;
    score *s;
    int track;
    int in_tuplet; // a \tuplet 3/2 group is open
    int counted;   // elements written for the current voice
};

void set_tuplet(ly_writer *w, int on) {
    if (on == w->in_tuplet)
        return;
    std::fputs(on ? "\\tuplet 3/2 { " : "} ", w->fp);
    w->in_tuplet = on;
}

// A value standing for more ticks than the piece lasts (the lone tick) is scaled down to it.
const char *piece_duration(const notation_piece *p) {
    static char text[TEXT_SIZE];
    int nominal = notation_nominal_ticks(p);
    if (p->ticks == nominal)
        return _get_duration_output(p->ticks);
    std::snprintf(text, sizeof text, "%s*%d/%d", _get_duration_output(p->ticks), p->ticks, nominal);
    return text;
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
        std::fprintf(w->fp, "%s%s%s ", name, piece_duration(&p), tie ? "~" : "");
    }
}

// A note is tied to its next piece when that piece sounds in the same written voice: always
// inside the measure, and across the bar line when the next measure gives it the same number.
bool tied_on(ly_writer *w, measure *m, const note *n, int voice) {
    if (!n->l_next)
        return false;
    if (n->l_next->x > 0)
        return true;
    if (!m->next)
        return false;
    voice_slots vs;
    get_voice_slots(m->next, w->track, &vs);
    return voice_rank(&vs, n->l_next->voice) == voice;
}

void write_element(ly_writer *w, measure *m, const note *n, int voice) {
    if (n->rest) {
        write_values(w, m, "r", n->x, n->len, false, false);
        return;
    }
    int accidental = 0, step = 0, octave = 0;
    get_pitch7(n->pitch, 0, &accidental, &step, &octave);
    char name[TEXT_SIZE];
    std::snprintf(name, sizeof name, "%s%s%s", table_7_to_a[step], get_prefix_output(accidental),
                  get_octave_output(octave));
    file_trace("%d,%d,%d \n", n->pitch, octave, step);
    write_values(w, m, name, n->x, n->len, true, tied_on(w, m, n, voice));
}

void write_voice_measure(ly_writer *w, measure *m, int voice) {
    if (m->prev && (m->prev->num != m->num || m->prev->bit != m->bit))
        std::fprintf(w->fp, "\\time %d/%d ", m->num, m->bit);
    voice_slots vs;
    get_voice_slots(m, w->track, &vs);
    if (voice >= vs.n) {
        write_values(w, m, "r", 0, m->len, false, false);
    } else {
        for (note *n = m->notes.head; n; n = n->next)
            if (n->track == w->track && note_voice(n) == vs.slot[voice]) {
                write_element(w, m, n, voice);
                w->counted++;
            }
    }
    set_tuplet(w, 0);
    std::fputs("|\n", w->fp);
}

// Steps c and d: one staff with its clef, the first time signature and its voices.
void write_staff(ly_writer *w, const char *clef, const int *voices, int n_voices) {
    measure *first = w->s->measures.head;
    std::fprintf(w->fp, "\\new Staff<<\\clef %s\n", clef);
    std::fprintf(w->fp, "\\time\t%d/%d\n", first ? first->num : default_num,
                 first ? first->bit : default_bit);
    for (int i = 0; i < n_voices; i++) {
        if (i > 0)
            std::fputs("\\\\\n", w->fp);
        std::fputs("{", w->fp);
        w->counted = 0;
        for (measure *m = w->s->measures.head; m; m = m->next)
            write_voice_measure(w, m, voices[i]);
        std::fputs("}\n", w->fp);
        if (!w->counted)
            break;
    }
    std::fputs(">>\n", w->fp);
}

void write_track(ly_writer *w, int track) {
    w->track = track;
    assign_staves(average_track_voices(w->s, track));
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
    std::snprintf(text, sizeof text, "%d%s", denominator, dots ? "." : "");
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

int find_voice(measure *m, int track, int voice) {
    voice_slots vs;
    get_voice_slots(m, track, &vs);
    return voice >= 0 && voice < vs.n;
}

int write_lilypond(const char *path, score *s) {
    for (measure *m = s->measures.head; m; m = m->next)
        validate_measure(m);
    output_file out;
    if (!open_output(&out, path))
        return 0;
    std::setvbuf(out.fp, nullptr, _IOFBF, LY_WRITE_BUFFER);
    ly_writer w = {out.fp, s, 0, 0, 0};
    std::fputs(" \\score {\n<<\n", out.fp);
    for (int t = 0; t < track_num && t < MAX_TRACKS; t++)
        write_track(&w, t);
    std::fputs(">>\n}\n", out.fp);
    return finish_output(&out, 1);
}
