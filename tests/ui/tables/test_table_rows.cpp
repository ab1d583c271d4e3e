#include <numeric>
#include <random>

#include <QPalette>
#include <QTest>

#include "csv/RowComparison.h"
#include "support/RowTexts.h"
#include "tables/RowFilter.h"
#include "tables/RowTableModel.h"
#include "tables/StatusColours.h"
#include "tables/TableRows.h"

using Tables::Status;

namespace {

// Two stock lists: id 3 removed, 5 added, 2 changed (qty), 1 and 4 unchanged;
// file 2 has a column "note" more and has lost "colour".
const QByteArray kOld = "id,name,qty,colour\n1,Pen,10,red\n2,Pad,5,blue\n3,Ink,4,black\n"
                        "4,Cap,1,green\n";
const QByteArray kNew = "id,qty,name,note\n4,1,Cap,x\n2,7,Pad,y\n1,10,Pen,z\n5,2,Tape,w\n";

std::shared_ptr<Tables::TableData> compared(const QByteArray &a, const QByteArray &b,
                                            const QString &key)
{
    Csv::RowOptions options;
    options.key = Csv::parseColumnList(key).columns;
    options.keepPairs = true;
    return Tables::TableData::from(TestRows::compareTexts(a, b, options));
}

// Each visible row as "status line1 line2 cell|cell|...".
QStringList described(const Tables::TableData &data, const std::vector<qint32> &visible)
{
    QStringList out;
    Csv::Row row1;
    Csv::Row row2;
    for (const qint32 i : visible) {
        const Tables::DisplayRow &row = data.rows[size_t(i)];
        QStringList cells;
        for (const qsizetype column : data.columns)
            cells << QString::fromUtf8(data.cell(row, column, row1, row2));
        out << QStringLiteral("%1 %2 %3 %4")
                   .arg(QStringList{"-", "+", "~", "=", "!"}[int(row.status)])
                   .arg(row.record1 < 0 ? 0 : data.comparison.table1->line(row.record1))
                   .arg(row.record2 < 0 ? 0 : data.comparison.table2->line(row.record2))
                   .arg(cells.join(u'|'));
    }
    return out;
}

std::vector<qint32> all(const Tables::TableData &data)
{
    Tables::RowFilter filter;
    filter.shown.fill(true);
    return Tables::visibleRows(data, filter);
}

QPalette darkPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Base, QColor(30, 30, 30));
    palette.setColor(QPalette::Text, QColor(230, 230, 230));
    return palette;
}

QPalette lightPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, Qt::black);
    return palette;
}

} // namespace

class TableRowsTest : public QObject
{
    Q_OBJECT

private slots:
    void rowsColumnsAndCounts_data();
    void rowsColumnsAndCounts();
    void filters_data();
    void filters();
    void sorting_data();
    void sorting();
    void largeTablesInHalves_data();
    void largeTablesInHalves();
    void findMatchesCellsNotBytes_data();
    void findMatchesCellsNotBytes();
    void changedCellsInOrder();
    void differences_data();
    void differences();
    void statusColoursStayReadable();
    void copiedRowsAreTabSeparated();
    void cellsShowWhatTheyHold_data();
    void cellsShowWhatTheyHold();
    void changesPerColumn();
    void rowsComeInBoundedSteps();
};

void TableRowsTest::cellsShowWhatTheyHold_data()
{
    QTest::addColumn<QByteArray>("cell");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain") << QByteArray("Pen 10") << "Pen 10";
    QTest::newRow("a backslash stays one") << QByteArray("C:\\x\\n") << "C:\\x\\n";
    QTest::newRow("letters past ASCII")
        << QByteArray("caf\xc3\xa9") << QString::fromUtf8("caf\xc3\xa9");
    QTest::newRow("right-to-left override") << QByteArray("a\xe2\x80\xae"
                                                          "cba")
                                            << "a\\u202ecba";
    QTest::newRow("zero-width space") << QByteArray("x\xe2\x80\x8by") << "x\\u200by";
    QTest::newRow("line break and tab") << QByteArray("a\nb\tc") << "a\\nb\\tc";
    QTest::newRow("escape") << QByteArray("\x1b[31mred") << "\\x1b[31mred";
}

