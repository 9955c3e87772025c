// Audio export: the score's MIDI rendering laid out as a Standard MIDI File in memory, played
// by a FluidSynth player on the sample clock into a scratch file of float frames while its
// loudness is measured, then brought to the export loudness (limited where its peaks would pass
// the ceiling) and encoded by libsndfile.
#include "files/audio_exp.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sndfile.h>
#include <string>
#include <strings.h>
#include <unistd.h>
#include <vector>

#include "base/strutil.h"
#include "files/audio_level.h"
#include "files/file_support.h"
#include "files/midi_exp.h"
#include "playback/synth.h"

const char AUDIO_EXTENSIONS[] = ".wav, .flac, .ogg or .mp3";

namespace {

constexpr int SMF_HEADER_LENGTH = 6;
constexpr int SMF_FORMAT = 1;
constexpr int CHANNELS = 2;
constexpr int RENDER_BLOCK_FRAMES = 64;
constexpr int PASS_BLOCK_FRAMES = 4096;
// Sample peaks are held this far below the true-peak ceiling at first: peaks between samples
// come out higher than the samples themselves.
constexpr double LIMIT_BELOW_CEILING_DB = 0.5;
constexpr double LOUDNESS_TOLERANCE_LU = 0.1;
constexpr int MAX_MEASURING_PASSES = 4;

struct extension_format {
    const char *ext;
    int format;
};
const extension_format FORMATS[] = {
    {".wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
    {".flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
    {".ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
    {".mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III},
};

void put_be(std::vector<unsigned char> &out, uint32_t value, int bytes) {
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
        out.push_back(static_cast<unsigned char>(value >> shift));
}

void put_tag(std::vector<unsigned char> &out, const char *tag) {
    out.insert(out.end(), tag, tag + 4);
}

// The bytes export_midi would write for midi.
std::vector<unsigned char> smf_image(const MIDI *midi) {
    std::vector<unsigned char> out;
    int used = 0;
    for (const auto &slot : midi->track)
        used += slot.len > 0;
    put_tag(out, "MThd");
    put_be(out, SMF_HEADER_LENGTH, 4);
    put_be(out, SMF_FORMAT, 2);
    put_be(out, used, 2);
    put_be(out, midi->divisions, 2);
    for (const auto &slot : midi->track) {
        if (slot.len <= 0)
            continue;
        put_tag(out, "MTrk");
        put_be(out, slot.len, 4);
        out.insert(out.end(), slot.data, slot.data + slot.len);
    }
    return out;
}

// The score as background playback hears it; empty when it cannot be rendered.
std::vector<unsigned char> score_image(score *s) {
    std::vector<unsigned char> image;
    MIDI *midi = makenew_midi();
    if (!midi)
        return image;
    plinkel_midi_write_to_memory(s, s->measures.head, midi, 1);
    if (midi->track[0].len > 0)
        image = smf_image(midi);
    destroy_midi(midi);
    return image;
}

// ---- Rendering into the scratch file ----

// The player stays in its playing state for a grace time after the last event; the render
// stops at the last event instead and then adds a tail of its own length.
int last_event_reached(fluid_player_t *player) {
    int total = fluid_player_get_total_ticks(player);
    return total > 0 && fluid_player_get_current_tick(player) >= total;
}

int render_block(fluid_synth_t *synth, FILE *scratch, loudness_meter *meter) {
    float frames[CHANNELS * RENDER_BLOCK_FRAMES];
    if (fluid_synth_write_float(synth, RENDER_BLOCK_FRAMES, frames, 0, CHANNELS, frames, 1,
                                CHANNELS) != FLUID_OK)
        return 0;
    return std::fwrite(frames, sizeof frames, 1, scratch) == 1 &&
           meter_frames(meter, frames, RENDER_BLOCK_FRAMES);
}

int render_all(fluid_synth_t *synth, fluid_player_t *player, FILE *scratch, loudness_meter *meter) {
    while (fluid_player_get_status(player) == FLUID_PLAYER_PLAYING && !last_event_reached(player))
        if (!render_block(synth, scratch, meter))
            return 0;
    int tail_blocks = SYNTH_SAMPLE_RATE / 1000 * AUDIO_TAIL_MS / RENDER_BLOCK_FRAMES;
    for (int i = 0; i < tail_blocks; i++)
        if (!render_block(synth, scratch, meter))
            return 0;
    return 1;
}

int render(fluid_synth_t *synth, const std::vector<unsigned char> &image, FILE *scratch,
           loudness_meter *meter) {
    fluid_player_t *player = new_fluid_player(synth);
    int ok = player && fluid_player_add_mem(player, image.data(), image.size()) == FLUID_OK &&
             fluid_player_play(player) == FLUID_OK && render_all(synth, player, scratch, meter);
    if (player)
        delete_fluid_player(player);
    return ok;
}

fluid_settings_t *render_settings() {
    fluid_settings_t *settings = new_synth_settings();
    if (!settings)
        return nullptr;
    // Time is counted in rendered samples, so a render is exact and as fast as the machine.
    fluid_settings_setstr(settings, "player.timing-source", "sample");
    return settings;
}

int render_to_scratch(const std::vector<unsigned char> &image, FILE *scratch,
                      loudness_meter *meter) {
    quiet_synth_messages();
    fluid_settings_t *settings = render_settings();
    if (!settings)
        return 0;
    const char *why = "";
    fluid_synth_t *synth = new_loaded_synth(settings, &why);
    int ok = synth && render(synth, image, scratch, meter);
    if (!synth)
        file_message("No audio can be rendered: %s.", why);
    if (synth)
        delete_fluid_synth(synth);
    delete_fluid_settings(settings);
    return ok;
}

// A scratch file beside path, gone from the directory at once and from the disk when closed.
FILE *open_scratch(const char *path) {
    std::string name = std::string(path) + ".renderXXXXXX";
    std::vector<char> buf(name.begin(), name.end());
    buf.push_back('\0');
    int fd = mkstemp(buf.data());
    if (fd < 0)
        return nullptr;
    unlink(buf.data());
    FILE *fp = fdopen(fd, "w+b");
    if (!fp)
        close(fd);
    return fp;
}

// ---- Bringing the rendering to the export level ----

struct level_plan {
    double gain;     // linear gain applied to the rendering
    float threshold; // the limiter's ceiling for sample peaks
};

// One pass over the scratch file: gain, limiter, then the meter and the encoder (either may be
// null). 0 on a read or write failure.
int level_pass(FILE *scratch, const level_plan &plan, loudness_meter *meter, SNDFILE *out) {
    std::rewind(scratch);
    peak_limiter limiter;
    init_peak_limiter(&limiter, plan.threshold);
    std::vector<float> in(CHANNELS * PASS_BLOCK_FRAMES), done(CHANNELS * PASS_BLOCK_FRAMES);
    long skip = LIMITER_LOOKAHEAD_FRAMES - 1; // the limiter's delay: the first frames are its own
    long flush = skip;
    for (;;) {
        size_t got = std::fread(in.data(), CHANNELS * sizeof(float), PASS_BLOCK_FRAMES, scratch);
        if (got == 0 && flush == 0)
            break;
        if (got == 0) {
            got = std::min<long>(flush, PASS_BLOCK_FRAMES);
            std::fill(in.begin(), in.begin() + CHANNELS * got, 0.0f);
            flush -= got;
        }
        size_t kept = 0;
        for (size_t i = 0; i < got; i++) {
            float frame[CHANNELS] = {static_cast<float>(in[CHANNELS * i] * plan.gain),
                                     static_cast<float>(in[CHANNELS * i + 1] * plan.gain)};
            limit_frame(&limiter, frame, &done[CHANNELS * kept]);
            if (skip > 0)
                skip--;
            else
                kept++;
        }
        if (meter && !meter_frames(meter, done.data(), kept))
            return 0;
        if (out && sf_writef_float(out, done.data(), kept) != static_cast<sf_count_t>(kept))
            return 0;
    }
    return !std::ferror(scratch);
}

// The gain and ceiling that bring a rendering of the given loudness and true peak to the
// export loudness within the true-peak ceiling: the plain gain when its peaks stay below the
// ceiling, else the limiter's effect is measured and made up for, pass by pass.
int plan_level(FILE *scratch, double lufs, double peak_db, level_plan *plan) {
    double ceiling = db_to_gain(EXPORT_TRUE_PEAK_DBTP);
    plan->gain = std::isfinite(lufs) ? db_to_gain(EXPORT_LOUDNESS_LUFS - lufs) : 1.0;
    plan->threshold = static_cast<float>(ceiling);
    double gain_db = 20.0 * std::log10(plan->gain);
    if (!std::isfinite(peak_db) || peak_db + gain_db <= EXPORT_TRUE_PEAK_DBTP)
        return 1;
    double threshold_db = EXPORT_TRUE_PEAK_DBTP - LIMIT_BELOW_CEILING_DB;
    for (int pass = 0; pass < MAX_MEASURING_PASSES; pass++) {
        plan->gain = db_to_gain(gain_db);
        plan->threshold = static_cast<float>(db_to_gain(threshold_db));
        loudness_meter *meter = new_loudness_meter(SYNTH_SAMPLE_RATE);
        int ok = meter && level_pass(scratch, *plan, meter, nullptr);
        double got = ok ? integrated_loudness(meter) : 0.0,
               got_peak = ok ? true_peak_db(meter) : 0.0;
        delete_loudness_meter(meter);
        if (!ok)
            return 0;
        double short_by = EXPORT_LOUDNESS_LUFS - got, over = got_peak - EXPORT_TRUE_PEAK_DBTP;
        if (std::fabs(short_by) <= LOUDNESS_TOLERANCE_LU && over <= 0.0)
            return 1;
        gain_db += short_by;
        if (over > 0.0)
            threshold_db -= over;
    }
    plan->gain = db_to_gain(gain_db);
    plan->threshold = static_cast<float>(db_to_gain(threshold_db));
    return 1;
}

// ---- The file ----

int encode(FILE *scratch, const level_plan &plan, int fd, int format) {
    SF_INFO info{};
    info.samplerate = SYNTH_SAMPLE_RATE;
    info.channels = CHANNELS;
    info.format = format;
    SNDFILE *out = sf_open_fd(fd, SFM_WRITE, &info, 0);
    if (!out) {
        file_message("No audio can be written: %s.", sf_strerror(nullptr));
        return 0;
    }
    // Samples beyond full scale are clipped rather than wrapped around.
    sf_command(out, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    int ok = level_pass(scratch, plan, nullptr, out);
    return sf_close(out) == 0 && ok;
}

int render_and_encode(const std::vector<unsigned char> &image, output_file *out, int format) {
    FILE *scratch = open_scratch(out->final_path);
    if (!scratch)
        return 0;
    loudness_meter *meter = new_loudness_meter(SYNTH_SAMPLE_RATE);
    level_plan plan{};
    int ok = meter && render_to_scratch(image, scratch, meter) &&
             plan_level(scratch, integrated_loudness(meter), true_peak_db(meter), &plan) &&
             std::fflush(out->fp) == 0 && encode(scratch, plan, fileno(out->fp), format);
    delete_loudness_meter(meter);
    std::fclose(scratch);
    return ok;
}

} // namespace

int audio_format_of(const char *path) {
    const char *dot = path_extension(path);
    if (!dot)
        return 0;
    for (const extension_format &f : FORMATS)
        if (!strcasecmp(dot, f.ext))
            return f.format;
    return 0;
}

int write_audio(const char *path, score *s) {
    return write_audio_format(path, s, audio_format_of(path));
}

int write_audio_format(const char *path, score *s, int format) {
    if (!format) {
        file_message("%s: unknown audio type (use %s).", path, AUDIO_EXTENSIONS);
        return 0;
    }
    std::vector<unsigned char> image = score_image(s);
    if (image.empty())
        return 0;
    output_file out;
    if (!open_output(&out, path))
        return 0;
    return finish_output(&out, render_and_encode(image, &out, format));
}
