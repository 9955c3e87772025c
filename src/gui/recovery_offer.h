// The question at start-up about recovery copies that editors which did not end cleanly left
// behind: "Recover unsaved changes of <name> from <time>?" with Yes, No and Later.
#pragma once

// Asks about every copy whose editor is gone, newest first; with file non-null only about the
// copies of that file. Yes opens the copy as the score, under its own file name and marked as
// changed, and ends the asking; No deletes the copy; Later keeps it for the next start.
// Returns 1 when a copy was opened.
int offer_recovery(const char *file);
