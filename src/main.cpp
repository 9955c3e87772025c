// The entry point; the library's wrapper turns main into _mangled_main.
#include <allegro.h>

#include "editor/interface.h"

int main() {
    return run_editor();
}
END_OF_MAIN()
