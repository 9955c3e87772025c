// The .seq reader and writer. The reader parses into a staging area (its own measure list, track
// table, tempo and track count) and touches the score only once the whole file has been
// accepted, so a refused file leaves it as it was. Notes and events are appended as they come
// and each measure sorted once, and the size of the split score is checked before it is made.
#include "files/fileio.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>

#include "model/note_order.h"
#include "model/pitch.h"
#include "model/tie.h"
#include "model/voice.h"

constexpr int SEQ_MAX_NUMBERS = 7;
constexpr int SEQ_STACCATO = 1; // the optional seventh number of a note line

namespace {

// The text of one record: the keyword and its numbers, blank-separated, and the line end.
// std::to_chars instead of fprintf keeps the text of a large score within a few milliseconds.
constexpr int RECORD_SIZE = 128; // a keyword and at most seven numbers of eleven characters

void append_record(std::string *out, const char *keyword, std::initializer_list<int> numbers) {
    char line[RECORD_SIZE];
    size_t k = std::strlen(keyword);
    std::memcpy(line, keyword, k);
    char *p = line + k;
    for (int v : numbers) {
        *p++ = ' ';
        p = std::to_chars(p, line + RECORD_SIZE, v).ptr;
    }
    *p++ = '\n';
    out->append(line, static_cast<size_t>(p - line));
}

// A staccato note adds a seventh number; any other note line stays as it has always been.
void append_note(std::string *out, const note *n) {
    if (n->staccato)
        append_record(
            out, "n",
            {n->x, n->pos.y, n->accidental, n->total_len, n->track, n->volume, SEQ_STACCATO});
    else
        append_record(out, "n", {n->x, n->pos.y, n->accidental, n->total_len, n->track, n->volume});
}

} // namespace

void seq_text(score *s, std::string *out) {
    append_record(out, "vudiz", {SEQ_VERSION});
    append_record(out, "tempo", {s->default_tempo});
    append_record(out, "num_track", {s->track_num});
    for (int i = 0; i < s->track_num && i < MAX_TRACKS; i++)
        append_record(out, "track",
                      {i, s->tracks[i].channel, s->tracks[i].patch, s->tracks[i].active ? -1 : 0});
    for (measure *m = s->measures.head; m; m = m->next) {
        append_record(out, "m", {m->key, m->num, m->bit});
        for (note *n = m->notes.head; n; n = n->next)
            if (!n->rest && !n->l_prev)
                append_note(out, n);
        for (m_event *e = m->m_events.head; e; e = e->next)
            append_record(out, "t", {e->x, e->value});
    }
}

int writefile(const char *path, score *s) {
    output_file out;
    if (!open_output(&out, path))
        return 0;
    std::string text;
    seq_text(s, &text);
    int ok = std::fwrite(text.data(), 1, text.size(), out.fp) == text.size();
    return finish_output(&out, ok);
}