// Nothing in a cell can hide, reorder or recolour what the table shows.
void TableRowsTest::cellsShowWhatTheyHold()
{
    QFETCH(QByteArray, cell);
    QFETCH(QString, shown);
    QCOMPARE(Tables::visibleText(cell), shown);
}

void TableRowsTest::changesPerColumn()
{
    const auto data = compared("id,a,b,c\n1,x,x,x\n2,x,x,x\n3,x,x,x\n",
                               "id,c,b,a\n1,y,x,y\n2,x,x,y\n3,x,y,x\n", "id");
    // a twice, then c and b once each in the table's order (file 2's).
    QCOMPARE(Tables::changeSummary(*data), QStringLiteral("a 2 \u00b7 c 1 \u00b7 b 1"));
    QCOMPARE(Tables::changeSummary(*data, 1), QStringLiteral("a 2 \u00b7 2 more"));
    const std::vector<bool> shown = Tables::columnsWithChanges(*data);
    QCOMPARE(shown, (std::vector<bool>{true, true, true, true, true, true, true}));
    const auto same = compared("id,a,b\n1,x,x\n", "id,a,b\n1,x,x\n", "id");
    QCOMPARE(Tables::changeSummary(*same), QString());
    QCOMPARE(Tables::columnsWithChanges(*same),
             (std::vector<bool>{true, true, true, true, false, false}));
}

void TableRowsTest::rowsColumnsAndCounts_data()
{
    QTest::addColumn<QByteArray>("old");
    QTest::addColumn<QByteArray>("now");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QStringList>("header");
    QTest::addColumn<QStringList>("rows");
    // removed, added, changed, unchanged, duplicate
    QTest::addColumn<QList<qsizetype>>("counts");

    // Key first, then file 2's columns in its order, then those it lost.
    QTest::newRow("by key") << kOld << kNew << "id"
                            << QStringList{"Status", "Line 1", "Line 2", "id",
                                           "qty",    "name",   "note",   "colour"}
                            << QStringList{"- 4 0 3|4|Ink||black", "= 5 2 4|1|Cap|x|",
                                           "~ 3 3 2|7|Pad|y|", "= 2 4 1|10|Pen|z|",
                                           "+ 0 5 5|2|Tape|w|"}
                            << QList<qsizetype>{1, 1, 1, 2, 0};
    // Whole rows: the second copy of a row in file 1 is the removed one.
    QTest::newRow("whole rows") << QByteArray("a,b\n1,x\n2,y\n1,x\n")
                                << QByteArray("b,a\ny,2\nx,1\nz,3\n") << ""
                                << QStringList{"Status", "Line 1", "Line 2", "b", "a"}
                                << QStringList{"- 4 0 x|1", "= 3 2 y|2", "= 2 3 x|1", "+ 0 4 z|3"}
                                << QList<qsizetype>{1, 1, 0, 2, 0};
    // The rows of a key found twice are in the table, each file's in its order.
    QTest::newRow("duplicate keys")
        << QByteArray("id,v\n1,a\n1,b\n2,c\n3,x\n") << QByteArray("id,v\n2,d\n2,e\n3,y\n4,z\n")
        << "id" << QStringList{"Status", "Line 1", "Line 2", "id", "v"}
        << QStringList{"~ 5 4 3|y", "+ 0 5 4|z", "! 2 0 1|a", "! 3 0 1|b",
                       "! 4 0 2|c", "! 0 2 2|d", "! 0 3 2|e"}
        << QList<qsizetype>{0, 1, 1, 0, 5};
    // Nothing to compare: no row is said to be unchanged.
    QTest::newRow("no column in common")
        << QByteArray("a,b\n1,2\n3,4\n") << QByteArray("c\n5\n") << ""
        << QStringList{"Status", "Line 1", "Line 2", "c", "a", "b"}
        << QStringList{"- 2 0 |1|2", "- 3 0 |3|4", "+ 0 2 5||"} << QList<qsizetype>{2, 1, 0, 0, 0};
}

