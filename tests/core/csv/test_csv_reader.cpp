#include <QRandomGenerator>
#include <QStringList>
#include <QTest>

#include "csv/CsvReader.h"

// A table as text: each record as "line:cell|cell|...".
static QStringList described(const Csv::Table &table)
{
    QStringList records;
    for (qsizetype r = 0; r < table.size(); ++r) {
        QStringList cells;
        const Csv::Row row = table.row(r);
        for (qsizetype c = 0; c < row.size(); ++c)
            cells << QString::fromUtf8(row[c]);
        records << QString::number(table.line(r)) + u':' + cells.join(u'|');
    }
    return records;
}

class CsvReaderTest : public QObject
{
    Q_OBJECT

private slots:
    void records_data();
    void records();
    void malformed_data();
    void malformed();
    void agreesWithTheRulesByteByByte_data();
    void agreesWithTheRulesByteByByte();
    void readsLargeTextsInParts_data();
    void readsLargeTextsInParts();
    void detectsDelimiter_data();
    void detectsDelimiter();
    void cellPastTheEndIsEmpty();
    void decodesFiles_data();
    void decodesFiles();
};

void CsvReaderTest::records_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QChar>("delimiter");
    QTest::addColumn<QStringList>("expected");

    const QChar comma = u',';
    QTest::newRow("empty text") << "" << comma << QStringList{};
    QTest::newRow("only line breaks") << "\r\n\n\r" << comma << QStringList{};
    QTest::newRow("one cell, no line break") << "a" << comma << QStringList{"1:a"};
    QTest::newRow("CR LF, LF and CR line breaks")
        << "a,b\r\nc,d\ne,f\rg,h" << comma << QStringList{"1:a|b", "2:c|d", "3:e|f", "4:g|h"};
    QTest::newRow("last line break does not add a record") << "a,b\r\n"
                                                           << comma << QStringList{"1:a|b"};
    QTest::newRow("empty cells") << ",,\r\n,x," << comma << QStringList{"1:||", "2:|x|"};
    QTest::newRow("blank lines skipped, lines still counted") << "a\r\n\r\n\nb\r\n"
                                                              << comma << QStringList{"1:a", "4:b"};
    QTest::newRow("quoted delimiter") << "\"a,b\",c" << comma << QStringList{"1:a,b|c"};
    QTest::newRow("doubled quotes")
        << "\"say \"\"hi\"\"\",\"\"\"\"" << comma << QStringList{"1:say \"hi\"|\""};
    QTest::newRow("empty quoted cell") << "\"\",x" << comma << QStringList{"1:|x"};
    QTest::newRow("line breaks inside quotes move the line count")
        << "\"a\r\nb\",c\r\n\"d\ne\rf\",g\r\nh" << comma
        << QStringList{"1:a\r\nb|c", "3:d\ne\rf|g", "6:h"};
    QTest::newRow("ragged records")
        << "a,b,c\r\nd\r\ne,f,g,h" << comma << QStringList{"1:a|b|c", "2:d", "3:e|f|g|h"};
    QTest::newRow("semicolon, comma is text")
        << "a,1;b\r\n\"c;d\";e" << QChar(u';') << QStringList{"1:a,1|b", "2:c;d|e"};
    QTest::newRow("tab") << "a b\tc\r\n" << QChar(u'\t') << QStringList{"1:a b|c"};
    QTest::newRow("non-ASCII and surrogates")
        << QString::fromUtf8("é,\"𝄞,ü\"") << comma << QStringList{QString::fromUtf8("1:é|𝄞,ü")};
}

void CsvReaderTest::records()
{
    QFETCH(QString, text);
    QFETCH(QChar, delimiter);
    QFETCH(QStringList, expected);

    const Csv::ReadResult read = Csv::readCsv(text.toUtf8(), char(delimiter.unicode()));
    QVERIFY2(read.ok(), qPrintable(read.error.message));
    QCOMPARE(described(read.table), expected);
    QCOMPARE(QChar(read.table.delimiter()), delimiter);
    qsizetype widest = 0;
    for (qsizetype r = 0; r < read.table.size(); ++r)
        widest = std::max(widest, read.table.cellCount(r));
    QCOMPARE(read.table.maxCellCount(), widest);
}

