// OpenDocument spreadsheets: every sheet is a table of content.xml. A cell
// holds the text the sheet shows in its paragraphs; dates, times and truth
// values are taken from their values instead, so they read the same in any
// locale. Repeated rows and cells cost nothing until they hold a value.
#include "workbook/Readers.h"
#include "workbook/SheetCsv.h"
#include "workbook/XmlPart.h"

namespace Workbook::Ods {

namespace {

const QString kContent = QStringLiteral("content.xml");

// A repeat count: 1 when absent; large claims are kept (the sheet's limits
// refuse them once they would hold a value), never overflowed.
qint64 repeatCount(QByteArrayView text)
{
    if (text.isEmpty())
        return 1;
    qint64 n = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return 1;
        n = std::min<qint64>(n * 10 + (c - '0'), qint64(1) << 40);
    }
    return std::max<qint64>(n, 1);
}

// "PT13H45M00S" as "13:45:00" (fractions of a second dropped).
QString isoTime(QByteArrayView duration)
{
    qint64 hours = 0, minutes = 0, seconds = 0, number = 0;
    bool fraction = false;
    for (const char c : duration) {
        if (c >= '0' && c <= '9') {
            if (!fraction)
                number = std::min<qint64>(number * 10 + (c - '0'), qint64(1) << 40);
            continue;
        }
        if (c == 'H')
            hours = number;
        else if (c == 'M')
            minutes = number;
        else if (c == 'S' || c == '.')
            seconds = fraction ? seconds : number;
        fraction = c == '.';
        number = 0;
    }
    const auto two = [](qint64 n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); };
    return two(hours) + u':' + two(minutes) + u':' + two(seconds);
}

// Reads content.xml as the parser meets it: lists its tables (tables inside
// a table are part of it) and reads the one wanted into the sheet's text.
// A table wanted by name is matched as it comes; where the name is also a
// number, the table of that number is read until one of that name follows.
// In that table, rows are its children and those of its header rows and row
// groups; cells are the rows' children; a cell shows the text of its
// paragraphs, one line each, notes left out. Anything else is passed over
// with all it holds.
class ContentReader : public XmlPart::Handler
{
public:
    // `wanted`: the table to read (an index of -1 and no name to list them
    // only). `listAll`: go on past the wanted table to list every table.
    ContentReader(XmlPart &part, SheetCsv &csv, const Wanted &wanted, bool listAll)
        : m_part(part), m_csv(csv), m_index(wanted.index), m_named(wanted.named()),
          m_name(wanted.name.toUtf8()), m_listAll(listAll)
    {
    }

    void start(QByteArrayView name, const XmlPart::Attributes &attributes) override
    {
        ++m_depth;
        if (m_tableDepth == 0) {
            if (sameName(name, "table")) {
                m_tableDepth = m_depth;
                startTable(attributes.qualified("table:name"));
            }
            return;
        }
        if (m_reading)
            startInTable(name, attributes);
    }

    void end(QByteArrayView) override
    {
        if (m_reading && m_depth > m_tableDepth)
            endInTable();
        if (m_depth-- != m_tableDepth)
            return;
        m_tableDepth = 0;
        if (m_reading) {
            m_reading = false;
            read = true;
            if (!m_listAll && (!m_named || m_byName))
                m_part.finish();
        }
    }

    void text(QByteArrayView text) override
    {
        if (m_reading && !m_stack.empty() && m_stack.back().kind == Kind::Cell
            && m_stack.back().inParagraph)
            m_shown.append(text);
    }

    void restart() override
    {
        m_csv.restart();
        names.clear();
        read = false;
        m_depth = m_tableDepth = 0;
        m_reading = false;
        m_byName = false;
        readIndex = -1;
        m_stack.clear();
        m_row = 0;
    }

    QStringList names;  // the tables met, in order
    bool read = false;  // the wanted table was read to its end
    int readIndex = -1; // which table of `names` is (being) read

private:
    // What an element inside the table is: rows and groups of rows, cells
    // (a cell and whatever its paragraphs hold), or passed over.
    enum class Kind { Rows, Row, Cell, Skipped };
    struct Context
    {
        Kind kind;
        bool inParagraph = false;
    };

