#include <QTest>

#include "csv/RowsReport.h"
#include "tables/ColumnPairing.h"
#include "tables/PairChoices.h"
#include "tables/TableSession.h"

namespace {

std::shared_ptr<const Csv::Table> tableOf(const QByteArray &text)
{
    Csv::ReadResult read = Csv::readCsv(text, 0);
    return std::make_shared<const Csv::Table>(std::move(read.table));
}

std::vector<Csv::ColumnRename> renamesOf(const QStringList &texts)
{
    std::vector<Csv::ColumnRename> renames;
    for (const QString &text : texts) {
        const Csv::RenameParse parse = Csv::parseRename(text);
        if (parse.error.isEmpty())
            renames.push_back(parse.rename);
    }
    return renames;
}

QStringList renameTexts(const std::vector<Csv::ColumnRename> &renames)
{
    QStringList texts;
    for (const Csv::ColumnRename &rename : renames)
        texts << Tables::renameText(rename);
    return texts;
}

// Each pair as "a → b", with " *" when in use.
QStringList shown(const Tables::ColumnPairing &pairing)
{
    QStringList out;
    for (const Tables::ColumnPair &pair : pairing.pairs())
        out << pairing.label(pair) + (pair.used ? QStringLiteral(" *") : QString());
    return out;
}

Tables::ColumnPairing pairingOf(const QByteArray &a, const QByteArray &b, const QString &key,
                                const QStringList &used, bool header = true)
{
    return Tables::ColumnPairing::of(*tableOf(a), *tableOf(b), header, {},
                                     Csv::parseColumnList(key).columns, renamesOf(used));
}

// A session over two texts, as the window holds it.
void open(Tables::TableSession &session, const QByteArray &a, const QByteArray &b)
{
    for (int side = 0; side < 2; ++side) {
        TableSource source;
        source.name = side == 0 ? QStringLiteral("jan.csv") : QStringLiteral("feb.csv");
        source.bytes = side == 0 ? a : b;
        session.setSource(side, std::move(source));
    }
}

QString compareOnce(Tables::TableSession &session, Tables::CompareRequest request = {})
{
    Tables::CompareOutcome outcome = session.run(request);
    if (!session.accept(outcome))
        return outcome.error;
    return Csv::summaryLine(session.data()->comparison);
}

// Customers whose email column was renamed and whose amounts file 1 writes
// with a decimal comma; customer 2's email and amount changed.
const QByteArray kJan = "id;name;email;amount\n1;Ann;a@x;1,234\n2;Bob;b@x;2\n3;Cy;c@x;7\n"
                        "4;Di;d@x;8\n";
const QByteArray kFeb = "id,name,email_address,amount\n1,Ann,a@x,1.234\n2,Bob,b@y,2.6\n"
                        "3,Cy,c@x,7\n4,Di,d@x,8\n";

} // namespace

class TableSessionTest : public QObject
{
    Q_OBJECT

private slots:
    void suggestedPairs_data();
    void suggestedPairs();
    void editingPairs();
    void renamesTravelAsColumnsNotText_data();
    void renamesTravelAsColumnsNotText();
    void choicesAsText_data();
    void choicesAsText();
    void renamedColumnsAndDecimalMarks();
    void rememberedChoicesThatNoLongerFit();
    void filtersThroughTheSession();
    void readsBothSidesAtOnce_data();
    void readsBothSidesAtOnce();
    void readingFollowedAndCancelled();
};

void TableSessionTest::readsBothSidesAtOnce_data()
{
    QTest::addColumn<QByteArray>("jan");
    QTest::addColumn<QByteArray>("feb");
    const QByteArray unclosed = "id,v\n1,\"x\n2,y\n";
    const QByteArray stray = "id,v\n1,x\"y\n";
    QTest::newRow("both read") << kJan << kFeb;
    QTest::newRow("file 1 malformed") << unclosed << kFeb;
    QTest::newRow("file 2 malformed") << kJan << stray;
    QTest::newRow("both malformed") << unclosed << stray;
}

