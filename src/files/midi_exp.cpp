// MIDI export. Every channel message goes through the player's channel fold and carries 7-bit
// data bytes only; tempi that cannot be converted (0 or below) are left out.
#include "files/midi_exp.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "files/file_support.h"
#include "files/midi_imp.h"
#include "model/midi_wire.h"
#include "model/d_malloc.h"

constexpr int MAX_TEMPO_VALUE = 0xFFFFFF; // a tempo meta event holds 24 bits
constexpr int MAX_PROGRAM = 127;
constexpr int MAX_PROGRAM_CHANNEL = 31;
constexpr unsigned char META = 0xFF;
constexpr unsigned char META_TEMPO = 0x51;
constexpr unsigned char META_TIME_SIG = 0x58;
constexpr unsigned char META_KEY_SIG = 0x59;
constexpr unsigned char META_END = 0x2F;
constexpr unsigned char CLOCKS_PER_CLICK = 0x78;
constexpr unsigned char THIRTY_SECONDS_PER_QUARTER = 0x02;
constexpr int MAX_SIGNATURE_BYTE = 255;

MIDI *makenew_midi() {
    MIDI *midi = static_cast<MIDI *>(raw_malloc(sizeof(MIDI)));
    if (!midi)
        return nullptr;
    std::memset(midi, 0, sizeof(MIDI));
    midi->divisions = MIDI_EXPORT_DIVISIONS;
    return midi;
}

int write_var_len(unsigned char *buffer, int value, int write) {
    unsigned char groups[4];
    int n = 0;
    unsigned v = static_cast<unsigned>(value) & MIDI_MAX_VAR_LEN;
    do {
        groups[n++] = static_cast<unsigned char>(v & 0x7F);
        v >>= 7;
    } while (v && n < 4);
    if (write)
        for (int i = 0; i < n; i++)
            buffer[i] = static_cast<unsigned char>(groups[n - 1 - i] | (i < n - 1 ? 0x80 : 0));
    return n;
}

int my_log2(int n) {
    unsigned v = n < 0 ? 0u - static_cast<unsigned>(n) : static_cast<unsigned>(n);
    int count = 0;
    while (v) {
        count++;
        v >>= 1;
    }
    return count ? count - 1 : 0;
}

int x_to_midi_time(int t) {
    return static_cast<int>(static_cast<int64_t>(t) * midi_divisions / TICKS_PER_QUARTER);
}

int get_first_tempo(measure *m) {
    for (m_event *e = m->m_events.head; e; e = e->next)
        if (e->type == EVENT_TEMPO)
            return e->x == 0 ? e->value : -1;
    return -1;
}

namespace {

// Where the bytes of one slot go: nowhere in the counting pass, into buf in the writing pass.
// last is the score tick of the last event written, from which the next delta is measured.
struct byte_sink {
    unsigned char *buf;
    int len;
    int write;
    int last;
};

void put(byte_sink *s, int byte) {
    if (s->write)
        s->buf[s->len] = static_cast<unsigned char>(byte);
    s->len++;
}

void put_delta(byte_sink *s, int tick) {
    int delta = tick > s->last ? x_to_midi_time(tick - s->last) : 0;
    s->len += write_var_len(s->write ? s->buf + s->len : nullptr, delta, s->write);
    if (tick > s->last)
        s->last = tick;
}

void put_tempo(byte_sink *s, int tick, int tempo) {
    if (tempo <= 0)
        return;
    int value = MICROSECONDS_PER_MINUTE / tempo;
    if (value > MAX_TEMPO_VALUE)
        value = MAX_TEMPO_VALUE;
    put_delta(s, tick);
    put(s, META);
    put(s, META_TEMPO);
    put(s, 3);
    put(s, value >> 16);
    put(s, value >> 8);
    put(s, value);
}

void put_time_signature(byte_sink *s, int tick, measure *m) {
    put_delta(s, tick);
    put(s, META);
    put(s, META_TIME_SIG);
    put(s, 4);
    put(s, m->num > MAX_SIGNATURE_BYTE ? MAX_SIGNATURE_BYTE : m->num);
    put(s, my_log2(m->bit));
    put(s, CLOCKS_PER_CLICK);
    put(s, THIRTY_SECONDS_PER_QUARTER);
}

void put_key_signature(byte_sink *s, int tick, measure *m) {
    put_delta(s, tick);
    put(s, META);
    put(s, META_KEY_SIG);
    put(s, 2);
    put(s, m->key & 0xFF);
    put(s, 0);
}

void put_end_of_track(byte_sink *s) {
    put(s, 0);
    put(s, META);
    put(s, META_END);
    put(s, 0);
}

void put_note(byte_sink *s, int tick, int status, int channel, int pitch, int velocity) {
    put_delta(s, tick);
    put(s, status + midi_channel(channel));
    put(s, midi_data(pitch + KEY_OF_MIDDLE_C));
    put(s, midi_data(velocity));
}

} // namespace

