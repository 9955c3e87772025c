// The tempo editor's model, apart from the screen: the graph's geometry and zoom, the private
// working list of tempo events at absolute ticks, the per-column tempo array that strokes
// change, and the conversions between them and the score's measure events.
#pragma once

#include "model/score.h"

// Geometry and zoom of a freshly opened editor.
constexpr int GRAPHIC_X0 = 64;         // screen x of the graph's left edge
constexpr int GRAPHIC_Y0 = 410;        // screen y of the graph's bottom line
constexpr int GRAPHIC_W = 512;         // graph width in pixels
constexpr int GRAPHIC_H = 300;         // graph height in pixels
constexpr int GRAPHIC_COLUMNS = 64;    // columns of the graph
constexpr int GRAPHIC_ROWS = 20;       // horizontal grid rows
constexpr int GRAPHIC_DX = 32;         // ticks per column
constexpr int GRAPHIC_DY = 8;          // tempo units per grid row
constexpr int GRAPHIC_THRESHOLD_V = 4; // smallest tempo step that makes a new event

// Bounds that keep every tick and tempo of the graph far inside an int.
constexpr int GRAPHIC_MAX_DX = 4096;
constexpr int GRAPHIC_MAX_DY = 4096;
constexpr int GRAPHIC_MAX_X = 1 << 24; // largest tick at the left edge
constexpr int GRAPHIC_MAX_Y = 1 << 20; // largest tempo at the bottom line
constexpr int GRAPHIC_MIN_TEMPO = 1;   // a stroke below this is clipped to it

extern int graphic_x0, graphic_y0, graphic_w, graphic_h;
extern int graphic_column, graphic_row;
extern int graphic_dx, graphic_dy;
extern int graphic_x; // absolute tick at the left edge (column 0)
extern int graphic_y; // tempo at the bottom line
extern int graphic_threshold_v;
extern int *graphic_array; // tempo in force at the start of each column
extern char *graphic_mask; // 1 for a column changed by a stroke not yet turned into events
// Sentinel of the working tempo list; the events follow it through next, sorted by absolute x.
extern m_event m_events;
extern measure *graphic_seed_measure; // the measure holding graphic_x, found while drawing
extern int graphic_seed_measure_x;    // its start tick

// Resets geometry, zoom and scroll position and allocates the column arrays; the working list
// starts empty.
void init_graphic();
// Sets the grid size and (re)allocates graphic_array and graphic_mask (mask all 0).
void set_graphic(int columns, int rows);
void close_graphic();
void clear_graphic_mask();

// Screen x to column in *column; 1 when the column lies on the graph.
int screen_graphic_position_x(int sx, int *column);
// Screen y to tempo.
int screen_graphic_position_y(int sy);
// Column to screen x in *sx; 1 when sx lies on the graph.
int graphic_screen_position_x(int column, int *sx);
// Tempo to screen y.
int graphic_screen_position_y(int tempo);
// 1 when x1 <= px <= x2 and y1 <= py <= y2.
int in_box(int x1, int y1, int x2, int y2, int px, int py);

// Fills the working list from the score: its default_tempo at 0, then every tempo event of every
// measure at its absolute tick.
void graphic_load_m_event(score *s);
// The last node from start on whose x is <= tick (start itself when there is none).
m_event *get_graphic_list(m_event *start, int tick);
// The tempo in force at tick, searching from start.
int get_graphic_y(m_event *start, int tick);
// graphic_array[i] = tempo in force at the start of column i.
void graphic_list_to_array();
// Sets the columns between the two screen points to a straight line between their tempos and
// marks them; nothing when both points fall in one column. Returns the number of columns set.
int graphic_linearize(int x1, int y1, int x2, int y2);
// Removes every working event with from <= x < to.
void remove_ranged_list(int from, int to);
// Turns the marked columns into working events: clears the events under them, then walks all
// columns and adds an event wherever the tempo moves at least graphic_threshold_v away from
// the running one.
void graphic_array_to_list();
// A stroke released between the two screen points: the columns it spans become working events
// and the array is sampled again. A stroke that sets no column leaves the list as it was.
void graphic_apply_stroke(int x1, int y1, int x2, int y2);
// Deletes every tempo event of every measure.
void destroy_all_tempo_m_event_list(score *s);
// Replaces the score's tempo events by the working list, appending measures where an event
// lies beyond the end. Events that would need more than SCORE_MAX_MEASURES measures are
// dropped. The appended measures are validated.
void graphic_save_m_event(score *s);
// Recycles every working event.
void graphic_kill_m_events();

// Zoom: time in divides the ticks per column by four, out doubles them; the left edge then
// moves to the nearest multiple of the new width. Tempo in halves, out doubles the tempo per
// row; the bottom line moves to the nearest multiple, at least 1.
void graphic_zoom_time(int in);
void graphic_zoom_tempo(int in);
// Moves the left edge by ticks (negative: left), kept within 0 .. GRAPHIC_MAX_X.
void graphic_scroll_x(int ticks);
// Raises (up non-zero) or lowers the window by one row; lowering stops above 0.
void graphic_scroll_y(int up);
