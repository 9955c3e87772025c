// Foreground playback under its banner, and background playback through the library's MIDI
// player, with our own clock for the play line. The rendering starts at a bar line with the
// tempo in force there and leaves muted tracks out; a timing track adds the metronome and ends
// at the loop's last bar line, where the player goes round. Measures are remembered by index:
// an edit may replace any of them.
#include "gui/play_commands.h"

#include <cmath>

#include "base/clock.h"
#include "editor/play_frame.h"
#include "files/click_track.h"
#include "files/midi_exp.h"
#include "model/play_view.h"
#include "model/score.h"
#include "model/undo.h"
#include "playback/follow.h"
#include "playback/sound.h"
#include "render/canvas.h"

MIDI *playing_midi = nullptr;
int paused = 0;

namespace {

constexpr int FULL_VOLUME = 255;
constexpr int WITHOUT_MUTED_TRACKS = 1;
constexpr int NO_LAST = -1;

// What is heard, by measure index: the music object starts at the bar line of from, and when
// looping runs to the end of last and round again.
struct background_t {
    MIDI *count_in;  // the count-in object while it plays
    int from;        // index of the music object's first measure
    int last;        // index of its last measure when looping, else NO_LAST
    double start_ms; // when the music object started
    double pause_ms; // how long it has been paused since
    double paused_at;
    double loop_ms;       // one time round the loop
    int heard;            // index of the measure heard at the last poll
    unsigned changes;     // undo_changes() of the rendering
    play_options_t shape; // the options the rendering follows
    int frame_tick;
    int running; // the count-in or the music is playing (or paused)
};
background_t bg;

int index_of(measure *m) {
    return measure_number(&g_score, m) - 1;
}

// The score from first (through last, when given) with the tempo in force at first as its
// starting tempo, and the timing track; null when it holds no track to play.
MIDI *render_music(measure *first, measure *last, int clicks) {
    MIDI *midi = makenew_midi();
    if (!midi)
        return nullptr;
    measure *after = last ? last->next : nullptr;
    if (last)
        last->next = nullptr; // the rendering stops at the loop's last bar line
    plinkel_midi_write_to_memory(&g_score, first, midi, WITHOUT_MUTED_TRACKS);
    if (last)
        last->next = after;
    int slot = free_midi_slot(midi);
    if (midi_score_tracks(midi) && slot > 0 && (clicks || last))
        set_midi_slot(midi, slot, click_track_bytes(first, last, clicks, 0, midi->divisions));
    if (!midi_score_tracks(midi)) {
        destroy_midi(midi);
        return nullptr;
    }
    return midi;
}

// One measure of clicks in the signature and tempo of m.
MIDI *render_count_in(measure *m) {
    MIDI *midi = makenew_midi();
    if (midi &&
        !set_midi_slot(midi, 0,
                       click_track_bytes(m, m, 1, tempo_at(&g_score, {m, 0}), midi->divisions))) {
        destroy_midi(midi);
        midi = nullptr;
    }
    return midi;
}

measure *last_measure() {
    return bg.last == NO_LAST ? nullptr : nth_measure(&g_score, bg.last);
}

// Renders from the measure with index from following the current options; 0 when nothing
// could be rendered (playback then stops).
int render_background(int from) {
    play_loop loop;
    bg.shape = play_options;
    bg.shape.loop = play_options.loop && loop_from_selection(&g_score, &loop);
    bg.from = from;
    bg.last = NO_LAST;
    if (bg.shape.loop) {
        bg.last = index_of(loop_last_measure(loop));
        if (bg.from < index_of(loop.start.m) || bg.from > bg.last)
            bg.from = index_of(loop.start.m);
    }
    measure *first = nth_measure(&g_score, bg.from);
    MIDI *midi = first ? render_music(first, last_measure(), bg.shape.metronome) : nullptr;
    if (!midi)
        return 0;
    if (playing_midi)
        destroy_midi(playing_midi);
    playing_midi = midi;
    bg.changes = undo_changes();
    measure *last = last_measure();
    bg.loop_ms = last ? ms_between(&g_score, {first, 0}, {last, last->len}) : 0.0;
    return 1;
}

int start_music() {
    if (play_midi(playing_midi, bg.shape.loop) != 0)
        return 0;
    bg.start_ms = precise_tick();
    bg.pause_ms = 0.0;
    bg.heard = bg.from;
    measure *first = nth_measure(&g_score, bg.from);
    start_play_line(&g_score, {first, 0}, bg.shape.loop, 0, 1);
    bg.running = 1;
    return 1;
}

play_spot heard_spot() {
    double ms = precise_tick() - bg.start_ms - bg.pause_ms;
    if (bg.loop_ms > 0.0)
        ms = std::fmod(ms, bg.loop_ms);
    return spot_after_ms(&g_score, {nth_measure(&g_score, bg.from), 0}, ms);
}

int rendering_current() {
    return bg.changes == undo_changes() && bg.shape.metronome == play_options.metronome &&
           bg.shape.loop == play_options.loop;
}

// At each bar line: a changed score (or changed options) is rendered again from the measure
// now starting; a loop takes the change when it comes round to its start.
void follow_edits(play_spot at) {
    int heard = index_of(at.m);
    if (heard == bg.heard)
        return;
    bg.heard = heard;
    if (rendering_current() || (bg.shape.loop && heard != bg.from))
        return;
    stop_midi();
    if (!render_background(heard) || !start_music())
        menu_play_stop();
}

void stop_count_in() {
    if (!bg.count_in)
        return;
    if (midi_pos >= 0)
        stop_midi();
    destroy_midi(bg.count_in);
    bg.count_in = nullptr;
}

int player_running() {
    return playing_midi && midi_pos >= 0;
}

} // namespace