// The two files are read at once; each one's fault is told, file 1's first.
// Once read, they are not read again for the next comparison.
void TableSessionTest::readsBothSidesAtOnce()
{
    QFETCH(QByteArray, jan);
    QFETCH(QByteArray, feb);
    QStringList faults;
    const QString error1 = Csv::readCsv(jan).error.message;
    const QString error2 = Csv::readCsv(feb).error.message;
    if (!error1.isEmpty())
        faults << QStringLiteral("jan.csv: ") + error1;
    if (!error2.isEmpty())
        faults << QStringLiteral("feb.csv: ") + error2;
    Tables::TableSession session;
    open(session, jan, feb);
    Tables::CompareOutcome outcome = session.run({});
    QCOMPARE(outcome.error, faults.join(u'\n'));
    QCOMPARE(session.accept(outcome), faults.isEmpty());
    if (!faults.isEmpty())
        return;
    QCOMPARE(session.dataRows(0), qsizetype(4));
    QCOMPARE(session.dataRows(1), qsizetype(4));
    // Compared again, unchanged: neither side is read a second time.
    const Tables::CompareOutcome again = session.run({});
    QCOMPARE(again.tables[0], outcome.tables[0]);
    QCOMPARE(again.tables[1], outcome.tables[1]);
}

// Both sides count into one reading phase, whose share only grows; a cancel
// while they read stops the run.
void TableSessionTest::readingFollowedAndCancelled()
{
    QByteArray big = "id,v\n";
    for (int i = 0; big.size() < 3 << 20; ++i)
        big += QByteArray::number(i) + ",value " + QByteArray::number(i % 97) + '\n';
    Tables::TableSession session;
    open(session, big, big + "x,y\n");
    std::vector<double> shares;
    Csv::WorkControl follow(
        [&shares](Csv::WorkPhase phase, double done) {
            if (phase == Csv::WorkPhase::Reading)
                shares.push_back(done);
        },
        std::chrono::milliseconds(0));
    const Tables::CompareOutcome outcome = session.run({}, &follow);
    QCOMPARE(outcome.error, QString());
    QVERIFY(!outcome.cancelled);
    QVERIFY(outcome.tables[0] && outcome.tables[1]);
    QVERIFY(shares.size() >= 3);
    QVERIFY(std::is_sorted(shares.begin(), shares.end()));
    QVERIFY(shares.back() > 0.5);

    Csv::WorkControl stop(
        [&stop](Csv::WorkPhase phase, double done) {
            if (phase == Csv::WorkPhase::Reading && done > 0)
                stop.cancel();
        },
        std::chrono::milliseconds(0));
    const Tables::CompareOutcome stopped = session.run({}, &stop);
    QVERIFY(stopped.cancelled);
    QVERIFY(!stopped.tables[0] && !stopped.data);
}

// A value filter by a display column, a sort that turns over on the same
// column, and a filter over a column the next result lacks, dropped.
void TableSessionTest::filtersThroughTheSession()
{
    Tables::TableSession session;
    open(session, kJan, kFeb);
    QCOMPARE(compareOnce(session), QStringLiteral("0 removed, 0 added, 2 changed (of 4 / 4 rows)"));
    // status, line 1, line 2, id, name, email_address, amount, email
    QVERIFY(!session.filterByValue(1, QStringLiteral("2"), true));
    QVERIFY(!session.filterByValue(8, QStringLiteral("b@y"), true));
    QVERIFY(session.filterByValue(5, QStringLiteral("b@y"), true));
    QCOMPARE(Tables::visibleRows(*session.data(), session.filter).size(), size_t(1));
    QCOMPARE(Tables::rowsOfShownStatuses(*session.data(), session.filter), qsizetype(2));
    session.sortBy(4);
    QVERIFY(!session.filter.descending);
    session.sortBy(4);
    QVERIFY(session.filter.descending);
    session.sortBy(6);
    QVERIFY(!session.filter.descending);

    session.setRenames(renamesOf({"email=email_address"}));
    Tables::CompareRequest request;
    request.options.key = Csv::parseColumnList(QStringLiteral("id")).columns;
    QCOMPARE(compareOnce(session, request),
             QStringLiteral("0 removed, 0 added, 2 changed (of 4 / 4 rows)"));
    QCOMPARE(session.filter.valueColumn, qsizetype(-1)); // email_address stands alone no more
    QCOMPARE(session.filter.sortColumn, 6);
}

