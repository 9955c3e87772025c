// MIDI byte senders, reference-counted sounding of keys, the play-unit clock and the foreground
// player: a busy loop on the main thread that starts and stops notes as the clock reaches them.
#include "playback/sound.h"

#include <algorithm>
#include <allegro.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "base/clock.h"

channel_status_t channel_status[CHANNEL_ROWS][MIDI_KEYS];

midi_send_function midi_send = midi_out;
// The editor's thread and the MIDI keyboard's thread both send; the library hands a message to
// its driver byte by byte, so two senders at once would interleave their bytes.
static std::mutex send_lock;

void send_midi(unsigned char *bytes, int count) {
    std::lock_guard<std::mutex> hold(send_lock);
    midi_send(bytes, count);
}

thread_local double midi_send_lateness = 0.0;

constexpr int CONTROL_PAN = 10;

static unsigned char status_byte(int kind, int channel) {
    return static_cast<unsigned char>(kind + midi_channel(channel));
}

static unsigned char data_byte(int value) {
    return static_cast<unsigned char>(midi_data(value));
}

void set_patch(int channel, int program) {
    // The percussion kit lives on channel 9 by itself: there is no program to choose.
    if (program >= PERCUSSION_PATCH)
        return;
    unsigned char bytes[] = {status_byte(STATUS_PROGRAM, channel), data_byte(program)};
    send_midi(bytes, 2);
}

void set_pan(int channel, int pan) {
    unsigned char bytes[] = {status_byte(STATUS_CONTROL, channel), CONTROL_PAN, data_byte(pan / 2)};
    send_midi(bytes, 3);
}

void _note_on(int channel, int key, int velocity) {
    unsigned char bytes[] = {status_byte(STATUS_NOTE_ON, channel), data_byte(key),
                             data_byte(velocity)};
    send_midi(bytes, 3);
}

void _note_off(int channel, int key) {
    unsigned char bytes[] = {status_byte(STATUS_NOTE_OFF, channel), data_byte(key), 0};
    send_midi(bytes, 3);
}

// The counts are kept per wire channel (after folding) and key 0..127; other keys cannot sound.
static channel_status_t *status_cell(int channel, int key) {
    if (key < 0 || key >= MIDI_KEYS)
        return nullptr;
    return &channel_status[midi_channel(channel)][key];
}

void note_on(int channel, int key, int velocity) {
    channel_status_t *cell = status_cell(channel, key);
    if (!cell)
        return;
    if (cell->count <= 0) {
        cell->count = 0;
        _note_on(channel, key, velocity);
    } else if (get_tick() - cell->last_on > RESTRIKE_MS) {
        _note_off(channel, key);
        _note_on(channel, key, velocity);
    }
    cell->count++;
    cell->last_on = get_tick();
}

void note_off(int channel, int key) {
    channel_status_t *cell = status_cell(channel, key);
    if (!cell)
        return;
    if (--cell->count <= 0) {
        cell->count = 0;
        _note_off(channel, key);
    }
}

void init_channel_status() {
    for (int channel = 0; channel < MIDI_CHANNELS; channel++)
        set_pan(channel, PAN_CENTRE);
    for (auto &row : channel_status)
        for (channel_status_t &cell : row)
            cell.count = 0;
}

void send_track_patches() {
    for (int i = 0; i < g_score.track_num; i++)
        set_patch(g_score.tracks[i].channel, g_score.tracks[i].patch);
}

// ---- The list of sounding notes ----

playing_item playing;
playing_item playing_item_garbage;
void *(*playing_item_alloc)(size_t size) = std::malloc;

// Leaving the list of sounding notes releases the key; the links are the list family's.
static void release_key(playing_item *item) {
    note_off(item->channel, item->key);
}

playing_item *new_playing_item() {
    playing_item *item = playing_item_garbage.next;
    if (item)
        list_family::unlink(item);
    else
        item = static_cast<playing_item *>(playing_item_alloc(sizeof(playing_item)));
    if (item)
        *item = playing_item{};
    return item;
}

