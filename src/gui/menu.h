// The pop-up menu tree that the right button opens: its five arrays, their building, the
// commands that live with the tree itself (exit, tempo editor, graphics mode), and the
// installation of the command layer into the editor's start-up, keys and exit question.
#pragma once

#include <allegro.h>

constexpr int MAIN_MENU_SIZE = 15;
constexpr int FILE_MENU_SIZE = 16;
constexpr int EDIT_MENU_SIZE = 18;
constexpr int OPTION_MENU_SIZE = 3;
constexpr int PLAY_MENU_SIZE = 11;

extern MENU main_menu[MAIN_MENU_SIZE];
extern MENU file_menu[FILE_MENU_SIZE];
extern MENU edit_menu[EDIT_MENU_SIZE];
extern MENU option_menu[OPTION_MENU_SIZE];
extern MENU play_menu[PLAY_MENU_SIZE];

// Fills the five arrays (each ended by an empty entry) and forgets an exit chosen before.
void init_all_menu();

int menu_exit();
int menu_tempo_editor();
int menu_change_gfx();

// Installs the command layer's editor_hooks: start-up builds the menus and opens the first
// score, the right button opens main_menu, the keys reach the commands, the exit command and Esc
// ask the save question, shut-down stops background playback. Called once before run_editor.
void install_command_layer();
