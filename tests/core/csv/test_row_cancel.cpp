// The row comparison's progress phases and its Cancel: every phase is
// reported, in order, and a cancel in any of them ends the comparison with
// nothing but the cancel said.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "csv/KeyIndex.h"
#include "csv/ReportSaving.h"
#include "csv/RowComparison.h"
#include "csv/RowsReport.h"
#include "support/RowTexts.h"

namespace {

using Csv::WorkPhase;

// A pair with every kind of finding: shared, changed, removed, added rows
// and a duplicate key.
std::pair<QByteArray, QByteArray> pair(int rows)
{
    QByteArray a = "id,v,w\n";
    QByteArray b = "id,v,w\n";
    for (int i = 0; i < rows; ++i) {
        a += QByteArray::number(i * 2) + ",v" + QByteArray::number(i % 7) + ",\"w\nx\"\n";
        b += QByteArray::number(i * 3) + ",v" + QByteArray::number(i % 5) + ",\"w\nx\"\n";
    }
    a += "7,dup,1\n";
    return {a, b};
}

Csv::RowOptions optionsFor(bool keyed)
{
    Csv::RowOptions options;
    if (keyed)
        options.key = Csv::parseColumnList(QStringLiteral("id")).columns;
    return options;
}

} // namespace

Q_DECLARE_METATYPE(WorkPhase)
Q_DECLARE_METATYPE(Csv::ReportFormat)

class RowCancelTest : public QObject
{
    Q_OBJECT

private slots:
    void phasesInOrder_data();
    void phasesInOrder();
    void cancelsInEachPhase_data();
    void cancelsInEachPhase();
    void keptIndexOutlivesCancel_data();
    void keptIndexOutlivesCancel();
    void writingStopsAtCancel_data();
    void writingStopsAtCancel();
    void savingStopsAtCancel_data();
    void savingStopsAtCancel();
};

void RowCancelTest::phasesInOrder_data()
{
    QTest::addColumn<bool>("keyed");
    QTest::newRow("by key") << true;
    QTest::newRow("as a multiset") << false;
}

void RowCancelTest::phasesInOrder()
{
    QFETCH(bool, keyed);
    const auto [a, b] = pair(60000);
    std::vector<std::pair<WorkPhase, double>> reports;
    Csv::WorkControl control(
        [&](WorkPhase phase, double done) {
            reports.push_back({phase, done});
        },
        std::chrono::milliseconds(0));
    Csv::RowOptions options = optionsFor(keyed);
    options.control = &control;
    const Csv::RowComparison followed = TestRows::compareTexts(a, b, options);
    const Csv::RowComparison plain = TestRows::compareTexts(a, b, optionsFor(keyed));
    QVERIFY(followed.ok());
    QVERIFY(!followed.cancelled);
    // Followed or not, the same findings.
    QCOMPARE(followed.removed, plain.removed);
    QCOMPARE(followed.added, plain.added);
    QCOMPARE(followed.changed.size(), plain.changed.size());
    QCOMPARE(followed.duplicateKeys.size(), plain.duplicateKeys.size());

    std::vector<WorkPhase> seen;
    double last = -1;
    for (const auto &[phase, done] : reports) {
        QVERIFY(done >= 0 && done <= 1);
        if (seen.empty() || seen.back() != phase) {
            QVERIFY2(seen.empty() || int(seen.back()) < int(phase), "a phase came back");
            seen.push_back(phase);
            last = -1;
        }
        QVERIFY2(done >= last, "the share done went back");
        last = done;
    }
    const std::vector<WorkPhase> all{WorkPhase::Reading, WorkPhase::Indexing, WorkPhase::Comparing,
                                     WorkPhase::Listing};
    QCOMPARE(seen, all);
    // Within a phase the share grows past its start: the work counts as it goes.
    QVERIFY(std::count_if(reports.begin(), reports.end(),
                          [](const auto &report) { return report.second > 0.25; })
            >= 3);
}

void RowCancelTest::cancelsInEachPhase_data()
{
    QTest::addColumn<bool>("keyed");
    QTest::addColumn<WorkPhase>("phase");
    for (const bool keyed : {true, false}) {
        const char *how = keyed ? "by key, " : "as a multiset, ";
        QTest::addRow("%sreading", how) << keyed << WorkPhase::Reading;
        QTest::addRow("%sindexing", how) << keyed << WorkPhase::Indexing;
        QTest::addRow("%scomparing", how) << keyed << WorkPhase::Comparing;
        QTest::addRow("%slisting", how) << keyed << WorkPhase::Listing;
    }
}

