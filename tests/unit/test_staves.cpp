// Staff use of a track: one clef when its notes fit it, the grand staff when they need both and
// its instrument is a keyboard or the harp, read from the notes of that track alone.
#include "model/staves.h"
#include "model_core_helpers.h"

namespace {

using model_test::add_note;
using model_test::nth;

TEST(Staves, TrackStaffUseFollowsItsNotes) {
    struct {
        std::vector<int> pitches; // of track 0, one per measure
        int use;
        int patch = 0;
    } cases[] = {
        {{}, STAFF_NONE},
        {{0}, STAFF_TREBLE},
        {{-1}, STAFF_BASS},
        {{12, 7}, STAFF_TREBLE},
        {{-12, -24}, STAFF_BASS},
        {{-5, 9}, STAFF_TREBLE},
        {{-12, 7}, STAFF_BASS},
        {{-1, 2, 3}, STAFF_TREBLE},
        {{-4, -3, 2}, STAFF_BASS},
        {{-8, 8}, STAFF_BOTH},
        {{5, -20, 12}, STAFF_BOTH},
        // Only keyboards and the harp take the grand staff; the drum kit keeps the bass clef.
        {{-8, 8}, STAFF_BOTH, 46},
        {{-8, 8}, STAFF_BOTH, 19},
        {{-8, 9}, STAFF_TREBLE, 40},
        {{-20, 5}, STAFF_BASS, 33},
        {{-30, 40}, STAFF_BASS, 128},
        {{-1, 2, 3}, STAFF_TREBLE, 128},
    };
    for (const auto &c : cases) {
        model_test::reset_score(2, 3);
        g_score.tracks[0].patch = static_cast<int16_t>(c.patch);
        g_score.tracks[1].patch = 0;
        for (size_t i = 0; i < c.pitches.size(); i++)
            add_note(nth(static_cast<int>(i)), 0, 192, c.pitches[i], 0);
        add_note(nth(0), 192, 192, -30, 1); // another track's note changes nothing
        EXPECT_EQ(track_staff_use(&g_score, 0), c.use) << c.pitches.size() << " " << c.patch;
        EXPECT_EQ(track_staff_use(&g_score, 1), STAFF_BASS);
        EXPECT_EQ(pitch_staff(c.pitches.empty() ? 0 : c.pitches[0]),
                  c.pitches.empty() || c.pitches[0] >= 0 ? STAFF_TREBLE : STAFF_BASS);
    }
    model_test::release_score();
}

} // namespace
