// One half of a circle.
#pragma once

#include "model/b.h"
