// General MIDI program names, in program order (the standard's instrument list), each with the
// short form the track settings show.
#include "files/gm_names.h"

#include "model/score.h"

namespace {

constexpr int GM_PROGRAMS = 128;

// The standard's name and the shorter one the track list shows.
struct gm_program {
    const char *name;
    const char *short_name;
};

const gm_program gm_programs[GM_PROGRAMS] = {
    {"Acoustic Grand Piano", "Acoustic Grand"},
    {"Bright Acoustic Piano", "Bright Acoustic"},
    {"Electric Grand Piano", "Electric Grand"},
    {"Honky-tonk Piano", "Honky-Tonk"},
    {"Electric Piano 1", "Electric Piano 1"},
    {"Electric Piano 2", "Electric Piano 2"},
    {"Harpsichord", "Harpsichord"},
    {"Clavinet", "Clav"},
    {"Celesta", "Celesta"},
    {"Glockenspiel", "Glockenspiel"},
    {"Music Box", "Music Box"},
    {"Vibraphone", "Vibraphone"},
    {"Marimba", "Marimba"},
    {"Xylophone", "Xylophone"},
    {"Tubular Bells", "Tubular Bells"},
    {"Dulcimer", "Dulcimer"},
    {"Drawbar Organ", "Drawbar Organ"},
    {"Percussive Organ", "Percussive Organ"},
    {"Rock Organ", "Rock Organ"},
    {"Church Organ", "Church Organ"},
    {"Reed Organ", "Reed Organ"},
    {"Accordion", "Accoridan"},
    {"Harmonica", "Harmonica"},
    {"Tango Accordion", "Tango Accordian"},
    {"Acoustic Guitar (nylon)", "Acoustic Guitar (nylon)"},
    {"Acoustic Guitar (steel)", "Acoustic Guitar (steel)"},
    {"Electric Guitar (jazz)", "Electric Guitar (jazz)"},
    {"Electric Guitar (clean)", "Electric Guitar (clean)"},
    {"Electric Guitar (muted)", "Electric Guitar (muted)"},
    {"Overdriven Guitar", "Overdriven Guitar"},
    {"Distortion Guitar", "Distortion Guitar"},
    {"Guitar Harmonics", "Guitar Harmonics"},
    {"Acoustic Bass", "Acoustic Bass"},
    {"Electric Bass (finger)", "Electric Bass (finger)"},
    {"Electric Bass (pick)", "Electric Bass (pick)"},
    {"Fretless Bass", "Fretless Bass"},
    {"Slap Bass 1", "Slap Bass 1"},
    {"Slap Bass 2", "Slap Bass 2"},
    {"Synth Bass 1", "Synth Bass 1"},
    {"Synth Bass 2", "Synth Bass 2"},
    {"Violin", "Violin"},
    {"Viola", "Viola"},
    {"Cello", "Cello"},
    {"Contrabass", "Contrabass"},
    {"Tremolo Strings", "Tremolo Strings"},
    {"Pizzicato Strings", "Pizzicato Strings"},
    {"Orchestral Harp", "Orchestral Strings"},
    {"Timpani", "Timpani"},
    {"String Ensemble 1", "String Ensemble 1"},
    {"String Ensemble 2", "String Ensemble 2"},
    {"Synth Strings 1", "SynthStrings 1"},
    {"Synth Strings 2", "SynthStrings 2"},
    {"Choir Aahs", "Choir Aahs"},
    {"Voice Oohs", "Voice Oohs"},
    {"Synth Voice", "Synth Voice"},
    {"Orchestra Hit", "Orchestra Hit"},
    {"Trumpet", "Trumpet"},
    {"Trombone", "Trombone"},
    {"Tuba", "Tuba"},
    {"Muted Trumpet", "Muted Trumpet"},
    {"French Horn", "French Horn"},
    {"Brass Section", "Brass Section"},
    {"Synth Brass 1", "SynthBrass 1"},
    {"Synth Brass 2", "SynthBrass 2"},
    {"Soprano Sax", "Soprano Sax"},
    {"Alto Sax", "Alto Sax"},
    {"Tenor Sax", "Tenor Sax"},
    {"Baritone Sax", "Baritone Sax"},
    {"Oboe", "Oboe"},
    {"English Horn", "English Horn"},
    {"Bassoon", "Bassoon"},
    {"Clarinet", "Clarinet"},
    {"Piccolo", "Piccolo"},
    {"Flute", "Flute"},
    {"Recorder", "Recorder"},
    {"Pan Flute", "Pan Flute"},
    {"Blown Bottle", "Blown Bottle"},
    {"Shakuhachi", "Shakuhachi"},
    {"Whistle", "Whistle"},
    {"Ocarina", "Ocarina"},
    {"Lead 1 (square)", "Lead 1 (square)"},
    {"Lead 2 (sawtooth)", "Lead 2 (sawtooth)"},
    {"Lead 3 (calliope)", "Lead 3 (calliope)"},
    {"Lead 4 (chiff)", "Lead 4 (chiff)"},
    {"Lead 5 (charang)", "Lead 5 (charang)"},
    {"Lead 6 (voice)", "Lead 6 (voice)"},
    {"Lead 7 (fifths)", "Lead 7 (fifths)"},
    {"Lead 8 (bass + lead)", "Lead 8 (bass+lead)"},
    {"Pad 1 (new age)", "Pad 1 (new age)"},
    {"Pad 2 (warm)", "Pad 2 (warm)"},
    {"Pad 3 (polysynth)", "Pad 3 (polysynth)"},
    {"Pad 4 (choir)", "Pad 4 (choir)"},
    {"Pad 5 (bowed)", "Pad 5 (bowed)"},
    {"Pad 6 (metallic)", "Pad 6 (metallic)"},
    {"Pad 7 (halo)", "Pad 7 (halo)"},
    {"Pad 8 (sweep)", "Pad 8 (sweep)"},
    {"FX 1 (rain)", "FX 1 (rain)"},
    {"FX 2 (soundtrack)", "FX 2 (soundtrack)"},
    {"FX 3 (crystal)", "FX 3 (crystal)"},
    {"FX 4 (atmosphere)", "FX 4 (atmosphere)"},
    {"FX 5 (brightness)", "FX 5 (brightness)"},
    {"FX 6 (goblins)", "FX 6 (goblins)"},
    {"FX 7 (echoes)", "FX 7 (echoes)"},
    {"FX 8 (sci-fi)", "FX 8 (sci-fi)"},
    {"Sitar", "Sitar"},
    {"Banjo", "Banjo"},
    {"Shamisen", "Shamisen"},
    {"Koto", "Koto"},
    {"Kalimba", "Kalimba"},
    {"Bagpipe", "Bagpipe"},
    {"Fiddle", "Fiddle"},
    {"Shanai", "Shanai"},
    {"Tinkle Bell", "Tinkle Bell"},
    {"Agogo", "Agogo"},
    {"Steel Drums", "Steel Drums"},
    {"Woodblock", "Woodblock"},
    {"Taiko Drum", "Taiko Drum"},
    {"Melodic Tom", "Melodic Tom"},
    {"Synth Drum", "Synth Drum"},
    {"Reverse Cymbal", "Reverse Cymbal"},
    {"Guitar Fret Noise", "Guitar Fret Noise"},
    {"Breath Noise", "Breath Noise"},
    {"Seashore", "Seashore"},
    {"Bird Tweet", "Bird Tweet"},
    {"Telephone Ring", "Telephone ring"},
    {"Helicopter", "Helicopter"},
    {"Applause", "Applause"},
    {"Gunshot", "Gunshot"},
};

} // namespace

const char *gm_instrument_name(int patch) {
    if (patch == PERCUSSION_PATCH)
        return "Drums";
    if (patch < 0 || patch >= GM_PROGRAMS)
        return "Track";
    return gm_programs[patch].name;
}

const char *gm_short_name(int patch) {
    if (patch == PERCUSSION_PATCH)
        return "Percussions";
    if (patch < 0 || patch >= GM_PROGRAMS)
        return "";
    return gm_programs[patch].short_name;
}
