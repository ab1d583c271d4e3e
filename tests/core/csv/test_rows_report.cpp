#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTest>

#include "csv/RowComparison.h"
#include "csv/RowsReport.h"
#include "support/RowTexts.h"

namespace {

// Cells a hostile file might hold: every kind of line break, control and
// invisible characters, quotes, delimiters, look-alikes.
const QList<QByteArray> kPool{"a",
                              "A",
                              "",
                              "x,y",
                              "q\"r",
                              "l\nb",
                              "l\r\nb",
                              "l\rb",
                              "\x1b[31mred",
                              "tab\there",
                              "nbsp\xc2\xa0",
                              "nbsp ",
                              "e\xcc\x81",
                              "\xc3\xa9",
                              "back\\slash",
                              "\xe2\x80\xae"
                              "rtl",
                              "\xf0\x9d\x84\x9e",
                              " a "};

QByteArray csvCell(const QByteArray &cell)
{
    if (!cell.contains(',') && !cell.contains('"') && !cell.contains('\n') && !cell.contains('\r'))
        return cell;
    return '"' + QByteArray(cell).replace('"', "\"\"") + '"';
}

QByteArray randomTable(QRandomGenerator &random, int rows)
{
    QByteArray text = "id,c1,c2\n";
    for (int i = 0; i < rows; ++i) {
        text += csvCell(kPool[random.bounded(int(kPool.size()))]) + ',';
        text += csvCell(kPool[random.bounded(int(kPool.size()))]) + ',';
        text += csvCell(kPool[random.bounded(int(kPool.size()))]);
        if (random.bounded(8) == 0)
            text += ",extra"; // a ragged row now and then
        text += random.bounded(2) ? "\r\n" : "\n";
    }
    return text;
}

// Rows keyed "k<first>", "k<first + 1>", ...: two such tables whose ranges
// overlap give removed, added and changed rows by the thousand, enough for
// a report to write them in blocks on two threads.
QByteArray keyedTable(QRandomGenerator &random, int rows, int first)
{
    QByteArray text = "id,c1,c2\n";
    for (int i = first; i < first + rows; ++i) {
        text += 'k' + QByteArray::number(i) + ',';
        text += csvCell(kPool[random.bounded(int(kPool.size()))]) + ',';
        text += csvCell(kPool[random.bounded(int(kPool.size()))]) + '\n';
    }
    return text;
}

QByteArray report(const Csv::RowComparison &c, Csv::ReportFormat format)
{
    return Csv::formatReport(c, format, QStringLiteral("one.csv"), QStringLiteral("two.csv"));
}

std::vector<QByteArray> cellsOf(const Csv::Table &table, qint32 record)
{
    const Csv::Row row = table.row(record);
    std::vector<QByteArray> cells;
    for (qsizetype i = 0; i < row.size(); ++i)
        cells.push_back(row[i].toByteArray());
    return cells;
}

// A cell past a short row's end is empty.
QByteArray cellAt(const std::vector<QByteArray> &cells, qint64 index)
{
    return size_t(index) < cells.size() ? cells[size_t(index)] : QByteArray();
}

} // namespace

class RowsReportTest : public QObject
{
    Q_OBJECT

private slots:
    void escapes_data();
    void escapes();
    void reportsCarryEveryCellExactly();
    void csvLayout_data();
    void csvLayout();
    void textTellsApart_data();
    void textTellsApart();
    void aHugeCellPrintsWhole();
    void aSinkThatGivesUpStopsTheReport();
    void jsonEscapesAsQJsonDocument();
};