void RowCancelTest::cancelsInEachPhase()
{
    QFETCH(bool, keyed);
    QFETCH(WorkPhase, phase);
    const auto [a, b] = pair(60000);
    Csv::WorkControl *self = nullptr;
    int reportsAfterCancel = 0;
    Csv::WorkControl control(
        [&](WorkPhase now, double) {
            if (self->cancelled())
                ++reportsAfterCancel;
            if (now == phase)
                self->cancel();
        },
        std::chrono::milliseconds(0));
    self = &control;
    Csv::RowOptions options = optionsFor(keyed);
    options.control = &control;
    const Csv::RowComparison result = TestRows::compareTexts(a, b, options);
    QVERIFY(result.cancelled);
    QVERIFY(!result.ok());
    QCOMPARE(result.error.message, QStringLiteral("the comparison was cancelled"));
    QVERIFY(result.removed.empty() && result.added.empty() && result.changed.empty());
    QVERIFY(!result.table1 && !result.table2);
    QCOMPARE(reportsAfterCancel, 0);
}

void RowCancelTest::keptIndexOutlivesCancel_data()
{
    QTest::addColumn<WorkPhase>("phase");
    QTest::newRow("indexing") << WorkPhase::Indexing;
    QTest::newRow("comparing") << WorkPhase::Comparing;
    QTest::newRow("listing") << WorkPhase::Listing;
}

// A comparison cancelled while it made file 1's index anew (for other
// rules) or marked it leaves a kept index that the next comparison does not
// trust as it stands: that one finds what a comparison of its own finds.
void RowCancelTest::keptIndexOutlivesCancel()
{
    QFETCH(WorkPhase, phase);
    const auto [a, b] = pair(60000);
    const auto tableOf = [](const QByteArray &text) {
        return std::make_shared<const Csv::Table>(Csv::readCsv(text, 0, nullptr).table);
    };
    const auto table1 = tableOf(a);
    const auto table2 = tableOf(b);
    Csv::RowOptions own = optionsFor(true);
    own.keepPairs = true;
    Csv::RowOptions keeping = own;
    keeping.keyIndex = std::make_shared<Csv::KeyIndex>();
    QVERIFY(Csv::compareTables(table1, table2, keeping).ok());

    Csv::WorkControl *self = nullptr;
    Csv::WorkControl control(
        [&](WorkPhase now, double) {
            if (now == phase)
                self->cancel();
        },
        std::chrono::milliseconds(0));
    self = &control;
    Csv::RowOptions otherRules = keeping;
    otherRules.rules.ignoreSpace = true;
    otherRules.control = &control;
    QVERIFY(Csv::compareTables(table1, table2, otherRules).cancelled);

    const Csv::RowComparison found = Csv::compareTables(table1, table2, keeping);
    const Csv::RowComparison expected = Csv::compareTables(table1, table2, own);
    QVERIFY(found.ok());
    QCOMPARE(found.removed, expected.removed);
    QCOMPARE(found.added, expected.added);
    QCOMPARE(found.pairs, expected.pairs);
    QCOMPARE(found.changed.size(), expected.changed.size());
    QCOMPARE(found.duplicateKeys.size(), expected.duplicateKeys.size());
}

void RowCancelTest::writingStopsAtCancel_data()
{
    QTest::addColumn<Csv::ReportFormat>("format");
    QTest::addColumn<bool>("keyed");
    QTest::addColumn<int>("longCell"); // bytes of one changed cell (0: none)
    QTest::newRow("text, by key") << Csv::ReportFormat::Text << true << 0;
    QTest::newRow("csv, by key") << Csv::ReportFormat::Csv << true << 0;
    QTest::newRow("json, by key") << Csv::ReportFormat::Json << true << 0;
    QTest::newRow("html, by key") << Csv::ReportFormat::Html << true << 0;
    QTest::newRow("text, as a multiset") << Csv::ReportFormat::Text << false << 0;
    QTest::newRow("text, one long cell of breaks") << Csv::ReportFormat::Text << true << 4000000;
    QTest::newRow("json, one long cell of breaks") << Csv::ReportFormat::Json << true << 4000000;
}

