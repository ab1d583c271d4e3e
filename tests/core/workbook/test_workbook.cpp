// Workbooks read as CSV text: committed workbooks from LibreOffice and
// libxlsxwriter against the CSV LibreOffice makes of each sheet, the value
// kinds one by one, and hostile workbooks refused quickly.
#include <random>

#include <QDir>
#include <QFile>
#include <QTest>

#include "WorkbookBytes.h"
#include "workbook/NumberFormat.h"
#include "workbook/SheetCsv.h"
#include "workbook/Workbook.h"

using namespace WorkbookBytes;

namespace {

QString fixtures()
{
    return QStringLiteral(CORVANTIS_SOURCE_DIR "/tests/core/workbook/fixtures");
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Our records end CR LF, LibreOffice's LF.
QByteArray withLf(QByteArray csv)
{
    return csv.replace("\r\n", "\n");
}

QByteArray firstSheet(const QByteArray &book)
{
    const Workbook::SheetText text = Workbook::readSheet(book, 0);
    return text.ok() ? text.csv : "error: " + text.error.toUtf8();
}

} // namespace

class TestWorkbook : public QObject
{
    Q_OBJECT

private slots:
    void likeLibreOffice_data();
    void likeLibreOffice();
    void recognise_data();
    void recognise();
    void xlsxCells_data();
    void xlsxCells();
    void odsCells_data();
    void odsCells();
    void numberFormats_data();
    void numberFormats();
    void generalAsWritten();
    void wholeDays();
    void paddedGrid();
    void findSheet_data();
    void findSheet();
    void hostile_data();
    void hostile();
};

void TestWorkbook::likeLibreOffice_data()
{
    QTest::addColumn<QString>("book");
    const QStringList books =
        QDir(fixtures()).entryList({QStringLiteral("*.xlsx"), QStringLiteral("*.ods")});
    QVERIFY(books.size() >= 6);
    for (const QString &book : books)
        QTest::newRow(qPrintable(book)) << book;
}

// Every sheet reads as LibreOffice's CSV of it, and the sheets are the ones
// LibreOffice wrote a CSV for, in the workbook's order.
void TestWorkbook::likeLibreOffice()
{
    QFETCH(QString, book);
    const QByteArray bytes = fileBytes(fixtures() + u'/' + book);
    QVERIFY(bytes.size() > 0 && bytes.size() < 50 * 1024);
    const Workbook::SheetList list = Workbook::sheetNames(bytes);
    QCOMPARE(list.error, QString());
    QStringList expected;
    for (const QString &csv : QDir(fixtures()).entryList({book + QStringLiteral(".*.csv")}))
        expected << csv.sliced(book.size() + 1).chopped(4);
    QStringList sorted = list.names;
    sorted.sort();
    expected.sort();
    QCOMPARE(sorted, expected);
    for (int i = 0; i < list.names.size(); ++i) {
        const Workbook::SheetText text = Workbook::readSheet(bytes, i);
        QCOMPARE(text.error, QString());
        QCOMPARE(text.sheet, list.names[i]);
        const QByteArray want =
            fileBytes(fixtures() + u'/' + book + u'.' + list.names[i] + QStringLiteral(".csv"));
        QCOMPARE(withLf(text.csv), want);
    }
}

void TestWorkbook::recognise_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("format");
    using F = Workbook::Format;
    QTest::newRow("csv") << QByteArray("a,b\n1,2\n") << int(F::None);
    QTest::newRow("empty") << QByteArray() << int(F::None);
    QTest::newRow("a zip that is no workbook") << zipOf({{"notes.txt", "hello"}}) << int(F::None);
    QTest::newRow("a zip's signature and nothing readable")
        << QByteArray("PK\x03\x04 not a zip at all") << int(F::Damaged);
    QTest::newRow("a zip cut before its first name")
        << zipOf({{"notes.txt", "hello"}}).first(20) << int(F::Damaged);
    QTest::newRow("xlsx") << xlsxSheet("") << int(F::Xlsx);
    QTest::newRow("xlsx cut short") << xlsxSheet("").first(200) << int(F::Xlsx);
    QTest::newRow("ods") << odsTable("") << int(F::Ods);
    QTest::newRow("odt is no spreadsheet")
        << zipOf({{"mimetype", "application/vnd.oasis.opendocument.text"}, {"content.xml", "<a/>"}})
        << int(F::None);
    QByteArray compound("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    compound +=
        QByteArray(512, '\0') + QByteArray("E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0", 32);
    QTest::newRow("password-protected Office file") << compound << int(F::Encrypted);
    QTest::newRow("old binary Office file")
        << QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1 nothing more", 21) << int(F::None);
}

void TestWorkbook::recognise()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, format);
    QCOMPARE(int(Workbook::recognise(bytes)), format);
}