void TableRowsTest::rowsColumnsAndCounts()
{
    QFETCH(QByteArray, old);
    QFETCH(QByteArray, now);
    QFETCH(QString, key);
    QFETCH(QStringList, header);
    QFETCH(QStringList, rows);
    QFETCH(QList<qsizetype>, counts);

    const auto data = compared(old, now, key);
    QStringList headers;
    for (int c = 0; c < data->columnCount(); ++c)
        headers << data->header(c);
    QCOMPARE(headers, header);
    QCOMPARE(described(*data, all(*data)), rows);
    for (int s = 0; s < Tables::kStatusCount; ++s)
        QCOMPARE(data->counts.of[s], counts[s]);
}

void TableRowsTest::filters_data()
{
    QTest::addColumn<QList<bool>>("shown");
    QTest::addColumn<QString>("find");
    QTest::addColumn<QString>("column");    // a value filter's or a change filter's column
    QTest::addColumn<QString>("value");     // "=x" equals, "~x" contains, "changed" changed in it
    QTest::addColumn<QStringList>("lines"); // "line1 line2" of the rows kept

    const QList<bool> every{true, true, true, true, true};
    QTest::newRow("unchanged off, as the window opens")
        << QList<bool>{true, true, true, false, true} << ""
        << ""
        << "" << QStringList{"4 0", "3 3", "0 5"};
    QTest::newRow("changed only") << QList<bool>{false, false, true, false, false} << ""
                                  << ""
                                  << "" << QStringList{"3 3"};
    QTest::newRow("find ignores case, in any cell") << every << "tAP"
                                                    << ""
                                                    << "" << QStringList{"0 5"};
    QTest::newRow("find in a key") << every << "4"
                                   << ""
                                   << "" << QStringList{"4 0", "5 2"};
    QTest::newRow("find and filter together")
        << QList<bool>{true, false, false, false, false} << "pen"
        << ""
        << "" << QStringList{};
    QTest::newRow("nothing shown") << QList<bool>{false, false, false, false, false} << ""
                                   << ""
                                   << "" << QStringList{};
    QTest::newRow("changed in qty") << every << ""
                                    << "qty"
                                    << "changed" << QStringList{"3 3"};
    QTest::newRow("changed in name: none") << every << ""
                                           << "name"
                                           << "changed" << QStringList{};
    QTest::newRow("name contains, any case") << every << ""
                                             << "name"
                                             << "~P" << QStringList{"5 2", "3 3", "2 4", "0 5"};
    QTest::newRow("name equals, exactly") << every << ""
                                          << "name"
                                          << "=Pad" << QStringList{"3 3"};
    QTest::newRow("equals is not contains") << every << ""
                                            << "name"
                                            << "=Pa" << QStringList{};
    QTest::newRow("a removed row's own cell") << every << ""
                                              << "colour"
                                              << "=black" << QStringList{"4 0"};
}

void TableRowsTest::filters()
{
    QFETCH(QList<bool>, shown);
    QFETCH(QString, find);
    QFETCH(QString, column);
    QFETCH(QString, value);
    QFETCH(QStringList, lines);

    const auto data = compared(kOld, kNew, "id");
    Tables::RowFilter filter;
    for (int s = 0; s < Tables::kStatusCount; ++s)
        filter.shown[size_t(s)] = shown[s];
    filter.find = find;
    if (!column.isEmpty()) {
        qsizetype mapped = -1;
        for (qsizetype c = 0; c < qsizetype(data->comparison.mapping.columns.size()); ++c) {
            if (data->comparison.mapping.label(c) == column)
                mapped = c;
        }
        QVERIFY(mapped >= 0);
        if (value == QLatin1String("changed")) {
            filter.changedIn = mapped;
        } else {
            filter.valueColumn = mapped;
            filter.valueEquals = value.startsWith(u'=');
            filter.value = value.mid(1);
        }
    }
    QStringList found;
    for (const QString &row : described(*data, Tables::visibleRows(*data, filter)))
        found << row.section(u' ', 1, 2);
    QCOMPARE(found, lines);

    // A stopped run gives up, in making the rows as in filtering them.
    const std::atomic_bool stop{true};
    QVERIFY(Tables::visibleRows(*data, filter, &stop).empty());
    QVERIFY(!data->rows.empty());
    QVERIFY(Tables::TableData::from(data->comparison, &stop)->rows.empty());
}