void insert_playing_item(playing_item *position, playing_item *item) {
    list_family::insert_after(position, item);
    note_on(item->channel, item->key, item->velocity);
}

void insert_sorted_playing_item_list(playing_item *head, playing_item *item) {
    playing_item *position = head;
    while (position->next && position->next->end < item->end)
        position = position->next;
    insert_playing_item(position, item);
}

void _cast_playing_item(playing_item *item) {
    list_family::unlink(item);
    release_key(item);
    list_family::insert_after(&playing_item_garbage, item);
}

void _delete_playing_item(playing_item *item) {
    list_family::kill(item, release_key);
}

void kill_playing_item_list(playing_item *first) {
    if (first)
        list_family::kill_chain(first, release_key);
}

// ---- The play-unit clock ----

int ref_i, base_i, base_o, ref_o, midi_timer_tempo = INITIAL_MIDI_TEMPO;

void init_midi_timer() {
    ref_o = base_o = base_i = 0;
    get_time2(&ref_i, 1);
    midi_timer_tempo = INITIAL_MIDI_TEMPO;
}

int get_midi_time(int reset) {
    int ti = get_time2(&ref_i, reset);
    int d = ti - base_i;
    if (d < 0)
        std::printf("dti<0:ti:%d,bi:%d,bo:%d\n", ti, base_i, base_o);
    int t = base_o + midi_timer_tempo * d / TEMPO_DIVISOR;
    if (reset) {
        ref_o += t;
        base_i = 0;
        base_o = 0;
    }
    return t;
}

int get_midi_tick() {
    return ref_o + get_midi_time(0);
}

void set_midi_timer(int tempo) {
    base_o = get_midi_time(0);
    base_i = get_time2(&ref_i, 0);
    // A tempo of 0 or less would stop the clock, and the player would never reach the end.
    midi_timer_tempo = tempo < 1 ? 1 : tempo;
}

int ticks_to_play_units(int ticks) {
    return ticks * PLAY_UNITS_PER_WHOLE / TICKS_PER_WHOLE;
}

int measure_play_units(measure *m) {
    return m->bit > 0 ? m->num * PLAY_UNITS_PER_WHOLE / m->bit : 0;
}

// ---- The foreground player ----

static int audition_tick;

static void enter_measure(player_state *state, measure *m) {
    state->m = m;
    state->length = measure_play_units(m);
    state->t = 0;
    state->event = m->m_events.head;
    state->next = m->notes.head;
    state->click = 0;
}

// Enters the measure of spot with the clock standing at the spot: the notes and clicks before
// it are passed over, and the next pass applies the tempo events up to it.
static void enter_spot(player_state *state, play_spot spot) {
    enter_measure(state, spot.m);
    set_midi_timer(get_measure_tempo(state->s, spot.m));
    while (state->next && state->next->x < spot.tick)
        state->next = state->next->next;
    state->click = first_click_from(spot.m, spot.tick);
    int units = ticks_to_play_units(spot.tick);
    base_o += units;
    ref_o -= units;
}

// The count-in: one measure of the start's signature and tempo, clicks and nothing else.
static void enter_count_in(player_state *state) {
    enter_measure(state, state->from.m);
    state->event = nullptr;
    state->next = nullptr;
    set_midi_timer(tempo_at(state->s, state->from));
}

static void start_playing_with(player_state *state, score *s, play_spot from,
                               const play_options_t &options) {
    playing.next = playing.prev = nullptr;
    playing_item_garbage.next = playing_item_garbage.prev = nullptr;
    init_channel_status();
    send_track_patches();
    init_midi_timer();
    get_midi_time(1);
    state->s = s;
    state->looping = options.loop && loop_from_selection(s, &state->loop);
    // Started past the loop, the music goes round the loop at once.
    if (state->looping && spot_reached(from, state->loop.end))
        from = state->loop.start;
    state->from = from;
    state->metronome = options.metronome;
    state->counting_in = options.count_in;
    state->program = 0;
    state->passes = 0;
    if (state->counting_in)
        enter_count_in(state);
    else
        enter_spot(state, from);
    get_time2(&audition_tick, 1);
}

