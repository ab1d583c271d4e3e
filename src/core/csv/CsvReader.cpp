#include "csv/CsvReader.h"

#include <algorithm>
#include <array>
#include <iterator>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/BothAtOnce.h"
#include "csv/LargeArrays.h"
#include "csv/RecordParser.h"
#include "text/TextDecoding.h"

namespace Csv {

namespace {

} // namespace

// Keeps the cells of the record being split.
struct RowSplitter
{
    Row &row;
    const char *text;

    qsizetype wanted;

    RowSplitter(Row &r, const char *t, qsizetype cells = -1) : row(r), text(t), wanted(cells)
    {
        row.m_spans.clear();
        row.m_unquoted.clear();
        row.m_text = t;
        if (cells > 0)
            row.m_spans.reserve(size_t(cells));
    }
    // No more cells wanted: the rest of the record is not read.
    bool full() const { return wanted >= 0 && qsizetype(row.m_spans.size()) >= wanted; }

    void plain(const char *start, const char *stop)
    {
        row.m_spans.push_back({start - text, stop - start});
    }
    void quoted(const char *open, const char *close, const char *rest, const char *stop,
                bool doubled)
    {
        if (!doubled && rest == stop) {
            row.m_spans.push_back({open - text, (close - open) | Row::kQuoted});
            return;
        }
        std::string &out = row.m_unquoted;
        const qsizetype from = qsizetype(out.size());
        for (const char *p = open; p < close; ++p) {
            out.push_back(*p);
            if (*p == '"')
                ++p; // the second of a doubled quote
        }
        out.append(rest, size_t(stop - rest));
        row.m_spans.push_back(
            {from, (qsizetype(out.size()) - from) | Row::kQuoted | Row::kUnquoted});
    }
};

namespace {

bool isLineBreak(char c)
{
    return c == '\r' || c == '\n';
}

// The cell count of each of the first records of `text` read with `delimiter`.
std::vector<qint64> firstCellCounts(QByteArrayView text, char delimiter, int records)
{
    std::vector<qint64> counts;
    const char *p = text.data();
    const char *end = p + text.size();
    qint64 lines = 0;
    while (p < end && int(counts.size()) < records) {
        if (isLineBreak(*p)) {
            ++p;
            continue;
        }
        CellCounter counter;
        p = parseRecord<false>(p, end, delimiter, lines, counter);
        if (!p)
            break; // cut short by the sample's end
        counts.push_back(counter.cells);
    }
    return counts;
}

} // namespace

// Fills a Table in one pass over its text, or over a range of it.
struct TableBuilder
{
    // Why a range could not be read, and where: `line` counted as the range's
    // lines are.
    struct Fault
    {
        enum Kind { None, Unclosed, QuoteInPlainField, TextAfterQuote };
        Kind kind = None;
        qint64 line = 0;
    };

    static ReadError errorFor(const Fault &fault)
    {
        const qint64 line = fault.line;
        switch (fault.kind) {
        case Fault::None:
            break;
        case Fault::Unclosed:
            return {line, QStringLiteral("the record that starts on line %1 has a quoted field "
                                         "that never closes")
                              .arg(line)};
        case Fault::QuoteInPlainField:
            return {
                line,
                QStringLiteral("line %1 has a quote inside a field that is not quoted").arg(line)};
        case Fault::TextAfterQuote:
            return {
                line,
                QStringLiteral("line %1 has text after the closing quote of a field").arg(line)};
        }
        return {};
    }

    // A quote inside an unquoted field, or text after a closing quote, at
    // `stray` in the record that starts at `record` on `recordLine`.
    static Fault strayQuote(const char *record, const char *stray, qint64 recordLine)
    {
        qint64 line = recordLine;
        for (const char *b = record; b < stray; ++b) {
            if (*b == '\n' || (*b == '\r' && b[1] != '\n'))
                ++line;
        }
        // Text after a closing quote never starts with a quote (that would
        // be a doubled one); the other fault always is one.
        return {*stray == '"' ? Fault::QuoteInPlainField : Fault::TextAfterQuote, line};
    }

