// The index that groups equal records: on keys drawn at random and hashes
// chosen to be hard on it (all alike, or fooling its count of groups so that
// it must grow many times), each group is exactly the records with one key,
// in file order, and the roles say which record heads a group of several.
// The compact list a group's records are handed on in gives back every record.

#include <map>
#include <random>

#include <QRandomGenerator>
#include <QTest>

#include "csv/RecordList.h"
#include "csv/RowIndex.h"

class RowIndexTest : public QObject
{
    Q_OBJECT

private slots:
    void groupsEqualRecords_data();
    void groupsEqualRecords();
    void recordListsKeepEveryRecord_data();
    void recordListsKeepEveryRecord();
};

void RowIndexTest::groupsEqualRecords_data()
{
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("keys");    // keys drawn from 0..keys-1
    QTest::addColumn<int>("hashing"); // 0: spread, 1: one hash for all, 2: small numbers
    QTest::addColumn<int>("first");
    QTest::newRow("distinct keys, spread hashes") << 20000 << 1000000 << 0 << 1;
    QTest::newRow("few keys, spread hashes") << 20000 << 7 << 0 << 0;
    QTest::newRow("one hash for every key") << 3000 << 50 << 1 << 1;
    QTest::newRow("hashes that hide their number: grows") << 8000 << 1000000 << 2 << 1;
    QTest::newRow("one key") << 5000 << 1 << 0 << 1;
    QTest::newRow("no record past the first") << 1 << 5 << 0 << 1;
}

void RowIndexTest::groupsEqualRecords()
{
    QFETCH(int, records);
    QFETCH(int, keys);
    QFETCH(int, hashing);
    QFETCH(int, first);
    QRandomGenerator random(7);
    std::vector<quint32> key(static_cast<size_t>(records));
    for (quint32 &k : key)
        k = random.bounded(quint32(keys));
    const auto hashOf = [&](qint32 r) -> Csv::RowHash {
        const quint32 k = key[size_t(r)];
        // Small numbers all fall in one register of the count of groups.
        return hashing == 1 ? 42 : hashing == 2 ? k : Csv::narrowHash(k * 2654435761u + 1);
    };
    qint64 ticks = 0;
    Csv::RowIndex index;
    index.build(
        size_t(records), first, hashOf,
        [&](qint32 a, qint32 b) { return key[size_t(a)] == key[size_t(b)]; },
        [&](qint64 items) { ticks += items; });
    QCOMPARE(ticks, 2 * (records - first));

    // Each key's records, in file order, against its group found by hash.
    std::map<quint32, std::vector<qint32>> expected;
    for (qint32 r = first; r < records; ++r)
        expected[key[size_t(r)]].push_back(r);
    size_t groups = 0;
    for (size_t slot = 0; slot < index.slotCount(); ++slot)
        groups += index.group(qint32(slot)).head >= 0 ? 1 : 0;
    QCOMPARE(groups, expected.size());
    for (const auto &entry : expected) {
        // Named, not bound: clang 14 cannot capture a structured binding.
        const quint32 k = entry.first;
        const std::vector<qint32> &members = entry.second;
        const qint32 slot =
            index.find(hashOf(members.front()), [&](qint32 r) { return key[size_t(r)] == k; });
        QVERIFY(slot >= 0);
        std::vector<qint32> chain;
        for (qint32 r = index.group(slot).head; r >= 0; r = index.next(r))
            chain.push_back(r);
        QCOMPARE(chain, members);
        for (const qint32 r : members) {
            const quint8 role = index.role(r);
            QCOMPARE(bool(role & Csv::RowIndex::Head), r == members.front());
            QCOMPARE(bool(role & Csv::RowIndex::Many), members.size() > 1);
        }
    }
    // A key no record has is not found.
    QCOMPARE(index.find(hashOf(0), [](qint32) { return false; }), -1);
}

void RowIndexTest::recordListsKeepEveryRecord_data()
{
    QTest::addColumn<std::vector<qint32>>("records");
    QTest::addColumn<size_t>("bytes"); // what the list's codes take
    QTest::newRow("empty") << std::vector<qint32>{} << size_t(0);
    QTest::newRow("record 0 alone") << std::vector<qint32>{0} << size_t(1);
    QTest::newRow("neighbours: a byte each") << std::vector<qint32>{5, 6, 7, 8} << size_t(4);
    // Gaps on each side of a byte's seven bits, up to the largest record.
    QTest::newRow("gaps at the code's steps")
        << std::vector<qint32>{127, 256, 16640, 33025, 2130178, INT32_MAX - 1}
        << size_t(1 + 2 + 2 + 3 + 4 + 5);
    // Gaps of every code size but the largest (the row above has it), from a
    // fixed seed; the records stay below INT32_MAX.
    std::mt19937 generator(5);
    std::vector<qint32> random;
    qint64 record = -1;
    for (int i = 0; i < 4000; ++i) {
        record += 1 + qint64(generator() % (quint32(1) << (i % 24)));
        if (record > INT32_MAX)
            break;
        random.push_back(qint32(record));
    }
    QTest::newRow("random gaps") << random << size_t(0);
}

void RowIndexTest::recordListsKeepEveryRecord()
{
    QFETCH(std::vector<qint32>, records);
    QFETCH(size_t, bytes);
    Csv::RecordList list;
    size_t measured = 0;
    qint32 last = -1;
    for (const qint32 r : records) {
        measured += Csv::RecordList::codeSize(last, r);
        last = r;
        list.push_back(r);
    }
    if (bytes > 0)
        QCOMPARE(measured, bytes);
    QCOMPARE(list.size(), records.size());
    QCOMPARE(list.empty(), records.empty());
    QCOMPARE(std::vector<qint32>(list.begin(), list.end()), records);
    if (!records.empty()) {
        QCOMPARE(list.front(), records.front());
        QCOMPARE(list.back(), records.back());
    }
}

QTEST_APPLESS_MAIN(RowIndexTest)
#include "test_row_index.moc"
