// Setting and clearing the staccato mark along tie chains, for one note and for the notes
// that start inside the selection.
#include "model/staccato.h"

#include "model/selection.h"
#include "model/tie.h"

namespace {

// A note starts at this element: not a rest, not a continuation piece.
int starts_note(const note *n) {
    return !n->rest && !n->l_prev;
}

void count_unmarked(measure *, note *n, void *data) {
    if (starts_note(n) && !n->staccato)
        ++*static_cast<int *>(data);
}

struct mark_pass {
    int on;
    int changed;
};

void mark_note(measure *, note *n, void *data) {
    mark_pass *pass = static_cast<mark_pass *>(data);
    if (!starts_note(n) || int(n->staccato) == pass->on)
        return;
    set_chain_staccato(n, pass->on);
    pass->changed++;
}

} // namespace

void set_chain_staccato(note *piece, int on) {
    for (note *p = _l_start_note(piece); p; p = p->l_next)
        p->staccato = on ? 1 : 0;
}

int toggle_selection_staccato(score *s) {
    int unmarked = 0;
    foreach_selection(s, count_unmarked, &unmarked);
    mark_pass pass = {unmarked > 0, 0};
    foreach_selection(s, mark_note, &pass);
    return pass.changed;
}
