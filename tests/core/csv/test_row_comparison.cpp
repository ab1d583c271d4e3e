#include <algorithm>
#include <map>

#include <QRandomGenerator>
#include <QStringList>
#include <QTest>

#include "csv/RowComparison.h"
#include "csv/RowsReport.h"
#include "support/RowTexts.h"

namespace {

template <typename Records>
QStringList lineList(const Csv::Table &table, const Records &records)
{
    QStringList lines;
    for (const qint32 r : records)
        lines << QString::number(table.line(r));
    return lines;
}

// What a comparison found, one entry per finding:
// "only1 NAME", "only2 NAME", "reordered", "dup L,L / L", "ragged1 L",
// "ragged2 L", "- L", "+ L", "~ L1>L2 COL,COL".
QStringList described(const Csv::RowComparison &c)
{
    QStringList out;
    for (size_t i = 0; i < c.mapping.columns.size(); ++i) {
        const Csv::Column &column = c.mapping.columns[i];
        if (!column.inBoth())
            out << (column.index1 >= 0 ? "only1 " : "only2 ") + c.mapping.name(qsizetype(i));
    }
    if (c.mapping.reordered)
        out << "reordered";
    for (const Csv::DuplicateKey &d : c.duplicateKeys) {
        out << "dup " + lineList(*c.table1, d.records1).join(u',') + " / "
                   + lineList(*c.table2, d.records2).join(u',');
    }
    for (const qint32 r : c.ragged1)
        out << "ragged1 " + QString::number(c.table1->line(r));
    for (const qint32 r : c.ragged2)
        out << "ragged2 " + QString::number(c.table2->line(r));
    for (const qint32 r : c.removed)
        out << "- " + QString::number(c.table1->line(r));
    for (const qint32 r : c.added)
        out << "+ " + QString::number(c.table2->line(r));
    for (const Csv::ChangedRow &row : c.changed) {
        QStringList names;
        for (const qint32 k : c.changedColumns(row))
            names << c.mapping.name(k);
        out << QStringLiteral("~ %1>%2 %3")
                   .arg(c.table1->line(row.record1))
                   .arg(c.table2->line(row.record2))
                   .arg(names.join(u','));
    }
    return out;
}

Csv::RowOptions optionsFrom(const QString &key, const QString &ignored, const QString &flags)
{
    Csv::RowOptions options;
    options.key = Csv::parseColumnList(key).columns;
    options.ignoreColumns = Csv::parseColumnList(ignored).columns;
    options.rules.ignoreCase = flags.contains(QLatin1String("case"));
    options.rules.ignoreSpace = flags.contains(QLatin1String("space"));
    options.header = !flags.contains(QLatin1String("noheader"));
    options.rules.numbers = flags.contains(QLatin1String("numbers"));
    if (flags.contains(QLatin1String("comma1")))
        options.decimalMark1 = Csv::DecimalMark::Comma;
    if (flags.contains(QLatin1String("point2")))
        options.decimalMark2 = Csv::DecimalMark::Point;
    if (const qsizetype at = flags.indexOf(QLatin1String("tolerance=")); at >= 0)
        options.rules.tolerance = flags.mid(at + 10).section(u' ', 0, 0).toDouble();
    options.guessKey = flags.contains(QLatin1String("guess"));
    for (const QString &flag : flags.split(u' ')) {
        if (flag.startsWith(QLatin1String("map=")))
            options.renames.push_back(Csv::parseRename(flag.mid(4)).rename);
    }
    return options;
}

} // namespace

class RowComparisonTest : public QObject
{
    Q_OBJECT

private slots:
    void findings_data();
    void findings();
    void errors_data();
    void errors();
    void agreesWithPlainDefinition();
    void summary_data();
    void summary();
};