void TableSessionTest::suggestedPairs_data()
{
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<QByteArray>("b");
    QTest::addColumn<QStringList>("used");
    QTest::addColumn<bool>("header");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("a renamed column suggested, not used")
        << kJan << kFeb << QStringList() << true << QStringList{"email \u2192 email_address"};
    QTest::newRow("a pair in use is not suggested again")
        << kJan << kFeb << QStringList{"email=email_address"} << true
        << QStringList{"email \u2192 email_address *"};
    QTest::newRow("a pair naming a column no file has is dropped")
        << kJan << kFeb << QStringList{"fax=email_address"} << true
        << QStringList{"email \u2192 email_address"};
    QTest::newRow("a pair by hand over columns of other names")
        << kJan << kFeb << QStringList{"name=email_address"} << true
        << QStringList{"name \u2192 email_address *"};
    QTest::newRow("names unlike, values equal")
        << QByteArray("id,mail\n1,a@x\n2,b@x\n3,c@x\n4,d@x\n")
        << QByteArray("id,contact\n1,a@x\n2,b@x\n3,c@x\n4,d@x\n") << QStringList() << true
        << QStringList{"mail \u2192 contact"};
    QTest::newRow("nothing renamed, nothing suggested")
        << QByteArray("id,v\n1,2\n") << QByteArray("v,id\n2,1\n") << QStringList() << true
        << QStringList();
    QTest::newRow("no header: columns by position")
        << QByteArray("1,a\n2,b\n") << QByteArray("1,a\n2,c\n") << QStringList{"2=2"} << false
        << QStringList{"#2 \u2192 #2 *"};
}

// What the Columns… dialog lists: the pairs in use, then the suggestions
// for columns that are not in use.
void TableSessionTest::suggestedPairs()
{
    QFETCH(QByteArray, a);
    QFETCH(QByteArray, b);
    QFETCH(QStringList, used);
    QFETCH(bool, header);
    QFETCH(QStringList, expected);
    const Tables::ColumnPairing pairing = pairingOf(a, b, QStringLiteral("id"), used, header);
    QCOMPARE(shown(pairing), expected);
    QStringList inUse;
    for (const QString &pair : expected) {
        if (pair.endsWith(QLatin1String(" *")))
            inUse << pair;
    }
    QCOMPARE(pairing.renames().size(), size_t(inUse.size()));
}

// A column is in one pair in use at most; what stops a choice is said and
// changes nothing.
void TableSessionTest::editingPairs()
{
    Tables::ColumnPairing pairing = pairingOf(kJan, kFeb, QStringLiteral("id"), {});
    const QStringList before = shown(pairing);
    QCOMPARE(pairing.columns(1), (QStringList{"id", "name", "email", "amount"}));
    QCOMPARE(pairing.columns(2), (QStringList{"id", "name", "email_address", "amount"}));

    // Pairing what was suggested uses the suggestion.
    QCOMPARE(pairing.add(2, 2), QString());
    QCOMPARE(shown(pairing), QStringList{"email \u2192 email_address *"});
    // email_address is taken: name cannot have it too.
    QVERIFY(!pairing.add(1, 2).isEmpty());
    QCOMPARE(shown(pairing), QStringList{"email \u2192 email_address *"});
    QVERIFY(!pairing.add(7, 2).isEmpty());
    // Another pair over email, unused, cannot be used while the first is.
    pairing.setUsed(0, false);
    QCOMPARE(pairing.add(2, 3), QString());
    QVERIFY(!pairing.setUsed(0, true).isEmpty());
    QCOMPARE(shown(pairing), (QStringList{"email \u2192 email_address", "email \u2192 amount *"}));
    pairing.remove(1);
    QCOMPARE(pairing.setUsed(0, true), QString());
    QCOMPARE(renameTexts(pairing.renames()), QStringList{"\"email\"=\"email_address\""});
    pairing.setUsed(0, false);
    QVERIFY(pairing.renames().empty());
    QCOMPARE(shown(pairing), before);
}

