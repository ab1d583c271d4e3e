#pragma once

#include <cstddef>
#include <cstdint>

namespace Bench {

// splitmix64: tiny, fast and fully specified, unlike the std distributions, so
// the same seed gives the same data on every machine.
class Random
{
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}

    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    std::size_t below(std::size_t bound) { return std::size_t(next() % bound); }

private:
    std::uint64_t m_state;
};

// Names the generators draw their cells from.
inline const char *const kNames[] = {"Alder",  "Birch", "Cedar",  "Dogwood",  "Elm",
                                     "Fir",    "Gum",   "Hazel",  "Ironwood", "Juniper",
                                     "Larch",  "Maple", "Oak",    "Pine",     "Rowan",
                                     "Spruce", "Teak",  "Willow", "Yew",      "Ash"};
inline const char *const kPlaces[] = {"Northgate", "Eastbrook", "Southmere", "Westfold",
                                      "Midvale",   "Highcliff", "Lowmoor",   "Riverton"};

} // namespace Bench