    // Reads the records of bytes [from, to) into `t`, the first on `line`,
    // which ends as the line after the range. `width`: the cell count that
    // is not ragged (-1: the range's first record's).
    static Fault build(Table &t, qint64 from, qint64 to, qint64 &line, qint64 width,
                       WorkControl *control)
    {
        Checkpoint tick(control, qint64(1) << 20); // a megabyte: about a millisecond
        const char *begin = t.m_text.constData();
        const char *end = begin + to;
        const char *p = begin + from;
        qint64 counted = from; // the bytes told to the checkpoint
        if (width >= 0)
            t.m_firstCount = width;
        bool reserved = false;
        while (p < end) {
            if (isLineBreak(*p)) { // a line with nothing on it
                if (*p == '\r' && p + 1 < end && p[1] == '\n')
                    ++p;
                ++p;
                ++line;
                continue;
            }
            const qint64 recordLine = line;
            const qint64 start = p - begin;
            tick(start - counted);
            counted = start;
            CellCounter counter;
            const char *recordStart = p;
            qint64 delimiters = 0;
            const char *quote = nullptr;
            if (const char *next = plainRecordEnd(p, end, t.m_delimiter, delimiters, quote)) {
                counter.cells = delimiters + 1;
                line += next[-1] == '\n' || next[-1] == '\r' ? 1 : 0;
                p = next;
            } else {
                // Read on from the cell the first quote opens, the cells
                // before it counted; a quote that opens none is told of
                // from the record's start.
                if (quote == p || quote[-1] == t.m_delimiter) {
                    counter.cells = delimiters;
                    p = quote;
                }
                const char *stray = nullptr;
                p = parseRecord<true>(p, end, t.m_delimiter, line, counter, &stray);
                if (!p && stray)
                    return strayQuote(recordStart, stray, recordLine);
                if (!p)
                    return {Fault::Unclosed, recordLine};
            }
            const qint64 record = qint64(t.m_offsets.size());
            if (record == 0 && width < 0)
                t.m_firstCount = counter.cells;
            else if (counter.cells != t.m_firstCount)
                t.m_otherWidths.push_back({record, counter.cells});
            t.addRecord(record, start, recordLine);
            t.m_maxCellCount = std::max(t.m_maxCellCount, qsizetype(counter.cells));
            if (!reserved && record + 1 == 4096) {
                // Room for the whole range at the density of its first records.
                const double scale = double(to - from) / double(p - (begin + from)) * 1.05;
                t.m_offsets.reserve(size_t(double(t.m_offsets.size()) * scale));
                reserved = true;
            }
        }
        return {};
    }

    // Adds the records of `more`, read from a later range of the same text
    // whose first line is `lineOffset` lines after line 1.
    static void append(Table &t, const Table &more, qint64 lineOffset)
    {
        const qint64 base = qint64(t.m_offsets.size());
        t.m_offsets.reserve(size_t(base + more.size()));
        size_t jump = 0;
        qint64 extra = 0;
        for (qint64 r = 0; r < more.size(); ++r) {
            for (; jump < more.m_lineJumps.size() && more.m_lineJumps[jump].record <= r; ++jump)
                extra = more.m_lineJumps[jump].extra;
            t.addRecord(base + r, more.recordStart(r), r + 1 + extra + lineOffset);
        }
        for (const Table::OtherWidth &other : more.m_otherWidths)
            t.m_otherWidths.push_back({base + other.record, other.cells});
        t.m_maxCellCount = std::max(t.m_maxCellCount, more.m_maxCellCount);
    }

    // Where a record starts near the middle of `text`, found by the quotes'
    // parity: in valid CSV a line break ends a record where the quotes before
    // it are even. The text's size when none does after the middle.
    static qint64 recordNearMiddle(QByteArrayView text)
    {
        const qint64 size = text.size();
        const char *data = text.data();
        const qint64 middle = size / 2;
        bool inside = oddQuotes(data, middle);
        for (qint64 p = middle; p < size; ++p) {
            const char c = data[p];
            if (c == '"')
                inside = !inside;
            else if (!inside && isLineBreak(c))
                return c == '\r' && p + 1 < size && data[p + 1] == '\n' ? p + 2 : p + 1;
        }
        return size;
    }

    // Whether [data, data + n) holds an odd number of quotes.
    static bool oddQuotes(const char *data, qint64 n)
    {
        qint64 i = 0;
        unsigned folded = 0; // each bit the parity of the quotes at its place in 16 bytes
#if defined(__SSE2__)
        const __m128i quote = _mm_set1_epi8('"');
        for (; i + 16 <= n; i += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i));
            folded ^= unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, quote)));
        }