void TestWorkbook::xlsxCells_data()
{
    QTest::addColumn<QByteArray>("book");
    QTest::addColumn<QByteArray>("csv");
    QTest::newRow("inline string, rich runs joined")
        << xlsxSheet("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><r><t>a</t></r><r><t xml:space="
                     "\"preserve\"> b</t></r></is></c></row>")
        << QByteArray("a b\r\n");
    QTest::newRow("gaps, cells without references, trailing blanks dropped")
        << xlsxSheet("<row r=\"2\"><c r=\"B2\"><v>1</v></c><c><v>2</v></c><c r=\"E2\"/></row>"
                     "<row r=\"4\"><c r=\"A4\" t=\"str\"><f>X</f><v>x</v></c></row>"
                     "<row r=\"6\"><c r=\"A6\" t=\"str\"><v></v></c></row>")
        << QByteArray(",,\r\n,1,2\r\n,,\r\nx,,\r\n");
    QTest::newRow("booleans, errors, formulas by cached value")
        << xlsxSheet("<row><c t=\"b\"><v>1</v></c><c t=\"b\"><v>0</v></c><c t=\"e\"><v>#N/A</v>"
                     "</c><c><f>1+1</f><v>2</v></c></row>")
        << QByteArray("TRUE,FALSE,#N/A,2\r\n");
    QTest::newRow("general numbers: integers without .0, 15 digits")
        << xlsxSheet("<row><c><v>3.0</v></c><c><v>0.30000000000000004</v></c><c><v>1E+20</v>"
                     "</c><c><v>-0</v></c></row>")
        << QByteArray("3,0.3,1E+20,-0\r\n");
    QTest::newRow("quotes where CSV needs them")
        << xlsxSheet("<row><c t=\"inlineStr\"><is><t>a,b</t></is></c><c t=\"inlineStr\"><is><t>"
                     "say &quot;x&quot;</t></is></c><c t=\"inlineStr\"><is><t>1\n2</t></is></c>"
                     "</row>")
        << QByteArray("\"a,b\",\"say \"\"x\"\"\",\"1\n2\"\r\n");
    QTest::newRow("shared string out of range is empty")
        << xlsxSheet("<row><c t=\"s\"><v>7</v></c><c><v>1</v></c></row>") << QByteArray(",1\r\n");
    QTest::newRow("1904 dates") << xlsxParts(
        "<worksheet><sheetData><row><c s=\"0\"><v>0</v></c><c s=\"0\"><v>1.5</v></c>"
        "</row></sheetData></worksheet>",
        {{"xl/styles.xml", "<styleSheet><cellXfs><xf numFmtId=\"22\"/></cellXfs>"
                           "</styleSheet>"}},
        "<workbookPr date1904=\"1\"/>")
                                << QByteArray("1904-01-01 00:00:00,1904-01-02 12:00:00\r\n");
}

void TestWorkbook::xlsxCells()
{
    QFETCH(QByteArray, book);
    QFETCH(QByteArray, csv);
    QCOMPARE(firstSheet(book), csv);
}

