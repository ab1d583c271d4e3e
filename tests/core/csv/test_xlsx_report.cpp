#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include "csv/RowComparison.h"
#include "csv/XlsxReport.h"
#include "support/RowTexts.h"
#include "workbook/ZipArchive.h"

namespace {

struct Cell
{
    QString type; // "inlineStr", "s", "n" or empty (a number)
    QString text;
    int style = 0;
};

// One part of the workbook, as libzip reads it (the writer zips through
// a library of its own).
QByteArray part(const QString &workbook, const QString &name)
{
    QFile file(workbook);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    const QByteArray bytes = file.readAll();
    const Workbook::ZipArchive zip(bytes);
    const qint64 index = zip.error().isEmpty() ? zip.find(name) : -1;
    QString error;
    return index < 0 ? QByteArray() : zip.readAll(index, qint64(1) << 30, error);
}

struct Sheet
{
    QHash<QString, Cell> cells; // by reference, "B3"
    QXmlStreamAttributes pane;
    QString autoFilter;
};

Sheet readSheet(const QByteArray &xml)
{
    Sheet sheet;
    QXmlStreamReader reader(xml);
    QString at;
    while (reader.readNextStartElement() || !reader.atEnd()) {
        if (!reader.isStartElement())
            continue;
        const auto name = reader.name();
        if (name == QLatin1String("c")) {
            at = reader.attributes().value("r").toString();
            sheet.cells[at] = {reader.attributes().value("t").toString(), QString(),
                               reader.attributes().value("s").toInt()};
        } else if (name == QLatin1String("v") || name == QLatin1String("t")) {
            sheet.cells[at].text = reader.readElementText();
        } else if (name == QLatin1String("pane")) {
            sheet.pane = reader.attributes();
        } else if (name == QLatin1String("autoFilter")) {
            sheet.autoFilter = reader.attributes().value("ref").toString();
        }
    }
    return sheet;
}

// What a cell style shows: its fill's colour, whether struck through, its
// number format.
struct Style
{
    QString fill; // "FFFBE0E0", or empty
    bool strike = false;
    QString numberFormat;
};

std::vector<Style> readStyles(const QByteArray &xml)
{
    std::vector<QString> fills;
    std::vector<bool> fonts;
    QHash<int, QString> formats;
    std::vector<Style> styles;
    QXmlStreamReader reader(xml);
    QString section;
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement())
            continue;
        const QString name = reader.name().toString();
        const QXmlStreamAttributes a = reader.attributes();
        if (name == "fills" || name == "fonts" || name == "cellXfs" || name == "cellStyleXfs")
            section = name;
        else if (name == "fill")
            fills.emplace_back();
        else if (name == "fgColor" && section == "fills")
            fills.back() = a.value("rgb").toString();
        else if (name == "font" && section == "fonts")
            fonts.push_back(false);
        else if (name == "strike" && section == "fonts")
            fonts.back() = true;
        else if (name == "numFmt")
            formats[a.value("numFmtId").toInt()] = a.value("formatCode").toString();
        else if (name == "xf" && section == "cellXfs") {
            const int fill = a.value("fillId").toInt();
            const int font = a.value("fontId").toInt();
            styles.push_back({fill < int(fills.size()) ? fills[size_t(fill)] : QString(),
                              font < int(fonts.size()) && fonts[size_t(font)],
                              formats.value(a.value("numFmtId").toInt())});
        }
    }
    return styles;
}

} // namespace

class XlsxReportTest : public QObject
{
    Q_OBJECT

private slots:
    void readBack();
    void aSinkThatGivesUpIsAnError();
    void beyondWhatASheetHolds();
};

