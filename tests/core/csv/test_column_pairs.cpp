#include <QTest>

#include "csv/ColumnPairs.h"

namespace {

std::shared_ptr<const Csv::Table> tableOf(const QByteArray &text)
{
    Csv::ReadResult read = Csv::readCsv(text, ',');
    return std::make_shared<const Csv::Table>(std::move(read.table));
}

QString reasonText(Csv::PairReason reason)
{
    switch (reason) {
    case Csv::PairReason::SameName:
        return QStringLiteral("name");
    case Csv::PairReason::SimilarName:
        return QStringLiteral("similar");
    case Csv::PairReason::EqualValues:
        return QStringLiteral("values");
    }
    return QString();
}

// "id,email\n1,a@x\n…" with `rows` rows; `changed` of them differ in file 2.
QByteArray people(const QByteArray &header, int rows, int changed, bool second)
{
    QByteArray text = header + '\n';
    for (int i = 0; i < rows; ++i) {
        const bool differs = second && i < changed;
        text += QByteArray::number(i) + ",p" + QByteArray::number(differs ? i + 1000 : i)
                + "@x.org,c" + QByteArray::number(i % 3) + '\n';
    }
    return text;
}

} // namespace

class ColumnPairsTest : public QObject
{
    Q_OBJECT

private slots:
    void suggest_data();
    void suggest();
};

void ColumnPairsTest::suggest_data()
{
    QTest::addColumn<QByteArray>("text1");
    QTest::addColumn<QByteArray>("text2");
    QTest::addColumn<QString>("key");
    // "old=new reason percent", strongest first
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("a longer name, equal values")
        << people("id,email,city", 50, 0, false) << people("id,email_address,city", 50, 0, true)
        << "id" << QStringList{"email=email_address values 100"};
    QTest::newRow("the same name but for case and separators")
        << people("id,E-Mail,city", 20, 20, false) << people("id,e_mail,city", 20, 20, true) << "id"
        << QStringList{"E-Mail=e_mail name 0"};
    QTest::newRow("unrelated names, mostly equal values")
        << people("id,mail,city", 40, 2, false) << people("id,contact,city", 40, 2, true) << "id"
        << QStringList{"mail=contact values 95"};
    QTest::newRow("unrelated names, other values")
        << people("id,mail,city", 40, 30, false) << people("id,contact,city", 40, 30, true) << "id"
        << QStringList{};
    QTest::newRow("similar names, other values")
        << people("id,email,city", 10, 10, false) << people("id,email_old,city", 10, 10, true)
        << "id" << QStringList{"email=email_old similar 0"};
    QTest::newRow("each column in one pair, the stronger first")
        << QByteArray("id,mail,phone\n1,a,5\n2,b,6\n3,c,7\n")
        << QByteArray("id,mail_address,telephone,mailbox\n1,a,5,q\n2,b,6,r\n3,c,7,s\n") << "id"
        << QStringList{"mail=mail_address values 100", "phone=telephone values 100"};
    QTest::newRow("no key given: the guessed one matches rows")
        << QByteArray("sku,qty\nA,1\nB,2\nC,3\n") << QByteArray("sku,amount\nC,3\nA,1\nB,2\n") << ""
        << QStringList{"qty=amount values 100"};
    QTest::newRow("nothing unpaired")
        << QByteArray("id,v\n1,a\n") << QByteArray("id,v\n1,b\n") << "id" << QStringList{};
}

void ColumnPairsTest::suggest()
{
    QFETCH(QByteArray, text1);
    QFETCH(QByteArray, text2);
    QFETCH(QString, key);
    QFETCH(QStringList, expected);
    const auto table1 = tableOf(text1);
    const auto table2 = tableOf(text2);
    const Csv::ColumnMapping mapping = Csv::mapColumns(*table1, *table2, true, {});
    std::vector<qsizetype> keyColumns;
    if (!key.isEmpty())
        keyColumns =
            Csv::pickColumns(mapping, Csv::parseColumnList(key).columns, true, false, false, {})
                .columns;
    QStringList found;
    for (const Csv::SuggestedPair &pair :
         Csv::suggestColumnPairs(*table1, *table2, mapping, keyColumns)) {
        found << QStringLiteral("%1=%2 %3 %4")
                     .arg(mapping.name(pair.column1), mapping.name(pair.column2),
                          reasonText(pair.reason))
                     .arg(pair.equalPercent);
    }
    QCOMPARE(found, expected);
}

QTEST_APPLESS_MAIN(ColumnPairsTest)
#include "test_column_pairs.moc"