void TableRowsTest::sorting_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<QStringList>("keys");

    // Column 4 is qty: numbers by value (10 after 7), not as text.
    QTest::newRow("numbers by value") << 4 << false << QStringList{"4", "5", "3", "2", "1"};
    QTest::newRow("numbers, descending") << 4 << true << QStringList{"1", "2", "3", "5", "4"};
    QTest::newRow("text by its bytes") << 5 << false << QStringList{"4", "3", "2", "1", "5"};
    QTest::newRow("status") << 0 << false << QStringList{"3", "5", "2", "4", "1"};
    QTest::newRow("line in file 2, absent first")
        << 2 << false << QStringList{"3", "4", "2", "1", "5"};
}

void TableRowsTest::sorting()
{
    QFETCH(int, column);
    QFETCH(bool, descending);
    QFETCH(QStringList, keys);

    const auto data = compared(kOld, kNew, "id");
    Tables::RowFilter filter;
    filter.shown.fill(true);
    filter.sortColumn = column;
    filter.descending = descending;
    const std::vector<qint32> visible = Tables::visibleRows(*data, filter);
    QStringList found;
    for (const QString &row : described(*data, visible))
        found << row.section(u' ', 3).section(u'|', 0, 0);
    QCOMPARE(found, keys);
}

void TableRowsTest::largeTablesInHalves_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<QString>("find");
    // Column 3 is the key; 4 mixes numbers, text sharing long beginnings,
    // text past ASCII, quoted cells, values alike but in their last bits and
    // empty ones; 5 repeats a few values (ties).
    QTest::newRow("mixed, ascending") << 4 << false << QString();
    QTest::newRow("mixed, descending") << 4 << true << QString();
    QTest::newRow("ties keep their order") << 5 << false << QString();
    QTest::newRow("ties, descending") << 5 << true << QString();
    QTest::newRow("status") << 0 << false << QString();
    QTest::newRow("found, then sorted") << 4 << false << QStringLiteral("shared");
    QTest::newRow("found, no sort") << -1 << false << QStringLiteral("q\"7");
}

