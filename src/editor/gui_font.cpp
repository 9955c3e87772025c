// Placeholder until the compiled-in font lands: the library's own font.
#include "editor/gui_font.h"

FONT *gui_font() { return font; }