void RowsReportTest::escapes_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("everyNonAscii");
    QTest::addColumn<QByteArray>("printed");

    QTest::newRow("plain") << QByteArray("abc, \"d\"") << false << QByteArray("abc, \"d\"");
    QTest::newRow("line breaks and tab")
        << QByteArray("a\r\nb\tc\rd") << false << QByteArray("a\\r\\nb\\tc\\rd");
    QTest::newRow("escape sequence") << QByteArray("\x1b[2J") << false << QByteArray("\\x1b[2J");
    QTest::newRow("NUL and DEL") << QByteArray("a\0b\x7f", 4) << false
                                 << QByteArray("a\\x00b\\x7f");
    QTest::newRow("backslash") << QByteArray("a\\n") << false << QByteArray("a\\\\n");
    QTest::newRow("no-break space") << QByteArray("1\xc2\xa0") << false << QByteArray("1\\u00a0");
    QTest::newRow("right-to-left override") << QByteArray("\xe2\x80\xae"
                                                          "abc")
                                            << false << QByteArray("\\u202eabc");
    QTest::newRow("zero-width space")
        << QByteArray("a\xe2\x80\x8b") << false << QByteArray("a\\u200b");
    QTest::newRow("letters stay") << QByteArray("\xc3\xa9\xf0\x9d\x84\x9e") << false
                                  << QByteArray("\xc3\xa9\xf0\x9d\x84\x9e");
    QTest::newRow("look-alikes spelled out")
        << QByteArray("e\xcc\x81\xc3\xa9") << true << QByteArray("e\\u0301\\u00e9");
    QTest::newRow("astral spelled out")
        << QByteArray("\xf0\x9d\x84\x9e") << true << QByteArray("\\U0001d11e");
    QTest::newRow("a byte that is not UTF-8")
        << QByteArray("\xe9t\xc3") << false << QByteArray("\\xe9t\\xc3");
}

void RowsReportTest::escapes()
{
    QFETCH(QByteArray, value);
    QFETCH(bool, everyNonAscii);
    QFETCH(QByteArray, printed);
    QCOMPARE(Csv::escapedForText(value, everyNonAscii), printed);
}

