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

class TableReader
{
public:
    TableReader(XmlPart &part, SheetCsv &csv) : m_part(part), m_csv(csv) {}

    // Reads the table just started, to its end; the rows of header rows
    // and row groups are rows of the table.
    bool read()
    {
        return m_part.forEachChild([this](QByteArrayView name) {
            if (name == "table-row")
                return readRow();
            if (name == "table-header-rows" || name == "table-row-group" || name == "table-rows")
                return read();
            return m_part.skipElement();
        });
    }

    QString m_error;

private:
    bool readRow()
    {
        const qint64 repeated = repeatCount(m_part.attributeBytes("number-rows-repeated"));
        qint64 column = 0;
        bool held = false;
        const bool read = m_part.forEachChild([&](QByteArrayView name) {
            const bool covered = name == "covered-table-cell";
            if (!covered && name != "table-cell")
                return m_part.skipElement();
            const qint64 times = repeatCount(m_part.attributeBytes("number-columns-repeated"));
            if (!readCell())
                return false;
            // A covered cell lies under a merge: its value is the top-left one's.
            if (!covered && !m_value.isEmpty()) {
                if (column + times > SheetCsv::kMaxColumns)
                    return fail(QStringLiteral("the sheet is refused: it claims more than %1 "
                                               "columns")
                                    .arg(SheetCsv::kMaxColumns));
                for (qint64 i = 0; i < times; ++i)
                    if (!m_csv.put(m_row, column + i, m_value))
                        return false;
                held = true;
            }
            column = std::min<qint64>(column + times, qint64(1) << 40);
            return true;
        });
        if (!read || (held && !m_csv.repeatRow(m_row, repeated - 1)))
            return false;
        m_row = std::min<qint64>(m_row + repeated, qint64(1) << 40);
        return true;
    }

    // The value of the cell just started into m_value (UTF-8), read to its
    // end. The value its attributes give is taken before its paragraphs
    // are read.
    bool readCell()
    {
        m_value.resize(0);
        const QByteArrayView type = m_part.attributeBytes("value-type");
        if (type == "date")
            m_value.append(m_part.attributeBytes("date-value")).replace('T', ' ');
        else if (type == "time")
            m_value = isoTime(m_part.attributeBytes("time-value")).toUtf8();
        else if (type == "boolean")
            m_value.append(m_part.attributeBytes("boolean-value") == "true" ? "TRUE" : "FALSE");
        else if (!type.isEmpty())
            m_value.append(m_part.attributeBytes(type == "string" ? "string-value" : "value"));
        const bool fromAttributes = type == "date" || type == "time" || type == "boolean";
        m_shown.resize(0);
        m_paragraphs = 0;
        if (!readParagraphs(m_shown, false))
            return false;
        if (!fromAttributes && !m_shown.isEmpty())
            std::swap(m_value, m_shown);
        return true;
    }

    // The paragraphs inside the element just started, one line each, into
    // `text`; notes left out.
    bool readParagraphs(QByteArray &text, bool inParagraph)
    {
        return m_part.forEachChild(
            [&](QByteArrayView name) {
                if (name == "annotation" || name == "note")
                    return m_part.skipElement();
                const bool paragraph = name == "p" || name == "h";
                if (paragraph && m_paragraphs++ > 0)
                    text += '\n';
                if (name == "s")
                    text.append(
                        std::min<qint64>(repeatCount(m_part.attributeBytes("c")), qint64(1) << 16),
                        ' ');
                else if (name == "tab")
                    text += '\t';
                else if (name == "line-break")
                    text += '\n';
                return readParagraphs(text, inParagraph || paragraph);
            },
            [&](QByteArrayView bytes) {
                if (inParagraph)
                    text.append(bytes);
            });
    }

    bool fail(const QString &error)
    {
        m_error = error;
        return false;
    }

    XmlPart &m_part;
    SheetCsv &m_csv;
    qint64 m_row = 0;
    // The cell being read; kept to keep their room from cell to cell.
    int m_paragraphs = 0;
    QByteArray m_value;
    QByteArray m_shown;
};

// Calls `table(name)` for each table of content.xml as its start is read;
// `table` reads it and ends the walk (true) or leaves it to be skipped (false).
template <typename F>
QString forEachTable(XmlPart &part, F &&table)
{
    return part.forEachElement([&](QByteArrayView name) {
        if (name != "table")
            return true;
        return !table(QString::fromUtf8(part.qualifiedAttribute("table:name")))
               && part.skipElement();
    });
}

// Lists the tables as forEachTable meets them: by the same parser, under the
// same rules, so that the list's places are always the reader's; tables
// inside a table are part of it.
class TableLister : public XmlPart::Handler
{
public:
    void start(QByteArrayView name, const XmlPart::Attributes &attributes) override
    {
        ++m_depth;
        if (m_tableDepth == 0 && name == "table") {
            m_tableDepth = m_depth;
            names << QString::fromUtf8(attributes.qualified("table:name"));
        }
    }
    void end(QByteArrayView) override
    {
        if (m_depth-- == m_tableDepth)
            m_tableDepth = 0;
    }
    void text(QByteArrayView) override {}
    void restart() override { *this = TableLister(); }

    QStringList names;

private:
    int m_depth = 0;
    int m_tableDepth = 0; // of the table the parser is in, or 0
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
    TableLister lister;
    const bool read = part.parse(lister);
    list.names = lister.names;
    if (list.names.isEmpty())
        list.error = read ? QStringLiteral("the workbook has no sheet") : part.error();
    return list;
}

SheetText readSheet(const ZipArchive &zip, int index, qint64 byteLimit, Compare::Progress *progress)
{
    SheetText text;
    const qint64 content = zip.find(kContent);
    if (content < 0) {
        text.error = QStringLiteral("the workbook is damaged: it has no content part");
        return text;
    }
    XmlPart part(zip, content, progress);
    SheetCsv csv(byteLimit);
    int seen = 0;
    bool found = false;
    QString tableError;
    QString error = forEachTable(part, [&](const QString &name) {
        if (seen++ != index)
            return false;
        found = true;
        text.sheet = name;
        TableReader reader(part, csv);
        if (!reader.read())
            tableError = reader.m_error;
        return true;
    });
    text.cancelled = part.cancelled();
    if (!part.error().isEmpty() || text.cancelled)
        text.error = part.error();
    else if (!csv.error().isEmpty())
        text.error = csv.error();
    else if (!tableError.isEmpty())
        text.error = tableError;
    else if (!error.isEmpty())
        text.error = error;
    else if (!found)
        text.error = QStringLiteral("the workbook has no sheet %1").arg(index + 1);
    if (text.ok())
        text.csv = csv.finish();
    return text;
}

} // namespace Workbook::Ods
