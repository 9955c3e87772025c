// A model header that reaches up into the editor.
#pragma once

#include "editor/b.h"
