// Fuzz target of the expression calculator: any text typed into a dialog field is evaluated or
// refused without a fault, an accepted value is a finite number, and turning any result into
// the int a dialog stores stays defined.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "gui/calc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size); // ends with a NUL
    double result = 0;
    if (calc(text.c_str(), &result) && !std::isfinite(result))
        __builtin_trap();
    // The conversion a dialog makes of any result must stay defined (the sanitizer watches it).
    volatile int stored = calc_to_int(result);
    (void)stored;
    return 0;
}