void TableSessionTest::renamesTravelAsColumnsNotText_data()
{
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<QByteArray>("b");
    QTest::addColumn<qsizetype>("column1");
    QTest::addColumn<qsizetype>("column2");
    QTest::addColumn<QString>("expected");

    QTest::newRow("names") << QByteArray("id,mail\n1,x\n") << QByteArray("id,email\n1,x\n")
                           << qsizetype(1) << qsizetype(1) << "\"mail\"=\"email\"";
    QTest::newRow("names holding = , and quotes")
        << QByteArray("id,\"a=b, \"\"c\"\"\"\n1,x\n") << QByteArray("id,\"d=\"\n1,x\n")
        << qsizetype(1) << qsizetype(1) << "\"a=b, \"\"c\"\"\"=\"d=\"";
    QTest::newRow("a name twice in a file: by position")
        << QByteArray("id,v,v\n1,x,y\n") << QByteArray("id,w\n1,y\n") << qsizetype(2)
        << qsizetype(1) << "3=\"w\"";
    QTest::newRow("a name that reads as a number")
        << QByteArray("id,2\n1,x\n") << QByteArray("id,b\n1,x\n") << qsizetype(1) << qsizetype(1)
        << "\"2\"=\"b\"";
}

// The pairs reach the comparison as the columns chosen, whatever their names
// hold, and read back as --map reads them.
void TableSessionTest::renamesTravelAsColumnsNotText()
{
    QFETCH(QByteArray, a);
    QFETCH(QByteArray, b);
    QFETCH(qsizetype, column1);
    QFETCH(qsizetype, column2);
    QFETCH(QString, expected);
    Tables::ColumnPairing pairing = pairingOf(a, b, QStringLiteral("id"), {});
    for (size_t p = pairing.pairs().size(); p-- > 0;)
        pairing.remove(p);
    QCOMPARE(pairing.add(column1, column2), QString());
    const std::vector<Csv::ColumnRename> renames = pairing.renames();
    QCOMPARE(renameTexts(renames), QStringList{expected});
    const Csv::RenameParse parse = Csv::parseRename(expected);
    QCOMPARE(parse.error, QString());
    QCOMPARE(parse.rename.column1.text, renames[0].column1.text);
    QCOMPARE(parse.rename.column2.by, renames[0].column2.by);

    Csv::RowOptions options;
    options.key = Csv::parseColumnList(QStringLiteral("id")).columns;
    options.renames = renames;
    const Csv::RowComparison result = Csv::compareTables(tableOf(a), tableOf(b), options);
    QCOMPARE(result.error.message, QString());
    QCOMPARE(result.mapping.renamed.size(), size_t(1));
    const Csv::Column &paired = result.mapping.columns[size_t(result.mapping.renamed[0])];
    QCOMPARE(paired.index1, qint64(column1));
    QCOMPARE(paired.index2, qint64(column2));
}

void TableSessionTest::choicesAsText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QStringList>("renames");
    QTest::addColumn<int>("mark2");

    QTest::newRow("stored before pairs and marks were")
        << R"({"key":"\"id\"","noKey":false,"ignore":""})" << true << "\"id\"" << QStringList()
        << int(Csv::DecimalMark::Auto);
    QTest::newRow("all of them")
        << R"({"key":"","noKey":true,"ignore":"","map":["\"a=b\"=c","2=\"x\""],)"
           R"("decimal1":"auto","decimal2":"comma"})"
        << true << "" << QStringList{"\"a=b\"=c", "2=\"x\""} << int(Csv::DecimalMark::Comma);
    QTest::newRow("an unknown mark") << R"({"key":"","noKey":true,"ignore":"","decimal1":"x"})"
                                     << false << "" << QStringList() << 0;
    QTest::newRow("a pair that is not OLD=NEW")
        << R"({"key":"","noKey":true,"ignore":"","map":["a"]})" << false << "" << QStringList()
        << 0;
    QTest::newRow("a pair that is not text")
        << R"({"key":"","noKey":true,"ignore":"","map":[3]})" << false << "" << QStringList() << 0;
    QTest::newRow("a key list broken across lines")
        << "{\"key\":\"id\\nname\",\"noKey\":false,\"ignore\":\"\"}" << false << "" << QStringList()
        << 0;
    QTest::newRow("not ours") << "[1,2]" << false << "" << QStringList() << 0;
}

