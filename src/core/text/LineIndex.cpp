#include "text/LineIndex.h"

#include <algorithm>
#include <cstring>

namespace LineIndex {
namespace {

// Bytes between two looks at Cancel.
constexpr qint64 kSlice = qint64(4) << 20;

const char *nextBreak(const char *from, const char *end)
{
    // Most bytes are no break: memchr runs far faster than a loop here.
    const auto *cr = static_cast<const char *>(std::memchr(from, '\r', size_t(end - from)));
    const char *stop = cr ? cr : end;
    const auto *lf = static_cast<const char *>(std::memchr(from, '\n', size_t(stop - from)));
    return lf ? lf : cr;
}

// The starts in (from, to], read from bytes; to < bytes.size().
void scan(Starts &starts, QByteArrayView bytes, qint64 from, qint64 to)
{
    const char *data = bytes.data();
    const char *end = data + bytes.size();
    const char *at = data + std::max<qint64>(from, 0);
    const char *last = data + to; // the last break that may count lies before this
    while (at < last) {
        const char *hit = nextBreak(at, last);
        if (!hit)
            break;
        const char *next = hit + 1;
        if (*hit == '\r' && next < end && *next == '\n')
            ; // the LF that follows makes the break
        else if (next < end)
            starts.push_back(next - data);
        at = next;
    }
}

} // namespace

Starts build(QByteArrayView bytes, Compare::Progress *progress)
{
    Starts starts;
    const qint64 size = bytes.size();
    for (qint64 from = 0; from < size; from += kSlice) {
        const qint64 to = std::min(size, from + kSlice);
        scan(starts, bytes, from, to);
        if (progress) {
            progress->add(to - from);
            if (progress->cancelled.load(std::memory_order_relaxed))
                break;
        }
    }
    return starts;
}

void extend(Starts &starts, QByteArrayView bytes, qint64 from)
{
    // The break just before `from` was undecided while nothing followed it.
    scan(starts, bytes, std::max<qint64>(from - 1, 0), bytes.size());
}

} // namespace LineIndex
