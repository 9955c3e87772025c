// Fuzz target of the configuration reader: any "plinkel.cfg" is read without a fault and leaves
// a graphics mode the library can be asked for; writing it back and reading it again gives the
// same mode.
#include "fuzz_util.h"

#include "editor/config.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    return fuzz_start_library();
}

namespace {

bool mode_is_sane() {
    bool depth = bpp == 8 || bpp == 15 || bpp == 16 || bpp == 24 || bpp == 32;
    return depth && screen_w >= 1 && screen_h >= 1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const std::string path = fuzz_scratch_path("plinkel.cfg");
    config_file_name = path.c_str();
    fuzz_write_file(path, data, size);
    config_defaults();
    read_config();
    if (!mode_is_sane())
        __builtin_trap();
    int depth = bpp, w = screen_w, h = screen_h, full = full_screen ? 1 : 0;
    set_color_depth(bpp); // as start-up does once the mode is set; the file stores the depth
    write_config();
    config_defaults();
    read_config();
    if (bpp != depth || screen_w != w || screen_h != h || (full_screen ? 1 : 0) != full)
        __builtin_trap();
    return 0;
}
