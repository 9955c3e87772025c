// The clipboard measure.
#include "model/clipboard.h"

measure clip_board_measure;
