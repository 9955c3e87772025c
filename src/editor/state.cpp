// Editor-wide state, its initial values, and the renderer's view of it.
#include "editor/state.h"

#include "editor/cursor.h"

int edit_mode = 1;
int dot_mode = 0;
int note_type = TICKS_PER_QUARTER;
int user_defined_length = TICKS_PER_QUARTER;
int panel_height = PANEL_HEIGHT;
int mouse_visible = 1;
int edited = 0;
char filename[FILENAME_SIZE] = "untitled";

editor_view current_view() {
    return {edit_mode, dot_mode, note_type, edited, filename, panel_height, selected_note};
}