int write_meta_event(score *sc, measure *start, unsigned char *buffer, int write) {
    byte_sink s = {buffer, 0, write, 0};
    if (get_first_tempo(start) <= 0) {
        int tempo = get_measure_tempo(sc, start);
        if (tempo > 0) {
            if (write)
                file_trace("write first tempo event\n");
            put_tempo(&s, 0, tempo);
        }
    }
    int sum = 0;
    for (measure *m = start, *prev = nullptr; m; prev = m, m = m->next) {
        if (!prev || m->num != prev->num || m->bit != prev->bit)
            put_time_signature(&s, sum, m);
        if (!prev || m->key != prev->key)
            put_key_signature(&s, sum, m);
        for (m_event *e = m->m_events.head; e; e = e->next)
            if (e->type == EVENT_TEMPO)
                put_tempo(&s, sum + e->x, e->value);
        sum += m->len;
    }
    put_end_of_track(&s);
    return s.len;
}

namespace {

midi_note *find_pending(midi_note_list *pending, int pitch) {
    for (midi_note *p = pending->head; p; p = p->next)
        if (p->pitch == pitch)
            return p;
    return nullptr;
}

void add_pending(midi_note_list *pending, int pitch, int start, int end) {
    midi_note *p = new_midi_note();
    p->pitch = pitch;
    p->start = start;
    p->time = end;
    _insert_sorted_midi_note_list(pending, p, midi_note_comp);
}

// Writes the note-offs due at or before tick, earliest first.
void flush_pending(byte_sink *s, midi_note_list *pending, int tick, int channel) {
    while (pending->head && (tick < 0 || pending->head->time <= tick)) {
        midi_note *p = pending->head;
        put_note(s, p->time, STATUS_NOTE_OFF, channel, p->pitch, 0);
        _delete_midi_note_list(pending, p, nullptr);
    }
}

// One note: a fresh key sounds; a key still sounding from earlier is ended and struck again,
// lasting to the later end; a key struck at the same tick is merged into one note.
void render_note(byte_sink *s, midi_note_list *pending, note *n, int start, int channel) {
    int end = start + sounding_len(n);
    flush_pending(s, pending, start, channel);
    midi_note *p = find_pending(pending, n->pitch);
    if (!p) {
        add_pending(pending, n->pitch, start, end);
        put_note(s, start, STATUS_NOTE_ON, channel, n->pitch, n->volume);
    } else if (p->start < start) {
        if (p->time > end)
            end = p->time;
        put_note(s, start, STATUS_NOTE_OFF, channel, p->pitch, 0);
        _delete_midi_note_list(pending, p, nullptr);
        add_pending(pending, n->pitch, start, end);
        put_note(s, start, STATUS_NOTE_ON, channel, n->pitch, n->volume);
    } else {
        _unlink_midi_note_list(pending, p);
        p->start = start;
        if (end > p->time)
            p->time = end;
        _insert_sorted_midi_note_list(pending, p, midi_note_comp);
    }
}

// A note to render: its first piece and its start in ticks from the rendering's start.
struct track_note {
    note *n;
    int start;
};
typedef std::vector<track_note> track_notes;

// Gathers the notes of one track (or of every track when track is negative, into by_track)
// in one walk over the score, in score order.
void collect_notes(measure *start, int track, track_notes *by_track) {
    int sum = 0;
    for (measure *m = start; m; m = m->next) {
        for (note *n = m->notes.head; n; n = n->next) {
            bool wanted = track < 0 ? n->track >= 0 && n->track < MAX_TRACKS : n->track == track;
            if (wanted && !n->rest && !n->l_prev)
                by_track[track < 0 ? n->track : 0].push_back({n, sum + n->x});
        }
        sum += m->len;
    }
}

int write_track(const track_info_t &ti, const track_notes &notes, unsigned char *buffer,
                int write) {
    byte_sink s = {buffer, 0, write, 0};
    if (ti.channel <= MAX_PROGRAM_CHANNEL) {
        if (write)
            file_trace("channel:%d,patch:%d\n", ti.channel, ti.patch);
        // The percussion kit (128) and anything else outside 0..127 has no program number.
        if (ti.patch >= 0 && ti.patch <= MAX_PROGRAM) {
            put(&s, 0);
            put(&s, STATUS_PROGRAM + midi_channel(ti.channel));
            put(&s, ti.patch);
        }
    }
    midi_note_list pending;
    init_midi_note_list(&pending);
    for (const track_note &t : notes)
        render_note(&s, &pending, t.n, t.start, ti.channel);
    flush_pending(&s, &pending, -1, ti.channel);
    _destroy_midi_note_list(&pending, nullptr);
    put_end_of_track(&s);
    return s.len;
}

} // namespace

