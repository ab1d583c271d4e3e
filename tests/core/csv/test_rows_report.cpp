#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTest>

#include "csv/RowComparison.h"
#include "csv/RowsReport.h"

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

} // namespace

class RowsReportTest : public QObject
{
    Q_OBJECT

private slots:
    void escapes_data();
    void escapes();
    void reportsCarryEveryCellExactly();
    void aSinkThatGivesUpStopsTheReport();
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
    for (quint32 seed = 1; seed <= 150; ++seed) {
        QRandomGenerator random(seed);
        Csv::RowOptions options;
        options.key = random.bounded(2) ? QStringLiteral("id") : QString();
        const Csv::RowComparison c =
            Csv::compareTexts(randomTable(random, random.bounded(10)),
                              randomTable(random, random.bounded(10)), options, ',');
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

        // The csv report read back: its rows are the findings' cells, byte for byte.
        const Csv::ReadResult csv = Csv::readCsv(report(c, Csv::ReportFormat::Csv), ',');
        QVERIFY(csv.ok());
        QCOMPARE(csv.table.size(),
                 qsizetype(1 + c.removed.size() + c.added.size() + c.changed.size()));
        for (size_t i = 0; i < c.removed.size(); ++i) {
            const std::vector<QByteArray> source = cellsOf(*c.table1, c.removed[i]);
            const Csv::Row row = csv.table.row(qsizetype(1 + i));
            for (size_t k = 0; k < source.size() && k < c.mapping.columns.size(); ++k)
                QCOMPARE(row[qsizetype(2 + k)].toByteArray(), source[k]);
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

void RowsReportTest::aSinkThatGivesUpStopsTheReport()
{
    QByteArray many = "id,v\n";
    for (int i = 0; i < 50000; ++i)
        many += QByteArray::number(i) + ",value\n";
    const Csv::RowComparison c = Csv::compareTexts(many, "id,v\n", Csv::RowOptions{});
    for (const auto format :
         {Csv::ReportFormat::Text, Csv::ReportFormat::Csv, Csv::ReportFormat::Json}) {
        int calls = 0;
        const bool written = Csv::writeReport(c, format, {}, [&calls](QByteArrayView) {
            ++calls;
            return false;
        });
        QVERIFY(!written);
        QCOMPARE(calls, 1);
    }
}

QTEST_APPLESS_MAIN(RowsReportTest)
#include "test_rows_report.moc"
