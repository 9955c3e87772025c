// Playing the score: in the foreground, under a banner that says how to stop, from the first
// measure on the screen (F5) or from the cursor (F6); or in the background, rendered into a
// library MIDI object and played by the library's own MIDI player while the user goes on
// editing, with the play line, the loop, the metronome and the count-in (a change to the score
// is heard from the next measure on), stopped, paused and resumed from the play menu (and F8),
// and stopped at exit. Also the play menu's toggles.
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
// F5 and "play foreground": shows the banner and plays g_score from the first measure on the
// screen until it ends or the user stops it. Returns 1.
int menu_play_score();

// Called by the main loop while it waits: starts the music after the count-in, renders again
// after an edit, and moves the play line. 1 when a new frame is to be drawn.
int background_poll();

// F6 and "play from cursor": foreground playback under the banner from cursor_play_spot.
int menu_play_from_cursor();
// "loop selection", "metronome" and "count-in" switch their play option.
int menu_toggle_loop();
int menu_toggle_metronome();
int menu_toggle_count_in();