void RowComparisonTest::findings_data()
{
    QTest::addColumn<QString>("text1");
    QTest::addColumn<QString>("text2");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("ignored");
    QTest::addColumn<QString>("flags");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<bool>("differ");

    const QString orders1 = "id,qty,name\r\n1,10,Ann\r\n2,5,Bob\r\n3,7,Cy\r\n";
    const QString orders2 = "id,qty,name\n1,10,Ann\n2,6,Bob\n4,1,Di\n";
    QTest::newRow("identical, by key") << orders1 << orders1 << "id"
                                       << ""
                                       << "" << QStringList{} << false;
    QTest::newRow("removed, added, changed by key name")
        << "id,qty,name\n1,10,Ann\n2,5,Bob\n3,7,Cy\n"
        << orders2 << "id"
        << ""
        << "" << QStringList{"- 4", "+ 4", "~ 3>3 qty"} << true;
    QTest::newRow("key by number") << "id,qty,name\n1,10,Ann\n2,5,Bob\n3,7,Cy\n"
                                   << orders2 << "1"
                                   << ""
                                   << "" << QStringList{"- 4", "+ 4", "~ 3>3 qty"} << true;
    QTest::newRow("same rows in another order, as a multiset") << "v,w\na,1\nb,2\n"
                                                               << "v,w\nb,2\na,1\n"
                                                               << ""
                                                               << ""
                                                               << "" << QStringList{} << false;
    QTest::newRow("reordered columns pair by name") << "id,qty,name\n1,10,Ann\n"
                                                    << "name,id,qty\nAnn,1,10\n"
                                                    << "id"
                                                    << ""
                                                    << "" << QStringList{"reordered"} << false;
    QTest::newRow("same row bytes, columns swapped: cells differ")
        << "id,a,b\n1,p,q\n2,r,r\n"
        << "id,b,a\n1,p,q\n2,r,r\n"
        << "id"
        << ""
        << "" << QStringList{"reordered", "~ 2>2 a,b"} << true;
    QTest::newRow("same row bytes, columns swapped, as a multiset")
        << "a,b\np,q\nr,r\n"
        << "b,a\np,q\nr,r\n"
        << ""
        << ""
        << "" << QStringList{"reordered", "- 2", "+ 2"} << true;
    QTest::newRow("same row bytes, decimal marks differ by file")
        << "id;v\n1;1,5\n2;7\n"
        << "id;v\n1;1,5\n2;7\n3;2.5\n"
        << "id"
        << ""
        << "numbers" << QStringList{"+ 4", "~ 2>2 v"} << true;
    QTest::newRow("added and removed columns do not make rows differ")
        << "id,price,qty\n1,9,10\n2,8,3\n"
        << "id,qty,note\n1,10,x\n2,4,y\n"
        << "id"
        << ""
        << "" << QStringList{"only1 price", "only2 note", "~ 3>3 qty"} << true;
    QTest::newRow("composite key") << "region,id,v\nN,1,a\nS,1,b\n"
                                   << "region,id,v\nS,1,c\nN,1,a\nN,2,d\n"
                                   << "region,id"
                                   << ""
                                   << "" << QStringList{"+ 4", "~ 3>2 v"} << true;
    QTest::newRow("duplicate keys in either file are not matched")
        << "id,v\n1,a\n1,b\n2,c\n3,x\n"
        << "id,v\n1,a\n2,c\n2,d\n4,y\n"
        << "id"
        << ""
        << "" << QStringList{"dup 2,3 / 2", "dup 4 / 3,4", "- 5", "+ 5"} << true;
    QTest::newRow("duplicates alone still differ") << "id,v\n1,a\n1,a\n"
                                                   << "id,v\n1,a\n1,a\n"
                                                   << "id"
                                                   << ""
                                                   << "" << QStringList{"dup 2,3 / 2,3"} << true;
    QTest::newRow("case counts by default")
        << QString::fromUtf8("id,name\n1,ΣΊΣΥΦΟΣ\n2,Straße\n")
        << QString::fromUtf8("id,name\n1,σίσυφος\n2,STRASSE\n") << "id"
        << ""
        << "" << QStringList{"~ 2>2 name", "~ 3>3 name"} << true;
    QTest::newRow("ignore case folds Unicode fully: ß is ss, İ is i̇")
        << QString::fromUtf8("id,name\n1,ΣΊΣΥΦΟΣ\n2,Straße\n3,İ\n4,ǅ\n")
        << QString::fromUtf8("id,name\n1,σίσυφος\n2,STRASSE\n3,i̇\n4,ǆ\n") << "id"
        << ""
        << "case" << QStringList{} << false;
    QTest::newRow("ignore case: dotless ı is not i")
        << QString::fromUtf8("id,name\n1,ı\n") << QString::fromUtf8("id,name\n1,I\n") << "id"
        << ""
        << "case" << QStringList{"~ 2>2 name"} << true;
    QTest::newRow("ignore case applies to keys and header names")
        << "ID,v\nAB,x\n"
        << "id,V\nab,X\n"
        << "id"
        << ""
        << "case" << QStringList{} << false;
    QTest::newRow("keys differing in case are different keys by default")
        << "id,v\nAB,x\n"
        << "id,v\nab,x\n"
        << "id"
        << ""
        << "" << QStringList{"- 2", "+ 2"} << true;
    QTest::newRow("ignore space trims around cells, not inside")
        << "id,v\n1, a \n2,b c\n"
        << "id,v\n 1 ,a\n2,b  c\n"
        << "id"
        << ""
        << "space" << QStringList{"~ 3>3 v"} << true;
    QTest::newRow("blanks count by default") << "id,v\n1, a\n"
                                             << "id,v\n1,a\n"
                                             << "id"
                                             << ""
                                             << "" << QStringList{"~ 2>2 v"} << true;
    QTest::newRow("ignored column by name") << "id,ts,v\n1,10:00,a\n2,10:01,b\n"
                                            << "id,ts,v\n1,11:00,a\n2,11:01,c\n"
                                            << "id"
                                            << "ts"
                                            << "" << QStringList{"~ 3>3 v"} << true;
    QTest::newRow("ignored columns by number, as a multiset") << "id,ts,v\n1,10:00,a\n"
                                                              << "id,ts,v\n1,11:00,a\n"
                                                              << ""
                                                              << "2,3"
                                                              << "" << QStringList{} << false;
    QTest::newRow("multiset: a row twice against once is removed once, the later copy")
        << "v\nx\nx\ny\n"
        << "v\ny\nx\nz\n"
        << ""
        << ""
        << "" << QStringList{"- 3", "+ 4"} << true;
    QTest::newRow("multiset under both ignore options") << "v,w\nA ,1\n"
                                                        << "v,w\n a,1\n"
                                                        << ""
                                                        << ""
                                                        << "case space" << QStringList{} << false;
    QTest::newRow("no header: columns by number") << "1,a\n2,b\n"
                                                  << "1,a\n2,c\n"
                                                  << "1"
                                                  << ""
                                                  << "noheader" << QStringList{"~ 2>2 2"} << true;
    QTest::newRow("no header: a longer row differs")
        << "1,a\n"
        << "1,a,x\n"
        << ""
        << ""
        << "noheader" << QStringList{"- 1", "+ 1"} << true;
    QTest::newRow("ragged rows reported; missing cells are empty, extra ones by position")
        << "id,v,w\n1,a\n2,b,c\n"
        << "id,v,w\n1,a,\n2,b,c,d\n"
        << "id"
        << ""
        << "" << QStringList{"ragged1 2", "ragged2 3", "~ 3>3 4"} << true;
    QTest::newRow("both files empty") << ""
                                      << ""
                                      << "id"
                                      << ""
                                      << "" << QStringList{} << false;
    QTest::newRow("first file empty") << ""
                                      << "id,v\n1,a\n"
                                      << "id"
                                      << ""
                                      << "" << QStringList{"only2 id", "only2 v", "+ 2"} << true;
    QTest::newRow("second file empty, no header") << "a,b\n"
                                                  << ""
                                                  << ""
                                                  << ""
                                                  << "noheader" << QStringList{"- 1"} << true;
    // Rows with no cell in common cannot "equal" each other.
    QTest::newRow("no column in common, no key: no row matches")
        << "a,b\n1,2\n3,4\n"
        << "c\n1\n"
        << ""
        << ""
        << "" << QStringList{"only1 a", "only1 b", "only2 c", "- 2", "- 3", "+ 2"} << true;
    QTest::newRow("headers only") << "id,v\r\n"
                                  << "id,v\n"
                                  << "id"
                                  << ""
                                  << "" << QStringList{} << false;
    QTest::newRow("quoted line breaks keep physical line numbers")
        << "id,v\n1,\"x\ny\"\n2,b\n"
        << "id,v\n2,b\n1,\"x\r\nz\"\n"
        << "id"
        << ""
        << "" << QStringList{"~ 2>3 v"} << true;
    QTest::newRow("a cell's line breaks are its bytes: LF is not CR LF")
        << "id,v\n1,\"a\nb\"\n2,\"c\rd\"\n"
        << "id,v\n1,\"a\r\nb\"\n2,\"c\rd\"\n"
        << "id"
        << ""
        << "" << QStringList{"~ 2>2 v"} << true;
    QTest::newRow("ignore space: CR LF, CR and LF in a cell are one break")
        << "id,v\n1,\"a\nb\"\n2,\"c\rd\"\n"
        << "id,v\n1,\"a\r\nb\"\n2,\"c\r\nd \"\n"
        << "id"
        << ""
        << "space" << QStringList{} << false;
    QTest::newRow("numbers by value, text as text")
        << "id,v,w\n1,1.0,x\n2,-0,1e3\n3,+5,0x10\n4,1.5,nan\n"
        << "id,v,w\n1,1,x\n2,0,1000\n3,5.00,16\n4,1.50,nan\n"
        << "id"
        << ""
        << "numbers" << QStringList{"~ 4>4 w"} << true;
    QTest::newRow("numbers are text without --numbers") << "id,v\n1,1.0\n"
                                                        << "id,v\n1,1\n"
                                                        << "id"
                                                        << ""
                                                        << "" << QStringList{"~ 2>2 v"} << true;
    QTest::newRow("tolerance: within is equal, beyond is not")
        << "id,v\n1,1.0\n2,1.0\n3,100\n4,-2\n"
        << "id,v\n1,1.1\n2,1.2\n3,99.95\n4,-2.1\n"
        << "id"
        << ""
        << "numbers tolerance=0.1" << QStringList{"~ 3>3 v"} << true;
    QTest::newRow("numbered keys match as numbers") << "id,v\n1.0,a\n"
                                                    << "id,v\n1,a\n"
                                                    << "id"
                                                    << ""
                                                    << "numbers" << QStringList{} << false;
    QTest::newRow("numbers compare exactly, however many digits")
        << "id,amount\n1,9007199254740993\n2,12345678901234567890\n3,0.1000000000000000001\n"
        << "id,amount\n1,9007199254740992\n2,12345678901234567891\n3,0.1\n"
        << "id"
        << ""
        << "numbers" << QStringList{"~ 2>2 amount", "~ 3>3 amount", "~ 4>4 amount"} << true;
    QTest::newRow("big numbered keys stay apart")
        << "id,v\n9007199254740993,a\n9007199254740992,b\n"
        << "id,v\n9007199254740992,b\n9007199254740993,c\n"
        << "id"
        << ""
        << "numbers" << QStringList{"~ 2>3 v"} << true;
    QTest::newRow("decimal commas found in each file's columns")
        << "id;v;w\n1;24,77;1.234,5\n2;-1.234,5;7\n"
        << "id,v,w\n1,24.77,1234.50\n2,-1234.5,7.0\n"
        << "id"
        << ""
        << "numbers" << QStringList{} << false;
    QTest::newRow("decimal commas as keys") << "id;v\n1,5;a\n2,25;b\n"
                                            << "id;v\n2.25;b\n1.50;a\n"
                                            << "id"
                                            << ""
                                            << "numbers" << QStringList{} << false;
    QTest::newRow("1,234 alone stays text") << "id;v\n1;1,234\n"
                                            << "id;v\n1;1234\n"
                                            << "id"
                                            << ""
                                            << "numbers" << QStringList{"~ 2>2 v"} << true;
    QTest::newRow("decimal marks chosen by hand")
        << "id;v;w\n1;1,234;1.234\n"
        << "id;v;w\n1;1.234;1,234\n"
        << "id"
        << ""
        << "numbers comma1 point2" << QStringList{} << false;
    QTest::newRow("decimal commas need numbers by value") << "id;v\n1;24,77\n"
                                                          << "id;v\n1;24.77\n"
                                                          << "id"
                                                          << ""
                                                          << "" << QStringList{"~ 2>2 v"} << true;
    QTest::newRow("a column number is a position even when a header is a number")
        << "2,1\nk,a\n"
        << "2,1\nk,b\n"
        << "2"
        << ""
        << "" << QStringList{"- 2", "+ 2"} << true;
    QTest::newRow("a quoted number is a name") << "2,1\nk,a\n"
                                               << "2,1\nk,b\n"
                                               << "\"2\""
                                               << ""
                                               << "" << QStringList{"~ 2>2 1"} << true;
    QTest::newRow("a name holding a comma, quoted") << "\"last, first\",v\n\"Li, Ann\",1\n"
                                                    << "\"last, first\",v\n\"Li, Ann\",2\n"
                                                    << "\"last, first\""
                                                    << ""
                                                    << "" << QStringList{"~ 2>2 v"} << true;
    QTest::newRow("two columns of one name are told apart") << "id,x,x\n1,a,b\n"
                                                            << "id,x,x\n1,a,c\n"
                                                            << "id"
                                                            << ""
                                                            << "" << QStringList{"~ 2>2 x"} << true;
    QTest::newRow("ragged rows alone are a difference")
        << "id,v\n1,a\n2,b,extra\n"
        << "id,v\n1,a\n2,b,extra\n"
        << "id"
        << ""
        << "" << QStringList{"ragged1 3", "ragged2 3"} << true;
    QTest::newRow("a key repeated in both files is reported once")
        << "id,v\n7,a\n7,b\n7,c\n1,x\n"
        << "id,v\n7,d\n1,x\n7,e\n"
        << "id"
        << ""
        << "" << QStringList{"dup 2,3,4 / 2,4"} << true;
    QTest::newRow("an empty-named column ignored as \"\"") << "id,,v\n1,x,a\n2,y,b\n"
                                                           << "id,,v\n1,z,a\n2,y,c\n"
                                                           << "id"
                                                           << "\"\""
                                                           << "" << QStringList{"~ 3>3 v"} << true;
    QTest::newRow("a renamed column paired by hand compares as one")
        << "id,email,city\n1,a@x,Oslo\n2,b@x,Rome\n"
        << "id,city,email_address\n1,Oslo,a@x\n2,Rome,c@x\n"
        << "id"
        << ""
        << "map=email=email_address" << QStringList{"reordered", "~ 3>3 email"} << true;
    QTest::newRow("a renamed column by positions, its old partner alone")
        << "id,email\n1,a\n"
        << "id,email,mail\n1,old,a\n"
        << "id"
        << ""
        << "map=2=3" << QStringList{"only2 email"} << true;
    QTest::newRow("the rename of a reordered pair is still reordered")
        << "id,a,b\n1,x,y\n"
        << "id,b,c\n1,y,x\n"
        << "id"
        << ""
        << "map=a=c" << QStringList{"reordered"} << false;
    QTest::newRow("composite key guessed: order lines")
        << "order,line,qty\n1,1,5\n1,2,5\n2,1,7\n3,1,1\n"
        << "order,line,qty\n1,1,5\n1,2,9\n2,1,7\n4,1,2\n"
        << ""
        << ""
        << "guess" << QStringList{"- 5", "+ 5", "~ 3>3 qty"} << true;
    QTest::newRow("no key to guess: whole rows") << "a,b\n1,x\n1,x\n"
                                                 << "a,b\n1,x\n1,y\n"
                                                 << ""
                                                 << ""
                                                 << "guess" << QStringList{"- 3", "+ 3"} << true;
    QTest::newRow("each file's own delimiter") << "id;v\n1;a\n"
                                               << "id\tv\n1\tb\n"
                                               << "id"
                                               << ""
                                               << "" << QStringList{"~ 2>2 v"} << true;
}

