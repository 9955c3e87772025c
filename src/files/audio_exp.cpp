// Audio export: the score's MIDI rendering laid out as a Standard MIDI File in memory, played
// by a FluidSynth player on the sample clock and written block by block by its file renderer.
#include "files/audio_exp.h"

#include <cstdint>
#include <vector>

#include "files/file_support.h"
#include "files/midi_exp.h"
#include "playback/synth.h"

namespace {

constexpr int SMF_HEADER_LENGTH = 6;
constexpr int SMF_FORMAT = 1;
constexpr int RENDER_BLOCK_FRAMES = 64;

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
    plinkel_midi_write_to_memory(s->measures.head, midi, 1);
    if (midi->track[0].len > 0)
        image = smf_image(midi);
    destroy_midi(midi);
    return image;
}

fluid_settings_t *render_settings(const char *path) {
    fluid_settings_t *settings = new_synth_settings();
    if (!settings)
        return nullptr;
    fluid_settings_setstr(settings, "audio.file.name", path);
    fluid_settings_setstr(settings, "audio.file.type", "wav");
    fluid_settings_setstr(settings, "audio.file.format", "s16");
    fluid_settings_setint(settings, "audio.period-size", RENDER_BLOCK_FRAMES);
    // Time is counted in rendered samples, so a render is exact and as fast as the machine.
    fluid_settings_setstr(settings, "player.timing-source", "sample");
    return settings;
}

// The player stays in its playing state for a grace time after the last event; the render
// stops at the last event instead and then adds a tail of its own length.
int last_event_reached(fluid_player_t *player) {
    int total = fluid_player_get_total_ticks(player);
    return total > 0 && fluid_player_get_current_tick(player) >= total;
}

int render_blocks_while_playing(fluid_file_renderer_t *renderer, fluid_player_t *player) {
    while (fluid_player_get_status(player) == FLUID_PLAYER_PLAYING && !last_event_reached(player))
        if (fluid_file_renderer_process_block(renderer) != FLUID_OK)
            return 0;
    int tail_blocks = SYNTH_SAMPLE_RATE / 1000 * AUDIO_TAIL_MS / RENDER_BLOCK_FRAMES;
    for (int i = 0; i < tail_blocks; i++)
        if (fluid_file_renderer_process_block(renderer) != FLUID_OK)
            return 0;
    return 1;
}

int render(fluid_synth_t *synth, const std::vector<unsigned char> &image) {
    fluid_player_t *player = new_fluid_player(synth);
    fluid_file_renderer_t *renderer = player ? new_fluid_file_renderer(synth) : nullptr;
    int ok = renderer && fluid_player_add_mem(player, image.data(), image.size()) == FLUID_OK &&
             fluid_player_play(player) == FLUID_OK && render_blocks_while_playing(renderer, player);
    // The renderer completes the file's header when it is deleted.
    if (renderer)
        delete_fluid_file_renderer(renderer);
    if (player)
        delete_fluid_player(player);
    return ok;
}

int render_to(const char *path, const std::vector<unsigned char> &image) {
    quiet_synth_messages();
    fluid_settings_t *settings = render_settings(path);
    if (!settings)
        return 0;
    const char *why = "";
    fluid_synth_t *synth = new_loaded_synth(settings, &why);
    int ok = synth && render(synth, image);
    if (!synth)
        file_message("No audio can be rendered: %s.", why);
    if (synth)
        delete_fluid_synth(synth);
    delete_fluid_settings(settings);
    return ok;
}

} // namespace

int write_audio(const char *path, score *s) {
    std::vector<unsigned char> image = score_image(s);
    if (image.empty())
        return 0;
    output_file out;
    if (!open_output(&out, path))
        return 0;
    // The renderer writes the temporary file by its name; out only holds the name in reserve.
    return finish_output(&out, render_to(out.tmp_path, image));
}
