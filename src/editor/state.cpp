// Editor-wide state and its initial values.
#include "editor/state.h"

int edit_mode = 1;
int dot_mode = 0;
int note_type = TICKS_PER_QUARTER;
int user_defined_length = TICKS_PER_QUARTER;
int panel_height = PANEL_HEIGHT;
int mouse_visible = 1;
int edited = 0;
int is_exit = 0;
char filename[FILENAME_SIZE] = "untitled";
