// The command layer's message boxes: the "warning" alert of a failed precondition, the alert
// that names a file and why it could not be read or written, and the seam through which the
// readers and writers report their own refusals.
#pragma once

// The alert "warning", an empty line, the message, and the button "Yes".
void warning(const char *message);
// An alert naming the file and the reason, e.g. "cannot write song.seq" / "Permission denied".
void file_problem(const char *action, const char *path, const char *reason);
// Shows a reader's or writer's message (file_message_hook) as an alert.
void file_message_alert(const char *text);