// Whatever the cells hold: the text report keeps one finding a line, and the
// csv and json reports give back every cell's bytes.
void RowsReportTest::reportsCarryEveryCellExactly()
{
    for (quint32 seed = 1; seed <= 152; ++seed) {
        QRandomGenerator random(seed);
        Csv::RowOptions options;
        options.key =
            Csv::parseColumnList(random.bounded(2) || seed > 150 ? QStringLiteral("id") : QString())
                .columns;
        const bool large = seed > 150;
        const Csv::RowComparison c = TestRows::compareTexts(
            large ? keyedTable(random, 12000, 0) : randomTable(random, random.bounded(10)),
            large ? keyedTable(random, 12000, 1500) : randomTable(random, random.bounded(10)),
            options, ',');
        QVERIFY2(c.ok(), qPrintable(c.error.message));

        const QByteArray text = report(c, Csv::ReportFormat::Text);
        qsizetype findings = 1
                             + qsizetype(c.duplicateKeys.size() + c.ragged1.size()
                                         + c.ragged2.size() + c.removed.size() + c.added.size()
                                         + c.changed.size() + (c.mapping.reordered ? 1 : 0));
        for (const Csv::Column &column : c.mapping.columns)
            findings += column.inBoth() ? 0 : 1;
        QCOMPARE(text.count('\n'), findings);
        QVERIFY2(!text.contains('\r') && !text.contains('\x1b'), text.constData());

        // The csv report read back: a line a finding, each cell byte for byte
        // under its column's name, a changed cell's old value under "[old] NAME".
        const Csv::ReadResult csv = Csv::readCsv(report(c, Csv::ReportFormat::Csv), ',');
        QVERIFY(csv.ok());
        qsizetype notes =
            qsizetype(c.ragged1.size() + c.ragged2.size()) + (c.mapping.reordered ? 1 : 0);
        for (const Csv::Column &column : c.mapping.columns)
            notes += column.inBoth() ? 0 : 1;
        for (const Csv::DuplicateKey &d : c.duplicateKeys)
            notes += qsizetype(d.records1.size() + d.records2.size());
        QCOMPARE(csv.table.size(),
                 qsizetype(1 + notes + c.removed.size() + c.added.size() + c.changed.size()));
        const Csv::Row header = csv.table.row(0);
        const auto field = [&](const QString &name) {
            for (qsizetype i = 0; i < header.size(); ++i) {
                if (header[i] == QByteArrayView(name.toUtf8()))
                    return i;
            }
            return qsizetype(-1);
        };
        const qsizetype firstRemoved = 1 + notes;
        for (size_t i = 0; i < c.removed.size(); ++i) {
            const std::vector<QByteArray> source = cellsOf(*c.table1, c.removed[i]);
            const Csv::Row row = csv.table.row(qsizetype(firstRemoved + i));
            QCOMPARE(row[0].toByteArray(), QByteArray("-"));
            for (size_t k = 0; k < c.mapping.columns.size(); ++k) {
                const qint64 index1 = c.mapping.columns[k].index1;
                if (index1 >= 0 && size_t(index1) < source.size())
                    QCOMPARE(row[field(c.mapping.label(qsizetype(k)))].toByteArray(),
                             source[size_t(index1)]);
            }
        }
        const qsizetype firstChanged = firstRemoved + qsizetype(c.removed.size() + c.added.size());
        for (size_t i = 0; i < c.changed.size(); ++i) {
            const std::vector<QByteArray> old = cellsOf(*c.table1, c.changed[i].record1);
            const std::vector<QByteArray> now = cellsOf(*c.table2, c.changed[i].record2);
            const Csv::Row row = csv.table.row(qsizetype(firstChanged + i));
            QCOMPARE(row[0].toByteArray(), QByteArray("~"));
            for (const qint32 k : c.changedColumns(c.changed[i])) {
                const Csv::Column &column = c.mapping.columns[size_t(k)];
                const QString label = c.mapping.label(k);
                QCOMPARE(row[field("[old] " + label)].toByteArray(), cellAt(old, column.index1));
                QCOMPARE(row[field(label)].toByteArray(), cellAt(now, column.index2));
            }
        }

        const QJsonDocument json = QJsonDocument::fromJson(report(c, Csv::ReportFormat::Json));
        QVERIFY(json.isObject());
        const QJsonArray added = json["added"].toArray();
        QCOMPARE(added.size(), qsizetype(c.added.size()));
        for (qsizetype i = 0; i < added.size(); ++i) {
            const std::vector<QByteArray> source = cellsOf(*c.table2, c.added[size_t(i)]);
            const QJsonArray row = added[i].toObject()["row"].toArray();
            QCOMPARE(row.size(), qsizetype(source.size()));
            for (size_t k = 0; k < source.size(); ++k)
                QCOMPARE(row[qsizetype(k)].toString().toUtf8(), source[k]);
        }
    }
}

