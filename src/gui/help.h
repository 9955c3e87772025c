// The help window: the text of "manual.txt", loaded once at start-up and shown in a scrolling
// text box by menu_help (F1 and the menu's "help F1").
#pragma once

extern char *help_text; // the whole help file, terminated; null when it could not be read

// Reads the file into help_text. 0 (help_text null) when it cannot be opened.
int load_help(const char *name);
// Keeps the library's current font for the help window and loads "manual.txt" from the
// working directory or the installed data directory.
void init_help_dialog();
// Frees the help text.
void destroy_help();