void RowComparisonTest::findings()
{
    QFETCH(QString, text1);
    QFETCH(QString, text2);
    QFETCH(QString, key);
    QFETCH(QString, ignored);
    QFETCH(QString, flags);
    QFETCH(QStringList, expected);
    QFETCH(bool, differ);

    const Csv::RowComparison result =
        TestRows::compareTexts(text1.toUtf8(), text2.toUtf8(), optionsFrom(key, ignored, flags));
    QVERIFY2(result.ok(), qPrintable(result.error.message));
    QCOMPARE(described(result), expected);
    QCOMPARE(result.hasDifferences(), differ);

    // Kept pairs: each changed row's, and one for every row of file 2 that
    // was neither added nor set aside under a duplicate key.
    Csv::RowOptions withPairs = optionsFrom(key, ignored, flags);
    withPairs.keepPairs = true;
    const Csv::RowComparison paired =
        TestRows::compareTexts(text1.toUtf8(), text2.toUtf8(), withPairs);
    for (const Csv::ChangedRow &row : paired.changed)
        QCOMPARE(paired.pairs[size_t(row.record2)], row.record1);
    qsizetype unpaired2 = qsizetype(paired.added.size());
    for (const Csv::DuplicateKey &d : paired.duplicateKeys)
        unpaired2 += qsizetype(d.records2.size());
    const auto pairedCount =
        std::count_if(paired.pairs.begin(), paired.pairs.end(), [](qint32 r1) { return r1 >= 0; });
    QCOMPARE(qsizetype(pairedCount), paired.rows2 - unpaired2);
    std::vector<qint32> used(paired.pairs.begin(), paired.pairs.end());
    std::erase(used, -1);
    std::sort(used.begin(), used.end());
    QVERIFY(std::adjacent_find(used.begin(), used.end()) == used.end()); // each row once
}