// Past a size the rows are filtered and sorted in two halves at once: the
// answer must be the one a plain stable sort of the plain filter gives.
void TableRowsTest::largeTablesInHalves()
{
    QFETCH(int, column);
    QFETCH(bool, descending);
    QFETCH(QString, find);

    std::mt19937 random(7);
    QByteArray a = "id,v,w\n";
    QByteArray b = "id,v,w\n";
    for (int i = 0; i < 100000; ++i) {
        QByteArray v;
        switch (random() % 7) {
        case 0:
            v = QByteArray::number(int(random() % 2000) - 1000);
            break;
        case 1:
            v = QByteArray::number(double(random() % 100000) / 7, 'f', 3);
            break;
        case 2:
            v = "shared beginning " + QByteArray::number(int(random() % 500));
            break;
        case 3:
            v = "\"q\"\"" + QByteArray::number(int(random() % 90)) + "\"";
            break;
        case 4: // bytes past ASCII, before and after ASCII text
            v = QByteArray(random() % 2 ? "\xc3\xa9t\xc3\xa9 " : "\xe2\x82\xac ")
                + QByteArray::number(int(random() % 50));
            break;
        case 5: { // alike but in their last bits, past what one number a cell can hold
            static const char *const alike[] = {
                "1",        "1.0000000000000002", "-1",        "-1.0000000000000002",
                "abcdefgh", "abcdefgi",           "abcdefgh ", "abcdefg"};
            v = alike[random() % std::size(alike)];
            break;
        }
        default:
            break; // empty
        }
        const QByteArray line =
            QByteArray::number(i) + ',' + v + ",w" + QByteArray::number(int(random() % 4));
        a += line + '\n';
        // Some changed, some removed, some added.
        const auto fate = random() % 6;
        if (fate == 0)
            b += QByteArray::number(i) + ',' + v + ",w9\n";
        else if (fate == 1)
            b += QByteArray::number(i + 1000000) + ',' + v + ",w8\n";
        else
            b += line + '\n';
    }
    const auto data = compared(a, b, "id");
    // The rows, made in two halves at once: file 2's records in order, each
    // with the status the comparison's lists give it.
    const Csv::RowComparison &c = data->comparison;
    QCOMPARE(data->rows.size(), c.removed.size() + size_t(c.rows2));
    std::vector<qint32> changedOf(c.pairs.size(), -1);
    for (size_t i = 0; i < c.changed.size(); ++i)
        changedOf[size_t(c.changed[i].record2)] = qint32(i);
    size_t at = c.removed.size();
    for (qint32 r2 = 1; r2 < qint32(c.pairs.size()); ++r2, ++at) {
        const Tables::DisplayRow &row = data->rows[at];
        const Tables::Status status = c.pairs[size_t(r2)] < 0      ? Tables::Status::Added
                                      : changedOf[size_t(r2)] >= 0 ? Tables::Status::Changed
                                                                   : Tables::Status::Unchanged;
        QVERIFY(row.record2 == r2 && row.record1 == c.pairs[size_t(r2)]
                && row.changed == changedOf[size_t(r2)] && row.status == status);
    }
    Tables::RowFilter filter;
    filter.shown.fill(true);
    filter.find = find;
    filter.sortColumn = column;
    filter.descending = descending;
    const std::vector<qint32> visible = Tables::visibleRows(*data, filter);

    // The plain answer: every row that shows the text, then a stable sort.
    const QStringList rows = find.isEmpty() ? QStringList() : described(*data, all(*data));
    std::vector<qint32> expected;
    for (qint32 i = 0; i < qint32(data->rows.size()); ++i) {
        if (find.isEmpty() || rows[i].section(u' ', 3).contains(find, Qt::CaseInsensitive))
            expected.push_back(i);
    }
    QVERIFY(expected.size() > 1000);
    if (column >= 0) {
        // Numbers by value before text by its bytes; the status by its order.
        struct Key
        {
            bool isText = false;
            double number = 0;
            QByteArray text;
        };
        std::vector<Key> keys(data->rows.size());
        Csv::Row row1;
        Csv::Row row2;
        for (const qint32 i : expected) {
            const Tables::DisplayRow &row = data->rows[size_t(i)];
            Key &key = keys[size_t(i)];
            if (column == 0) {
                key.number = int(row.status);
                continue;
            }
            key.text = data->cell(row, data->columns[size_t(column - 3)], row1, row2).toByteArray();
            key.isText = !Csv::numberValue(key.text, key.number);
        }
        const auto less = [&](qint32 x, qint32 y) {
            const Key &kx = keys[size_t(x)];
            const Key &ky = keys[size_t(y)];
            if (kx.isText != ky.isText)
                return ky.isText;
            return kx.isText ? kx.text < ky.text : kx.number < ky.number;
        };
        std::stable_sort(expected.begin(), expected.end(),
                         [&](qint32 x, qint32 y) { return descending ? less(y, x) : less(x, y); });
    }
    QCOMPARE(visible.size(), expected.size());
    QVERIFY(visible == expected);
}

void TableRowsTest::findMatchesCellsNotBytes_data()
{
    QTest::addColumn<char>("delimiter");
    QTest::addColumn<QByteArray>("needle");
    // Needles a record's raw bytes can answer, and ones they would answer
    // wrongly (across two cells, through a doubled quote, a line break).
    for (const char delimiter : {',', ';'}) {
        for (const QByteArray &needle :
             {QByteArray("a"), QByteArray("aB"), QByteArray("bba"), QByteArray(","),
              QByteArray(";"), QByteArray("a,b"), QByteArray("a;b"), QByteArray("\""),
              QByteArray("a\"b"), QByteArray("b\nA"), QByteArray("\r\n"),
              QByteArray("\xc3\xa9"
                         "a"),
              QByteArray("zzz")})
            QTest::addRow("%c, %s", delimiter, needle.toPercentEncoding().constData())
                << delimiter << needle;
    }
}

