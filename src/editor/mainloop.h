// The editor's interaction loop: each turn redraws the picture, shows it, waits for one input
// event (a key, the left or right button, the wheel) and applies it, until Esc or the exit
// command ends it.
#pragma once

#include <allegro.h>

// INPUT_LEAVE: the main loop is to end at once (a terminating signal), without the exit question.
// INPUT_MIDI_CHORD: a chord played on the MIDI keyboard waits for the editor.
enum input_event {
    INPUT_KEY = 0,
    INPUT_LEFT_BUTTON = 1,
    INPUT_RIGHT_BUTTON = 2,
    INPUT_WHEEL = 3,
    INPUT_LEAVE = 4,
    INPUT_MIDI_CHORD = 5
};

// Clock base reset whenever a key event is taken and by waite_key_up.
extern int keyboard_tick;

void main_loop();
// One turn: draw, show, wait for an event and apply it. Returns 0 when the loop should end.
int main_loop_turn();
// Waits for the next input and returns its input_event. Mouse movement alone never ends the
// wait, but it shows the pointer again after a move of more than 20 pixels.
int get_event();
// Resets keyboard_tick and empties the keyboard buffer; a key that stays down goes on
// producing events through the keyboard's auto-repeat.
void waite_key_up();
// The wheel: scrolls the rows, or with Shift moves one measure; rolled up is positive dz.
void process_wheel(int dz);
