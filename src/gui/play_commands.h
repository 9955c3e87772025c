// Playing the score from the first measure on the screen: in the foreground, under a banner that
// says how to stop; or in the background, rendered into a library MIDI object and played by the
// library's own MIDI player while the user goes on editing, stopped, paused and resumed from the
// play menu (and F8), and stopped at exit.
#pragma once

#include <allegro.h>

extern MIDI *playing_midi; // the score being played in the background, or null
extern int paused;         // 1 while background playback is paused

// Starts background playback (stopping any earlier one first). Returns 1; 0 when the object
// could not be made or the player refused it.
int menu_play_bg();
// The three act only on background playback that exists; each returns 1.
int menu_play_stop();
int menu_play_pause();
int menu_play_resume();
// F5, F6 and "play foreground": shows the banner and plays g_score from the first measure on the
// screen until it ends or the user stops it. Returns 1.
int menu_play_score();