void start_playing(player_state *state, score *s, measure *m) {
    play_options_t plain = {};
    start_playing_with(state, s, {m, 0}, plain);
}

void start_playing_from(player_state *state, score *s, play_spot from) {
    start_playing_with(state, s, from, play_options);
}

// The msec at which the current segment's clock reached units (a fraction of a unit counts):
// the inverse of get_midi_time.
static double msec_at_segment_units(double units) {
    return ref_i + base_i + (units - base_o) * TEMPO_DIVISOR / midi_timer_tempo;
}

static void due_at_segment_units(double units) {
    double late = precise_tick() - msec_at_segment_units(units);
    midi_send_lateness = late > 0.0 ? late : 0.0;
}

static void release_due_notes() {
    while (playing.next && playing.next->end <= get_midi_tick()) {
        due_at_segment_units(playing.next->end - ref_o);
        _cast_playing_item(playing.next);
    }
    midi_send_lateness = 0.0;
}

static void apply_due_events(player_state *state) {
    while (state->event && state->t >= ticks_to_play_units(state->event->x)) {
        if (state->event->type == EVENT_TEMPO)
            set_midi_timer(state->event->value);
        state->event = state->event->next;
    }
}

static int is_silent(note *n) {
    return n->l_prev || n->rest || g_score.tracks[n->track].mute;
}

static void start_note(note *n) {
    playing_item *item = new_playing_item();
    if (!item)
        return; // no memory for this note: it is left out and the piece goes on
    item->end = get_midi_tick() + ticks_to_play_units(sounding_len(n));
    item->key = midi_data(note_key(n));
    item->channel = note_channel(n);
    item->velocity = n->volume;
    due_at_segment_units(static_cast<double>(n->x) * PLAY_UNITS_PER_WHOLE / TICKS_PER_WHOLE);
    insert_sorted_playing_item_list(&playing, item);
    midi_send_lateness = 0.0;
}

static void start_due_notes(player_state *state) {
    for (; state->next; state->next = state->next->next) {
        note *n = state->next;
        if (is_silent(n))
            continue;
        if (state->t < ticks_to_play_units(n->x))
            return;
        start_note(n);
    }
}

static void audition(player_state *state, int step) {
    if (!time_passed(&audition_tick, AUDITION_REPEAT_MS))
        return;
    state->program = midi_data(state->program + step);
    set_patch(0, state->program);
}

// Every KEYBOARD_POLL_PASSES passes; returns 0 when Q or F8 asks to stop.
static int poll_play_keys(player_state *state) {
    if (++state->passes < KEYBOARD_POLL_PASSES)
        return 1;
    state->passes = 0;
    poll_keyboard();
    if (key[KEY_Q] || key[KEY_F8])
        return 0;
    if (key[KEY_UP])
        audition(state, 1);
    else if (key[KEY_DOWN])
        audition(state, -1);
    return 1;
}

// Starts the next measure's segment where the bar line fell, not where this pass noticed it:
// a pass that comes late (the machine was busy) must not delay the rest of the piece.
static void start_segment_at_bar_line(int length) {
    int overshoot = get_midi_time(1) - length;
    if (overshoot > 0) {
        base_o = overshoot;
        ref_o -= overshoot;
    }
}

// Silences what sounds and starts the loop again; the caller has begun the new segment.
static void restart_loop(player_state *state) {
    while (playing.next)
        _cast_playing_item(playing.next);
    enter_spot(state, state->loop.start);
}

// At a bar line: the next measure, the start after the count-in, or the loop's start when the
// score ends inside the loop. 0 at the end of the score.
static int next_segment(player_state *state) {
    if (!state->m->next && !state->counting_in && !state->looping)
        return 0;
    start_segment_at_bar_line(state->length);
    if (state->counting_in) {
        state->counting_in = 0;
        enter_spot(state, state->from);
    } else if (state->m->next) {
        enter_measure(state, state->m->next);
    } else {
        restart_loop(state);
    }
    return 1;
}

static int loop_end_due(const player_state *state) {
    return state->looping && !state->counting_in && state->m == state->loop.end.m &&
           state->t >= ticks_to_play_units(state->loop.end.tick);
}