    void startInTable(QByteArrayView name, const XmlPart::Attributes &attributes)
    {
        const Context in = m_stack.empty() ? Context{Kind::Rows} : m_stack.back();
        switch (in.kind) {
        case Kind::Rows:
            if (sameName(name, "table-row")) {
                startRow(attributes);
                m_stack.push_back({Kind::Row});
            } else if (sameName(name, "table-header-rows") || sameName(name, "table-row-group")
                       || sameName(name, "table-rows")) {
                m_stack.push_back({Kind::Rows});
            } else {
                m_stack.push_back({Kind::Skipped});
            }
            return;
        case Kind::Row: {
            const bool covered = sameName(name, "covered-table-cell");
            if (covered || sameName(name, "table-cell")) {
                startCell(attributes, covered);
                m_stack.push_back({Kind::Cell});
            } else {
                m_stack.push_back({Kind::Skipped});
            }
            return;
        }
        case Kind::Cell:
            m_stack.push_back(startInCell(name, attributes, in.inParagraph));
            return;
        case Kind::Skipped:
            m_stack.push_back({Kind::Skipped});
            return;
        }
    }

    void endInTable()
    {
        const Kind kind = m_stack.back().kind;
        m_stack.pop_back();
        const bool atRow = !m_stack.empty() && m_stack.back().kind == Kind::Row;
        if (kind == Kind::Row)
            endRow();
        else if (kind == Kind::Cell && atRow)
            endCell();
    }

    void startRow(const XmlPart::Attributes &attributes)
    {
        m_repeated = repeatCount(attributes.value("number-rows-repeated"));
        m_column = 0;
        m_held = false;
    }

    void endRow()
    {
        if (m_held && !m_csv.repeatRow(m_row, m_repeated - 1))
            return m_part.stop(m_csv.error());
        m_row = std::min<qint64>(m_row + m_repeated, qint64(1) << 40);
    }

    // The value its attributes give is taken before its paragraphs are read.
    void startCell(const XmlPart::Attributes &attributes, bool covered)
    {
        m_covered = covered;
        m_times = repeatCount(attributes.value("number-columns-repeated"));
        m_value.resize(0);
        const QByteArrayView type = attributes.value("value-type");
        if (sameName(type, "date"))
            m_value.append(attributes.value("date-value")).replace('T', ' ');
        else if (sameName(type, "time"))
            m_value = isoTime(attributes.value("time-value")).toUtf8();
        else if (sameName(type, "boolean"))
            m_value.append(sameName(attributes.value("boolean-value"), "true") ? "TRUE" : "FALSE");
        else if (!type.isEmpty())
            m_value.append(attributes.value(sameName(type, "string") ? "string-value" : "value"));
        m_fromAttributes =
            sameName(type, "date") || sameName(type, "time") || sameName(type, "boolean");
        m_shown.resize(0);
        m_paragraphs = 0;
    }

    // An element inside a cell: paragraphs one line each, and the spaces,
    // tabs and line breaks they mark.
    Context startInCell(QByteArrayView name, const XmlPart::Attributes &attributes,
                        bool inParagraph)
    {
        if (sameName(name, "annotation") || sameName(name, "note"))
            return {Kind::Skipped};
        const bool paragraph = sameName(name, "p") || sameName(name, "h");
        if (paragraph && m_paragraphs++ > 0)
            m_shown += '\n';
        if (sameName(name, "s"))
            m_shown.append(std::min<qint64>(repeatCount(attributes.value("c")), qint64(1) << 16),
                           ' ');
        else if (sameName(name, "tab"))
            m_shown += '\t';
        else if (sameName(name, "line-break"))
            m_shown += '\n';
        return {Kind::Cell, inParagraph || paragraph};
    }

