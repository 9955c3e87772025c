// Audio export: the WAV file's format and length, muted tracks and note volumes as heard, the
// export loudness and peak ceiling, each format's header, and failures (no soundfont, no
// directory, an unknown type) that leave no file and keep an existing one.
#include <allegro.h>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <ebur128.h>
#include <sndfile.h>

#include "file_test_util.h"
#include "files/audio_exp.h"
#include "files/audio_level.h"

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
        g_score.default_tempo = 120;
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

// Loudness and true peak of a file as libsndfile decodes it, measured by libebur128.
struct level {
    double lufs = 0.0, true_peak_db = 0.0, peak = 0.0;
    SF_INFO info{};
    std::vector<float> frames;
};

level decode_level(const std::string &path) {
    level l;
    SNDFILE *f = sf_open(path.c_str(), SFM_READ, &l.info);
    if (!f)
        return l;
    l.frames.resize(static_cast<size_t>(l.info.frames * l.info.channels));
    sf_readf_float(f, l.frames.data(), l.info.frames);
    sf_close(f);
    ebur128_state *st =
        ebur128_init(l.info.channels, l.info.samplerate, EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
    ebur128_add_frames_float(st, l.frames.data(), l.info.frames);
    ebur128_loudness_global(st, &l.lufs);
    double tp = 0.0, p = 0.0;
    for (int c = 0; c < l.info.channels; c++) {
        ebur128_true_peak(st, c, &p);
        tp = std::max(tp, p);
    }
    ebur128_destroy(&st);
    l.true_peak_db = 20.0 * std::log10(tp);
    for (float v : l.frames)
        l.peak = std::max(l.peak, static_cast<double>(std::fabs(v)));
    return l;
}

// The largest absolute sample of a stretch of seconds.
double peak_between(const level &l, double from, double to) {
    double p = 0.0;
    for (long i = static_cast<long>(from * WAV_RATE) * 2; i < static_cast<long>(to * WAV_RATE) * 2;
         i++)
        p = std::max(p, static_cast<double>(std::fabs(l.frames[i])));
    return p;
}

// Within one score a soft note sounds softer than a loud one; a muted track stays silent.
TEST_F(AudioExport, MutedTracksAreSilentAndVolumesScaleTheSound) {
    g_score.default_tempo = 120;
    add_note(g_score.measures.head, 0, 0, 192, 0, 127);
    add_note(g_score.measures.head, 384, 0, 192, 0, 40);
    expand_and_validate(&g_score);
    ASSERT_EQ(write_audio(path("two.wav").c_str(), &g_score), 1);
    level l = decode_level(path("two.wav"));
    ASSERT_GT(l.frames.size(), 0u);
    EXPECT_LT(peak_between(l, 1.0, 1.5), peak_between(l, 0.0, 0.5) * 0.7);
    EXPECT_GT(peak_between(l, 1.0, 1.5), 0.0);

    g_score.tracks[0].mute = 1;
    ASSERT_EQ(write_audio(path("muted.wav").c_str(), &g_score), 1);
    EXPECT_LE(read_wav(path("muted.wav")).peak, DITHER_PEAK);
}

// A quiet melody, and the same melody after a loud chord whose peaks need the limiter: both come
// out at the export loudness within 1 LU, with their true peak at most at the ceiling.
TEST_F(AudioExport, ReachesTheLoudnessTargetBelowThePeakCeiling) {
    struct {
        const char *name;
        int chord_notes;
    } cases[] = {{"melody.wav", 0}, {"accent.wav", 10}};
    for (const auto &k : cases) {
        destroy_score(&g_score);
        init_g_score();
        g_score.default_tempo = 120;
        measure *m = g_score.measures.head;
        for (int i = 0; i < k.chord_notes; i++)
            add_note(m, 0, 4 * i - 14, 48, 0, 127);
        for (int i = 0; i < 8; i++) {
            if (i == 4) {
                insert_measure(&g_score, m, new_measure());
                m = m->next;
            }
            add_note(m, i % 4 * 192, i % 5, 192, 0, 50);
        }
        expand_and_validate(&g_score);
        ASSERT_EQ(write_audio(path(k.name).c_str(), &g_score), 1) << k.name;
        level l = decode_level(path(k.name));
        EXPECT_NEAR(l.lufs, EXPORT_LOUDNESS_LUFS, 1.0) << k.name;
        EXPECT_LE(l.true_peak_db, EXPORT_TRUE_PEAK_DBTP + 0.05) << k.name;
    }
}

// Each extension gives its format: the file starts with the format's own header, and libsndfile
// reads it back as stereo at 48 kHz of the score's length.
TEST_F(AudioExport, EachExtensionWritesItsFormat) {
    struct {
        const char *name;
        const char *magic; // the first bytes of the file
        int major;
    } cases[] = {{"a.wav", "RIFF", SF_FORMAT_WAV},
                 {"a.FLAC", "fLaC", SF_FORMAT_FLAC},
                 {"a.ogg", "OggS", SF_FORMAT_OGG},
                 {"a.mp3", nullptr, SF_FORMAT_MPEG}};
    one_note(127);
    for (const auto &k : cases) {
        ASSERT_EQ(write_audio(path(k.name).c_str(), &g_score), 1) << k.name;
        std::string head = read_all(path(k.name)).substr(0, 4);
        if (k.magic)
            EXPECT_EQ(head, k.magic) << k.name;
        else // an ID3 tag or an MPEG frame sync
            EXPECT_TRUE(head.compare(0, 3, "ID3") == 0 ||
                        (static_cast<unsigned char>(head[0]) == 0xFF &&
                         (static_cast<unsigned char>(head[1]) & 0xE0) == 0xE0))
                << k.name;
        level l = decode_level(path(k.name));
        EXPECT_EQ(l.info.format & SF_FORMAT_TYPEMASK, k.major) << k.name;
        EXPECT_EQ(l.info.channels, 2) << k.name;
        EXPECT_EQ(l.info.samplerate, WAV_RATE) << k.name;
        double seconds = static_cast<double>(l.info.frames) / WAV_RATE;
        EXPECT_NEAR(seconds, QUARTER_AT_120_S + AUDIO_TAIL_MS / 1000.0, 0.1) << k.name;
    }
    EXPECT_EQ(write_audio(path("a.aiff").c_str(), &g_score), 0);
    EXPECT_EQ(count_files(dir), 4) << "a.aiff written";
    ASSERT_EQ(captured_messages().size(), 1u);
    EXPECT_NE(captured_messages()[0].find("unknown audio type"), std::string::npos);
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
