#pragma once

#include <QtGlobal>

// How many bits of `bits` are set, by a fixed run of shifts and adds. The
// processor the program is built for may lack a count instruction: there
// std::popcount is a call into the compiler's library, and a loop a bit at
// a time mispredicts its end (that loop took a third of reading a CSV file).
constexpr int bitCount(quint32 bits)
{
    bits = bits - ((bits >> 1) & 0x55555555u);
    bits = (bits & 0x33333333u) + ((bits >> 2) & 0x33333333u);
    bits = (bits + (bits >> 4)) & 0x0F0F0F0Fu;
    return int((bits * 0x01010101u) >> 24);
}

static_assert(bitCount(0) == 0 && bitCount(0xFFFFFFFFu) == 32 && bitCount(0x80000001u) == 2);
