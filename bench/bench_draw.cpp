// Speed of drawing one whole picture with draw_all: a 1280 x 1024 back buffer, four shown
// tracks of chords with accidentals and ledger lines, notes tied over bar lines, rests, key
// changes, the cursor and a selection, drawn into a memory bitmap.
#include <benchmark/benchmark.h>

#include <allegro.h>
#include <cerrno>
#include <cstdlib>

#include "bench_util.h"
#include "render/glyphs.h"
#include "editor/interface.h"
#include "editor/state.h"
#include "model/seq.h"
#include "render/draw.h"

namespace {

constexpr int W = 1280, H = 1024;
constexpr int TRACKS = 4;
constexpr int MEASURES = 40;
constexpr int STEP = 48; // a sixteenth
constexpr int TIED_START = 720;
constexpr int TIED_LEN = 144;

// Sixteenths climbing chromatically over two octaves, in the treble staff for even tracks and
// in the bass staff for odd ones (ledger lines and accidentals at both ends), three-note chords
// on the beats, and a note tied over the bar line.
void fill_track(measure *m, int track) {
    int base = (track % 2) ? -26 : 0;
    for (int x = 0; x < TIED_START; x += STEP) {
        int pitch = base + (x / STEP) * 3 % 25;
        add_note(m, x, STEP, pitch, track);
        if (x % 192 == 0) {
            add_note(m, x, 96, pitch - 4, track);
            add_note(m, x, 192, pitch - 7, track);
        }
    }
    add_note(m, TIED_START, TIED_LEN, base + 1, track);
}

void build_score() {
    init_score(&g_score);
    set_coord(&g_score.screen, W, H);
    set_coord(&g_score.limit, W - 30, H - 6);
    set_coord(&g_score.origin, 63, track_height / 2 + panel_height + 24);
    track_num = TRACKS;
    init_track_info();
    for (int t = 0; t < TRACKS; t++)
        track_info[t].active = 1;
    update_active_tracks();
    static const int keys[] = {0, 3, 3, -2, 0, 5};
    measure *last = nullptr;
    for (int i = 0; i < MEASURES; i++) {
        measure *m = new_measure();
        set_measure(m, 4, 4, keys[i % 6]);
        last = _insert_measure_list(&g_score.measures, last, m);
        for (int t = 0; t < TRACKS; t++)
            fill_track(m, t);
    }
    score_expand_by_measure(&g_score);
    for (measure *m = g_score.measures.head; m; m = m->next)
        validate_measure(m);
    g_score.ref_measure = g_score.measures.head;
    g_score.ref_x = 1;
    g_score.cursor_measure = g_score.measures.head->next;
    g_score.cursor_x = 192;
    g_score.select_start = g_score.measures.head;
    g_score.select_start_x = 96;
    g_score.select_end = g_score.measures.head->next;
    g_score.select_end_x = 384;
}

void BM_draw_all_dense_screen(benchmark::State &state) {
    for (auto _ : state) {
        draw_all(current_view());
        benchmark::DoNotOptimize(buf->line[H / 2][W / 2]);
    }
    const char *out = std::getenv("PLINKEL_BENCH_PICTURE");
    if (out)
        save_bitmap(out, buf, the_palette);
}
BENCHMARK(BM_draw_all_dense_screen)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0)
        return 1;
    set_color_depth(8);
    if (!get_note_font())
        return 1;
    select_palette(the_palette);
    set_colors();
    buf = create_bitmap(W, H);
    panel_height = PANEL_HEIGHT;
    build_score();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    destroy_score(&g_score);
    destroy_bitmap(buf);
    destroy_all_fonts();
    return 0;
}
