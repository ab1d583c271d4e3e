#include <thread>
#include <vector>

#include <QRandomGenerator>
#include <QTest>

#include "ColourRangeText.h"
#include "RandomPaneText.h"
#include "engine/LineComparison.h"
#include "engine/LinePairComparison.h"
#include "text/PaneBytes.h"

using Compare::ByteSideResult;
using Compare::Ranges;

// Both directions at once must give, byte for byte, what two separate runs
// give: the same result texts, red ranges, counts and calls to a sink.
class LinePairComparisonTest : public QObject
{
    Q_OBJECT

private slots:
    void equalsTwoSeparateRuns_data();
    void equalsTwoSeparateRuns();
    void reportsEveryStepOfProgress();
    void cancelledStopsEarly();
};

namespace {

// What a result pane is told: each differing line's place, in order.
class Recorder final : public Compare::ResultSink
{
public:
    void line(qsizetype start, qsizetype length, bool crFollows) override
    {
        calls.push_back({start, length, crFollows ? 1 : 0});
    }
    void word(qsizetype, qsizetype) override { QFAIL("a line comparison lists no words"); }

    std::vector<std::array<qsizetype, 3>> calls;
};

void oneAfterTheOther(const std::function<void()> &first, const std::function<void()> &second)
{
    first();
    second();
}

void onTwoThreads(const std::function<void()> &first, const std::function<void()> &second)
{
    std::thread other(second);
    first();
    other.join();
}

// Many lines, some repeated, some shared with the other text, with every
// kind of break: the halves the threads take and the sets' growth are
// crossed by all of them.
QByteArray manyLines(QRandomGenerator &random, int count, const QByteArray &own)
{
    static const QList<QByteArray> breaks = {"\r\n", "\r\n", "\r\n", "\r", "\n"};
    QByteArray text;
    for (int i = 0; i < count; ++i) {
        const int kind = random.bounded(4);
        if (kind == 0)
            text += own + QByteArray::number(random.bounded(count));
        else if (kind == 1)
            text += "same" + QByteArray::number(random.bounded(count));
        else if (kind == 2)
            text += QByteArray(random.bounded(3), ' ');
        else
            text += PaneBytes::fromText(randomPaneText(random)).replace('\r', "");
        if (i + 1 < count)
            text += breaks[random.bounded(int(breaks.size()))];
    }
    if (random.bounded(4) != 0)
        text += '\r';
    return text;
}

} // namespace

void LinePairComparisonTest::equalsTwoSeparateRuns_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("rounds");
    QTest::addColumn<bool>("threads");

    QTest::newRow("short texts, one after the other") << 8 << 3000 << false;
    QTest::newRow("short texts, two threads") << 8 << 300 << true;
    QTest::newRow("thousands of lines, two threads") << 20000 << 6 << true;
}

void LinePairComparisonTest::equalsTwoSeparateRuns()
{
    QFETCH(int, lines);
    QFETCH(int, rounds);
    QFETCH(bool, threads);

    QRandomGenerator random(quint32(lines * 7 + rounds));
    for (int round = 0; round < rounds; ++round) {
        const QByteArray text1 = manyLines(random, random.bounded(lines + 1), "one");
        const QByteArray text2 = manyLines(random, random.bounded(lines + 1), "two");
        const Ranges ranges = round % 2 ? Ranges::Joined : Ranges::AsFound;
        const QByteArray where = "round " + QByteArray::number(round) + ": \""
                                 + text1.left(200).toPercentEncoding() + "\" and \""
                                 + text2.left(200).toPercentEncoding() + '"';

        const ByteSideResult in1 = Compare::findLineDifferences(text1, text2, nullptr, ranges);
        const ByteSideResult in2 = Compare::findLineDifferences(text2, text1, nullptr, ranges);
        const auto pair = Compare::findLineDifferencesOfBoth(
            text1, text2, threads ? onTwoThreads : oneAfterTheOther, nullptr, ranges);
        QVERIFY2(pair.in1.resultText == in1.resultText, where.constData());
        QVERIFY2(pair.in2.resultText == in2.resultText, where.constData());
        QVERIFY2(pair.in1.red == in1.red, where.constData());
        QVERIFY2(pair.in2.red == in2.red, where.constData());
        QVERIFY2(pair.in1.differences == in1.differences, where.constData());
        QVERIFY2(pair.in2.differences == in2.differences, where.constData());

        Recorder single1, single2, both1, both2;
        Compare::findLineDifferences(text1, text2, nullptr, ranges, &single1);
        Compare::findLineDifferences(text2, text1, nullptr, ranges, &single2);
        const auto sunk = Compare::findLineDifferencesOfBoth(
            text1, text2, threads ? onTwoThreads : oneAfterTheOther, nullptr, ranges, &both1,
            &both2);
        QVERIFY2(both1.calls == single1.calls, where.constData());
        QVERIFY2(both2.calls == single2.calls, where.constData());
        QVERIFY2(sunk.in1.resultText.isEmpty() && sunk.in2.resultText.isEmpty(), where.constData());
        QVERIFY2(sunk.in1.red == in1.red && sunk.in2.red == in2.red, where.constData());
    }
}

void LinePairComparisonTest::reportsEveryStepOfProgress()
{
    QRandomGenerator random(99);
    const QList<QPair<QByteArray, QByteArray>> pairs = {
        {"", ""},
        {"a\r\nb\r", "b\r"},
        {"no break at all", "x"},
        {manyLines(random, 30000, "one"), manyLines(random, 20000, "two")},
    };
    for (const auto &[text1, text2] : pairs) {
        Compare::Progress progress;
        Compare::findLineDifferencesOfBoth(text1, text2, onTwoThreads, &progress);
        QVERIFY(progress.total.load() >= text1.size() + text2.size());
        QCOMPARE(progress.done.load(), progress.total.load());
    }
}

void LinePairComparisonTest::cancelledStopsEarly()
{
    QByteArray text1;
    QByteArray text2;
    for (int i = 0; i < 100000; ++i) {
        text1 += "a" + QByteArray::number(i) + "\r";
        text2 += "b" + QByteArray::number(i) + "\r";
    }
    Compare::Progress progress;
    progress.cancelled = true;
    const auto found =
        Compare::findLineDifferencesOfBoth(text1, text2, onTwoThreads, &progress, Ranges::Joined);
    QCOMPARE(found.in1.differences + found.in2.differences, qsizetype(0));
    QVERIFY(found.in1.red.empty() && found.in2.red.empty());
    QVERIFY(progress.done < progress.total / 10);
}

QTEST_GUILESS_MAIN(LinePairComparisonTest)
#include "test_line_pair_comparison.moc"
