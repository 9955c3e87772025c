// The MIDI capture driver: a MIDI driver that is never auto-detected and is chosen only through
// Allegro's configuration ([sound] midi_card = CAPT in ./allegro.cfg or in allegro.cfg of the
// directory that the ALLEGRO environment variable names). It appends every byte the program or the
// library's MIDI player sends to a log, one line per byte: a millisecond stamp and the byte in
// hex. The log file is named by [sound] capture_log (default "midi_capture.log").
#pragma once

// Makes the driver known to the library; call after allegro_init, before install_sound.
void register_capture_driver();
