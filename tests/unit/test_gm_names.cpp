// The General MIDI name table: the standard's names and the track list's short ones, the
// percussion kit's and what a patch outside the table is called.
#include <gtest/gtest.h>

#include "files/gm_names.h"
#include "model/score.h"

TEST(GmNames, FullAndShortNamesOfEveryKindOfPatch) {
    struct row {
        int patch;
        const char *name;
        const char *short_name;
    };
    const row rows[] = {
        {0, "Acoustic Grand Piano", "Acoustic Grand"},
        {77, "Shakuhachi", "Shakuhachi"},
        {127, "Gunshot", "Gunshot"},
        {PERCUSSION_PATCH, "Drums", "Percussions"},
        {PERCUSSION_PATCH + 1, "Track", ""},
        {-1, "Track", ""},
    };
    for (const row &r : rows) {
        EXPECT_STREQ(gm_instrument_name(r.patch), r.name) << r.patch;
        EXPECT_STREQ(gm_short_name(r.patch), r.short_name) << r.patch;
    }
}
