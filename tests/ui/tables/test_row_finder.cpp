#include <QSignalSpy>
#include <QTest>

#include "tables/RowFinder.h"
#include "tables/TableSession.h"

namespace {

// Keyed rows, every `changeEvery`th one changed in the second file.
QByteArray keyedRows(int rows, int changeEvery)
{
    QByteArray text = "id,name\n";
    for (int i = 0; i < rows; ++i) {
        const QByteArray id = QByteArray::number(i);
        text += id + ",name" + id + (changeEvery > 0 && i % changeEvery == 0 ? "x\n" : "\n");
    }
    return text;
}

// The result of comparing two such files by id.
std::shared_ptr<const Tables::TableData> compared(int rows)
{
    Tables::TableSession session;
    for (int side = 0; side < 2; ++side) {
        TableSource source;
        source.name = QStringLiteral("side%1.csv").arg(side + 1);
        source.bytes = keyedRows(rows, side == 0 ? 0 : 3);
        session.setSource(side, std::move(source));
    }
    session.requestKey(Csv::parseColumnList(QStringLiteral("id")).columns);
    Tables::CompareOutcome outcome = session.run({});
    return session.accept(outcome) ? session.data() : nullptr;
}

Tables::RowFilter finding(const QString &text)
{
    Tables::RowFilter filter;
    filter.shown.fill(true);
    filter.find = text;
    return filter;
}

} // namespace

class RowFinderTest : public QObject
{
    Q_OBJECT

private slots:
    void answersAsTheFilterDoes_data();
    void answersAsTheFilterDoes();
    void aNewerFindDropsTheOlder();
    void stoppedFindsNeverAnswer();
};

void RowFinderTest::answersAsTheFilterDoes_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("atOnce");
    QTest::newRow("small table, at once") << 300 << "e12" << true;
    QTest::newRow("small table, nothing found") << 300 << "zz" << true;
    QTest::newRow("large table, on a worker") << 60000 << "e12" << false;
    QTest::newRow("large table, changed cells") << 60000 << "9x" << false;
}

// Whether at once or on a worker, a find answers with the rows the filter
// gives, and only once.
void RowFinderTest::answersAsTheFilterDoes()
{
    QFETCH(int, rows);
    QFETCH(QString, text);
    QFETCH(bool, atOnce);
    const std::shared_ptr<const Tables::TableData> data = compared(rows);
    QVERIFY(data);
    std::shared_mutex bytes;
    Tables::RowFinder finder(bytes);
    QSignalSpy found(&finder, &Tables::RowFinder::found);
    finder.find(data, finding(text));
    QCOMPARE(found.count(), atOnce ? 1 : 0);
    QVERIFY(found.count() == 1 || found.wait(20000));
    QCOMPARE(found.at(0).at(0).value<std::vector<qint32>>(),
             Tables::visibleRows(*data, finding(text)));
    QTest::qWait(50);
    QCOMPARE(found.count(), 1);
}

// Typing "e", "e1", "e12" quickly: only the last find is answered.
void RowFinderTest::aNewerFindDropsTheOlder()
{
    const std::shared_ptr<const Tables::TableData> data = compared(200000);
    QVERIFY(data);
    std::shared_mutex bytes;
    Tables::RowFinder finder(bytes);
    QSignalSpy found(&finder, &Tables::RowFinder::found);
    for (const QString &text : {QStringLiteral("e"), QStringLiteral("e1"), QStringLiteral("e12")})
        finder.find(data, finding(text));
    QVERIFY(found.wait(20000));
    QTest::qWait(100); // an older answer would have come by now
    QCOMPARE(found.count(), 1);
    QCOMPARE(found.at(0).at(0).value<std::vector<qint32>>(),
             Tables::visibleRows(*data, finding(QStringLiteral("e12"))));
}

// A comparison or a filter coming first stops the find: its answer never
// shows, that is said once, and finish() returns once no worker reads the
// tables.
void RowFinderTest::stoppedFindsNeverAnswer()
{
    const std::shared_ptr<const Tables::TableData> data = compared(200000);
    QVERIFY(data);
    std::shared_mutex bytes;
    Tables::RowFinder finder(bytes);
    QSignalSpy found(&finder, &Tables::RowFinder::found);
    QSignalSpy dropped(&finder, &Tables::RowFinder::dropped);
    finder.find(data, finding(QStringLiteral("e1")));
    finder.finish();
    QVERIFY(bytes.try_lock()); // no worker holds the tables' lock
    bytes.unlock();
    QTest::qWait(100);
    QCOMPARE(found.count(), 0);
    // Said once, so that what waited for the answer goes on.
    QCOMPARE(dropped.count(), 1);
    finder.stop();
    QCOMPARE(dropped.count(), 1);
}

QTEST_GUILESS_MAIN(RowFinderTest)
#include "test_row_finder.moc"
