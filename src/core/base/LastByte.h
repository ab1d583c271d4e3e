#pragma once

#include <cstddef>
#include <cstring>

// Where the last byte `c` of [begin, begin + size) is, or null. glibc's
// memrchr reads many bytes at a time, which counts on lines of megabytes;
// elsewhere (MinGW has none) a plain loop.
inline const char *lastByte(const char *begin, std::size_t size, char c)
{
#ifdef __GLIBC__
    return static_cast<const char *>(memrchr(begin, c, size));
#else
    for (const char *at = begin + size; at != begin;) {
        if (*--at == c)
            return at;
    }
    return nullptr;
#endif
}