    // A covered cell lies under a merge: its value is the top-left one's.
    void endCell()
    {
        if (!m_fromAttributes && !m_shown.isEmpty())
            std::swap(m_value, m_shown);
        if (!m_covered && !m_value.isEmpty()) {
            if (m_column + m_times > SheetCsv::kMaxColumns)
                return m_part.stop(
                    QStringLiteral("the sheet is refused: it claims more than %1 columns")
                        .arg(SheetCsv::kMaxColumns));
            for (qint64 i = 0; i < m_times; ++i)
                if (!m_csv.put(m_row, m_column + i, m_value))
                    return m_part.stop(m_csv.error());
            m_held = true;
        }
        m_column = std::min<qint64>(m_column + m_times, qint64(1) << 40);
    }

    // A table begins: read when it is the one wanted. A table of the wanted
    // name takes the place of one read by its number.
    void startTable(QByteArrayView name)
    {
        names << QString::fromUtf8(name);
        const int at = int(names.size()) - 1;
        const bool byName = m_named && !m_byName && name == m_name;
        if (!byName && (m_byName || read || at != m_index))
            return;
        if (read)
            m_csv.restart();
        read = false;
        m_byName = byName;
        m_reading = true;
        readIndex = at;
        m_row = 0;
    }

    XmlPart &m_part;
    SheetCsv &m_csv;
    const int m_index;
    const bool m_named;
    const QByteArray m_name;
    const bool m_listAll;
    bool m_byName = false; // the table read has the wanted name
    int m_depth = 0;
    int m_tableDepth = 0; // of the table the parser is in, or 0
    bool m_reading = false;
    std::vector<Context> m_stack; // the elements open inside the table read
    qint64 m_row = 0;
    // The row being read.
    qint64 m_repeated = 1;
    qint64 m_column = 0;
    bool m_held = false;
    // The cell being read; its text kept to keep its room from cell to cell.
    bool m_covered = false;
    bool m_fromAttributes = false;
    qint64 m_times = 1;
    int m_paragraphs = 0;
    QByteArray m_value;
    QByteArray m_shown;
};

} // namespace

// The whole of content.xml is parsed: only the parser itself finds the
// tables exactly as the reader will. The tables met before a fault in the
// part are listed (each of them reads); the fault is the list's error only
// when it comes before any table.
SheetList sheetNames(const ZipArchive &zip)
{
    SheetList list;
    XmlPart part(zip, zip.find(kContent));
    SheetCsv none(0);
    ContentReader lister(part, none, Wanted{-1, QString()}, true);
    const bool read = part.parse(lister);
    list.names = lister.names;
    if (list.names.isEmpty())
        list.error = read ? QStringLiteral("the workbook has no sheet") : part.error();
    return list;
}

SheetText readSheet(const ZipArchive &zip, const Wanted &wanted, qint64 byteLimit,
                    Compare::Progress *progress, Listing listing)
{
    SheetText text;
    const qint64 content = zip.find(kContent);
    if (content < 0) {
        // With the names, the error is the list's, as where they are listed alone.
        text.error = listing == Listing::WithNames
                         ? sheetNames(zip).error
                         : QStringLiteral("the workbook is damaged: it has no content part");
        return text;
    }
    XmlPart part(zip, content, progress);
    SheetCsv csv(byteLimit);
    csv.reserveFor(part.size());
    ContentReader reader(part, csv, wanted, listing == Listing::WithNames);
    const bool parsed = part.parse(reader);
    text.cancelled = part.cancelled();
    // A fault past the table read ends the list, not the sheet.
    if (!reader.read && !text.cancelled)
        text.error = !parsed                  ? part.error()
                     : reader.names.isEmpty() ? QStringLiteral("the workbook has no sheet")
                     : wanted.named()
                         ? QStringLiteral("the workbook has no sheet \"%1\" (its sheets: %2)")
                               .arg(wanted.name, reader.names.join(QStringLiteral(", ")))
                         : QStringLiteral("the workbook has no sheet %1").arg(wanted.index + 1);
    if (listing == Listing::WithNames)
        text.sheets = reader.names;
    text.sheet = reader.names.value(reader.readIndex);
    if (text.ok())
        text.csv = csv.finish();
    return text;
}

} // namespace Workbook::Ods