void RowComparisonTest::errors_data()
{
    QTest::addColumn<QString>("text1");
    QTest::addColumn<QString>("text2");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("ignored");
    QTest::addColumn<QString>("flags");
    QTest::addColumn<int>("file");
    QTest::addColumn<qsizetype>("line");
    QTest::addColumn<QString>("messageHas");

    const QString plain = "id,v\n1,a\n";
    QTest::newRow("key name in neither file") << plain << plain << "sku"
                                              << ""
                                              << "" << 0 << qsizetype(0) << "\"sku\"";
    QTest::newRow("key only in file 1") << "id,sku,v\n1,x,a\n"
                                        << plain << "sku"
                                        << ""
                                        << "" << 2 << qsizetype(0) << "\"sku\"";
    QTest::newRow("key only in file 2") << plain << "id,sku,v\n1,x,a\n"
                                        << "id,sku"
                                        << ""
                                        << "" << 1 << qsizetype(0) << "\"sku\"";
    QTest::newRow("key number past the columns") << plain << plain << "3"
                                                 << ""
                                                 << "" << 0 << qsizetype(0) << "no column 3";
    QTest::newRow("key number 0") << plain << plain << "0"
                                  << ""
                                  << "" << 0 << qsizetype(0) << "no column 0";
    QTest::newRow("a name without a header")
        << "1,a\n"
        << "1,a\n"
        << "id"
        << ""
        << "noheader" << 0 << qsizetype(0) << "not a column number";
    QTest::newRow("ignored column in neither file") << plain << plain << ""
                                                    << "nope"
                                                    << "" << 0 << qsizetype(0) << "\"nope\"";
    QTest::newRow("a renamed column file 1 lacks")
        << plain << plain << "id"
        << ""
        << "map=nope=v" << 1 << qsizetype(0) << "\"nope\"";
    QTest::newRow("a column renamed twice") << "id,a,b\n1,x,y\n"
                                            << "id,c\n1,x\n"
                                            << "id"
                                            << ""
                                            << "map=a=c map=b=c" << 2 << qsizetype(0) << "twice";
    QTest::newRow("unterminated quote in file 1") << "id,v\n1,\"a\n2,b\n"
                                                  << plain << "id"
                                                  << ""
                                                  << "" << 1 << qsizetype(2) << "line 2";
    QTest::newRow("unterminated quote in file 2") << plain << "id,v\n\n\n1,a\n2,\"b"
                                                  << ""
                                                  << ""
                                                  << "" << 2 << qsizetype(5) << "line 5";
}

