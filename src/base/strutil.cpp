// Bounded string copies and heap duplicates, and the fatal out-of-memory path they share with
// the score model; the extension of a file name.
#include "base/strutil.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

void out_of_memory() {
    std::printf("insufficient memory\n");
    std::fflush(stdout);
    // A process that could not finish its work must not report success.
    std::exit(1);
}

char *str_n_cpy(char *dst, const char *src, size_t size) {
    if (size == 0)
        return dst;
    size_t n = std::strlen(src) + 1;
    if (n > size)
        n = size;
    std::memcpy(dst, src, n - 1);
    dst[n - 1] = '\0';
    return dst;
}

char *str_n_cat(char *dst, const char *src, size_t size) {
    size_t used = std::strlen(dst);
    if (size == 0 || used >= size - 1)
        return dst;
    std::strncat(dst, src, size - used - 1);
    dst[size - 1] = '\0';
    return dst;
}

char *str_dup(const char *src) {
    return str_n_dup(src, std::strlen(src));
}

char *str_n_dup(const char *src, size_t n) {
    size_t len = strnlen(src, n);
    char *dst = static_cast<char *>(std::malloc(len + 1));
    if (!dst)
        out_of_memory();
    std::memcpy(dst, src, len);
    dst[len] = '\0';
    return dst;
}

const char *path_extension(const char *path) {
    const char *dot = std::strrchr(path, '.');
    const char *slash = std::strrchr(path, '/');
    return dot && !(slash && dot < slash) ? dot : nullptr;
}
