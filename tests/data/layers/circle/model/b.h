// The other half of the circle.
#pragma once

#include "a.h"