// A find matches a cell as it reads, never the file's bytes between cells:
// on random records of quoted cells holding quotes, delimiters and line
// breaks, the rows found are those with a cell holding the needle.
void TableRowsTest::findMatchesCellsNotBytes()
{
    QFETCH(char, delimiter);
    QFETCH(QByteArray, needle);
    std::mt19937 random(11);
    const QByteArray pieces[] = {"a", "A", "b", "B", ",", ";", "\"", "\n", "\r\n", "\xc3\xa9", " "};
    const auto cell = [&] {
        QByteArray text;
        for (auto n = random() % 5; n > 0; --n)
            text += pieces[random() % std::size(pieces)];
        const bool plain = !text.contains(delimiter) && !text.contains('"') && !text.contains('\n')
                           && !text.contains('\r');
        return plain && random() % 2 ? text : '"' + text.replace("\"", "\"\"") + '"';
    };
    const auto file = [&](int keys) {
        QByteArray text = QByteArray("id") + delimiter + "v" + delimiter + "w\n";
        for (int i = 0; i < keys; ++i)
            text += QByteArray::number(i) + delimiter + cell() + delimiter + cell() + '\n';
        return text;
    };
    Csv::RowOptions options;
    options.key = Csv::parseColumnList(QStringLiteral("id")).columns;
    options.keepPairs = true;
    const auto data =
        Tables::TableData::from(TestRows::compareTexts(file(3000), file(3500), options, delimiter));
    QVERIFY2(data->comparison.ok(), qPrintable(data->comparison.error.message));

    Tables::RowFilter filter;
    filter.shown.fill(true);
    filter.find = QString::fromUtf8(needle);
    const std::vector<qint32> found = Tables::visibleRows(*data, filter);

    std::vector<qint32> expected;
    for (qint32 i = 0; i < qint32(data->rows.size()); ++i) {
        const Tables::DisplayRow &row = data->rows[size_t(i)];
        const bool fromFile2 = row.record2 >= 0;
        const Csv::Row cells = (fromFile2 ? data->comparison.table2 : data->comparison.table1)
                                   ->row(fromFile2 ? row.record2 : row.record1);
        for (qsizetype k = 0; k < cells.size(); ++k) {
            if (cells[k].toByteArray().toLower().contains(needle.toLower())) {
                expected.push_back(i);
                break;
            }
        }
    }
    QVERIFY(needle == "zzz" || !expected.empty());
    QCOMPARE(found.size(), expected.size());
    QVERIFY(found == expected);
}

void TableRowsTest::changedCellsInOrder()
{
    const auto data = compared("id,a,b,c\n1,x,x,x\n2,x,x,x\n3,x,x,x\n",
                               "id,a,b,c\n1,y,x,y\n2,x,x,x\n3,x,y,x\n", "id");
    const std::vector<qint32> visible = all(*data); // rows 1, 2, 3; columns id=3, a=4, b=5, c=6
    QStringList forward;
    qsizetype row = -1;
    int column = -1;
    for (int step = 0; step < 4; ++step) {
        const auto next = Tables::nextChangedCell(*data, visible, row, column, true);
        QVERIFY(next.has_value());
        std::tie(row, column) = *next;
        forward << QStringLiteral("%1:%2").arg(row).arg(column);
    }
    QCOMPARE(forward, (QStringList{"0:4", "0:6", "2:5", "0:4"})); // wraps round
    const auto back = Tables::nextChangedCell(*data, visible, 0, 4, false);
    QVERIFY(back.has_value());
    QCOMPARE(QStringLiteral("%1:%2").arg(back->first).arg(back->second), QStringLiteral("2:5"));

    const auto same = compared("id,a\n1,x\n", "id,a\n1,x\n", "id");
    QVERIFY(!Tables::nextChangedCell(*same, all(*same), -1, -1, true).has_value());
}

