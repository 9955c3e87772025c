// Test helpers over the model's invariant checker: an assertion for GoogleTest, and the whole
// notes a score compresses to.
#include "invariants.h"

#include <algorithm>
#include <sstream>
#include <tuple>

::testing::AssertionResult score_invariants(score *s) {
    std::string failures = score_invariant_failures(s);
    if (failures.empty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << failures;
}

bool operator==(const whole_note &a, const whole_note &b) {
    return a.at == b.at && a.len == b.len && a.pitch == b.pitch && a.pos_y == b.pos_y &&
           a.track == b.track && a.volume == b.volume;
}

bool operator<(const whole_note &a, const whole_note &b) {
    auto key = [](const whole_note &n) {
        return std::make_tuple(n.at, n.pitch, n.track, n.len, n.pos_y, n.volume);
    };
    return key(a) < key(b);
}

std::string to_string(const whole_note &n) {
    std::ostringstream o;
    o << "{at " << n.at << ", len " << n.len << ", pitch " << n.pitch << ", pos.y " << n.pos_y
      << ", track " << n.track << ", volume " << n.volume << "}";
    return o.str();
}

std::string to_string(const std::vector<whole_note> &notes) {
    std::string out;
    for (const whole_note &n : notes)
        out += "\n    " + to_string(n);
    return out;
}

std::vector<whole_note> compressed_whole_notes(score *s, std::string *error) {
    score copy;
    copy_score(&copy, s);
    for (measure *m = copy.measures.head; m; m = m->next)
        measure_compress_by_measure(m);
    std::vector<whole_note> notes;
    int start = 0;
    for (measure *m = copy.measures.head; m; start += m->len, m = m->next)
        for (note *n = m->notes.head; n; n = n->next) {
            if (n->rest)
                continue;
            if ((n->l_next || n->l_prev) && error->empty())
                *error = "still tied after compression: " + describe_element(n);
            if (n->total_len != n->len && error->empty())
                *error = "total_len != len after compression: " + describe_element(n);
            notes.push_back({start + n->x, n->len, n->pitch, n->pos.y, n->track, n->volume});
        }
    destroy_score(&copy);
    std::sort(notes.begin(), notes.end());
    return notes;
}
