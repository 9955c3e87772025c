// The track settings: a working copy of the track table that the dialog edits (instrument,
// volume, channel, shown, muted, marked for removal, appended tracks) and that replaces the
// live table only when the dialog is accepted. menu_track_property (dialogs.h) runs it.
#pragma once

#include "gui/dialog_apply.h"

constexpr int INSTRUMENTS = 129; // the 128 General MIDI programs and "Percussions"

extern track_info_t track_info_copy[MAX_TRACKS]; // the working copy and its track count
extern int32_t track_num_copy;
extern char selected_tracks_flag[MAX_TRACKS]; // the track list's multiple selection
extern int volume_changed;                    // the volume slider was used
extern char channel_text[FIELD_TEXT_SIZE];

// Copies the live track table into the working copy (all flag bits); returns the count.
int duplicate_track_info();
// Copies the working copy back into the live table.
void apply_track_info();

// List callbacks: for a negative index they store the row count into *count (when given) and
// return null. Track rows read "X track 03 A M  127 Acoustic Grand" from the working copy.
char *track_list_getter(int index, int *count);
char *inst_list_getter(int index, int *count);

// The tracks an action concerns: the selected rows and the current row, among the tracks of
// the working copy.
bool track_concerned(int track, int current);
// Gives the tracks concerned the instrument; "Percussions" moves them to channel 9, a melodic
// instrument moves a track off channel 9 to its melodic channel.
void set_tracks_patch(int current, int patch);
// Gives the tracks concerned the volume and marks them for the notes' volume at the end.
void set_tracks_volume(int current, int volume);
// Sets the current track's channel from the typed text when it evaluates to 0..15; channel 9
// goes with "Percussions", leaving it goes back to "Acoustic Grand". 1 when set.
int set_track_channel(int current, const char *text);
void toggle_tracks_active(int current);
void toggle_tracks_mute(int current);
// Appends a track with the default settings while there are fewer than 31. 1 when appended.
int append_track_copy();
// With pressed, marks exactly the tracks concerned for removal; without, unmarks all.
void mark_tracks_removal(int current, int pressed);

// Before the dialog: the live table into the working copy, no volume changes yet.
void start_track_editing();
// After "OK": the defaults (a tempo <= 0 or a volume outside 0..127 keeps old_tempo or
// old_volume), the vertical scroll kept on the same material, the notes' new volumes, the
// working copy applied, marked tracks removed and every measure validated; sets edited.
void finish_track_editing(const char *tempo, int volume, int patch, int old_tempo, int old_volume);