void TestWorkbook::odsCells_data()
{
    QTest::addColumn<QByteArray>("book");
    QTest::addColumn<QByteArray>("csv");
    const auto cell = [](const QByteArray &attributes, const QByteArray &text) {
        return "<table:table-cell " + attributes + "><text:p>" + text
               + "</text:p></table:table-cell>";
    };
    QTest::newRow("repeated cells and rows expand where they hold values")
        << odsTable(
               "<table:table-row table:number-rows-repeated=\"2\">"
               + cell("table:number-columns-repeated=\"3\"", "x")
               + "<table:table-cell table:number-columns-repeated=\"1000000000\"/>"
                 "</table:table-row><table:table-row table:number-rows-repeated=\"1000000000\">"
                 "<table:table-cell table:number-columns-repeated=\"16384\"/></table:table-row>")
        << QByteArray("x,x,x\r\nx,x,x\r\n");
    QTest::newRow("covered cells give nothing; spaces, tabs, paragraphs")
        << odsTable("<table:table-row>" + cell("", "a<text:s text:c=\"3\"/>b<text:tab/>c")
                    + "<table:covered-table-cell><text:p>hidden</text:p></table:covered-table-cell>"
                    + cell("", "one</text:p><text:p>two") + "</table:table-row>")
        << QByteArray("a   b\tc,,\"one\ntwo\"\r\n");
    QTest::newRow("dates, times and truth values by value; notes left out") << odsTable(
        "<table:table-row>"
        + cell("office:value-type=\"date\" office:date-value=\"2024-02-29T08:05:00\"", "29.02.24")
        + cell("office:value-type=\"time\" office:time-value=\"PT36H05M09.5S\"", "12:05")
        + cell("office:value-type=\"boolean\" office:boolean-value=\"false\"",
               "WAHR<office:annotation><text:p>note</text:p></office:annotation>")
        + "</table:table-row>") << QByteArray("2024-02-29 08:05:00,36:05:09,FALSE\r\n");
}

void TestWorkbook::odsCells()
{
    QFETCH(QByteArray, book);
    QFETCH(QByteArray, csv);
    QCOMPARE(firstSheet(book), csv);
}

void TestWorkbook::numberFormats_data()
{
    QTest::addColumn<QString>("code"); // a format code, or "#ID" for a built-in one
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("from1904");
    QTest::addColumn<QString>("shown");
    QTest::newRow("built-in date") << "#14"
                                   << "45351" << false << "2024-02-29";
    QTest::newRow("1900's first day") << "#14"
                                      << "1" << false << "1900-01-01";
    QTest::newRow("1900's phantom leap day") << "#14"
                                             << "60" << false << "1900-02-29";
    QTest::newRow("the day after it") << "#14"
                                      << "61" << false << "1900-03-01";
    QTest::newRow("1904's first day") << "#14"
                                      << "0" << true << "1904-01-01";
    QTest::newRow("same serial, 1904") << "#14"
                                       << "45351" << true << "2028-03-01";
    QTest::newRow("date and time, rounded to the second")
        << "yyyy/mm/dd\\ h:mm AM/PM"
        << "45351.99999999" << false << "2024-03-01 00:00:00";
    QTest::newRow("time") << "h:mm:ss"
                          << "0.75" << false << "18:00:00";
    QTest::newRow("elapsed hours") << "[h]:mm:ss"
                                   << "1.5" << false << "36:00:00";
    QTest::newRow("minutes, not months") << "[$-409]h:mm"
                                         << "0.5" << false << "12:00:00";
    QTest::newRow("month names are dates") << "d-mmm-yy"
                                           << "45351" << false << "2024-02-29";
    QTest::newRow("percent") << "0.00%"
                             << "0.12345" << false << "12.35%";
    QTest::newRow("percent, built in") << "#9"
                                       << "0.5" << false << "50%";
    QTest::newRow("thousands") << "#,##0.00"
                               << "-1234567.5" << false << "-1,234,567.50";
    QTest::newRow("fixed, quoted text ignored")
        << "0.0\" kg\""
        << "2.25" << false << "2.3"; // half away from zero, as shown
    QTest::newRow("fixed, a half that binary misses") << "0.00"
                                                      << "2.675" << false << "2.68";
    QTest::newRow("scientific") << "0.00E+00"
                                << "12345" << false << "1.23E+04";
    QTest::newRow("text keeps digits") << "@"
                                       << "007" << false << "007";
    QTest::newRow("general integer") << "General"
                                     << "12345678901234567890" << false << "1.23456789012346E+19";
    QTest::newRow("general decimal") << "General"
                                     << "0.1" << false << "0.1";
    QTest::newRow("not a number") << "0.00"
                                  << "abc" << false << "abc";
    QTest::newRow("date out of range") << "#14"
                                       << "-1" << false << "-1";
}

