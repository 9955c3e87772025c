// The track settings below the window: the working copy of the track table, its list rows,
// the edits the dialog's controls make to it, and applying it to the score.
#include "gui/track_dialog.h"

#include <cstdio>

#include "editor/state.h"
#include "files/gm_names.h"
#include "gui/calc.h"
#include "model/block_edit.h"
#include "model/undo.h"
#include "model/voice.h"

track_info_t track_info_copy[MAX_TRACKS];
int32_t track_num_copy = 1;
char selected_tracks_flag[MAX_TRACKS];
int volume_changed;
char channel_text[FIELD_TEXT_SIZE];

namespace {

constexpr int ROW_SIZE = 128;
constexpr int MAX_CHANNEL = 15;

const char *const track_names[MAX_TRACKS] = {
    "track 00", "track 01", "track 02", "track 03", "track 04", "track 05", "track 06", "track 07",
    "track 08", "track 09", "track 10", "track 11", "track 12", "track 13", "track 14", "track 15",
    "track 16", "track 17", "track 18", "track 19", "track 20", "track 21", "track 22", "track 23",
    "track 24", "track 25", "track 26", "track 27", "track 28", "track 29", "track 30", "track 31",
};

// Moves the vertical scroll up by the rows above the view that disappear: tracks marked for
// removal or hidden among the rows the view has scrolled past.
void keep_scroll_position() {
    int h = track_height;
    if (h <= 0)
        return;
    int rows = 0;
    while (rows < MAX_TRACKS && rows * h <= offset_y)
        rows++;
    int gone = 0;
    for (int i = 0; i < rows && i < track_num_copy; i++)
        if (track_info_copy[i].remove || !track_info_copy[i].active)
            gone++;
    offset_y -= gone * h; // never below -h, the lowest the scroll keys allow
}

// Notes (not rests) of tracks whose volume was set take that volume.
void apply_track_volumes() {
    for (measure *m = g_score.measures.head; m; m = m->next)
        for (note *n = m->notes.head; n; n = n->next)
            if (!n->rest && n->track >= 0 && n->track < track_num_copy &&
                track_info_copy[n->track].vol_changed)
                n->volume = static_cast<uint8_t>(track_info_copy[n->track].volume);
}

} // namespace

int duplicate_track_info() {
    track_num_copy = g_score.track_num;
    for (int i = 0; i < g_score.track_num && i < MAX_TRACKS; i++)
        track_info_copy[i] = g_score.tracks[i];
    return track_num_copy;
}

void apply_track_info() {
    g_score.track_num = track_num_copy;
    for (int i = 0; i < track_num_copy && i < MAX_TRACKS; i++)
        g_score.tracks[i] = track_info_copy[i];
}

char *track_list_getter(int index, int *count) {
    static char row[ROW_SIZE];
    if (index < 0) {
        if (count)
            *count = track_num_copy;
        return nullptr;
    }
    if (index >= MAX_TRACKS)
        return const_cast<char *>("");
    const track_info_t &t = track_info_copy[index];
    std::snprintf(row, sizeof row, "%s %s %s  %s %3d %-32s", t.remove ? "X" : "",
                  track_names[index], t.active ? "A" : "I", t.mute ? "M" : "", t.volume,
                  gm_short_name(t.patch));
    return row;
}

char *inst_list_getter(int index, int *count) {
    if (index < 0) {
        if (count)
            *count = INSTRUMENTS;
        return nullptr;
    }
    return const_cast<char *>(gm_short_name(index));
}

bool track_concerned(int track, int current) {
    if (track < 0 || track >= track_num_copy || track >= MAX_TRACKS)
        return false;
    return track == current || selected_tracks_flag[track];
}

void set_tracks_patch(int current, int patch) {
    for (int t = 0; t < MAX_TRACKS; t++) {
        if (!track_concerned(t, current))
            continue;
        track_info_t &ti = track_info_copy[t];
        ti.patch = static_cast<int16_t>(patch);
        if (patch >= PERCUSSION_PATCH)
            ti.channel = PERCUSSION_CHANNEL;
        else if (ti.channel == PERCUSSION_CHANNEL)
            ti.channel = static_cast<int16_t>(melodic_channel(t));
    }
}

void set_tracks_volume(int current, int volume) {
    for (int t = 0; t < MAX_TRACKS; t++) {
        if (!track_concerned(t, current))
            continue;
        track_info_copy[t].volume = volume;
        track_info_copy[t].vol_changed = 1;
        volume_changed = 1;
    }
}

int set_track_channel(int current, const char *text) {
    double v;
    if (current < 0 || current >= track_num_copy || !calc(text, &v))
        return 0;
    int channel = calc_to_int(v);
    if (channel < 0 || channel > MAX_CHANNEL)
        return 0;
    track_info_t &ti = track_info_copy[current];
    ti.channel = static_cast<int16_t>(channel);
    if (channel == PERCUSSION_CHANNEL)
        ti.patch = PERCUSSION_PATCH;
    else if (ti.patch == PERCUSSION_PATCH)
        ti.patch = 0;
    return 1;
}

void toggle_tracks_active(int current) {
    for (int t = 0; t < MAX_TRACKS; t++)
        if (track_concerned(t, current))
            track_info_copy[t].active ^= 1;
}

void toggle_tracks_mute(int current) {
    for (int t = 0; t < MAX_TRACKS; t++)
        if (track_concerned(t, current))
            track_info_copy[t].mute ^= 1;
}

int append_track_copy() {
    if (track_num_copy >= MAX_SCORE_TRACKS)
        return 0;
    track_info_copy[track_num_copy] = new_track(track_num_copy);
    track_num_copy++;
    return 1;
}

void mark_tracks_removal(int current, int pressed) {
    for (int t = 0; t < MAX_TRACKS; t++)
        track_info_copy[t].remove = pressed && track_concerned(t, current);
}

void start_track_editing() {
    for (track_info_t &ti : track_info_copy)
        ti.vol_changed = 0;
    volume_changed = 0;
    duplicate_track_info();
}

void finish_track_editing(const char *tempo, int volume, int patch, int old_tempo, int old_volume) {
    g_score.default_tempo = field_int(tempo);
    if (g_score.default_tempo <= 0)
        g_score.default_tempo = old_tempo;
    default_volume = volume >= 0 && volume <= MAX_VELOCITY ? volume : old_volume;
    default_patch = patch;
    keep_scroll_position();
    undo_begin(&g_score, "track setting");
    undo_touch(&g_score, g_score.measures.head, nullptr);
    // Before removal renumbers the tracks, while notes and working records still match.
    if (volume_changed)
        apply_track_volumes();
    apply_track_info();
    remove_checked_track(&g_score);
    update_active_tracks();
    for (measure *m = g_score.measures.head; m; m = m->next)
        _validate_measure(m, -1, 1);
    undo_commit(&g_score, 1);
    edited = 1;
}
