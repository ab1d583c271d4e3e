#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// A property a harness checks on every input. A broken one ends the run the
// way a crash does, so libFuzzer keeps the input and the replay test fails.
inline void fuzzCheck(bool holds, const char *property)
{
    if (holds)
        return;
    std::fprintf(stderr, "fuzz property broken: %s\n", property);
    std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);