void RowsReportTest::csvLayout_data()
{
    QTest::addColumn<QByteArray>("text1");
    QTest::addColumn<QByteArray>("text2");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("map");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("old and new values, file 2's column order, notes")
        << QByteArray("id,status,city,gone\n1,open,Oslo,x\n2,open,Rome,y\n3,shut,Bern,z\n")
        << QByteArray("id,city,status,new\n1,Oslo,open,p\n2,Roma,done,q\n4,Kyiv,open,r\n") << "id"
        << ""
        << QByteArray("[status],[line1],[line2],id,[old] city,city,[old] status,status,new,gone,"
                      "[changed],[note]\r\n"
                      "#,,,,,,,,,,,\"Column \"\"gone\"\" only in one.csv\"\r\n"
                      "#,,,,,,,,,,,\"Column \"\"new\"\" only in two.csv\"\r\n"
                      "#,,,,,,,,,,,Columns in another order in two.csv\r\n"
                      "-,4,,3,,Bern,,shut,,z,,\r\n"
                      "+,,4,4,,Kyiv,,open,r,,,\r\n"
                      "~,3,3,2,Rome,Roma,open,done,q,y,city; status,\r\n");
    QTest::newRow("ragged rows alone are said")
        << QByteArray("id,v\n1,a,x\n") << QByteArray("id,v\n1,a,x\n") << "id"
        << ""
        << QByteArray("[status],[line1],[line2],id,v,#3,[changed],[note]\r\n"
                      "#,2,,,,,,\"Ragged row: 3 cells, not 2\"\r\n"
                      "#,,2,,,,,\"Ragged row: 3 cells, not 2\"\r\n");
    QTest::newRow("a column only one file has alone is said")
        << QByteArray("id,v\n1,a\n") << QByteArray("id,v,w\n1,a,\n") << "id"
        << ""
        << QByteArray("[status],[line1],[line2],id,v,w,[changed],[note]\r\n"
                      "#,,,,,,,\"Column \"\"w\"\" only in two.csv\"\r\n");
    QTest::newRow("rows of a duplicate key")
        << QByteArray("id,v\n1,a\n1,b\n") << QByteArray("id,v\n1,a\n") << "id"
        << ""
        << QByteArray("[status],[line1],[line2],id,v,[changed],[note]\r\n"
                      "!,2,,1,a,,Duplicate key id=1\r\n"
                      "!,3,,1,b,,Duplicate key id=1\r\n"
                      "!,,2,1,a,,Duplicate key id=1\r\n");
    QTest::newRow("data columns named like the report's own")
        << QByteArray("[status],status,[old] status\n1,a,x\n")
        << QByteArray("[status],status,[old] status\n1,b,x\n") << "\"[status]\""
        << ""
        << QByteArray("[status],[line1],[line2],[[status],[old] status,status,[[old] status,"
                      "[changed],[note]\r\n"
                      "~,2,2,1,a,b,x,status,\r\n");
    QTest::newRow("a renamed column names both")
        << QByteArray("id,email\n1,a@x\n") << QByteArray("id,email_address\n1,b@x\n") << "id"
        << "email=email_address"
        << QByteArray("[status],[line1],[line2],id,[old] email\xe2\x86\x92"
                      "email_address,"
                      "email\xe2\x86\x92"
                      "email_address,[changed],[note]\r\n"
                      "~,2,2,1,a@x,b@x,email\xe2\x86\x92"
                      "email_address,\r\n");
}

void RowsReportTest::csvLayout()
{
    QFETCH(QByteArray, text1);
    QFETCH(QByteArray, text2);
    QFETCH(QString, key);
    QFETCH(QString, map);
    QFETCH(QByteArray, expected);
    Csv::RowOptions options;
    options.key = Csv::parseColumnList(key).columns;
    if (!map.isEmpty())
        options.renames.push_back(Csv::parseRename(map).rename);
    const Csv::RowComparison c = TestRows::compareTexts(text1, text2, options, ',');
    QVERIFY2(c.ok(), qPrintable(c.error.message));
    QCOMPARE(report(c, Csv::ReportFormat::Csv), expected);
}

// Two cells that differ never print alike in the text report, whichever of
// removed, added or changed they are.
void RowsReportTest::textTellsApart_data()
{
    QTest::addColumn<QByteArray>("cell1");
    QTest::addColumn<QByteArray>("cell2");
    QTest::newRow("composed and decomposed")
        << QByteArray("caf\xc3\xa9") << QByteArray("cafe\xcc\x81");
    QTest::newRow("Hangul syllable and its letters")
        << QByteArray("\xea\xb0\x80") << QByteArray("\xe1\x84\x80\xe1\x85\xa1");
    QTest::newRow("a ligature") << QByteArray("\xef\xac\x81") << QByteArray("fi");
    QTest::newRow("no-break space") << QByteArray("a\xc2\xa0") << QByteArray("a ");
    // Canonically equivalent: only the order of the marks differs. Too many
    // marks in a row to sort: spelled out without normalising.
    QTest::newRow("a long run of combining marks")
        << 'a' + QByteArray("\xcc\x81\xcc\x96").repeated(40)
        << 'a' + QByteArray("\xcc\x96\xcc\x81").repeated(40);
}

