// Foreground playback under its banner, and background playback through the library's MIDI
// player: the rendering starts at the first measure on the screen with the tempo in force there,
// and leaves muted tracks out.
#include "gui/play_commands.h"

#include "files/midi_exp.h"
#include "model/score.h"
#include "playback/sound.h"
#include "render/canvas.h"

MIDI *playing_midi = nullptr;
int paused = 0;

namespace {

constexpr int FULL_VOLUME = 255;
constexpr int WITHOUT_MUTED_TRACKS = 1;

// The score from m on, with the tempo in force at m as its starting tempo; null when it holds
// no track to play.
MIDI *render_from(measure *m) {
    MIDI *midi = makenew_midi();
    if (!midi)
        return nullptr;
    int saved_tempo = default_tempo;
    default_tempo = get_measure_tempo(&g_score, m);
    plinkel_midi_write_to_memory(m, midi, WITHOUT_MUTED_TRACKS);
    default_tempo = saved_tempo;
    if (!midi_score_tracks(midi)) {
        destroy_midi(midi);
        return nullptr;
    }
    return midi;
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
    MIDI *midi = render_from(g_score.ref_measure);
    if (!midi)
        return 0;
    set_volume(FULL_VOLUME, FULL_VOLUME);
    if (play_midi(midi, FALSE) != 0) {
        destroy_midi(midi);
        return 0;
    }
    playing_midi = midi;
    paused = 0;
    return 1;
}

int menu_play_stop() {
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
    }
    return 1;
}

int menu_play_resume() {
    if (player_running() && paused) {
        midi_resume();
        paused = 0;
    }
    return 1;
}

constexpr int BANNER_X = 48;
constexpr int BANNER_Y = 32;

int menu_play_score() {
    if (screen && g_score.ref_measure)
        textprintf_ex(screen, font, BANNER_X, BANNER_Y, fcol, bcol,
                      " To stop playing music,press Q or F8");
    play_score(&g_score, g_score.ref_measure);
    return 1;
}
