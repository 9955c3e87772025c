// Access to the compiled-in GUI font: the font object of the datafile `data`.
#include "editor/gui_font.h"

FONT *gui_font() {
    return static_cast<FONT *>(data[0].dat);
}