#endif
        for (; i < n; ++i)
            folded ^= data[i] == '"' ? 1u : 0u;
        for (int shift = 8; shift > 0; shift /= 2)
            folded ^= folded >> shift;
        return folded & 1;
    }

    // The cell count of the text's first record, or -1 when it is not valid.
    static qint64 firstWidth(QByteArrayView text, char delimiter)
    {
        const char *p = text.data();
        const char *end = p + text.size();
        while (p < end && isLineBreak(*p))
            ++p;
        qint64 lines = 0;
        CellCounter counter;
        return parseRecord<false>(p, end, delimiter, lines, counter) ? counter.cells : -1;
    }

    // Reads the whole text: a large one in two ranges at once, one a core.
    static ReadError read(Table &t, WorkControl *control)
    {
        const qint64 size = t.m_text.size();
        const qint64 split = size >= kReadInPartsFrom ? recordNearMiddle(t.m_text) : size;
        const qint64 width = split < size ? firstWidth(t.m_text, t.m_delimiter) : -1;
        qint64 line = 1;
        if (split >= size || width < 0)
            return errorFor(build(t, 0, size, line, -1, control));
        Table later;
        later.m_text = t.m_text;
        later.m_delimiter = t.m_delimiter;
        qint64 laterLine = 1;
        Fault fault;
        Fault laterFault;
        runBothAtOnce([&] { fault = build(t, 0, split, line, -1, control); },
                      [&] { laterFault = build(later, split, size, laterLine, width, control); });
        if (fault.kind != Fault::None)
            return errorFor(fault);
        if (laterFault.kind != Fault::None) {
            laterFault.line += line - 1;
            return errorFor(laterFault);
        }
        t.m_firstCount = width;
        append(t, later, line - 1);
        return {};
    }
};

qsizetype Table::cellCount(qsizetype record) const
{
    if (m_otherWidths.empty())
        return m_firstCount;
    const auto found =
        std::lower_bound(m_otherWidths.begin(), m_otherWidths.end(), record,
                         [](const OtherWidth &other, qsizetype r) { return other.record < r; });
    return found != m_otherWidths.end() && found->record == record ? found->cells : m_firstCount;
}

void Table::preferLargePages() const
{
    // Bytes the table does not own (a mapped file) stay as they are: moving
    // them would read the whole file into memory.
    if (const_cast<QByteArray &>(m_text).data_ptr().isMutable())
        collapseToLargePages(m_text.constData(), size_t(m_text.size()));
    collapseToLargePages(m_offsets.data(), m_offsets.size() * sizeof(quint16));
}

void Table::addRecord(qint64 record, qint64 start, qint64 line)
{
    if ((size_t(record) & kBlockMask) == 0)
        m_blocks.push_back({start, -1});
    Block &block = m_blocks.back();
    qint64 offset = start - block.base;
    if (offset >= qint64(kFar)) {
        m_farStarts.push_back({record, start});
        offset = kFar;
    }
    if (offset > 0xFFFF && block.wide < 0) { // the block's offsets need their high halves
        block.wide = qint32(m_highOffsets.size() >> kBlockBits);
        m_highOffsets.resize(m_highOffsets.size() + (size_t(1) << kBlockBits), 0);
    }
    m_offsets.push_back(quint16(offset));
    if (block.wide >= 0)
        m_highOffsets[(size_t(block.wide) << kBlockBits) + (size_t(record) & kBlockMask)] =
            quint16(quint64(offset) >> 16);
    const qint64 extra = line - record - 1;
    if (extra != (m_lineJumps.empty() ? 0 : m_lineJumps.back().extra))
        m_lineJumps.push_back({record, extra});
}

qint64 Table::farStart(qsizetype record) const
{
    const auto found =
        std::lower_bound(m_farStarts.begin(), m_farStarts.end(), record,
                         [](const FarStart &far, qsizetype r) { return far.record < r; });
    return found->start;
}

qsizetype Table::line(qsizetype record) const
{
    const auto after =
        std::upper_bound(m_lineJumps.begin(), m_lineJumps.end(), record,
                         [](qsizetype r, const LineJump &jump) { return r < jump.record; });
    return record + 1 + (after == m_lineJumps.begin() ? 0 : std::prev(after)->extra);
}

Table Table::over(QByteArray sameBytes) const
{
    Q_ASSERT(sameBytes == m_text);
    Table copy = *this;
    copy.m_text = std::move(sameBytes);
    return copy;
}

