/* The window icon: the XPM source generated at build time from assets/plinkel.svg. Compiled as
   C, the language XPM is written in. */
#include "editor/window_icon.h"

#include "plinkel_icon.xpm"

const char **plinkel_window_icon = plinkel_icon;
