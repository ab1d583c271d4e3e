#include <random>

#include <QTest>

#include "tables/FoldedNeedle.h"

// The find's search against a plain one over random texts: needles of every
// length around the 16-byte blocks, texts ending at every place in a block,
// and the bytes beside the letters that folding by a bit could confuse.
class FoldedNeedleTest : public QObject
{
    Q_OBJECT

private slots:
    void agreesWithPlainSearch_data();
    void agreesWithPlainSearch();
};

void FoldedNeedleTest::agreesWithPlainSearch_data()
{
    QTest::addColumn<QByteArray>("alphabet");
    QTest::addColumn<int>("longestNeedle");
    QTest::newRow("two letters, both cases") << QByteArray("aAbB") << 4;
    QTest::newRow("letters beside their case bit") << QByteArray("aA@`zZ[{\x01!\xc1\xe1") << 6;
    QTest::newRow("long needles") << QByteArray("xXyY") << 40;
    QTest::newRow("punctuation and UTF-8") << QByteArray(",;\" \xc3\xa9\x80\xff") << 5;
}

void FoldedNeedleTest::agreesWithPlainSearch()
{
    QFETCH(QByteArray, alphabet);
    QFETCH(int, longestNeedle);
    std::mt19937 random(7);
    const auto text = [&](qsizetype length) {
        QByteArray out(length, '\0');
        for (char &c : out)
            c = alphabet[qsizetype(random() % quint32(alphabet.size()))];
        return out;
    };
    int found = 0;
    for (int round = 0; round < 20000; ++round) {
        const QByteArray needle = text(1 + qsizetype(random() % uint(longestNeedle)));
        QByteArray haystack = text(qsizetype(random() % 80));
        // Half the time, plant the needle in another case at a random place.
        if (round % 2 && haystack.size() >= needle.size()) {
            const qsizetype at = qsizetype(random() % uint(haystack.size() - needle.size() + 1));
            haystack.replace(at, needle.size(), random() % 2 ? needle.toUpper() : needle);
        }
        const bool expected = haystack.toLower().contains(needle.toLower());
        if (Tables::FoldedNeedle(needle).in(haystack) != expected)
            QFAIL("needle " + needle.toPercentEncoding() + " in " + haystack.toPercentEncoding()
                  + (expected ? " not found" : " found"));
        found += expected;
    }
    QVERIFY(found > 5000);
}

QTEST_GUILESS_MAIN(FoldedNeedleTest)
#include "test_folded_needle.moc"
