// Background playback: the score rendered into a library MIDI object and played by the
// library's own MIDI player while the user goes on editing, with the play line, the loop, the
// metronome and the count-in; a change to the score is heard from the next measure on. Also
// the play menu's "play from cursor" and its toggles.
#pragma once

#include <allegro.h>

extern MIDI *playing_midi; // the score being played in the background, or null
extern int paused;         // 1 while background playback is paused

// Starts background playback (stopping any earlier one first): from the first measure on the
// screen, or round the measures of the selection when looping. Returns 1; 0 when the object
// could not be made or the player refused it.
int menu_play_bg();
// The three act only on background playback that exists; each returns 1.
int menu_play_stop();
int menu_play_pause();
int menu_play_resume();
// Called by the main loop while it waits: starts the music after the count-in, renders again
// after an edit, and moves the play line. 1 when a new frame is to be drawn.
int background_poll();

// F6 and "play from cursor": foreground playback from cursor_play_spot.
int menu_play_from_cursor();
// "loop selection", "metronome" and "count-in" switch their play option.
int menu_toggle_loop();
int menu_toggle_metronome();
int menu_toggle_count_in();
