#include "csv/CsvReader.h"

#include <algorithm>
#include <array>
#include <iterator>

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

// Fills a Table in one pass over its text.
struct TableBuilder
{
    // A quote inside an unquoted field, or text after a closing quote, at
    // `stray` in the record that starts at `record` on `recordLine`.
    static ReadError strayQuote(const char *record, const char *stray, qint64 recordLine)
    {
        qint64 line = recordLine;
        for (const char *b = record; b < stray; ++b) {
            if (*b == '\n' || (*b == '\r' && b[1] != '\n'))
                ++line;
        }
        // Text after a closing quote never starts with a quote (that would
        // be a doubled one); the other fault always is one.
        const QString what = *stray == '"'
                                 ? QStringLiteral("has a quote inside a field that is not quoted")
                                 : QStringLiteral("has text after the closing quote of a field");
        return {line, QStringLiteral("line %1 %2").arg(line).arg(what)};
    }

    static ReadError build(Table &t, WorkControl *control)
    {
        Checkpoint tick(control, qint64(1) << 20); // a megabyte: about a millisecond
        const char *begin = t.m_text.constData();
        const char *end = begin + t.m_text.size();
        const char *p = begin;
        qint64 line = 1;
        qint64 counted = 0; // the bytes told to the checkpoint
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
            if (const char *next = plainRecordEnd(p, end, t.m_delimiter, delimiters)) {
                counter.cells = delimiters + 1;
                line += next[-1] == '\n' || next[-1] == '\r' ? 1 : 0;
                p = next;
            } else {
                const char *stray = nullptr;
                p = parseRecord<true>(p, end, t.m_delimiter, line, counter, &stray);
                if (!p && stray)
                    return strayQuote(recordStart, stray, recordLine);
                if (!p) {
                    return {recordLine, QStringLiteral("the record that starts on line %1 has a "
                                                       "quoted field that never closes")
                                            .arg(recordLine)};
                }
            }
            const qint64 record = qint64(t.m_offsets.size());
            if (record == 0)
                t.m_firstCount = counter.cells;
            else if (counter.cells != t.m_firstCount)
                t.m_otherWidths.push_back({record, counter.cells});
            t.addRecord(record, start, recordLine);
            t.m_maxCellCount = std::max(t.m_maxCellCount, qsizetype(counter.cells));
            if (!reserved && record + 1 == 4096) {
                // Room for the whole text at the density of its first records.
                const double scale = double(end - begin) / double(p - begin) * 1.05;
                t.m_offsets.reserve(size_t(double(t.m_offsets.size()) * scale));
                reserved = true;
            }
        }
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
    result.error = TableBuilder::build(table, control);
    if (!result.ok())
        result.table = Table();
    return result;
}

DecodedCsv decodeCsvBytes(QByteArray fileBytes)
{
    DecodedCsv decoded;
    decoded.invalidLine = Files::decodeNote(fileBytes).invalidLine;
    decoded.bytes = Files::decodeKeepingBreaks(std::move(fileBytes), decoded.encoding);
    // The panes keep a lone surrogate of UTF-16 or rich text as it was; a
    // table's cells, which reports print, hold valid UTF-8 only.
    if (!QByteArrayView(decoded.bytes).isValidUtf8())
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
