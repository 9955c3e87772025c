/* The editor's window icon under X11: an XPM picture generated from the application icon,
   handed to the library before it opens its window. */
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

/* The generated picture, in the XPM layout the library's X11 port reads. */
extern const char **plinkel_window_icon;

/* The library's X11 port reads this picture, when set, as the icon of the window it creates. */
extern void *allegro_icon;

#ifdef __cplusplus
}
#endif