void TestWorkbook::numberFormats()
{
    QFETCH(QString, code);
    QFETCH(QString, value);
    QFETCH(bool, from1904);
    QFETCH(QString, shown);
    const Workbook::NumberFormat format =
        code.startsWith(u'#') && code.size() > 1 && code[1].isDigit()
            ? Workbook::NumberFormat::builtIn(code.mid(1).toInt())
            : Workbook::NumberFormat::fromCode(code);
    QCOMPARE(Workbook::formatNumber(value, format,
                                    from1904 ? Workbook::DateSystem::From1904
                                             : Workbook::DateSystem::From1900),
             shown);
}

// Cells put in any sparse order of rows and columns give the grid a plain
// rendering gives: every record as wide as the widest, nothing after the
// last value.
void TestWorkbook::paddedGrid()
{
    std::mt19937 random(30);
    for (int round = 0; round < 300; ++round) {
        const int rows = int(random() % 6) + 1;
        const int columns = int(random() % 6) + 1;
        std::vector<std::vector<QString>> grid(size_t(rows),
                                               std::vector<QString>(static_cast<size_t>(columns)));
        Workbook::SheetCsv csv(1 << 20);
        int lastRow = -1, width = 0;
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < columns; ++c)
                if (random() % 3 == 0) {
                    const QString value =
                        random() % 4 ? QString::number(random() % 100) : QStringLiteral("a,\"b\"");
                    grid[size_t(r)][size_t(c)] = value;
                    QVERIFY(csv.put(r, c, value));
                    lastRow = r;
                    width = std::max(width, c + 1);
                }
        QByteArray plain;
        for (int r = 0; r <= lastRow; ++r) {
            QStringList fields;
            for (int c = 0; c < width; ++c) {
                QString v = grid[size_t(r)][size_t(c)];
                if (v.contains(u','))
                    v = u'"' + v.replace(u'"', QStringLiteral("\"\"")) + u'"';
                fields << v;
            }
            plain += fields.join(u',').toUtf8() + "\r\n";
        }
        QCOMPARE(csv.finish(), plain);
    }
}

void TestWorkbook::findSheet_data()
{
    QTest::addColumn<QString>("wanted");
    QTest::addColumn<int>("index");
    QTest::newRow("by name") << "One" << 0;
    QTest::newRow("by number") << "2" << 1;
    QTest::newRow("a name that is a number wins, before its number") << "3" << 1;
    QTest::newRow("a name that is a number wins, after its number") << "1" << 2;
    QTest::newRow("no such name") << "Four" << -1;
    QTest::newRow("number past the end") << "4" << -1;
    QTest::newRow("zero") << "0" << -1;
}

