// mkfont: build-time generator of the glyph picture "mfont.pcx".
// Reads the text art of assets/glyphs.txt (31 cells of 16 x 32 pixels) and writes them side by
// side into one 8-bit PCX whose palette also carries every colour the editor asks for.

#include <allegro.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

const int CELL_W = 16;
const int CELL_H = 32;
const int CELL_COUNT = 31;

const int BACKGROUND_INDEX = 0;
const int INK_INDEX = 1;

using Cell = std::vector<std::string>;

[[noreturn]] void fail(const std::string &where, const std::string &what) {
    std::fprintf(stderr, "mkfont: %s: %s\n", where.c_str(), what.c_str());
    std::exit(1);
}

int pixel_of(char c) {
    switch (c) {
    case '.':
        return BACKGROUND_INDEX;
    case '#':
        return INK_INDEX;
    default:
        return -1;
    }
}

bool is_skipped(const std::string &line) {
    return line.empty() || line[0] == ';';
}

bool is_header(const std::string &line) {
    return line.compare(0, 5, "cell ") == 0;
}

std::string rows_text(size_t n) {
    return std::to_string(n) + (n == 1 ? " row" : " rows");
}

// A cell header is "cell N name"; N must be the cell's place in the strip.
void check_header(const std::string &line, int expected, const std::string &where) {
    std::istringstream in(line);
    std::string word;
    int number = -1;
    if (!(in >> word >> number) || word != "cell")
        fail(where,
             "expected \"cell " + std::to_string(expected) + " <name>\", got \"" + line + "\"");
    if (number != expected)
        fail(where, "cell " + std::to_string(number) + " out of order, expected cell " +
                        std::to_string(expected));
}

void check_row(const std::string &row, const std::string &where) {
    if (static_cast<int>(row.size()) != CELL_W)
        fail(where, "row is " + std::to_string(row.size()) + " characters wide, expected " +
                        std::to_string(CELL_W));
    for (char c : row)
        if (pixel_of(c) < 0)
            fail(where, std::string("unknown character '") + c + "' (use '.' or '#')");
}

void check_complete(const std::vector<Cell> &cells, const std::string &where) {
    if (!cells.empty() && static_cast<int>(cells.back().size()) < CELL_H)
        fail(where, "cell " + std::to_string(cells.size() - 1) + " has only " +
                        rows_text(cells.back().size()) + ", expected " + rows_text(CELL_H));
}

// One line outside a cell's rows: it must open the next cell.
void start_cell(std::vector<Cell> &cells, const std::string &line, const std::string &where) {
    if (!is_header(line) && !cells.empty())
        fail(where,
             "cell " + std::to_string(cells.size() - 1) + " has more than " + rows_text(CELL_H));
    if (static_cast<int>(cells.size()) == CELL_COUNT)
        fail(where, "more than " + std::to_string(CELL_COUNT) + " cells");
    check_header(line, static_cast<int>(cells.size()), where);
    cells.emplace_back();
}

std::vector<Cell> read_cells(const char *path) {
    std::ifstream in(path);
    if (!in)
        fail(path, "cannot open");
    std::vector<Cell> cells;
    std::string line;
    int line_no = 0;
    while (std::getline(in, line)) {
        ++line_no;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::string where = std::string(path) + ":" + std::to_string(line_no);
        bool in_cell = !cells.empty() && static_cast<int>(cells.back().size()) < CELL_H;
        if (in_cell && (is_skipped(line) || is_header(line)))
            check_complete(cells, where);
        if (in_cell) {
            check_row(line, where);
            cells.back().push_back(line);
        } else if (!is_skipped(line)) {
            start_cell(cells, line, where);
        }
    }
    check_complete(cells, path);
    if (static_cast<int>(cells.size()) != CELL_COUNT)
        fail(path, "found " + std::to_string(cells.size()) + " cells, expected " +
                       std::to_string(CELL_COUNT));
    return cells;
}

// Allegro palettes hold 6-bit components (0..63).
RGB rgb6(int r, int g, int b) {
    RGB c;
    c.r = static_cast<unsigned char>(r);
    c.g = static_cast<unsigned char>(g);
    c.b = static_cast<unsigned char>(b);
    c.filler = 0;
    return c;
}

// In 8-bit mode this palette becomes the screen's, and makecol then picks the nearest entry,
// so every colour the editor uses is present exactly. bestfit_color never answers index 0
// (the background of the glyphs), hence white appears a second time. The rest is a 6x6x6
// colour cube followed by a grey ramp, so other colours still find a close neighbour.
void build_palette(PALETTE pal) {
    const RGB fixed[] = {
        rgb6(63, 63, 63), // 0: glyph background
        rgb6(0, 0, 0),    // 1: glyph ink, black
        rgb6(63, 63, 63), // 2: white
        rgb6(63, 0, 0),   // 3: red
        rgb6(0, 63, 0),   // 4: green
        rgb6(0, 0, 63),   // 5: blue
        rgb6(30, 30, 30), // 6: gray 120,120,120
    };
    std::set<int> used;
    int n = 0;
    for (const RGB &c : fixed) {
        pal[n++] = c;
        used.insert((c.r << 12) | (c.g << 6) | c.b);
    }
    auto add = [&](int r, int g, int b) {
        int key = (r << 12) | (g << 6) | b;
        if (n < PAL_SIZE && used.insert(key).second)
            pal[n++] = rgb6(r, g, b);
    };
    const int level[] = {0, 13, 25, 38, 50, 63};
    for (int r : level)
        for (int g : level)
            for (int b : level)
                add(r, g, b);
    std::vector<int> greys;
    for (int v = 1; v < 63; ++v)
        if (!used.count((v << 12) | (v << 6) | v))
            greys.push_back(v);
    const int left = PAL_SIZE - n;
    for (int i = 0; i < left; ++i) {
        int v = greys[i * (greys.size() - 1) / (left - 1)];
        add(v, v, v);
    }
}

void draw_cells(BITMAP *strip, const std::vector<Cell> &cells) {
    for (int i = 0; i < CELL_COUNT; ++i)
        for (int y = 0; y < CELL_H; ++y)
            for (int x = 0; x < CELL_W; ++x)
                putpixel(strip, i * CELL_W + x, y, pixel_of(cells[i][y][x]));
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: mkfont INPUT.txt OUTPUT.pcx\n");
        return 2;
    }
    const std::vector<Cell> cells = read_cells(argv[1]);

    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0)
        fail("allegro", allegro_error);
    set_color_depth(8);
    BITMAP *strip = create_bitmap_ex(8, CELL_W * CELL_COUNT, CELL_H);
    if (!strip)
        fail("allegro", "cannot create the picture bitmap");
    PALETTE pal;
    build_palette(pal);
    draw_cells(strip, cells);
    int result = save_pcx(argv[2], strip, pal);
    destroy_bitmap(strip);
    if (result != 0)
        fail(argv[2], "cannot write");
    return 0;
}
