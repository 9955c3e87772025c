// The installed command-layer hooks; all null until the command layer installs its own.
#include "editor/hooks.h"

namespace {
editor_hooks installed = {};
}

void install_editor_hooks(const editor_hooks &hooks) {
    installed = hooks;
}

const editor_hooks &installed_editor_hooks() {
    return installed;
}