void TableRowsTest::differences_data()
{
    QTest::addColumn<QString>("old");
    QTest::addColumn<QString>("now");
    QTest::addColumn<QList<qsizetype>>("expected"); // start, old length, new length

    QTest::newRow("middle") << "1.20 EUR"
                            << "1.25 EUR" << QList<qsizetype>{3, 1, 1};
    QTest::newRow("grown at the end") << "Pen"
                                      << "Pens" << QList<qsizetype>{3, 0, 1};
    QTest::newRow("all new") << "abc"
                             << "xyz" << QList<qsizetype>{0, 3, 3};
    QTest::newRow("repeated letters") << "aaa"
                                      << "aaaa" << QList<qsizetype>{3, 0, 1};
    QTest::newRow("a surrogate pair is never split")
        << QString::fromUtf8("x\xf0\x9d\x84\x9e") << QString::fromUtf8("x\xf0\x9d\x84\x9f")
        << QList<qsizetype>{1, 2, 2};
}

void TableRowsTest::differences()
{
    QFETCH(QString, old);
    QFETCH(QString, now);
    QFETCH(QList<qsizetype>, expected);
    const Tables::Difference d = Tables::differenceOf(old, now);
    QCOMPARE((QList<qsizetype>{d.start, d.oldLength, d.newLength}), expected);
}

void TableRowsTest::statusColoursStayReadable()
{
    for (const QPalette &palette : {lightPalette(), darkPalette()}) {
        const QColor text = palette.color(QPalette::Text);
        for (const Status s :
             {Status::Removed, Status::Added, Status::Changed, Status::Duplicate}) {
            const QColor background = Tables::statusBackground(s, palette);
            QVERIFY2(Tables::contrastRatio(text, background) >= 4.5, qPrintable(background.name()));
            QVERIFY(background != palette.color(QPalette::Base)); // still tinted
        }
        QVERIFY(Tables::contrastRatio(text, Tables::differenceBackground(palette)) >= 4.5);
    }
    QCOMPARE(qRound(Tables::contrastRatio(Qt::black, Qt::white)), 21);
}

// Copied rows read as the report: "-" for a removed row, a changed cell as
// "old → new", only the columns asked for, in their order.
void TableRowsTest::copiedRowsAreTabSeparated()
{
    const auto data = compared("id,v,w\n1,\"a\tb\",k\n2,c,k\n3,x,k\n",
                               "id,v,w\n1,\"a\tb\",k\n2,\"q\"\"\",k\n", "id");
    QCOMPARE(Tables::tabSeparated(*data, all(*data)),
             QStringLiteral("Status\tLine 1\tLine 2\tid\tv\tw\n"
                            "-\t4\t\t3\tx\tk\n"
                            "\t2\t2\t1\t\"a\tb\"\tk\n"
                            "~\t3\t3\t2\t\"c \u2192 q\"\"\"\tk\n"));
    QCOMPARE(Tables::tabSeparated(*data, all(*data), {4, 0}),
             QStringLiteral("v\tStatus\nx\t-\n\"a\tb\"\t\n\"c \u2192 q\"\"\"\t~\n"));
}

// Millions of rows reach the views in steps, each small enough not to stall
// the window, held while a filter is worked out; a table shown again starts
// small again.
void TableRowsTest::rowsComeInBoundedSteps()
{
    auto data = std::make_shared<Tables::TableData>();
    data->rows.resize(5'000'000);
    std::vector<qint32> visible(data->rows.size());
    std::iota(visible.begin(), visible.end(), 0);
    RowTableModel model;
    std::vector<int> steps;
    connect(&model, &QAbstractItemModel::rowsInserted, this,
            [&](const QModelIndex &, int first, int last) { steps.push_back(last - first + 1); });
    for (int shown = 0; shown < 2; ++shown) {
        steps.clear();
        model.show(data, visible);
        QCOMPARE(model.rowCount(), 65536);
        // Held while a filter is worked out, then on again.
        model.holdSteps();
        QTest::qWait(50);
        QCOMPARE(model.rowCount(), 65536);
        model.resumeSteps();
        QTRY_COMPARE(model.rowCount(), int(visible.size()));
        QVERIFY2(*std::max_element(steps.begin(), steps.end()) <= 1 << 20,
                 qPrintable(QString::number(*std::max_element(steps.begin(), steps.end()))));
        QVERIFY2(steps.size() <= 10, qPrintable(QString::number(steps.size())));
    }
}

QTEST_MAIN(TableRowsTest)
#include "test_table_rows.moc"
