// The entry point; the library's wrapper turns main into _mangled_main.
#include <allegro.h>
#include <cstdio>

#include "editor/cmdline.h"
#include "editor/interface.h"
#include "gui/menu.h"

// plinkel [OPTION]... [FILE]: see editor/cmdline.h.
int main(int argc, char **argv) {
    const char *file = nullptr;
    int status = editor_command_line(argc, argv, &file, stdout, stderr);
    if (status != CMDLINE_RUN)
        return status;
    install_command_layer();
    return run_editor(file);
}
END_OF_MAIN()
