// Background playback: the score from the first measure on the screen, rendered into a library
// MIDI object and played by the library's own MIDI player while the user goes on editing;
// stopped, paused and resumed from the play menu (and F8), and stopped at exit.
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
