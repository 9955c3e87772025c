// The bytes of a MusicXML score as the reader gets them: a plain .musicxml file, or the root
// score of a compressed .mxl archive (found through META-INF/container.xml), each read with a
// size cap so that a hostile file cannot make the reader hold more than it can afford.
#pragma once

#include <vector>

constexpr long MUSICXML_MAX_BYTES = 32L << 20; // the largest score text read (32 MB)

// Reads the score text of path into *out. Returns 1, or 0 with *why set to the reason (a
// static text) when the file cannot be opened, is too large, or is an archive without a
// readable score.
int load_musicxml_text(const char *path, std::vector<char> *out, const char **why);