void RowComparisonTest::errors()
{
    QFETCH(QString, text1);
    QFETCH(QString, text2);
    QFETCH(QString, key);
    QFETCH(QString, ignored);
    QFETCH(QString, flags);
    QFETCH(int, file);
    QFETCH(qsizetype, line);
    QFETCH(QString, messageHas);

    const Csv::RowComparison result =
        TestRows::compareTexts(text1.toUtf8(), text2.toUtf8(), optionsFrom(key, ignored, flags));
    QVERIFY(!result.ok());
    QCOMPARE(result.error.file, file);
    QCOMPARE(result.error.line, line);
    QVERIFY2(result.error.message.contains(messageHas), qPrintable(result.error.message));
}

namespace {

// One generated file: its rows (cells id, c1, c2) and the physical line of each.
struct Generated
{
    QList<QStringList> rows;
    QList<int> lines;
    QString text;
};

QString csvCell(const QString &cell, QChar delimiter)
{
    if (!cell.contains(delimiter) && !cell.contains(u'"') && !cell.contains(u'\n')
        && !cell.contains(u'\r'))
        return cell;
    return u'"' + QString(cell).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

// CR LF, a lone CR and a lone LF are one line break each.
int breaksIn(const QString &text)
{
    return int(text.count(u'\n') + text.count(u'\r') - text.count(QStringLiteral("\r\n")));
}

// Writes rows under the header id,c1,c2 with the columns in `order`.
Generated written(const QList<QStringList> &rows, const QList<int> &order, QRandomGenerator &random)
{
    static const QChar delimiters[] = {u',', u';', u'\t', u'|'};
    static const char *const breaks[] = {"\r\n", "\n", "\r"};
    const QChar delimiter = delimiters[random.bounded(4)];
    const QString lineBreak = QString::fromLatin1(breaks[random.bounded(3)]);
    const QStringList header{"id", "c1", "c2"};
    Generated g;
    g.rows = rows;
    const auto line = [&](const QStringList &cells) {
        QStringList out;
        for (const int c : order)
            out << csvCell(cells[c], delimiter);
        return out.join(delimiter) + lineBreak;
    };
    g.text = line(header);
    int at = 2;
    for (const QStringList &row : rows) {
        g.lines << at;
        g.text += line(row);
        at += 1 + breaksIn(row.join(QString()));
    }
    return g;
}

// Blanks trimmed and one kind of line break; full case folding, of which
// the pool needs only what simple folding lacks: ß is ss.
QString normalised(const QString &cell, const Csv::CellRules &rules)
{
    QString out = cell;
    if (rules.ignoreSpace)
        out = out.trimmed()
                  .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                  .replace(u'\r', u'\n');
    if (rules.ignoreCase)
        out = out.toCaseFolded().replace(QString::fromUtf8("ß"), QStringLiteral("ss"));
    return out;
}

// The comparison as a user would state it, over the rows as generated.
QStringList plainKeyed(const Generated &a, const Generated &b, const Csv::CellRules &rules)
{
    std::map<QString, std::pair<QList<int>, QList<int>>> byKey; // key: row indices in a, b
    for (int i = 0; i < a.rows.size(); ++i)
        byKey[normalised(a.rows[i][0], rules)].first << i;
    for (int i = 0; i < b.rows.size(); ++i)
        byKey[normalised(b.rows[i][0], rules)].second << i;
    QStringList out;
    for (const auto &[key, rows] : byKey) {
        const auto &[in1, in2] = rows;
        if (in1.size() > 1 || in2.size() > 1) {
            QStringList l1;
            QStringList l2;
            for (const int i : in1)
                l1 << QString::number(a.lines[i]);
            for (const int i : in2)
                l2 << QString::number(b.lines[i]);
            out << "dup " + l1.join(u',') + " / " + l2.join(u',');
        } else if (in2.isEmpty()) {
            out << "- " + QString::number(a.lines[in1[0]]);
        } else if (in1.isEmpty()) {
            out << "+ " + QString::number(b.lines[in2[0]]);
        } else {
            QStringList columns;
            for (int c = 1; c <= 2; ++c) {
                if (normalised(a.rows[in1[0]][c], rules) != normalised(b.rows[in2[0]][c], rules))
                    columns << QStringLiteral("c%1").arg(c);
            }
            if (!columns.isEmpty()) {
                out << QStringLiteral("~ %1>%2 %3")
                           .arg(a.lines[in1[0]])
                           .arg(b.lines[in2[0]])
                           .arg(columns.join(u','));
            }
        }
    }
    return out;
}

// Whole rows as a multiset: the first copies of a row pair up, the rest are listed.
QStringList plainMultiset(const Generated &a, const Generated &b, const Csv::CellRules &rules)
{
    const auto rowKey = [&rules](const QStringList &row) {
        QStringList cells;
        for (const QString &cell : row)
            cells << normalised(cell, rules);
        return cells.join(u'\x1f');
    };
    std::map<QString, std::pair<QList<int>, QList<int>>> byRow;
    for (int i = 0; i < a.rows.size(); ++i)
        byRow[rowKey(a.rows[i])].first << a.lines[i];
    for (int i = 0; i < b.rows.size(); ++i)
        byRow[rowKey(b.rows[i])].second << b.lines[i];
    QStringList out;
    for (const auto &[row, lines] : byRow) {
        for (qsizetype k = lines.second.size(); k < lines.first.size(); ++k)
            out << "- " + QString::number(lines.first[k]);
        for (qsizetype k = lines.first.size(); k < lines.second.size(); ++k)
            out << "+ " + QString::number(lines.second[k]);
    }
    return out;
}

} // namespace

void RowComparisonTest::agreesWithPlainDefinition()
{
    const QStringList pool{"a",
                           "A",
                           " a",
                           "a ",
                           "b",
                           "B",
                           QString::fromUtf8("é"),
                           QString::fromUtf8("É"),
                           "",
                           "x,y",
                           "q\"r",
                           "l\nb",
                           "l\r\nb",
                           "l\rb",
                           " l\r\nb\n",
                           "\x1b[31m",
                           "\x01",
                           QString::fromUtf8("ß"),
                           "SS",
                           "ss",
                           QString::fromUtf8("ΣΑΣ"),
                           QString::fromUtf8("σας"),
                           "|;\t"};
    const QStringList keys{"k1", "K1", " k1", "k2", "k3", "k4", "k5", "k6", "k7", "k\n8"};
    for (quint32 seed = 1; seed <= 400; ++seed) {
        QRandomGenerator random(seed);
        const auto pick = [&random](const QStringList &list) {
            return list[random.bounded(int(list.size()))];
        };
        QList<QStringList> rows1;
        const int count = random.bounded(12);
        for (int i = 0; i < count; ++i)
            rows1 << QStringList{pick(keys), pick(pool), pick(pool)};
        // File 2: file 1 with rows dropped, cells changed, rows added, in another order.
        QList<QStringList> rows2;
        for (QStringList row : rows1) {
            if (random.bounded(5) == 0)
                continue;
            if (random.bounded(3) == 0)
                row[1 + random.bounded(2)] = pick(pool);
            rows2 << row;
        }
        for (int i = random.bounded(4); i > 0; --i)
            rows2 << QStringList{pick(keys), pick(pool), pick(pool)};
        std::shuffle(rows2.begin(), rows2.end(), random);
        QList<int> order2{0, 1, 2};
        std::shuffle(order2.begin(), order2.end(), random);

        const Generated a = written(rows1, {0, 1, 2}, random);
        const Generated b = written(rows2, order2, random);
        Csv::RowOptions options;
        options.rules.ignoreCase = random.bounded(2) == 1;
        options.rules.ignoreSpace = random.bounded(2) == 1;
        const bool keyed = random.bounded(2) == 1;
        if (keyed)
            options.key = Csv::parseColumnList(QStringLiteral("id")).columns;

        const Csv::RowComparison result =
            TestRows::compareTexts(a.text.toUtf8(), b.text.toUtf8(), options);
        QVERIFY2(result.ok(), qPrintable(result.error.message));
        QStringList found = described(result);
        found.removeAll(QStringLiteral("reordered"));
        found.sort();
        QStringList expected =
            keyed ? plainKeyed(a, b, options.rules) : plainMultiset(a, b, options.rules);
        expected.sort();
        if (found != expected)
            qWarning("seed %u, keyed %d, case %d, space %d", seed, keyed, options.rules.ignoreCase,
                     options.rules.ignoreSpace);
        QCOMPARE(found, expected);
        QCOMPARE(result.rows1, qsizetype(rows1.size()));
        QCOMPARE(result.rows2, qsizetype(rows2.size()));
    }
}

void RowComparisonTest::summary_data()
{
    QTest::addColumn<qsizetype>("number");
    QTest::addColumn<QString>("text");

    QTest::newRow("zero") << qsizetype(0) << "0";
    QTest::newRow("three digits") << qsizetype(999) << "999";
    QTest::newRow("four digits") << qsizetype(1000) << "1,000";
    QTest::newRow("a million") << qsizetype(1000000) << "1,000,000";
    QTest::newRow("seven digits") << qsizetype(1000002) << "1,000,002";
    QTest::newRow("negative") << qsizetype(-12345) << "-12,345";
}

void RowComparisonTest::summary()
{
    QFETCH(qsizetype, number);
    QFETCH(QString, text);
    QCOMPARE(Csv::withThousands(number), text);
}

QTEST_APPLESS_MAIN(RowComparisonTest)
#include "test_row_comparison.moc"