void CsvReaderTest::malformed_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("line");

    QTest::newRow("first record") << "\"abc" << qsizetype(1);
    QTest::newRow("quote opened in a later cell") << "a,b\r\nc,\"d\r\ne,f\r\n" << qsizetype(2);
    QTest::newRow("record starting after quoted line breaks")
        << "\"x\ny\",1\r\n\r\nz,\"2" << qsizetype(4);
    QTest::newRow("doubled quote at the very end") << "a,\"b\"\"" << qsizetype(1);
    QTest::newRow("text after a closing quote") << "id,v\r\n2,\"x\"y\r\n" << qsizetype(2);
    QTest::newRow("a quote inside an unquoted cell") << "id,v\n5\" pipe,x\n" << qsizetype(2);
    QTest::newRow("blanks around quotes") << "a\n \"a\" ,b\n" << qsizetype(2);
    QTest::newRow("a blank after a closing quote") << "\"a\" ,b\n" << qsizetype(1);
    QTest::newRow("a stray quote after quoted line breaks") << "\"x\ny\r\nz\",1\"\n"
                                                            << qsizetype(3);
    QTest::newRow("a quote ending an unquoted last cell") << "a,b\"" << qsizetype(1);
}

void CsvReaderTest::malformed()
{
    QFETCH(QString, text);
    QFETCH(qsizetype, line);

    const Csv::ReadResult read = Csv::readCsv(text.toUtf8(), ',');
    QVERIFY(!read.ok());
    QCOMPARE(read.error.line, line);
    QVERIFY2(read.error.message.contains(QStringLiteral("line %1").arg(line)),
             qPrintable(read.error.message));
    QCOMPARE(read.table.size(), 0);
}

void CsvReaderTest::agreesWithTheRulesByteByByte_data()
{
    QTest::addColumn<QByteArray>("alphabet"); // each byte as likely as the others
    QTest::addColumn<char>("delimiter");
    QTest::newRow("LF, comma") << QByteArray("abcdefgh,,\n") << ',';
    QTest::newRow("CR LF and CR, semicolon") << QByteArray("abcdefg;;,\r\n\r\n\r") << ';';
    QTest::newRow("tabs, a few quotes") << QByteArray("abcdefghijklmnop\t\t\n\n\"") << '\t';
    QTest::newRow("quotes and breaks, often") << QByteArray("ab,\"\r\n") << ',';
    QTest::newRow("long records, rare breaks") << QByteArray(60, 'x') + ",,,,\n" << ',';
    QTest::newRow("long cells, quotes between") << QByteArray(24, 'y') + ",,,\"\"\n\r" << ',';
    QTest::newRow("mostly empty cells") << QByteArray(30, ',') + "x\n" << ',';
}