int menu_play_bg() {
    if (playing_midi)
        menu_play_stop();
    if (!g_score.ref_measure)
        return 1;
    if (!render_background(index_of(g_score.ref_measure)))
        return 0;
    set_volume(FULL_VOLUME, FULL_VOLUME);
    paused = 0;
    get_time2(&bg.frame_tick, 1);
    if (play_options.count_in) {
        measure *first = nth_measure(&g_score, bg.from);
        bg.count_in = render_count_in(first);
        if (bg.count_in && play_midi(bg.count_in, FALSE) == 0) {
            start_play_line(&g_score, {first, 0}, bg.shape.loop, 1, 1);
            bg.running = 1;
            return 1;
        }
        stop_count_in();
    }
    if (!start_music()) {
        menu_play_stop();
        return 0;
    }
    return 1;
}

int menu_play_stop() {
    stop_count_in();
    if (bg.running)
        play_line.shown = 0;
    bg.running = 0;
    if (!playing_midi)
        return 1;
    if (midi_pos >= 0)
        stop_midi();
    destroy_midi(playing_midi);
    playing_midi = nullptr;
    paused = 0;
    return 1;
}

int menu_play_pause() {
    if (player_running() && !paused) {
        midi_pause();
        paused = 1;
        bg.paused_at = precise_tick();
    }
    return 1;
}

int menu_play_resume() {
    if (player_running() && paused) {
        midi_resume();
        paused = 0;
        bg.pause_ms += precise_tick() - bg.paused_at;
    }
    return 1;
}

constexpr int BANNER_X = 48;
constexpr int BANNER_Y = 32;

// Says how to stop until the first frame of the play line replaces the picture.
static void show_banner() {
    if (screen && g_score.ref_measure)
        textprintf_ex(screen, font, BANNER_X, BANNER_Y, fcol, bcol,
                      " To stop playing music,press Q or F8");
}

int menu_play_score() {
    show_banner();
    play_score(&g_score, g_score.ref_measure);
    return 1;
}

int background_poll() {
    if (!playing_midi || paused || !bg.running)
        return 0;
    if (bg.count_in) {
        if (midi_pos >= 0)
            return 0;
        stop_count_in();
        if (!start_music())
            menu_play_stop();
        return 1;
    }
    if (midi_pos < 0) {
        play_line.shown = 0; // the music has ended
        bg.running = 0;
        return 1;
    }
    play_spot at = heard_spot();
    follow_edits(at);
    if (!bg.running || !time_passed(&bg.frame_tick, PLAY_FRAME_MS))
        return 0;
    play_line.at = heard_spot();
    follow_play_line(&g_score);
    return 1;
}

int menu_play_from_cursor() {
    show_banner();
    play_score_from(&g_score, cursor_play_spot(&g_score));
    return 1;
}

int menu_toggle_loop() {
    play_options.loop = !play_options.loop;
    return 1;
}

int menu_toggle_metronome() {
    play_options.metronome = !play_options.metronome;
    return 1;
}

int menu_toggle_count_in() {
    play_options.count_in = !play_options.count_in;
    return 1;
}
