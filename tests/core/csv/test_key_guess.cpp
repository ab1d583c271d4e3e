#include <QTest>

#include "csv/KeyGuess.h"
#include "csv/RowComparison.h"

namespace {

std::shared_ptr<const Csv::Table> tableOf(const QByteArray &text)
{
    Csv::ReadResult read = Csv::readCsv(text, ',');
    return std::make_shared<const Csv::Table>(std::move(read.table));
}

// Rows "i,ui" for i in [0, rows); `repeat`: row 10007's id repeats row
// 5003's, both between the blocks a guess samples first.
QByteArray numbered(int rows, bool repeat)
{
    QByteArray text = "id,u\n";
    for (int i = 0; i < rows; ++i) {
        const int id = repeat && i == 10007 ? 5003 : i;
        text += QByteArray::number(id) + ",u" + QByteArray::number(i) + '\n';
    }
    return text;
}

} // namespace

class KeyGuessTest : public QObject
{
    Q_OBJECT

private slots:
    void guess_data();
    void guess();
};

void KeyGuessTest::guess_data()
{
    QTest::addColumn<QByteArray>("text1");
    QTest::addColumn<QByteArray>("text2");
    QTest::addColumn<bool>("header");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("one unique column")
        << QByteArray("id,v\n1,a\n2,a\n") << QByteArray("id,v\n2,b\n3,b\n") << true
        << QStringList{"id"};
    QTest::newRow("the leftmost of two unique columns")
        << QByteArray("a,b\n1,x\n2,y\n") << QByteArray("a,b\n1,x\n2,y\n") << true
        << QStringList{"a"};
    QTest::newRow("an empty cell rules a column out")
        << QByteArray("id,code\n,x\n2,y\n") << QByteArray("id,code\n1,x\n2,y\n") << true
        << QStringList{"code"};
    QTest::newRow("unique in one file only")
        << QByteArray("id,v\n1,a\n2,b\n") << QByteArray("id,v\n1,a\n1,b\n") << true
        << QStringList{"v"};
    QTest::newRow("order lines: two columns")
        << QByteArray("order_id,line_no,qty\n1,1,5\n1,2,5\n2,1,5\n")
        << QByteArray("order_id,line_no,qty\n1,1,5\n1,2,6\n3,1,6\n") << true
        << QStringList{"order_id", "line_no"};
    QTest::newRow("three columns, no two enough")
        << QByteArray("a,b,c\n1,1,1\n1,1,2\n1,2,1\n2,1,1\n") << QByteArray("a,b,c\n1,1,1\n") << true
        << QStringList{"a", "b", "c"};
    QTest::newRow("none within three columns")
        << QByteArray("a,b,c,d\n1,1,1,1\n1,1,1,1\n") << QByteArray("a,b,c,d\n1,1,1,1\n") << true
        << QStringList{};
    QTest::newRow("a column one file lacks is never chosen")
        << QByteArray("only,id\n1,7\n2,7\n") << QByteArray("id,v\n7,a\n8,a\n") << true
        << QStringList{};
    QTest::newRow("names pair columns that moved")
        << QByteArray("v,id\na,1\na,2\n") << QByteArray("id,v\n1,a\n2,a\n") << true
        << QStringList{"id"};
    QTest::newRow("without a header, by position")
        << QByteArray("x,1\nx,2\n") << QByteArray("y,2\ny,3\n") << false << QStringList{"2"};
    QTest::newRow("a repeat far from the sample is found on every row")
        << numbered(20000, true) << numbered(20000, false) << true << QStringList{"u"};
    QTest::newRow("large and unique")
        << numbered(20000, false) << numbered(19000, false) << true << QStringList{"id"};
    QTest::newRow("no rows, no key")
        << QByteArray("a,b\n") << QByteArray("a,b\n") << true << QStringList{};
    QTest::newRow("two empty files") << QByteArray() << QByteArray() << true << QStringList{};
}

void KeyGuessTest::guess()
{
    QFETCH(QByteArray, text1);
    QFETCH(QByteArray, text2);
    QFETCH(bool, header);
    QFETCH(QStringList, expected);
    const auto table1 = tableOf(text1);
    const auto table2 = tableOf(text2);
    const Csv::ColumnMapping mapping = Csv::mapColumns(*table1, *table2, header, {});
    QStringList names;
    for (const qsizetype c : Csv::guessKey(*table1, *table2, mapping, header))
        names << mapping.name(c);
    QCOMPARE(names, expected);

    // The guess is a key indeed: compared by it, no key repeats.
    if (!expected.isEmpty()) {
        Csv::RowOptions options;
        options.header = header;
        options.guessKey = true;
        const Csv::RowComparison c = Csv::compareTables(table1, table2, options);
        QVERIFY(c.keyGuessed);
        QVERIFY(c.duplicateKeys.empty());
    }
}

QTEST_APPLESS_MAIN(KeyGuessTest)
#include "test_key_guess.moc"