void XlsxReportTest::readBack()
{
    Csv::RowOptions options;
    options.key = Csv::parseColumnList(QStringLiteral("id")).columns;
    const Csv::RowComparison c = TestRows::compareTexts(
        "id,name,qty,price\n1,Pen,10,1.50\n2,Pad,5,2\n3,Ink,4,7\n",
        "id,name,qty\n1,Pen,12\n3,<script>,4\n4,Clip\x1b,007\n", options, ',');
    QVERIFY2(c.ok(), qPrintable(c.error.message));
    QTemporaryDir folder;
    const QString path = folder.filePath("report.xlsx");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QString error = Csv::writeXlsxReport(
        c, {QStringLiteral("old.csv"), QStringLiteral("new.csv")},
        [&file](QByteArrayView piece) { return file.write(piece.data(), piece.size()) > 0; });
    QCOMPARE(error, QString());
    file.close();

    const QByteArray book = part(path, "xl/workbook.xml");
    QVERIFY2(book.contains("name=\"Differences\"") && book.contains("name=\"Summary\""),
             book.constData());
    const Sheet rows = readSheet(part(path, "xl/worksheets/sheet1.xml"));
    const std::vector<Style> styles = readStyles(part(path, "xl/styles.xml"));
    QVERIFY(!styles.empty());
    const auto text = [&](const char *at) { return rows.cells.value(at).text; };
    const auto style = [&](const char *at) {
        return styles.at(size_t(rows.cells.value(at).style));
    };

    // The header frozen and filtered over every finding.
    QCOMPARE(rows.pane.value("state").toString(), QStringLiteral("frozen"));
    QCOMPARE(rows.pane.value("ySplit").toString(), QStringLiteral("1"));
    QCOMPARE(rows.autoFilter, QStringLiteral("A1:K5"));
    const QStringList header{"Status", "Line 1",    "Line 2", "id",      "name", "name (old)",
                             "qty",    "qty (old)", "price",  "Changed", "Note"};
    for (int k = 0; k < header.size(); ++k)
        QCOMPARE(rows.cells.value(QString(QChar(u'A' + k)) + "1").text, header[k]);

    // removed, added, then the changed rows in file 2's order.
    QCOMPARE(text("A2"), QStringLiteral("removed"));
    QCOMPARE(style("A2").fill, QStringLiteral("FFFBE0E0"));
    QCOMPARE(style("E2").fill, QStringLiteral("FFFBE0E0"));
    QCOMPARE(text("E2"), QStringLiteral("Pad"));
    QCOMPARE(text("A3"), QStringLiteral("added"));
    QCOMPARE(style("E3").fill, QStringLiteral("FFDCF3DC"));
    QCOMPARE(text("E3"), QStringLiteral("Clip\\x1b")); // XML cannot hold ESC
    QCOMPARE(text("A4"), QStringLiteral("changed"));
    QCOMPARE(text("D4"), QStringLiteral("1"));
    QCOMPARE(text("D5"), QStringLiteral("3"));

    // Numbers as numbers, written as the file writes them; "007" stays text.
    QCOMPARE(rows.cells.value("G2").type, QString());
    QCOMPARE(text("G2"), QStringLiteral("5"));
    QCOMPARE(rows.cells.value("G3").type, QStringLiteral("inlineStr"));
    QCOMPARE(text("G3"), QStringLiteral("007"));
    QCOMPARE(text("I4"), QStringLiteral("1.5"));
    QCOMPARE(style("I4").numberFormat, QStringLiteral("0.00"));

    // A changed cell: the new value filled, the old one beside it struck through.
    QCOMPARE(text("G4"), QStringLiteral("12"));
    QCOMPARE(style("G4").fill, QStringLiteral("FFFFE680"));
    QCOMPARE(text("H4"), QStringLiteral("10"));
    QVERIFY(style("H4").strike);
    QCOMPARE(text("J4"), QStringLiteral("qty"));
    QCOMPARE(text("E5"), QStringLiteral("<script>"));
    QCOMPARE(text("F5"), QStringLiteral("Ink"));
    QCOMPARE(style("E5").fill, QStringLiteral("FFFFE680"));
    QVERIFY(!rows.cells.contains("F4")); // name did not change in that row
    QCOMPARE(style("D4").fill, QString());

    const Sheet summary = readSheet(part(path, "xl/worksheets/sheet2.xml"));
    QHash<QString, QString> facts;
    for (int r = 1; r <= 12; ++r)
        facts[summary.cells.value("A" + QString::number(r)).text] =
            summary.cells.value("B" + QString::number(r)).text;
    QCOMPARE(facts.value("File 1"), QStringLiteral("old.csv"));
    QCOMPARE(facts.value("Key"), QStringLiteral("id"));
    QCOMPARE(facts.value("Removed"), QStringLiteral("1"));
    QCOMPARE(facts.value("Added"), QStringLiteral("1"));
    QCOMPARE(facts.value("Changed"), QStringLiteral("2"));
}

void XlsxReportTest::aSinkThatGivesUpIsAnError()
{
    const Csv::RowComparison c = TestRows::compareTexts("a\n1\n", "a\n2\n", Csv::RowOptions{}, ',');
    int calls = 0;
    const QString error = Csv::writeXlsxReport(c, {}, [&calls](QByteArrayView) {
        ++calls;
        return false;
    });
    QVERIFY(!error.isEmpty());
    QCOMPARE(calls, 1);
}

// A cell longer than a cell holds is cut, saying so; more columns than a
// sheet holds is an error, not a broken workbook.
void XlsxReportTest::beyondWhatASheetHolds()
{
    Csv::RowOptions options;
    options.key = Csv::parseColumnList(QStringLiteral("id")).columns;
    const QByteArray huge(40000, 'x');
    const Csv::RowComparison c =
        TestRows::compareTexts("id,v\n", "id,v\n1," + huge + '\n', options, ',');
    QTemporaryDir folder;
    const QString path = folder.filePath("long.xlsx");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(Csv::writeXlsxReport(c, {},
                                  [&file](QByteArrayView piece) {
                                      return file.write(piece.data(), piece.size()) > 0;
                                  }),
             QString());
    file.close();
    const QString cell = readSheet(part(path, "xl/worksheets/sheet1.xml")).cells.value("E2").text;
    QCOMPARE(cell.size(), 32767);
    QVERIFY(cell.endsWith(QChar(0x2026)));

    QByteArray wide = "a";
    for (int k = 1; k < 20000; ++k)
        wide += ",c" + QByteArray::number(k);
    const Csv::RowComparison w =
        TestRows::compareTexts(wide + "\n" + QByteArray(19999, ',') + "\n", wide + "\n", {}, ',');
    QVERIFY2(w.ok(), qPrintable(w.error.message));
    const QString error = Csv::writeXlsxReport(w, {}, [](QByteArrayView) { return true; });
    QVERIFY2(error.contains("16,384 columns"), qPrintable(error));
}

QTEST_APPLESS_MAIN(XlsxReportTest)
#include "test_xlsx_report.moc"
