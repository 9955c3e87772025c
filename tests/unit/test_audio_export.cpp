// Audio export: the WAV file's format and length, muted tracks and note volumes as heard, and
// failures (no soundfont, no directory) that leave no file and keep an existing one.
#include <allegro.h>
#include <cstdint>
#include <cstring>

#include "file_test_util.h"
#include "files/audio_exp.h"

namespace {

constexpr int WAV_RATE = 48000;
constexpr double QUARTER_AT_120_S = 0.5;
constexpr int DITHER_PEAK = 2; // silence converted to 16 bits keeps a little dither

struct wav_info {
    int channels = 0, rate = 0, bits = 0;
    long frames = 0;
    int peak = 0; // largest absolute sample
};

uint32_t le(const std::string &s, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; i--)
        v = v << 8 | static_cast<unsigned char>(s[at + i]);
    return v;
}

// Walks the RIFF chunks of a PCM WAV file for its format and its samples.
wav_info read_wav(const std::string &path) {
    wav_info w;
    std::string f = read_all(path);
    if (f.size() < 12 || f.compare(0, 4, "RIFF") || f.compare(8, 4, "WAVE"))
        return w;
    for (size_t at = 12; at + 8 <= f.size();) {
        std::string id = f.substr(at, 4);
        size_t len = le(f, at + 4, 4), body = at + 8;
        if (id == "fmt ") {
            w.channels = le(f, body + 2, 2);
            w.rate = le(f, body + 4, 4);
            w.bits = le(f, body + 14, 2);
        } else if (id == "data" && w.bits == 16 && w.channels > 0) {
            len = std::min(len, f.size() - body);
            w.frames = len / (2 * w.channels);
            for (size_t i = body; i + 1 < body + len; i += 2)
                w.peak = std::max(w.peak, std::abs(static_cast<int16_t>(le(f, i, 2))));
        }
        at = body + len + (len & 1);
    }
    return w;
}

class AudioExport : public FileTest {
  protected:
    void TearDown() override {
        set_config_string("sound", "soundfont", nullptr);
        FileTest::TearDown();
    }
    // A quarter-note middle C at tempo 120 on track 0.
    void one_note(int volume) {
        default_tempo = 120;
        add_note(g_score.measures.head, 0, 0, 192, 0, volume);
        expand_and_validate(&g_score);
    }
};

TEST_F(AudioExport, OneNoteGivesStereoWavOfTheNoteAndItsTail) {
    one_note(127);
    ASSERT_EQ(write_audio(path("a.wav").c_str(), &g_score), 1);
    wav_info w = read_wav(path("a.wav"));
    EXPECT_EQ(w.channels, 2);
    EXPECT_EQ(w.rate, WAV_RATE);
    EXPECT_EQ(w.bits, 16);
    double seconds = static_cast<double>(w.frames) / WAV_RATE;
    double expected = QUARTER_AT_120_S + AUDIO_TAIL_MS / 1000.0;
    EXPECT_NEAR(seconds, expected, 0.05);
    EXPECT_GT(w.peak, 1000);
    EXPECT_EQ(count_files(dir), 1);
}

TEST_F(AudioExport, MutedTracksAreSilentAndVolumesScaleTheSound) {
    struct {
        int volume, mute;
        const char *name;
    } cases[] = {{127, 0, "loud.wav"}, {40, 0, "soft.wav"}, {127, 1, "muted.wav"}};
    int peak[3];
    for (int i = 0; i < 3; i++) {
        destroy_score(&g_score);
        init_g_score();
        one_note(cases[i].volume);
        track_info[0].mute = cases[i].mute;
        ASSERT_EQ(write_audio(path(cases[i].name).c_str(), &g_score), 1) << cases[i].name;
        peak[i] = read_wav(path(cases[i].name)).peak;
    }
    EXPECT_LT(peak[1], peak[0] * 0.7);
    EXPECT_GT(peak[1], 0);
    EXPECT_LE(peak[2], DITHER_PEAK);
}

TEST_F(AudioExport, FailuresLeaveNoFileAndKeepAnOldOne) {
    one_note(127);
    EXPECT_EQ(write_audio(path("missing/a.wav").c_str(), &g_score), 0);
    EXPECT_EQ(count_files(dir), 0);

    write_text(path("old.wav"), "old");
    set_config_string("sound", "soundfont", path("none.sf2").c_str());
    EXPECT_EQ(write_audio(path("old.wav").c_str(), &g_score), 0);
    EXPECT_EQ(read_all(path("old.wav")), "old");
    EXPECT_EQ(count_files(dir), 1);
    ASSERT_EQ(captured_messages().size(), 1u);
    EXPECT_NE(captured_messages()[0].find("none.sf2"), std::string::npos);
}

} // namespace