// Cancelled a quarter of the way through its report, the writing stops: not
// one more piece reaches the sink (a piece is 64 KiB at most), what did is
// the start of the whole report, and the writer says it did not finish.
void RowCancelTest::writingStopsAtCancel()
{
    QFETCH(Csv::ReportFormat, format);
    QFETCH(bool, keyed);
    QFETCH(int, longCell);
    auto [a, b] =
        longCell > 0 ? std::pair<QByteArray, QByteArray>("id,v\n1,\"", "id,v\n1,\"") : pair(60000);
    if (longCell > 0) {
        a += QByteArray(longCell, '\n') + "\"\n";
        b += QByteArray(longCell, '\r') + "\"\n";
    }
    const Csv::RowComparison result = TestRows::compareTexts(a, b, optionsFor(keyed));
    QVERIFY(result.ok());
    const QByteArray whole = Csv::formatReport(result, format, "a.csv", "b.csv");
    QVERIFY(whole.size() > 1 << 20);

    std::vector<WorkPhase> phases;
    Csv::WorkControl control([&](WorkPhase phase, double) { phases.push_back(phase); },
                             std::chrono::milliseconds(0));
    Csv::ReportOptions options{QStringLiteral("a.csv"), QStringLiteral("b.csv")};
    options.control = &control;
    QByteArray written;
    int piecesAfterCancel = 0;
    const bool finished = Csv::writeReport(result, format, options, [&](QByteArrayView piece) {
        piecesAfterCancel += control.cancelled() ? 1 : 0;
        written += piece;
        if (written.size() >= whole.size() / 4)
            control.cancel();
        return true;
    });
    QVERIFY(!finished);
    QCOMPARE(piecesAfterCancel, 0);
    QVERIFY(whole.startsWith(written));
    QVERIFY(written.size() < whole.size() / 4 + (1 << 16) + 4096);
    QVERIFY(!phases.empty());
    QCOMPARE(phases.front(), WorkPhase::Writing);

    // Cancelled before it starts, a report writes nothing at all.
    written.clear();
    QVERIFY(!Csv::writeReport(result, format, options, [&](QByteArrayView piece) {
        written += piece;
        return true;
    }));
    QVERIFY(written.isEmpty());

    // Followed and not cancelled, the report is the same as unfollowed.
    Csv::WorkControl quiet;
    options.control = &quiet;
    written.clear();
    QVERIFY(Csv::writeReport(result, format, options, [&](QByteArrayView piece) {
        written += piece;
        return true;
    }));
    QCOMPARE(written, whole);
}
void RowCancelTest::savingStopsAtCancel_data()
{
    QTest::addColumn<Csv::ReportFormat>("format");
    QTest::newRow("text") << Csv::ReportFormat::Text;
    QTest::newRow("csv") << Csv::ReportFormat::Csv;
    QTest::newRow("json") << Csv::ReportFormat::Json;
    QTest::newRow("html") << Csv::ReportFormat::Html;
    QTest::newRow("xlsx") << Csv::ReportFormat::Xlsx;
}

// A report file whose writing is cancelled halfway is not written: the file
// already there keeps its bytes, and the reason given is the cancel.
void RowCancelTest::savingStopsAtCancel()
{
    QFETCH(Csv::ReportFormat, format);
    const auto [a, b] = pair(60000);
    const Csv::RowComparison result = TestRows::compareTexts(a, b, optionsFor(true));
    QVERIFY(result.ok());
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("report"));
    QFile before(path);
    QVERIFY(before.open(QIODevice::WriteOnly) && before.write("kept") == 4);
    before.close();

    // Cancelled by its own progress report, halfway through the writing.
    Csv::WorkControl control(
        [&control](WorkPhase phase, double done) {
            if (phase == WorkPhase::Writing && done >= 0.5)
                control.cancel();
        },
        std::chrono::milliseconds(0));
    Csv::ReportOptions options{QStringLiteral("a.csv"), QStringLiteral("b.csv")};
    options.control = &control;
    QCOMPARE(Csv::saveReport(path, result, format, options),
             QStringLiteral("the report was cancelled"));
    QFile after(path);
    QVERIFY(after.open(QIODevice::ReadOnly));
    QCOMPARE(after.readAll(), QByteArray("kept"));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{QStringLiteral("report")});
    after.close(); // Windows refuses to replace a file that is open

    // Not cancelled, the same call replaces the file with the whole report.
    Csv::WorkControl quiet;
    options.control = &quiet;
    QCOMPARE(Csv::saveReport(path, result, format, options), QString());
    QVERIFY(after.open(QIODevice::ReadOnly));
    const QByteArray saved = after.readAll();
    if (format == Csv::ReportFormat::Xlsx) // a workbook records when it was made
        QVERIFY(saved.startsWith("PK\x03\x04") && saved.size() > 10000);
    else
        QCOMPARE(saved, Csv::formatReport(result, format, options.name1, options.name2));
}

QTEST_APPLESS_MAIN(RowCancelTest)
#include "test_row_cancel.moc"