// Three sheets named "One", "3" and "1", each holding its own name.
static QByteArray threeSheets(bool ods)
{
    const QList<QByteArray> names{"One", "3", "1"};
    if (ods) {
        QByteArray tables;
        for (const QByteArray &name : names)
            tables += "<table:table table:name=\"" + name
                      + "\"><table:table-row><table:table-cell>"
                        "<text:p>"
                      + name
                      + "</text:p></table:table-cell></table:table-row>"
                        "</table:table>";
        Parts parts{
            {"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
            {"content.xml", "<?xml version=\"1.0\"?><office:document-content xmlns:office=\"o\" "
                            "xmlns:table=\"t\" xmlns:text=\"x\"><office:body><office:spreadsheet>"
                                + tables
                                + "</office:spreadsheet></office:body></office:document-content>"}};
        return zipOf(parts);
    }
    QByteArray sheets;
    QByteArray rels;
    Parts parts;
    for (int i = 0; i < names.size(); ++i) {
        const QByteArray n = QByteArray::number(i + 1);
        sheets += "<sheet name=\"" + names[i] + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
        rels += "<Relationship Id=\"rId" + n
                + "\" Type=\"http://x/worksheet\" "
                  "Target=\"worksheets/sheet"
                + n + ".xml\"/>";
        parts.push_back({"xl/worksheets/sheet" + n + ".xml",
                         "<worksheet><sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>"
                             + names[i] + "</t></is></c></row></sheetData></worksheet>"});
    }
    parts.push_back({"xl/workbook.xml",
                     "<workbook xmlns:r=\"urn:r\"><sheets>" + sheets + "</sheets></workbook>"});
    parts.push_back({"xl/_rels/workbook.xml.rels", "<Relationships>" + rels + "</Relationships>"});
    return zipOf(parts);
}

// A sheet named by a user is found by findSheet() in a list, and read in one
// pass by readSheet(): the same sheet, or the same error, in either format.
void TestWorkbook::findSheet()
{
    QFETCH(QString, wanted);
    QFETCH(int, index);
    const QStringList names{"One", "3", "1"};
    QString error;
    QCOMPARE(Workbook::findSheet(names, wanted, error), index);
    QCOMPARE(error.isEmpty(), index >= 0);
    for (const bool ods : {false, true}) {
        const QByteArray book = threeSheets(ods);
        for (const auto listing : {Workbook::Listing::SheetOnly, Workbook::Listing::WithNames}) {
            const Workbook::SheetText text = Workbook::readSheet(book, wanted, nullptr, listing);
            QCOMPARE(text.error, error);
            QCOMPARE(text.csv, index < 0 ? QByteArray() : names[index].toUtf8() + "\r\n");
            QCOMPARE(text.sheet, names.value(index));
            QCOMPARE(text.sheets, listing == Workbook::Listing::WithNames ? names : QStringList());
        }
    }
}

// A number the reader takes as written is one the general format shows so:
// random decimals of every length, zeros where they matter most.
// A date column's whole days, written without a QString, read as
// formatNumber() shows them: every week of the first centuries, random days
// up to 9999-12-31, the phantom 1900-02-29 and its neighbours, in both
// systems; what is no whole day, or lies past 9999, is left to formatNumber().
void TestWorkbook::wholeDays()
{
    std::mt19937 random(12);
    QList<QByteArray> values{"0", "59", "60", "61", "0044412", "2957003"};
    for (int day = 0; day < 80000; day += 7)
        values << QByteArray::number(day);
    for (int i = 0; i < 20000; ++i)
        values << QByteArray::number(random() % 2958466);
    const Workbook::NumberFormat date{Workbook::NumberFormat::Kind::Date};
    for (const auto dates : {Workbook::DateSystem::From1900, Workbook::DateSystem::From1904}) {
        QByteArray shown;
        for (const QByteArray &value : values) {
            const bool whole = Workbook::formatWholeDay(value, dates, shown);
            QVERIFY2(whole || (dates == Workbook::DateSystem::From1904 && value.toInt() > 2957003),
                     value.constData());
            if (whole)
                QCOMPARE(shown,
                         Workbook::formatNumber(QString::fromLatin1(value), date, dates).toUtf8());
        }
        for (const char *other : {"2958466", "12345678", "1.5", "-1", " 1", "1e3", ""})
            QVERIFY2(!Workbook::formatWholeDay(other, dates, shown), other);
    }
    // Past 9999-12-31 a day number shows as the number, in both systems.
    QByteArray shown;
    QVERIFY(!Workbook::formatWholeDay("2957004", Workbook::DateSystem::From1904, shown));
    QCOMPARE(Workbook::formatNumber(u"2957004", date, Workbook::DateSystem::From1904),
             QStringLiteral("2957004"));
    QCOMPARE(Workbook::formatNumber(u"2958466", date, Workbook::DateSystem::From1900),
             QStringLiteral("2958466"));
}

void TestWorkbook::generalAsWritten()
{
    std::mt19937 random(30);
    const auto digits = [&](int count) {
        QByteArray text;
        for (int i = 0; i < count; ++i)
            text += char('0' + (random() % 3 == 0 ? 0 : random() % 10));
        return text;
    };
    int taken = 0;
    for (int i = 0; i < 20000; ++i) {
        QByteArray value = random() % 4 == 0 ? "-" : "";
        value += digits(1 + int(random() % 17));
        if (random() % 3 != 0)
            value += '.' + digits(int(random() % 18));
        if (!Workbook::generalShowsAsWritten(value))
            continue;
        ++taken;
        const QString shown =
            Workbook::formatNumber(QString::fromLatin1(value), {}, Workbook::DateSystem::From1900);
        QCOMPARE(shown, QString::fromLatin1(value));
    }
    QVERIFY2(taken > 2000, qPrintable(QString::number(taken)));
    for (const char *shownOtherwise : {"0.00001", "1.50", "1234567890123456", "1e5", "0.",
                                       "1.1234567890123456", "00.5", "-", ""})
        QVERIFY2(!Workbook::generalShowsAsWritten(shownOtherwise), shownOtherwise);
}

void TestWorkbook::hostile_data()
{
    QTest::addColumn<QByteArray>("book");
    QTest::addColumn<QString>("error");

    const QByteArray zeros(64 << 20, '0');
    QTest::newRow("zip bomb: a sheet claiming a thousandfold expansion")
        << xlsxSheet("<row><c><v>" + zeros + "</v></c></row>") << "zip bomb";
    // The same, its stated sizes lowered to pass for a small sheet: the
    // expansion is caught as it happens.
    QByteArray lying = xlsxSheet("<row><c><v>" + zeros + "</v></c></row>");
    const QByteArray name("xl/worksheets/sheet1.xml");
    for (qsizetype at = lying.indexOf(name); at >= 0; at = lying.indexOf(name, at + 1)) {
        const bool central = lying.mid(at - 46, 4) == "PK\x01\x02";
        const qsizetype size = central ? at - 46 + 24 : at - 30 + 22;
        if (central || lying.mid(at - 30, 4) == "PK\x03\x04")
            lying.replace(size, 4, QByteArray("\x00\x00\x01\x00", 4)); // 65536
    }
    QTest::newRow("zip bomb: stated sizes that lie") << lying << "stated size";

    QTest::newRow("document type with entities")
        << xlsxParts("<?xml version=\"1.0\"?><!DOCTYPE lol [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b "
                     "\"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">]><worksheet><sheetData><row><c t=\"str\">"
                     "<v>&b;</v></c></row></sheetData></worksheet>")
        << "document type";
    QTest::newRow("external entity in OpenDocument")
        << zipOf({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
                  {"content.xml", "<?xml version=\"1.0\"?><!DOCTYPE d [<!ENTITY x SYSTEM "
                                  "\"file:///etc/passwd\">]><d>&x;</d>"}})
        << "document type";
    QTest::newRow("undeclared entity")
        << xlsxSheet("<row><c t=\"str\"><v>&nope;</v></c></row>") << "damaged";
    QTest::newRow("a billion repeated columns holding a value")
        << odsTable("<table:table-row><table:table-cell table:number-columns-repeated="
                    "\"1000000000\"><text:p>x</text:p></table:table-cell></table:table-row>")
        << "16384 columns";
    QTest::newRow("a billion repeated rows holding a value")
        << odsTable("<table:table-row table:number-rows-repeated=\"1000000000\"><table:table-cell>"
                    "<text:p>x</text:p></table:table-cell></table:table-row>")
        << "1048576 rows";
    QTest::newRow("repeats within the limits, far beyond the file's size")
        << odsTable("<table:table-row table:number-rows-repeated=\"1000000\"><table:table-cell "
                    "table:number-columns-repeated=\"16000\"><text:p>"
                    + QByteArray(100, 'x') + "</text:p></table:table-cell></table:table-row>")
        << "bomb";
    QTest::newRow("paragraph spans nested 10000 deep") << odsTable(
        "<table:table-row><table:table-cell><text:p>" + QByteArray("<text:span>").repeated(10000)
        + "x" + QByteArray("</text:span>").repeated(10000)
        + "</text:p></table:table-cell></table:table-row>")
                                                       << "nests deeper than 256";
    QTest::newRow("a cell nested 10000 deep")
        << xlsxSheet("<row><c t=\"str\"><v>" + QByteArray("<x>").repeated(10000)
                     + QByteArray("</x>").repeated(10000) + "</v></c></row>")
        << "nests deeper than 256";
    QTest::newRow("a cell past the last column")
        << xlsxSheet("<row><c r=\"XFE1\"><v>1</v></c></row>") << "16384 columns";
    QTest::newRow("a cell past the last row")
        << xlsxSheet("<row r=\"1048577\"><c r=\"A1048577\"><v>1</v></c></row>") << "1048576 rows";
    QTest::newRow("a reference too long to count")
        << xlsxSheet("<row><c r=\"ZZZZZZZZZZZZZZZZZZZZ1\"><v>1</v></c></row>") << "reference";
    QTest::newRow("rows out of order")
        << xlsxSheet("<row r=\"5\"><c><v>1</v></c></row><row r=\"2\"><c><v>1</v></c></row>")
        << "out of order";
    const QByteArray good = fileBytes(fixtures() + QStringLiteral("/xlsxwriter-values.xlsx"));
    QTest::newRow("truncated xlsx") << good.first(good.size() / 2) << "damaged or truncated";
    QTest::newRow("truncated inside its directory") << good.chopped(30) << "damaged or truncated";
    const QByteArray ods = fileBytes(fixtures() + QStringLiteral("/libreoffice-values.ods"));
    QTest::newRow("truncated ods") << ods.first(ods.size() - 10) << "damaged or truncated";
    QTest::newRow("a zip's signature over text")
        << QByteArray("PK\x03\x04id,name\n1,Ann\n") << "damaged or truncated";
    QByteArray flipped = good;
    flipped[flipped.size() / 3] = char(flipped[flipped.size() / 3] ^ 0x55);
    QTest::newRow("a byte changed inside") << flipped << "damaged";
    QByteArray compound("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    compound +=
        QByteArray(512, '\0') + QByteArray("E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0", 32);
    QTest::newRow("password-protected xlsx")
        << compound << "password-protected workbooks are not supported";
    QTest::newRow("password-protected ods") << odsTable(
        "", {{"META-INF/manifest.xml",
              "<manifest:manifest><manifest:file-entry manifest:full-path=\"content.xml\">"
              "<manifest:encryption-data/></manifest:file-entry></manifest:manifest>"}})
                                            << "password-protected workbooks are not supported";
    QTest::newRow("no sheet") << zipOf({{"xl/workbook.xml", "<workbook/>"}}) << "no sheet 1";
}

// Refused with a clear reason, quickly and without the memory the claims
// would take (the test would time out or run out of memory otherwise).
void TestWorkbook::hostile()
{
    QFETCH(QByteArray, book);
    QFETCH(QString, error);
    QVERIFY(!book.isEmpty());
    const Workbook::SheetText text = Workbook::readSheet(book, 0);
    QVERIFY2(text.error.contains(error), qPrintable(text.error));
    QVERIFY(text.csv.isEmpty());
}

QTEST_APPLESS_MAIN(TestWorkbook)
#include "test_workbook.moc"
