#pragma once

#include <cstring>

#include <QtGlobal>

namespace Csv {

// Where an unquoted cell from `p` stops: at the delimiter, a line break, a
// quote (which has no place there) or the end. One pass: most bytes of text
// lie above the quote, and a byte there stops the cell only as the delimiter.
inline const char *plainCellEnd(const char *p, const char *end, char delimiter)
{
    for (; p < end; ++p) {
        const char c = *p;
        if (static_cast<unsigned char>(c) > '"' && c != delimiter)
            continue;
        if (c == delimiter || c == '\r' || c == '\n' || c == '"')
            return p;
    }
    return p;
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
