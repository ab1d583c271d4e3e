#pragma once

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <QtGlobal>

#include "base/BitCount.h"

namespace Csv {

#if defined(__SSE2__)
// Which of sixteen bytes end a cell, a bit each: a line break or a quote,
// and the delimiter.
class StopBytes
{
public:
    explicit StopBytes(char delimiter) : m_delimiter(_mm_set1_epi8(delimiter)) {}
    static __m128i at(const char *p)
    {
        return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    }
    unsigned breaksAndQuotes(__m128i bytes) const
    {
        return unsigned(
            _mm_movemask_epi8(_mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, m_lineFeed),
                                                        _mm_cmpeq_epi8(bytes, m_carriageReturn)),
                                           _mm_cmpeq_epi8(bytes, m_quote))));
    }
    unsigned delimiters(__m128i bytes) const
    {
        return unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, m_delimiter)));
    }

private:
    const __m128i m_lineFeed = _mm_set1_epi8('\n');
    const __m128i m_carriageReturn = _mm_set1_epi8('\r');
    const __m128i m_quote = _mm_set1_epi8('"');
    const __m128i m_delimiter;
};
#endif

// Where an unquoted cell from `p` stops: at the delimiter, a line break, a
// quote (which has no place there) or the end. Sixteen bytes a step while
// that many remain; then one pass: most bytes of text lie above the quote,
// and a byte there stops the cell only as the delimiter.
inline const char *plainCellEnd(const char *p, const char *end, char delimiter)
{
#if defined(__SSE2__)
    const StopBytes stop(delimiter);
    for (; end - p >= 16; p += 16) {
        const __m128i bytes = StopBytes::at(p);
        if (const unsigned stops = stop.breaksAndQuotes(bytes) | stop.delimiters(bytes))
            return p + __builtin_ctz(stops);
    }
#endif
    for (; p < end; ++p) {
        const char c = *p;
        if (static_cast<unsigned char>(c) > '"' && c != delimiter)
            continue;
        if (c == delimiter || c == '\r' || c == '\n' || c == '"')
            return p;
    }
    return p;
}

// Where a record without quotes ends: past its line break (LF, CR LF or CR)
// or at `end`; `delimiters` grows by the delimiters before it. Null when a
// quote comes first, with `quoteAt` at it: such a record takes parseRecord.
// Many bytes a step, as most records of an export hold no quote.
inline const char *plainRecordEnd(const char *p, const char *end, char delimiter,
                                  qint64 &delimiters, const char *&quoteAt)
{
    const auto after = [end, &quoteAt](const char *at) -> const char * {
        if (*at == '"') {
            quoteAt = at;
            return nullptr;
        }
        return *at == '\r' && at + 1 < end && at[1] == '\n' ? at + 2 : at + 1;
    };
#if defined(__SSE2__)
    // A step's bytes from p, a bit each: false, its delimiters counted, while
    // no line break or quote is among them; else true, with p at the first
    // and the delimiters before it counted.
    const auto stopsIn = [&p, &delimiters](quint32 stops, quint32 separators) {
        if (stops == 0) {
            delimiters += bitCount(separators);
            return false;
        }
        const int at = __builtin_ctz(stops);
        delimiters += bitCount(separators & ((quint32(1) << at) - 1));
        p += at;
        return true;
    };
    const StopBytes stop(delimiter);
    // Thirty-two bytes a step, then sixteen: a record of an export takes a
    // few steps.
    for (; end - p >= 32; p += 32) {
        const __m128i low = StopBytes::at(p);
        const __m128i high = StopBytes::at(p + 16);
        if (stopsIn(stop.breaksAndQuotes(low) | stop.breaksAndQuotes(high) << 16,
                    stop.delimiters(low) | stop.delimiters(high) << 16))
            return after(p);
    }
    for (; end - p >= 16; p += 16) {
        const __m128i bytes = StopBytes::at(p);
        if (stopsIn(stop.breaksAndQuotes(bytes), stop.delimiters(bytes)))
            return after(p);
    }
#endif
    for (; p < end; ++p) {
        if (*p == delimiter)
            ++delimiters;
        else if (*p == '\n' || *p == '\r' || *p == '"')
            return after(p);
    }
    return end;
}

// One pass over one record of CSV bytes, shared by the reader (which counts
// cells and lines) and by Table::split (which keeps the cells). The sink is
// told of each cell:
//   plain(start, stop)                            an unquoted cell
//   quoted(open, close, rest, stop, doubled)      the bytes between the quotes
//     (open..close, with "" still doubled when `doubled`), then any bytes
//     written after the closing quote (rest..stop)
// Returns where the next record may start (after the record's line break),
// or nullptr when the record is not valid CSV: a quoted field that never
// closes, or a quote where none may be (inside an unquoted field, or text
// after a closing quote), in which case `*stray` says where that quote or text
// is. When sink.full() after a cell, returns at once with the record partly
// read. `lines` grows by the line breaks read, inside quotes or ending the record.
template <bool CountLines, typename Sink>
const char *parseRecord(const char *p, const char *end, char delimiter, qint64 &lines, Sink &sink,
                        const char **stray = nullptr)
{
    const auto strayAt = [stray](const char *where) -> const char * {
        if (stray)
            *stray = where;
        return nullptr;
    };
    const auto isEnd = [delimiter](char c) { return c == delimiter || c == '\r' || c == '\n'; };
    for (;;) {
        if (p < end && *p == '"') {
            const char *open = p + 1;
            const char *q = open;
            bool doubled = false;
            for (;;) {
                q = static_cast<const char *>(std::memchr(q, '"', size_t(end - q)));
                if (!q)
                    return nullptr;
                if (q + 1 < end && q[1] == '"') { // a doubled quote stands for one
                    doubled = true;
                    q += 2;
                    continue;
                }
                break;
            }
            if constexpr (CountLines) {
                for (const char *b = open; b < q; ++b) {
                    if (*b == '\n' || (*b == '\r' && (b + 1 == q || b[1] != '\n')))
                        ++lines;
                }
            }
            const char *rest = q + 1;
            p = rest;
            while (p < end && !isEnd(*p))
                ++p;
            if (p != rest)
                return strayAt(rest);
            sink.quoted(open, q, rest, p, doubled);
        } else {
            const char *start = p;
            p = plainCellEnd(p, end, delimiter);
            if (p < end && *p == '"')
                return strayAt(p);
            sink.plain(start, p);
        }
        if (sink.full())
            return p;
        if (p < end && *p == delimiter) {
            ++p;
            continue;
        }
        if (p < end) { // the line break that ends the record
            if (*p == '\r' && p + 1 < end && p[1] == '\n')
                ++p;
            ++p;
            ++lines;
        }
        return p;
    }
}

// A sink that only counts.
struct CellCounter
{
    qint64 cells = 0;
    void plain(const char *, const char *) { ++cells; }
    void quoted(const char *, const char *, const char *, const char *, bool) { ++cells; }
    static bool full() { return false; }
};

} // namespace Csv