static void start_click(click c) {
    playing_item *item = new_playing_item();
    if (!item)
        return;
    item->end = get_midi_tick() + ticks_to_play_units(CLICK_TICKS);
    item->key = c.accent ? CLICK_KEY_ACCENT : CLICK_KEY;
    item->channel = CLICK_CHANNEL;
    item->velocity = c.accent ? CLICK_VELOCITY_ACCENT : CLICK_VELOCITY;
    due_at_segment_units(static_cast<double>(c.tick) * PLAY_UNITS_PER_WHOLE / TICKS_PER_WHOLE);
    insert_sorted_playing_item_list(&playing, item);
    midi_send_lateness = 0.0;
}

static int clicks_wanted(const player_state *state) {
    return state->metronome || state->counting_in;
}

static void sound_due_clicks(player_state *state) {
    if (!clicks_wanted(state))
        return;
    for (; state->click < measure_beats(state->m); state->click++) {
        click c = measure_click(state->m, state->click);
        if (state->t < ticks_to_play_units(c.tick))
            return;
        start_click(c);
    }
}

int play_pass(player_state *state) {
    release_due_notes();
    if (state->t >= state->length && !next_segment(state))
        return 0;
    state->t = get_midi_time(0);
    if (loop_end_due(state)) {
        start_segment_at_bar_line(ticks_to_play_units(state->loop.end.tick));
        restart_loop(state);
        state->t = get_midi_time(0);
    }
    apply_due_events(state);
    start_due_notes(state);
    sound_due_clicks(state);
    return poll_play_keys(state);
}

play_spot player_spot(const player_state *state) {
    if (state->counting_in)
        return state->from;
    int tick =
        static_cast<int>(static_cast<int64_t>(state->t) * TICKS_PER_WHOLE / PLAY_UNITS_PER_WHOLE);
    return {state->m, std::min(std::max(tick, 0), static_cast<int>(state->m->len))};
}

void finish_playing() {
    kill_playing_item_list(playing.next);
    kill_playing_item_list(playing_item_garbage.next);
}

void play_score(score *s, measure *m) {
    play_score_from(s, {m, 0});
}

void (*play_frame)() = nullptr;

namespace {

constexpr int FRAME_ROOM_MS = 12; // a frame is drawn only when nothing is due this soon
int frame_tick;

int units_to(const player_state *state, int ticks) {
    return ticks_to_play_units(ticks) - state->t;
}

// Play units until the player must act next: a note to stop or start, a click, the loop's end
// or the bar line.
int units_until_due(const player_state *state) {
    int due = state->length - state->t;
    if (playing.next)
        due = std::min(due, playing.next->end - get_midi_tick());
    for (note *n = state->next; n; n = n->next)
        if (!is_silent(n)) {
            due = std::min(due, units_to(state, n->x));
            break;
        }
    if (clicks_wanted(state) && state->click < measure_beats(state->m))
        due = std::min(due, units_to(state, measure_click(state->m, state->click).tick));
    if (state->looping && state->m == state->loop.end.m)
        due = std::min(due, units_to(state, state->loop.end.tick));
    return due;
}

} // namespace

void frame_between_passes(const player_state *state) {
    if (!play_frame || get_time2(&frame_tick, 0) < PLAY_FRAME_MS)
        return;
    if (static_cast<int64_t>(units_until_due(state)) * TEMPO_DIVISOR <
        static_cast<int64_t>(FRAME_ROOM_MS) * midi_timer_tempo)
        return;
    get_time2(&frame_tick, 1);
    play_line.at = player_spot(state);
    play_line.counting_in = state->counting_in;
    play_frame();
}

void play_score_from(score *s, play_spot from) {
    if (!from.m)
        return;
    player_state state;
    start_playing_from(&state, s, from);
    start_play_line(s, state.from, state.looping, state.counting_in, 0);
    get_time2(&frame_tick, 1);
    while (play_pass(&state))
        frame_between_passes(&state);
    finish_playing();
    play_line.shown = 0;
}
