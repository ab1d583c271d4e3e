#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <vector>

#include <QtGlobal>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace Csv {

// Gives `advice` for the whole large pages inside [data, data + bytes).
inline void adviseWholePages(const void *data, size_t bytes, [[maybe_unused]] int advice)
{
#if defined(__linux__)
    constexpr std::uintptr_t kPage = std::uintptr_t(2) << 20;
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t from = (begin + kPage - 1) & ~(kPage - 1);
    const std::uintptr_t to = (begin + bytes) & ~(kPage - 1);
    if (to > from)
        madvise(reinterpret_cast<void *>(from), to - from, advice);
#else
    Q_UNUSED(data);
    Q_UNUSED(bytes);
#endif
}

// Asks the system to back memory not yet written with large pages: for a
// file's bytes about to be read into it, which a comparison reads at random.
inline void adviseLargePages(void *data, size_t bytes)
{
#if defined(MADV_HUGEPAGE)
    adviseWholePages(data, bytes, MADV_HUGEPAGE);
#else
    Q_UNUSED(data);
    Q_UNUSED(bytes);
#endif
}

// Reserves room for `count` elements and, where the system offers it, asks for
// large memory pages before the memory is first touched: the comparison reads
// its arrays at random, and with 4 KiB pages nearly every read of a
// million-row table also misses the address cache, and every page is a fault.
template <typename T>
void reserveLarge(std::vector<T> &array, size_t count)
{
    array.reserve(count);
    adviseLargePages(array.data() + array.size(), (array.capacity() - array.size()) * sizeof(T));
}

// Asks the system to move memory that is already filled into large pages now
// (Linux 6.1 and later; elsewhere nothing happens).
inline void collapseToLargePages(const void *data, size_t bytes)
{
    constexpr int kCollapse = 25; // MADV_COLLAPSE, newer than some system headers
    adviseWholePages(data, bytes, kCollapse);
}

// Whether largeArray() asks for large pages; true unless the program says
// otherwise. A program that makes each array once, in memory the system has
// never handed it, may do better without: where the first touch of a large
// page is slow (seen on a virtual machine: 0.2 GB/s against 2.2 GB/s for
// small pages), clearing them costs more than the address cache saves.
inline std::atomic<bool> largePagesForArrays{true};

// Fills `array` (its room reserved) to `count` copies of `value`, with
// tick() called after each megabyte: the system clears new memory as it is
// first written, and a hundred megabytes can take a third of a second, time
// in which a Cancel should be seen.
template <typename T, typename Tick>
void fillReserved(std::vector<T> &array, size_t count, const T &value, Tick &&tick)
{
    constexpr size_t kChunk = std::max<size_t>(1, (size_t(1) << 20) / sizeof(T));
    while (array.size() < count) {
        array.insert(array.end(), std::min(kChunk, count - array.size()), value);
        tick();
    }
}

// An array of `count` copies of `value` in ordinary pages (see
// fillReserved): for an array written and read in order, where large pages
// save little.
template <typename T, typename Tick>
std::vector<T> filledArray(size_t count, const T &value, Tick &&tick)
{
    std::vector<T> array;
    array.reserve(count);
    fillReserved(array, count, value, tick);
    return array;
}

// The same in large pages where possible (see largePagesForArrays): for an
// array read at random.
template <typename T, typename Tick>
std::vector<T> largeArray(size_t count, const T &value, Tick &&tick)
{
    std::vector<T> array;
    if (largePagesForArrays.load(std::memory_order_relaxed))
        reserveLarge(array, count);
    else
        array.reserve(count);
    fillReserved(array, count, value, tick);
    return array;
}

// The same where nothing looks for a Cancel.
template <typename T>
std::vector<T> largeArray(size_t count, const T &value)
{
    return largeArray(count, value, [] {});
}

} // namespace Csv