int write_midi_event(score *s, measure *start, unsigned char *buffer, int write, int track) {
    track_notes notes;
    collect_notes(start, track, &notes);
    return write_track(s->tracks[track], notes, buffer, write);
}

namespace {

int score_ticks_from(measure *start) {
    int64_t sum = 0;
    for (measure *m = start; m; m = m->next)
        sum += m->len;
    return sum > INT32_MAX ? INT32_MAX : static_cast<int>(sum);
}

// Counts a slot, allocates it and writes it: the meta events when notes is null, else the
// given notes of track. Returns 1, or 0 when the buffer cannot be had.
int render_slot(score *s, MIDI *midi, int slot, measure *start, const track_notes *notes,
                int track) {
    int len = notes ? write_track(s->tracks[track], *notes, nullptr, 0)
                    : write_meta_event(s, start, nullptr, 0);
    unsigned char *data = static_cast<unsigned char *>(raw_malloc(static_cast<size_t>(len)));
    if (!data)
        return 0;
    if (notes)
        write_track(s->tracks[track], *notes, data, 1);
    else
        write_meta_event(s, start, data, 1);
    if (midi->track[slot].data)
        raw_free(midi->track[slot].data);
    midi->track[slot].data = data;
    midi->track[slot].len = len;
    return 1;
}

} // namespace

int plinkel_midi_write_to_memory(score *s, measure *start, MIDI *midi, int mode) {
    if (!start || !midi)
        return 0;
    midi_divisions = midi->divisions;
    // Every delta is at most the length of the rendering, which must fit a variable length.
    if (static_cast<int64_t>(score_ticks_from(start)) * midi_divisions / TICKS_PER_QUARTER >
        MIDI_MAX_VAR_LEN) {
        file_message("The score is too long for a MIDI file.");
        return 0;
    }
    // One walk sorts the notes by track; each track is then counted and written from its list
    // instead of walking the whole score twice per track.
    std::vector<track_notes> by_track(MAX_TRACKS);
    collect_notes(start, -1, by_track.data());
    int ok = render_slot(s, midi, 0, start, nullptr, -1);
    for (int i = 0; i < s->track_num && i < MAX_TRACKS; i++) {
        if (mode != 0 && s->tracks[i].mute)
            continue;
        if (i + 1 >= MIDI_TRACKS) {
            if (mode == 0)
                file_message("Track %d cannot be written: a MIDI file holds %d tracks at most.",
                             i + 1, MIDI_TRACKS - 1);
            ok = 0;
            continue;
        }
        if (!render_slot(s, midi, i + 1, start, &by_track[i], i))
            ok = 0;
    }
    return ok;
}

int midi_score_tracks(const MIDI *midi) {
    int count = 0;
    for (int i = 1; i < MIDI_TRACKS; i++)
        if (midi->track[i].len > 0)
            count++;
    return count;
}

int export_midi(MIDI *midi, const char *path) {
    errno = 0;
    output_file out;
    if (!open_output(&out, path))
        return 0;
    PACKFILE *f = pack_from_stdio(out.fp, 0);
    if (!f)
        return finish_output(&out, 0);
    int used = 0;
    for (int i = 0; i < MIDI_TRACKS; i++)
        if (midi->track[i].len > 0)
            used++;
    int ok = pack_fputs("MThd", f) == 0;
    pack_mputl(6, f);
    pack_mputw(1, f);
    pack_mputw(used, f);
    pack_mputw(midi->divisions, f);
    for (int i = 0; i < MIDI_TRACKS && ok; i++) {
        if (midi->track[i].len <= 0)
            continue;
        ok = pack_fputs("MTrk", f) == 0;
        pack_mputl(midi->track[i].len, f);
        if (pack_fwrite(midi->track[i].data, midi->track[i].len, f) != midi->track[i].len)
            ok = 0;
    }
    if (pack_ferror(f))
        ok = 0;
    if (pack_fclose(f) != 0)
        ok = 0;
    return finish_output(&out, ok);
}