Table Table::subset(const std::vector<qint32> &records) const
{
    Table part;
    part.m_delimiter = m_delimiter;
    part.m_encoding = m_encoding;
    part.m_invalidLine = m_invalidLine;
    part.m_maxCellCount = m_maxCellCount;
    part.m_firstCount = m_firstCount;
    qint64 bytes = 0;
    for (const qint32 r : records)
        bytes += rawRecord(r).size();
    part.m_text.reserve(bytes);
    part.m_offsets.reserve(records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        const qint32 r = records[i];
        Q_ASSERT(i == 0 || r > records[i - 1]);
        part.addRecord(qint64(i), part.m_text.size(), line(r));
        part.m_text.append(rawRecord(r));
        if (const qsizetype cells = cellCount(r); cells != m_firstCount)
            part.m_otherWidths.push_back({qint64(i), cells});
    }
    return part;
}

std::vector<qint32> Table::otherWidths() const
{
    std::vector<qint32> records;
    records.reserve(m_otherWidths.size());
    for (const OtherWidth &other : m_otherWidths)
        records.push_back(qint32(other.record));
    return records;
}

void Table::split(qsizetype record, Row &row, qsizetype cells) const
{
    RowSplitter splitter(row, m_text.constData(), cells < 0 ? cellCount(record) : cells);
    qint64 lines = 0;
    parseRecord<false>(row.m_text + recordStart(record), m_text.constData() + m_text.size(),
                       m_delimiter, lines, splitter);
}

char detectDelimiter(QByteArrayView text)
{
    constexpr std::array<char, 4> candidates{',', ';', '\t', '|'};
    constexpr int kRecords = 101; // the header and the hundred records after it
    const QByteArrayView sample = text.first(std::min<qsizetype>(text.size(), 1 << 20));
    char best = ',';
    qint64 bestMatches = -1;
    qint64 bestWidth = 0;
    for (const char candidate : candidates) {
        std::vector<qint64> counts = firstCellCounts(sample, candidate, kRecords);
        if (sample.size() < text.size() && counts.size() > 1)
            counts.pop_back(); // may be cut short by the sample's end
        if (counts.empty() || counts[0] < 2)
            continue;
        const qint64 width = counts[0];
        const qint64 matches = std::count(counts.begin() + 1, counts.end(), width);
        const qint64 others = qint64(counts.size()) - 1 - matches;
        if (matches < others)
            continue;
        if (matches > bestMatches || (matches == bestMatches && width > bestWidth)) {
            best = candidate;
            bestMatches = matches;
            bestWidth = width;
        }
    }
    return best;
}

ReadResult readCsv(QByteArray text, char delimiter, WorkControl *control)
{
    ReadResult result;
    if (delimiter == '"' || delimiter == '\r' || delimiter == '\n') {
        result.error = {0, QStringLiteral("a quote or a line break cannot be the delimiter")};
        return result;
    }
    Table &table = result.table;
    table.m_text = std::move(text);
    table.m_delimiter = delimiter == 0 ? detectDelimiter(table.m_text) : delimiter;
    result.error = TableBuilder::read(table, control);
    if (!result.ok())
        result.table = Table();
    return result;
}

DecodedCsv decodeCsvBytes(QByteArray fileBytes)
{
    DecodedCsv decoded;
    decoded.bytes =
        Files::decodeKeepingBreaks(std::move(fileBytes), decoded.encoding, &decoded.invalidLine);
    // The panes keep a lone surrogate of UTF-16 or rich text as it was; a
    // table's cells, which reports print, hold valid UTF-8 only. Bytes kept
    // as UTF-8 were found valid already.
    if (decoded.encoding != QLatin1String("UTF-8") && !QByteArrayView(decoded.bytes).isValidUtf8())
        decoded.bytes = QString::fromUtf8(decoded.bytes).toUtf8();
    return decoded;
}

ReadResult readCsvFile(QByteArray fileBytes, char delimiter, WorkControl *control)
{
    DecodedCsv decoded = decodeCsvBytes(std::move(fileBytes));
    ReadResult result = readCsv(std::move(decoded.bytes), delimiter, control);
    result.table.m_encoding = decoded.encoding;
    result.table.m_invalidLine = decoded.invalidLine;
    return result;
}

std::vector<ListItem> splitList(const QString &list)
{
    const QByteArray bytes = list.toUtf8();
    const char *p = bytes.constData();
    const char *end = p + bytes.size();
    qint64 lines = 0;
    Row row;
    RowSplitter splitter(row, p);
    std::vector<ListItem> items;
    if (!parseRecord<false>(p, end, ',', lines, splitter)) // an open quote: take it as written
        return {{list, false}};
    for (qsizetype i = 0; i < row.size(); ++i)
        items.push_back({QString::fromUtf8(row[i]), row.quoted(i)});
    return items;
}

} // namespace Csv
