#include "csv/CsvReader.h"

#include <algorithm>
#include <array>

#include "csv/LargeArrays.h"

namespace Csv {

namespace {

constexpr char16_t kQuote = u'"';
constexpr char16_t kCr = u'\r';
constexpr char16_t kLf = u'\n';
// Cells are stored as 31-bit offsets.
constexpr qsizetype kMaxText = 0x7FFFFFFF;

} // namespace

QChar detectDelimiter(QStringView text)
{
    constexpr std::array<char16_t, 4> candidates{u',', u';', u'\t', u'|'};
    constexpr int kLines = 20;
    // counts[line][candidate] for the first complete lines
    std::vector<std::array<qsizetype, 4>> counts(1, {0, 0, 0, 0});
    bool quoted = false;
    const qsizetype end = std::min<qsizetype>(text.size(), 1 << 16);
    for (qsizetype i = 0; i < end && int(counts.size()) <= kLines; ++i) {
        const char16_t c = text[i].unicode();
        if (c == kQuote) {
            quoted = !quoted;
        } else if (quoted) {
            continue;
        } else if (c == kCr || c == kLf) {
            if (c == kCr && i + 1 < end && text[i + 1] == kLf)
                ++i;
            counts.push_back({0, 0, 0, 0});
        } else {
            for (size_t k = 0; k < candidates.size(); ++k) {
                if (c == candidates[k])
                    ++counts.back()[k];
            }
        }
    }
    // The last line may be cut short by the limit: judge complete lines when
    // there are any.
    if (counts.size() > 1)
        counts.pop_back();

    int best = -1;
    bool bestConsistent = false;
    qsizetype bestCount = 0;
    for (size_t k = 0; k < candidates.size(); ++k) {
        const qsizetype first = counts.front()[k];
        qsizetype total = 0;
        bool consistent = first > 0;
        for (const auto &line : counts) {
            total += line[k];
            consistent = consistent && line[k] == first;
        }
        if (total == 0)
            continue;
        const qsizetype score = consistent ? first : total;
        if (best < 0 || (consistent && !bestConsistent)
            || (consistent == bestConsistent && score > bestCount)) {
            best = int(k);
            bestConsistent = consistent;
            bestCount = score;
        }
    }
    return best < 0 ? QChar(u',') : QChar(candidates[size_t(best)]);
}

// Fills a Table in one pass over the text.
struct Reader
{
    Table &t;
    const char16_t *begin;
    const char16_t *end;
    char16_t delimiter;

    void addCell(const char16_t *start, const char16_t *stop)
    {
        t.m_cells.push_back({quint32(start - begin), quint32(stop - start)});
    }

    void addUnquotedCell(qsizetype start)
    {
        const qsizetype length = t.m_unquoted.size() - start;
        t.m_cells.push_back({quint32(start), quint32(length) | Table::kUnquotedBit});
    }

    // p points after an opening quote; returns the position after the
    // closing quote, or nullptr when the text ends first.
    const char16_t *quotedField(const char16_t *p, qsizetype &line)
    {
        const char16_t *start = p;
        qsizetype unquoted = -1; // where the cell starts in m_unquoted, once needed
        for (;;) {
            while (p < end && *p != kQuote && *p != kCr && *p != kLf)
                ++p;
            if (p == end)
                return nullptr;
            if (*p == kCr || *p == kLf) {
                if (*p == kCr && p + 1 < end && p[1] == kLf)
                    ++p;
                ++p;
                ++line;
                continue;
            }
            if (p + 1 < end && p[1] == kQuote) { // a doubled quote stands for one
                if (unquoted < 0)
                    unquoted = t.m_unquoted.size();
                t.m_unquoted.append(QStringView(start, p + 1));
                p += 2;
                start = p;
                continue;
            }
            break;
        }
        const char16_t *close = p++;
        const char16_t *rest = p;
        while (p < end && *p != delimiter && *p != kCr && *p != kLf)
            ++p;
        if (unquoted < 0 && rest == p) {
            addCell(start, close);
            return p;
        }
        if (unquoted < 0)
            unquoted = t.m_unquoted.size();
        t.m_unquoted.append(QStringView(start, close));
        t.m_unquoted.append(QStringView(rest, p));
        addUnquotedCell(unquoted);
        return p;
    }

    ReadError run()
    {
        qsizetype line = 1;
        const char16_t *p = begin;
        bool reserved = false;
        while (p < end) {
            if (*p == kCr || *p == kLf) { // a line with nothing on it
                if (*p == kCr && p + 1 < end && p[1] == kLf)
                    ++p;
                ++p;
                ++line;
                continue;
            }
            const qsizetype recordLine = line;
            const size_t firstCell = t.m_cells.size();
            for (;;) {
                if (p < end && *p == kQuote) {
                    p = quotedField(p + 1, line);
                    if (!p) {
                        return {recordLine,
                                QStringLiteral("the record that starts on line %1 has a "
                                               "quoted field that never closes")
                                    .arg(recordLine)};
                    }
                } else {
                    const char16_t *start = p;
                    while (p < end && *p != delimiter && *p != kCr && *p != kLf)
                        ++p;
                    addCell(start, p);
                }
                if (p < end && *p == delimiter) {
                    ++p;
                    continue;
                }
                if (p < end) { // the line break that ends the record
                    if (*p == kCr && p + 1 < end && p[1] == kLf)
                        ++p;
                    ++p;
                    ++line;
                }
                break;
            }
            const size_t count = t.m_cells.size() - firstCell;
            t.m_records.push_back({quint32(firstCell), quint32(count), recordLine});
            t.m_maxCellCount = std::max(t.m_maxCellCount, qsizetype(count));
            if (!reserved && t.m_records.size() == 4096) {
                // Room for the whole text at the density of its first records.
                const double scale = double(end - begin) / double(p - begin) * 1.05;
                t.m_records.reserve(size_t(double(t.m_records.size()) * scale));
                t.m_cells.reserve(size_t(double(t.m_cells.size()) * scale));
                reserved = true;
            }
        }
        return {};
    }
};

void Table::preferLargePages() const
{
    collapseToLargePages(m_text.constData(), size_t(m_text.size()) * sizeof(QChar));
    collapseToLargePages(m_cells.data(), m_cells.size() * sizeof(Cell));
    collapseToLargePages(m_records.data(), m_records.size() * sizeof(Record));
}

ReadResult readCsv(const QString &text, QChar delimiter)
{
    ReadResult result;
    if (text.size() > kMaxText) {
        result.error = {1, QStringLiteral("the file is too large to read as CSV")};
        return result;
    }
    if (delimiter == QChar(kQuote) || delimiter == QChar(kCr) || delimiter == QChar(kLf)) {
        result.error = {0, QStringLiteral("a quote or a line break cannot be the delimiter")};
        return result;
    }
    Table &table = result.table;
    table.m_text = text;
    table.m_delimiter = delimiter.isNull() ? detectDelimiter(text) : delimiter;
    const auto *begin = reinterpret_cast<const char16_t *>(table.m_text.constData());
    Reader reader{table, begin, begin + table.m_text.size(), table.m_delimiter.unicode()};
    result.error = reader.run();
    if (!result.ok())
        result.table = Table();
    return result;
}

} // namespace Csv
