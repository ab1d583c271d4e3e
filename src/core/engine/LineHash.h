#pragma once

#include <cstdint>
#include <cstring>

#if defined(_MSC_VER) && defined(_M_X64)
#include <intrin.h>
#endif

namespace Compare {

// A fast seeded hash of a line's bytes, read eight and sixteen at a time: a
// comparison hashes every line of both texts once, so this is on its hot
// path. Any seed gives a good spread; the value differs between platforms
// and runs, so it must never be stored.
namespace LineHash {

#if defined(__SIZEOF_INT128__)
__extension__ typedef unsigned __int128 Product;
#endif

// The high and low halves of a 64 x 64 bit product, folded together.
inline std::uint64_t mix(std::uint64_t a, std::uint64_t b)
{
#if defined(__SIZEOF_INT128__)
    const Product product = Product(a) * b;
    return std::uint64_t(product) ^ std::uint64_t(product >> 64);
#elif defined(_MSC_VER) && defined(_M_X64)
    std::uint64_t high = 0;
    const std::uint64_t low = _umul128(a, b, &high);
    return low ^ high;
#else
    const std::uint64_t aLow = a & 0xffffffffu, aHigh = a >> 32;
    const std::uint64_t bLow = b & 0xffffffffu, bHigh = b >> 32;
    const std::uint64_t lowLow = aLow * bLow, lowHigh = aLow * bHigh;
    const std::uint64_t highLow = aHigh * bLow, highHigh = aHigh * bHigh;
    const std::uint64_t middle = (lowLow >> 32) + (lowHigh & 0xffffffffu) + highLow;
    const std::uint64_t low = (middle << 32) | (lowLow & 0xffffffffu);
    const std::uint64_t high = highHigh + (lowHigh >> 32) + (middle >> 32);
    return low ^ high;
#endif
}

inline std::uint64_t read8(const unsigned char *p)
{
    std::uint64_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

inline std::uint64_t read4(const unsigned char *p)
{
    std::uint32_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

constexpr std::uint64_t k0 = 0xa0761d6478bd642full;
constexpr std::uint64_t k1 = 0xe7037ed1a0b428dbull;

// The seed as hash() wants it: spread once, not once a line.
inline std::uint64_t prepareSeed(std::uint64_t seed)
{
    return seed ^ mix(seed ^ k0, k1);
}

// Reads only the `size` bytes at `data`, never past them.
inline std::uint64_t hash(const void *data, std::size_t size, std::uint64_t preparedSeed)
{
    const auto *p = static_cast<const unsigned char *>(data);
    std::uint64_t seed = preparedSeed;
    std::uint64_t a = 0;
    std::uint64_t b = 0;
    if (size <= 16) {
        if (size >= 4) {
            // Two overlapping pairs of four bytes cover 4 to 16 bytes.
            const std::size_t quarter = (size >> 3) << 2;
            a = (read4(p) << 32) | read4(p + quarter);
            b = (read4(p + size - 4) << 32) | read4(p + size - 4 - quarter);
        } else if (size > 0) {
            a = (std::uint64_t(p[0]) << 16) | (std::uint64_t(p[size >> 1]) << 8) | p[size - 1];
        }
    } else {
        std::size_t left = size;
        while (left > 16) {
            seed = mix(read8(p) ^ k1, read8(p + 8) ^ seed);
            p += 16;
            left -= 16;
        }
        // The last sixteen bytes, overlapping what went before.
        a = read8(p + left - 16);
        b = read8(p + left - 8);
    }
    return mix(k1 ^ size, mix(a ^ k1, b ^ seed));
}

} // namespace LineHash
} // namespace Compare
