// The entry point; the library's wrapper turns main into _mangled_main.
#include <allegro.h>

#include "editor/interface.h"
#include "gui/menu.h"

// plinkel [FILE]: FILE (a .seq, .mid or .midi file) is opened at start.
int main(int argc, char **argv) {
    install_command_layer();
    return run_editor(argc > 1 ? argv[1] : nullptr);
}
END_OF_MAIN()
