// The undo and redo commands of the editor: Ctrl+Z, Ctrl+Y (or Ctrl+Shift+Z) and the first two
// entries of the edit menu, whose texts name the step they would take. After a step the view
// shows the measure that changed and the unsaved-changes mark follows the history.
#pragma once

#include "model/score.h"

int menu_undo();
int menu_redo();
// Writes "undo NAME" and "redo NAME" into the edit menu's first two entries (greyed out when
// there is nothing to take); called before the menu opens.
void update_undo_menu();
// Records, for the pending undo step, the measures from the one before first through last
// (null: to the end of the score) before an edit changes them.
void undo_touch_selection(measure *first, measure *last);
// Ticks from the start of the clipboard to the end of its last note or event: how far a paste
// reaches from the cursor.
int clip_board_reach();