namespace {

// What reading `text` record by record finds, byte by byte as the rules
// say (no step of the reader's own), with each record's cells unquoted.
struct Reference
{
    std::vector<qint64> starts;
    std::vector<qint64> cells;
    std::vector<qint64> lines;
    std::vector<std::vector<QByteArray>> texts;
    qint64 errorLine = 0; // 0: valid
};

bool endsCell(char c, char delimiter)
{
    return c == delimiter || c == '\r' || c == '\n';
}

// One record from `p`: where the next may start, or null with `stray` at a
// misplaced quote or text (null when a quote never closes).
const char *referenceRecord(const char *p, const char *end, char delimiter, qint64 &line,
                            std::vector<QByteArray> &cells, const char *&stray)
{
    for (;;) {
        QByteArray cell;
        if (p < end && *p == '"') {
            for (++p;; ++p) {
                if (p == end)
                    return nullptr;
                if (*p == '"' && p + 1 < end && p[1] == '"') {
                    cell += *p++;
                    continue;
                }
                if (*p == '"')
                    break;
                line += *p == '\n' || (*p == '\r' && p[1] != '\n') ? 1 : 0;
                cell += *p;
            }
            if (++p < end && !endsCell(*p, delimiter)) {
                stray = p;
                return nullptr;
            }
        } else {
            for (; p < end && !endsCell(*p, delimiter); ++p) {
                if (*p == '"') {
                    stray = p;
                    return nullptr;
                }
                cell += *p;
            }
        }
        cells.push_back(cell);
        if (p < end && *p == delimiter) {
            ++p;
            continue;
        }
        if (p < end) {
            p += *p == '\r' && p + 1 < end && p[1] == '\n' ? 2 : 1;
            ++line;
        }
        return p;
    }
}

Reference referenceRead(const QByteArray &text, char delimiter)
{
    Reference found;
    const char *begin = text.constData();
    const char *end = begin + text.size();
    qint64 line = 1;
    for (const char *p = begin; p < end;) {
        if (*p == '\r' || *p == '\n') {
            p += *p == '\r' && p + 1 < end && p[1] == '\n' ? 2 : 1;
            ++line;
            continue;
        }
        const qint64 recordLine = line;
        const char *record = p;
        const char *stray = nullptr;
        std::vector<QByteArray> cells;
        p = referenceRecord(p, end, delimiter, line, cells, stray);
        if (!p) {
            found.errorLine = recordLine;
            for (const char *b = record; stray && b < stray; ++b)
                found.errorLine += *b == '\n' || (*b == '\r' && b[1] != '\n') ? 1 : 0;
            return found;
        }
        found.starts.push_back(record - begin);
        found.cells.push_back(qint64(cells.size()));
        found.lines.push_back(recordLine);
        found.texts.push_back(std::move(cells));
    }
    return found;
}

// Whether `read` found what the reference did; the first difference if not.
QByteArray agrees(const Csv::ReadResult &read, const Reference &expected)
{
    if (expected.errorLine > 0) {
        if (read.ok() || read.error.line != expected.errorLine
            || !read.error.message.contains(QStringLiteral("line %1").arg(expected.errorLine)))
            return "error " + read.error.message.toUtf8() + ", expected on line "
                   + QByteArray::number(expected.errorLine);
        return {};
    }
    if (!read.ok())
        return "unexpected error " + read.error.message.toUtf8();
    const Csv::Table &table = read.table;
    if (size_t(table.size()) != expected.starts.size())
        return "records " + QByteArray::number(table.size());
    Csv::Row row;
    for (qsizetype r = 0; r < table.size(); ++r) {
        const size_t i = size_t(r);
        if (table.rawRecord(r).data() - table.bytes().data() != expected.starts[i]
            || table.cellCount(r) != expected.cells[i] || table.line(r) != expected.lines[i])
            return "record " + QByteArray::number(r);
        table.split(r, row);
        if (row.size() != expected.cells[i])
            return "cells split of record " + QByteArray::number(r);
        for (qsizetype c = 0; c < row.size(); ++c) {
            if (row[c] != expected.texts[i][size_t(c)])
                return "cell " + QByteArray::number(c) + " of record " + QByteArray::number(r);
        }
    }
    return {};
}

// A random record: plain, empty and quoted cells (with delimiters, line
// breaks and doubled quotes inside), some rows wider or narrower.
QByteArray randomRecord(QRandomGenerator &random)
{
    static const QByteArray kCells[] = {"abc",      "",           "12345",    "\"a,b\"",
                                        "\"x\ny\"", "\"p\r\nq\"", "\"\"\"\"", "\"s\"\"t\"",
                                        "\"\r\"",   "word word"};
    const int width = random.bounded(30) == 0 ? 1 + random.bounded(6) : 4;
    QByteArray record;
    for (int c = 0; c < width; ++c) {
        if (c > 0)
            record += ',';
        record += kCells[random.bounded(int(std::size(kCells)))];
    }
    static const QByteArray kBreaks[] = {"\n", "\n", "\n", "\r\n", "\r", "\n\n", "\r\n\r\n"};
    return record + kBreaks[random.bounded(int(std::size(kBreaks)))];
}

} // namespace

// Records and cells are read sixteen bytes a step where they can: on
// random texts, every record starts, counts its cells and lines, splits
// into its cells, and every error is found, as reading byte by byte by the
// rules finds them.
void CsvReaderTest::agreesWithTheRulesByteByByte()
{
    QFETCH(QByteArray, alphabet);
    QFETCH(char, delimiter);
    QRandomGenerator random(20261210);
    for (int round = 0; round < 3000; ++round) {
        QByteArray text(qsizetype(random.bounded(200)), Qt::Uninitialized);
        for (char &c : text)
            c = alphabet[random.bounded(int(alphabet.size()))];
        const QByteArray difference =
            agrees(Csv::readCsv(text, delimiter), referenceRead(text, delimiter));
        QVERIFY2(difference.isEmpty(),
                 (difference + " in " + text.toPercentEncoding()).constData());
    }
}

void CsvReaderTest::readsLargeTextsInParts_data()
{
    QTest::addColumn<QByteArray>("fault"); // put in one record ("" none)
    QTest::addColumn<int>("where");        // per cent of the text
    QTest::newRow("valid") << QByteArray() << 0;
    QTest::newRow("text after a quote, first half") << QByteArray("\"x\"y") << 20;
    QTest::newRow("text after a quote, second half") << QByteArray("\"x\"y") << 80;
    QTest::newRow("stray quote, first half") << QByteArray("a\"b") << 30;
    QTest::newRow("stray quote, second half") << QByteArray("a\"b") << 70;
    QTest::newRow("stray quote just past the middle") << QByteArray("a\"b") << 51;
    QTest::newRow("quote never closed, second half") << QByteArray("\"open") << 90;
    QTest::newRow("quote never closed, first half") << QByteArray("\"open") << 10;
}