// Choices read back as they were written; a text that is not ours offers nothing.
void TableSessionTest::choicesAsText()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QString, key);
    QFETCH(QStringList, renames);
    QFETCH(int, mark2);
    const std::optional<Tables::PairChoices> choices = Tables::PairChoices::fromText(text);
    QCOMPARE(choices.has_value(), valid);
    if (!valid)
        return;
    QCOMPARE(Csv::columnListText(choices->key), key);
    QCOMPARE(renameTexts(choices->renames).size(), renames.size());
    QCOMPARE(int(choices->decimalMark2), mark2);
    const std::optional<Tables::PairChoices> again =
        Tables::PairChoices::fromText(choices->toText());
    QVERIFY(again.has_value());
    QVERIFY(*again == *choices);
}

// A renamed column compared as one and a decimal comma understood, chosen by
// hand, remembered for the pair and offered to a session of the same names.
void TableSessionTest::renamedColumnsAndDecimalMarks()
{
    Tables::TableSession session;
    open(session, kJan, kFeb);
    Tables::CompareRequest request;
    request.options.rules.numbers = true;
    QCOMPARE(compareOnce(session, request),
             QStringLiteral("0 removed, 0 added, 2 changed (of 4 / 4 rows)"));
    QCOMPARE(session.data()->comparison.keyColumns, std::vector<qsizetype>{0});
    // "1,234" alone could be either: text, and not 1.234.
    const Tables::ColumnPairing pairing = session.columnPairing();
    QCOMPARE(shown(pairing), QStringList{"email \u2192 email_address"});

    Tables::ColumnPairing chosen = pairing;
    QCOMPARE(chosen.setUsed(0, true), QString());
    session.setRenames(chosen.renames());
    request.options.key = Csv::parseColumnList(QStringLiteral("id")).columns;
    request.options.decimalMark1 = Csv::DecimalMark::Comma;
    QCOMPARE(compareOnce(session, request),
             QStringLiteral("0 removed, 0 added, 1 changed (of 4 / 4 rows)"));
    const Csv::RowComparison &result = session.data()->comparison;
    QCOMPARE(result.mapping.label(result.changedColumnList[0]),
             QStringLiteral("email\u2192email_address"));
    QCOMPARE(qsizetype(result.changedColumnList.size()), qsizetype(2)); // email, amount 2 / 2.6
    QCOMPARE(shown(session.columnPairing()), QStringList{"email \u2192 email_address *"});

    // Remembered, and offered to files of the same names.
    const Tables::PairChoices choices = session.choices();
    QCOMPARE(Csv::columnListText(choices.key), QStringLiteral("\"id\""));
    QCOMPARE(renameTexts(choices.renames), QStringList{"\"email\"=\"email_address\""});
    QCOMPARE(int(choices.decimalMark1), int(Csv::DecimalMark::Comma));
    Tables::TableSession next;
    open(next, kJan, kFeb);
    QCOMPARE(next.pairEntry(), session.pairEntry());
    next.offer(*Tables::PairChoices::fromText(choices.toText()));
    QCOMPARE(compareOnce(next), QStringLiteral("0 removed, 0 added, 1 changed (of 4 / 4 rows)"));
    QVERIFY(next.used().rules.numbers); // a decimal mark compares numbers by value
    QCOMPARE(next.renames().size(), size_t(1));

    // Other files: no pairs, marks found again.
    open(next, kJan, kFeb);
    QVERIFY(next.renames().empty());
    QCOMPARE(compareOnce(next, {}),
             QStringLiteral("0 removed, 0 added, 2 changed (of 4 / 4 rows)"));
    QCOMPARE(int(next.used().decimalMark1), int(Csv::DecimalMark::Auto));
}

// A remembered column that is gone this week does not stop the comparison:
// the files are compared as new ones.
void TableSessionTest::rememberedChoicesThatNoLongerFit()
{
    Tables::TableSession session;
    open(session, kJan, kFeb);
    Tables::PairChoices choices;
    choices.key = Csv::parseColumnList(QStringLiteral("\"customer\"")).columns;
    choices.renames = renamesOf({"fax=email_address"});
    session.offer(choices);
    QCOMPARE(compareOnce(session), QStringLiteral("0 removed, 0 added, 2 changed (of 4 / 4 rows)"));
    QCOMPARE(session.data()->comparison.keyColumns, std::vector<qsizetype>{0});
    QVERIFY(session.renames().empty());
}

QTEST_GUILESS_MAIN(TableSessionTest)
#include "test_table_session.moc"
