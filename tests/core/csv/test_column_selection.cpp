#include <QTest>

#include "csv/ColumnMapping.h"

namespace {

std::shared_ptr<const Csv::Table> tableOf(const QByteArray &text)
{
    Csv::ReadResult read = Csv::readCsv(text, ',');
    return std::make_shared<const Csv::Table>(std::move(read.table));
}

// "N:name" for a name, "P:3" for a position, one per choice.
QStringList kinds(const Csv::ColumnSelection &columns)
{
    QStringList out;
    for (const Csv::ColumnChoice &choice : columns)
        out << (choice.by == Csv::ColumnChoice::By::Position
                    ? QStringLiteral("P:%1").arg(choice.position)
                    : QStringLiteral("N:") + choice.text);
    return out;
}

} // namespace

class ColumnSelectionTest : public QObject
{
    Q_OBJECT

private slots:
    void fromText_data();
    void fromText();
    void picked_data();
    void picked();
};

void ColumnSelectionTest::fromText_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QStringList>("expected"); // empty with an error
    QTest::addColumn<QString>("written");      // as columnListText writes it back

    QTest::newRow("nothing") << "" << QStringList() << "";
    QTest::newRow("a name and a position") << "id,2" << QStringList{"N:id", "P:2"} << "\"id\",2";
    QTest::newRow("a quoted number is a name") << "\"2\"" << QStringList{"N:2"} << "\"2\"";
    QTest::newRow("a comma and a quote in a name")
        << "\"last, first\",\"say \"\"hi\"\"\"" << QStringList{"N:last, first", "N:say \"hi\""}
        << "\"last, first\",\"say \"\"hi\"\"\"";
    QTest::newRow("blanks around a position") << " 3 " << QStringList{"P:3"} << "3";
    QTest::newRow("an empty quoted name") << "\"\"" << QStringList{"N:"} << "\"\"";
    QTest::newRow("a line break inside quotes")
        << "\"a\nb\"" << QStringList{"N:a\nb"} << "\"a\nb\"";
    QTest::newRow("a line break outside quotes") << "id\nzzz" << QStringList() << "";
    QTest::newRow("a carriage return outside quotes") << "id\rzzz" << QStringList() << "";
}

// A list is read once, where it comes in; what it holds reads back the same.
void ColumnSelectionTest::fromText()
{
    QFETCH(QString, list);
    QFETCH(QStringList, expected);
    QFETCH(QString, written);

    const Csv::ColumnListParse parse = Csv::parseColumnList(list);
    QCOMPARE(parse.error.isEmpty(), !expected.isEmpty() || list.isEmpty());
    QCOMPARE(kinds(parse.columns), expected);
    QCOMPARE(Csv::columnListText(parse.columns), written);
    QCOMPARE(kinds(Csv::parseColumnList(written).columns), expected);
}

void ColumnSelectionTest::picked_data()
{
    QTest::addColumn<QByteArray>("text1");
    QTest::addColumn<QByteArray>("text2");
    QTest::addColumn<qint64>("index1"); // where the chosen column stands in each file
    QTest::addColumn<qint64>("index2");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("expected"); // the column picked, by its name; or the error

    QTest::newRow("in place") << QByteArray("id,a,a\n") << QByteArray("id,a,a\n") << qint64(2)
                              << qint64(2) << "a"
                              << "a@2";
    QTest::newRow("a column only file 2 has")
        << QByteArray("id\n") << QByteArray("id,x\n") << qint64(-1) << qint64(1) << "x"
        << "x@1";
    QTest::newRow("moved: found by its label")
        << QByteArray("id,b,a\n") << QByteArray("id,a,b\n") << qint64(1) << qint64(1) << "a"
        << "a@1";
    QTest::newRow("gone") << QByteArray("id\n") << QByteArray("id\n") << qint64(3) << qint64(3)
                          << "note"
                          << "no column \"note\"";
}

// The table window passes a column by where it stands; if the files changed
// under it, by the label it showed.
void ColumnSelectionTest::picked()
{
    QFETCH(QByteArray, text1);
    QFETCH(QByteArray, text2);
    QFETCH(qint64, index1);
    QFETCH(qint64, index2);
    QFETCH(QString, label);
    QFETCH(QString, expected);

    const auto table1 = tableOf(text1);
    const auto table2 = tableOf(text2);
    const Csv::ColumnMapping mapping = Csv::mapColumns(*table1, *table2, true, {});
    const Csv::ColumnPick pick = Csv::pickColumns(
        mapping, {Csv::ColumnChoice::placed(index1, index2, label)}, false, false, false, {});
    if (!pick.error.isEmpty()) {
        QCOMPARE(pick.error, expected);
        return;
    }
    QCOMPARE(pick.columns.size(), size_t(1));
    const Csv::Column &column = mapping.columns[size_t(pick.columns[0])];
    QCOMPARE(mapping.name(pick.columns[0]) + u'@' + QString::number(column.index2), expected);
}

QTEST_GUILESS_MAIN(ColumnSelectionTest)
#include "test_column_selection.moc"