void RowsReportTest::textTellsApart()
{
    QFETCH(QByteArray, cell1);
    QFETCH(QByteArray, cell2);
    // Without a key the two rows are one removed and one added; with one, a change.
    const Csv::RowComparison whole =
        TestRows::compareTexts("v\n" + cell1 + '\n', "v\n" + cell2 + '\n', {}, ',');
    const QList<QByteArray> lines = report(whole, Csv::ReportFormat::Text).split('\n');
    QCOMPARE(lines.size(), 4); // summary, -, +, and the end
    QVERIFY(lines[1].startsWith("- line 2: ") && lines[2].startsWith("+ line 2: "));
    QVERIFY2(lines[1].mid(2) != lines[2].mid(2), lines[1].constData());

    Csv::RowOptions byKey;
    byKey.key = Csv::parseColumnList(QStringLiteral("id")).columns;
    const Csv::RowComparison keyed =
        TestRows::compareTexts("id,v\n1," + cell1 + '\n', "id,v\n1," + cell2 + '\n', byKey, ',');
    const QByteArray changed = report(keyed, Csv::ReportFormat::Text).split('\n')[1];
    const qsizetype arrow = changed.lastIndexOf("\xe2\x86\x92");
    const qsizetype from = changed.indexOf("v [2] ");
    QVERIFY2(arrow > 0 && from > 0, changed.constData());
    QVERIFY2(changed.mid(from + 6, arrow - from - 7) != changed.mid(arrow + 4),
             changed.constData());
}

// A changed cell of megabytes full of quotes and line breaks: every
// character is there, escaped, and what is past ASCII is spelled out.
void RowsReportTest::aHugeCellPrintsWhole()
{
    const QByteArray body = QByteArray("\"\n").repeated(1 << 20);
    const QByteArray cell1 = '"' + QByteArray(body).replace("\"", "\"\"") + "\xc3\xa9\"";
    const QByteArray cell2 = '"' + QByteArray(body).replace("\"", "\"\"") + "e\"";
    Csv::RowOptions byKey;
    byKey.key = Csv::parseColumnList(QStringLiteral("id")).columns;
    const Csv::RowComparison c =
        TestRows::compareTexts("id,v\n1," + cell1 + '\n', "id,v\n1," + cell2 + '\n', byKey, ',');
    QVERIFY2(c.ok(), qPrintable(c.error.message));
    const QByteArray text = report(c, Csv::ReportFormat::Text);
    const QByteArray escaped = QByteArray("\\\"\\n").repeated(1 << 20);
    QVERIFY(text.contains('"' + escaped + "\\u00e9\" \xe2\x86\x92 \"" + escaped + "e\""));
    QCOMPARE(text.count('\n'), 2);
}

void RowsReportTest::aSinkThatGivesUpStopsTheReport()
{
    QByteArray many = "id,v\n";
    for (int i = 0; i < 50000; ++i)
        many += QByteArray::number(i) + ",value\n";
    const Csv::RowComparison c = TestRows::compareTexts(many, "id,v\n", Csv::RowOptions{});
    for (const auto format :
         {Csv::ReportFormat::Text, Csv::ReportFormat::Csv, Csv::ReportFormat::Json,
          Csv::ReportFormat::Html, Csv::ReportFormat::Xlsx}) {
        int calls = 0;
        const bool written = Csv::writeReport(c, format, {}, [&calls](QByteArrayView) {
            ++calls;
            return false;
        });
        QVERIFY(!written);
        QCOMPARE(calls, 1);
    }
}

// Every control character, a quote and a backslash in a cell: the row's
// array is what QJsonDocument writes for it (\b and \f included).
void RowsReportTest::jsonEscapesAsQJsonDocument()
{
    QByteArray cell = "\"q\"\\";
    for (char c = 1; c < 0x20; ++c)
        cell += c;
    const QByteArray quoted = '"' + QByteArray(cell).replace('"', "\"\"") + '"';
    const Csv::RowComparison c = TestRows::compareTexts("v\n" + quoted + "\n", "v\n", {}, ',');
    QVERIFY2(c.ok(), qPrintable(c.error.message));
    const QByteArray expected =
        QJsonDocument(QJsonArray{QString::fromUtf8(cell)}).toJson(QJsonDocument::Compact);
    QVERIFY2(report(c, Csv::ReportFormat::Json).contains("\"row\":" + expected), expected);
}

QTEST_APPLESS_MAIN(RowsReportTest)
#include "test_rows_report.moc"