// A large text is read in two ranges at once, split where a record starts
// near its middle: on random valid and faulty texts of several megabytes,
// the records, cell counts, lines and errors are those of reading it
// record by record.
void CsvReaderTest::readsLargeTextsInParts()
{
    QFETCH(QByteArray, fault);
    QFETCH(int, where);
    QRandomGenerator random(quint32(where) * 7919 + quint32(fault.size()));
    for (int round = 0; round < 2; ++round) {
        const qsizetype size = Csv::kReadInPartsFrom + random.bounded(1 << 19);
        QByteArray text;
        text.reserve(size + 100);
        text += "id,a,b,c\n";
        const qsizetype faultAt = size * where / 100;
        bool placed = fault.isEmpty();
        while (text.size() < size) {
            if (!placed && text.size() >= faultAt) {
                text += "1," + fault + ",2\n";
                placed = true;
            }
            text += randomRecord(random);
        }
        const QByteArray difference = agrees(Csv::readCsv(text, ','), referenceRead(text, ','));
        QVERIFY2(difference.isEmpty(), difference.constData());
    }
}

void CsvReaderTest::detectsDelimiter_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QChar>("delimiter");

    QTest::newRow("comma") << "a,b,c\r\n1,2,3\r\n" << QChar(u',');
    QTest::newRow("semicolon with decimal commas") << "name;price\r\nx;1,5\r\ny;2,25\r\n"
                                                   << QChar(u';');
    QTest::newRow("tab with commas in text") << "a\tb\r\nx, y\tz\r\n" << QChar(u'\t');
    QTest::newRow("pipe") << "a|b|c\n1|2|3\n" << QChar(u'|');
    QTest::newRow("delimiters inside quotes do not count") << "\"a;b;c;d\",e\r\n\"f;g;h\",i\r\n"
                                                           << QChar(u',');
    QTest::newRow("a quoted cell spanning lines") << "a;\"b\r\nc,d,e\"\r\nf;g\r\n" << QChar(u';');
    QTest::newRow("one column: comma by default") << "a\r\nb\r\n" << QChar(u',');
    QTest::newRow("one column whose values hold semicolons") << "note\r\na;b\r\nc;d;e\r\nf\r\n"
                                                             << QChar(u',');
    QTest::newRow("the header's count on most records wins")
        << "a;b;c\r\n1,5;2;3\r\n4;5,5;6\r\n7;8;9,1,2\r\n"
        << QChar(u';');
    QTest::newRow("a comma in a header of one semicolon column") << "name, first\r\nx\r\ny\r\nz\r\n"
                                                                 << QChar(u',');
    QTest::newRow("empty text") << "" << QChar(u',');
}

void CsvReaderTest::detectsDelimiter()
{
    QFETCH(QString, text);
    QFETCH(QChar, delimiter);

    QCOMPARE(QChar(Csv::detectDelimiter(text.toUtf8())), delimiter);
    QCOMPARE(QChar(Csv::readCsv(text.toUtf8()).table.delimiter()), delimiter);
}

void CsvReaderTest::cellPastTheEndIsEmpty()
{
    const Csv::ReadResult read = Csv::readCsv("a,b\r\nc", ',');
    QVERIFY(read.ok());
    QCOMPARE(read.table.row(1)[1], QByteArrayView());
    QCOMPARE(read.table.row(1)[-1], QByteArrayView());
    QCOMPARE(read.table.row(0)[1], QByteArrayView("b"));
}

void CsvReaderTest::decodesFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<qsizetype>("invalidLine");

    QTest::newRow("UTF-8 but for one byte: its sequences kept")
        << QByteArray("id,v\n1,caf\xC3\xA9\n2,x\xE9\n")
        << QStringList{"1:id|v", QString::fromUtf8("2:1|café"), QString::fromUtf8("3:2|xé")}
        << QStringLiteral("UTF-8 (invalid bytes as Windows-1252)") << qsizetype(3);
    QTest::newRow("UTF-8") << QByteArray("id,v\n1,caf\xC3\xA9\n2,x\xC3\xA9\n")
                           << QStringList{"1:id|v", QString::fromUtf8("2:1|café"),
                                          QString::fromUtf8("3:2|xé")}
                           << QStringLiteral("UTF-8") << qsizetype(0);
    QTest::newRow("Windows-1252 throughout") << QByteArray("id,v\r\n1,caf\xE9\r\n")
                                             << QStringList{"1:id|v", QString::fromUtf8("2:1|café")}
                                             << QStringLiteral("Windows-1252") << qsizetype(2);
}

void CsvReaderTest::decodesFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, expected);
    QFETCH(QString, encoding);
    QFETCH(qsizetype, invalidLine);

    const Csv::ReadResult read = Csv::readCsvFile(bytes);
    QVERIFY2(read.ok(), qPrintable(read.error.message));
    QCOMPARE(described(read.table), expected);
    QCOMPARE(read.table.encoding(), encoding);
    QCOMPARE(read.table.invalidLine(), invalidLine);
}

QTEST_APPLESS_MAIN(CsvReaderTest)
#include "test_csv_reader.moc"