namespace {

// Everything a file sets, kept aside until the file has been read to its end.
struct seq_reader {
    const char *path;
    int line_no;
    int version;
    int tempo;
    int track_count;
    track_info_t tracks[MAX_TRACKS];
    bool track_named[MAX_TRACKS]; // set by a track line of the file
    measure_list measures;
    measure *current;
    int64_t notes; // notes and tempo events read so far, each checked against its limit
    int64_t events;
};

// Reads up to max decimal integers separated by blanks; returns how many were read. A number
// that does not fit an int ends the reading.
int parse_ints(const char *s, int *out, int max) {
    int count = 0;
    while (count < max) {
        char *end = nullptr;
        errno = 0;
        long v = std::strtol(s, &end, 10);
        if (end == s || errno == ERANGE || v < INT_MIN || v > INT_MAX)
            break;
        out[count++] = static_cast<int>(v);
        s = end;
    }
    return count;
}

int refuse(seq_reader *r, const char *why) {
    file_message("%s: line %d: %s", r->path, r->line_no, why);
    return 0;
}

int refuse_limit(seq_reader *r, const char *what, int64_t limit) {
    file_message("%s: line %d: more than %lld %s, the limit of a score", r->path, r->line_no,
                 static_cast<long long>(limit), what);
    return 0;
}

int in_range(int v, int lo, int hi) {
    return v >= lo && v <= hi;
}

int read_version(seq_reader *r, const int *v, int count) {
    if (count < 1)
        return refuse(r, "version number missing");
    if (v[0] < SEQ_OLDEST_VERSION) {
        file_message("old seq file ver(%d)", v[0]);
        return 0;
    }
    r->version = v[0];
    return 1;
}

int read_track_count(seq_reader *r, const int *v, int count) {
    if (count < 1 || !in_range(v[0], 1, MAX_TRACKS))
        return refuse(r, "number of tracks missing or out of range");
    r->track_count = v[0];
    return 1;
}

int read_track(seq_reader *r, const int *v, int count) {
    if (count < 4)
        return refuse(r, "track line needs four numbers");
    if (!in_range(v[0], 0, MAX_TRACKS - 1))
        return refuse(r, "track number out of range");
    if (!in_range(v[1], INT16_MIN, INT16_MAX) || !in_range(v[2], INT16_MIN, INT16_MAX))
        return refuse(r, "track channel or patch out of range");
    track_info_t &ti = r->tracks[v[0]];
    ti.channel = static_cast<int16_t>(v[1]);
    ti.patch = static_cast<int16_t>(v[2]);
    ti.active = v[3] & 1;
    r->track_named[v[0]] = true;
    return 1;
}

int read_measure(seq_reader *r, const int *v, int count) {
    if (count < 3)
        return refuse(r, "measure line needs three numbers");
    int key = v[0], num = v[1], bit = v[2];
    if (num < 1 || bit < 1 || !in_range(key, -SEQ_MAX_KEY, SEQ_MAX_KEY) || num > INT16_MAX ||
        bit > INT16_MAX)
        return refuse(r, "time or key signature out of range");
    long len = static_cast<long>(num) * TICKS_PER_WHOLE / bit;
    if (len < 1 || len > INT16_MAX)
        return refuse(r, "measure length out of range");
    if (r->measures.num >= SCORE_MAX_MEASURES)
        return refuse_limit(r, "measures", SCORE_MAX_MEASURES);
    measure *m = new_measure();
    _append_measure_list(&r->measures, m);
    set_measure(m, num, bit, key);
    r->current = m;
    return 1;
}

int read_note(seq_reader *r, const int *v, int count) {
    if (!r->current) {
        file_trace("read error\n");
        return refuse(r, "note before any measure");
    }
    int with_volume = r->version >= SEQ_VERSION;
    if (count < (with_volume ? 6 : 5))
        return refuse(r, "note line has too few numbers");
    int x = v[0], pos_y = v[1], acc = v[2], len = v[3], track = v[4];
    int volume = with_volume ? v[5] : 127;
    int staccato = with_volume && count > 6 ? v[6] : 0;
    measure *m = r->current;
    if (!in_range(x, 0, m->len - 1))
        return refuse(r, "note starts outside its measure");
    if (!in_range(len, 1, SEQ_MAX_NOTE_LEN))
        return refuse(r, "note length out of range");
    if (!in_range(track, 0, MAX_TRACKS - 1))
        return refuse(r, "note track out of range");
    if (!in_range(pos_y, -SEQ_MAX_STAFF_POS, SEQ_MAX_STAFF_POS) || !in_range(acc, -2, 2) ||
        !in_range(volume, 0, 127))
        return refuse(r, "note pitch or velocity out of range");
    if (!in_range(staccato, 0, SEQ_STACCATO))
        return refuse(r, "note staccato mark is neither 0 nor 1");
    if (++r->notes > SCORE_MAX_PIECES)
        return refuse_limit(r, "notes", SCORE_MAX_PIECES);
    note *n = new_note();
    n->x = x;
    n->len = n->total_len = static_cast<int16_t>(len);
    n->track = static_cast<int8_t>(track);
    n->volume = static_cast<uint8_t>(volume);
    n->staccato = staccato;
    set_note_pos(m->key, n, pos_y, acc, 0);
    _append_note_list(&m->notes, n); // sorted once the file has been read
    return 1;
}

int read_tempo_event(seq_reader *r, const int *v, int count) {
    if (!r->current)
        return refuse(r, "tempo event before any measure");
    if (count < 2)
        return refuse(r, "tempo event needs two numbers");
    if (!in_range(v[0], 0, r->current->len - 1))
        return refuse(r, "tempo event outside its measure");
    if (++r->events > SCORE_MAX_EVENTS)
        return refuse_limit(r, "tempo events", SCORE_MAX_EVENTS);
    m_event *e = new_m_event();
    e->type = EVENT_TEMPO;
    e->x = v[0];
    e->value = v[1];
    _append_m_event_list(&r->current->m_events, e); // sorted once the file has been read
    return 1;
}

int read_start_tempo(seq_reader *r, const int *v, int count) {
    if (count < 1)
        return refuse(r, "tempo line needs a number");
    r->tempo = v[0];
    return 1;
}

int is_measure_keyword(const char *w) {
    return !std::strcmp(w, "m") || !std::strcmp(w, "measure") || !std::strcmp(w, "syllable");
}

// One line: the first word chooses the record; unknown words are ignored. Returns 0 to refuse.
int read_line(seq_reader *r, const char *line) {
    while (*line == ' ' || *line == '\t')
        line++;
    size_t wlen = std::strcspn(line, " \t\r\n");
    if (wlen == 0 || wlen >= SEQ_KEYWORD_SIZE)
        return 1;
    char word[SEQ_KEYWORD_SIZE];
    std::memcpy(word, line, wlen);
    word[wlen] = '\0';
    int v[SEQ_MAX_NUMBERS];
    int count = parse_ints(line + wlen, v, SEQ_MAX_NUMBERS);
    if (!std::strcmp(word, "num_track"))
        return read_track_count(r, v, count);
    if (!std::strcmp(word, "vudiz"))
        return read_version(r, v, count);
    if (!std::strcmp(word, "track"))
        return read_track(r, v, count);
    if (is_measure_keyword(word))
        return read_measure(r, v, count);
    if (!std::strcmp(word, "n"))
        return read_note(r, v, count);
    if (!std::strcmp(word, "tempo"))
        return read_start_tempo(r, v, count);
    if (!std::strcmp(word, "t"))
        return read_tempo_event(r, v, count);
    return 1;
}

// Reads every line; a line longer than one read keeps its first part and drops the rest.
int read_lines(seq_reader *r, FILE *fp) {
    char buf[SEQ_LINE_SIZE];
    while (std::fgets(buf, sizeof buf, fp)) {
        r->line_no++;
        if (!std::strchr(buf, '\n')) {
            int c;
            while ((c = std::fgetc(fp)) != EOF && c != '\n') {
            }
        }
        if (!read_line(r, buf))
            return 0;
    }
    if (std::ferror(fp))
        return refuse(r, "read failed");
    if (!r->measures.head)
        return refuse(r, "no measure in the file");
    for (measure *m = r->measures.head; m; m = m->next)
        sort_measure_elements(m);
    return score_size_acceptable(r->path, r->measures.head);
}

// A file whose notes name tracks beyond its track count (a misspelt or missing num_track line)
// is read with as many tracks as its notes need, so that no note is lost; the added tracks keep
// what track lines of the file say and otherwise start as new tracks.
void cover_note_tracks(seq_reader *r) {
    int highest = -1;
    for (measure *m = r->measures.head; m; m = m->next)
        for (note *n = m->notes.head; n; n = n->next)
            highest = std::max(highest, static_cast<int>(n->track));
    if (highest < r->track_count)
        return;
    file_message("%s: notes name track %d beyond the %d tracks counted; read with %d tracks",
                 r->path, highest, r->track_count, highest + 1);
    for (int t = r->track_count; t <= highest; t++)
        if (!r->track_named[t])
            r->tracks[t] = new_track(t);
    r->track_count = highest + 1;
}

} // namespace

int readfile(const char *path, score *s) {
    FILE *fp = std::fopen(path, "r");
    if (!fp)
        return 0;
    if (!file_size_acceptable(path, fp)) {
        std::fclose(fp);
        return 0;
    }
    seq_reader r;
    r.path = path;
    r.line_no = 0;
    r.version = SEQ_VERSION; // a file without a version line is read as the current one
    r.tempo = s->default_tempo;
    r.track_count = s->track_num;
    for (int i = 0; i < MAX_TRACKS; i++) {
        r.tracks[i] = s->tracks[i];
        r.track_named[i] = false;
    }
    init_measure_list(&r.measures);
    r.current = nullptr;
    r.notes = r.events = 0;
    int ok = read_lines(&r, fp);
    std::fclose(fp);
    if (!ok) {
        _destroy_measure_list(&r.measures, destroy_measure);
        return 0;
    }
    cover_note_tracks(&r);
    commit_read_score(s, r.measures, r.tempo, r.track_count, r.tracks);
    check_read_score(s, "reading a .seq file");
    return 1;
}
