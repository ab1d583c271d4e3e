// The set of red runs a pane keeps, checked against a plain restatement: a
// flag per offset, whose maximal runs of set flags are the runs.
#include <QRandomGenerator>
#include <QTest>

#include "ColourRangeText.h"
#include "engine/RunSet.h"

using Compare::ColourRange;
using Compare::ColourRanges;
using Compare::RunSet;

namespace {

constexpr qsizetype kLength = 64;

struct Step
{
    bool add;
    ColourRanges ranges;
};

ColourRanges runsOf(const std::vector<bool> &flags)
{
    ColourRanges runs;
    for (qsizetype i = 0; i < qsizetype(flags.size()); ++i) {
        if (!flags[size_t(i)])
            continue;
        if (!runs.empty() && runs.back().start + runs.back().length == i)
            ++runs.back().length;
        else
            runs.push_back({i, 1});
    }
    return runs;
}

// Runs are packed in blocks of this many: from one a block (every step
// crosses blocks) to the size a pane uses.
constexpr int kBlockSizes[] = {1, 2, 3, RunSet::kBlockRuns};

// The set against the runs of `flags`: its runs, their count, each run by
// its index, and the index of every offset.
void compareWith(const RunSet &set, const std::vector<bool> &flags)
{
    const ColourRanges expected = runsOf(flags);
    QCOMPARE(set.runs(), expected);
    QCOMPARE(set.count(), qsizetype(expected.size()));
    for (qsizetype at = 0; at < qsizetype(flags.size()); ++at) {
        qsizetype index = -1;
        while (index + 1 < qsizetype(expected.size()) && expected[size_t(index + 1)].start <= at)
            ++index;
        QCOMPARE(set.indexAtOrBefore(at), index);
    }
    for (qsizetype i = 0; i < set.count(); ++i)
        QCOMPARE(set.at(i), expected[size_t(i)]);
}

// Checks the set against the flags after each step.
void checkSteps(const std::vector<Step> &steps, int blockRuns)
{
    RunSet set(blockRuns);
    std::vector<bool> flags(kLength, false);
    for (size_t s = 0; s < steps.size(); ++s) {
        const Step &step = steps[s];
        for (const ColourRange &r : step.ranges)
            for (qsizetype i = r.start; i < r.start + r.length; ++i)
                flags[size_t(i)] = step.add;
        step.add ? set.add(step.ranges) : set.remove(step.ranges);
        compareWith(set, flags);
        if (QTest::currentTestFailed())
            return;
    }
}

} // namespace

Q_DECLARE_METATYPE(std::vector<Step>)

class TestRunSet : public QObject
{
    Q_OBJECT

private slots:
    void stepsKeepTheRuns_data();
    void stepsKeepTheRuns();
    void randomSteps();
    void randomEdits();
};

void TestRunSet::stepsKeepTheRuns_data()
{
    QTest::addColumn<std::vector<Step>>("steps");
    QTest::newRow("nothing") << std::vector<Step>{{true, {}}, {false, {{0, 5}}}};
    QTest::newRow("appended in order")
        << std::vector<Step>{{true, {{1, 2}, {5, 1}}}, {true, {{8, 3}}}, {true, {{20, 1}}}};
    QTest::newRow("touching ranges join")
        << std::vector<Step>{{true, {{2, 3}}}, {true, {{5, 2}}}, {true, {{0, 2}}}};
    QTest::newRow("one range bridges several runs")
        << std::vector<Step>{{true, {{1, 1}, {4, 1}, {7, 1}, {10, 1}}}, {true, {{2, 8}}}};
    QTest::newRow("added before the first run")
        << std::vector<Step>{{true, {{10, 2}, {20, 2}}}, {true, {{3, 2}}}};
    QTest::newRow("removed from the front in slices")
        << std::vector<Step>{{true, {{1, 2}, {4, 2}, {7, 2}, {10, 2}, {13, 2}}},
                             {false, {{0, 5}}},
                             {false, {{5, 5}}},
                             {false, {{10, 10}}}};
    QTest::newRow("a run cut in two")
        << std::vector<Step>{{true, {{2, 10}}}, {false, {{5, 2}}}, {false, {{3, 1}}}};
    QTest::newRow("ends trimmed") << std::vector<Step>{{true, {{2, 6}, {10, 6}}},
                                                       {false, {{6, 6}}}};
    QTest::newRow("removed where there is none")
        << std::vector<Step>{{true, {{2, 2}}}, {false, {{5, 3}, {30, 4}}}};
    QTest::newRow("everything removed, then added again")
        << std::vector<Step>{{true, {{2, 2}, {6, 2}}}, {false, {{0, kLength}}}, {true, {{1, 1}}}};
}

void TestRunSet::stepsKeepTheRuns()
{
    QFETCH(std::vector<Step>, steps);
    for (const int blockRuns : kBlockSizes)
        checkSteps(steps, blockRuns);
}

// Many short sequences of random steps, each with sorted, apart ranges.
void TestRunSet::randomSteps()
{
    QRandomGenerator random(22);
    for (int round = 0; round < 300; ++round) {
        std::vector<Step> steps;
        for (int s = random.bounded(1, 8); s > 0; --s) {
            Step step{random.bounded(3) != 0, {}};
            for (qsizetype at = random.bounded(6); at < kLength; at += random.bounded(2, 12)) {
                const qsizetype length = std::min<qsizetype>(random.bounded(1, 8), kLength - at);
                step.ranges.push_back({at, length});
                at += length;
            }
            steps.push_back(step);
        }
        for (const int blockRuns : kBlockSizes)
            checkSteps(steps, blockRuns);
        if (QTest::currentTestFailed())
            return;
    }
}

// Edits of the text the runs colour, against the flags edited alike: the
// removed units go, the inserted ones come uncoloured.
void TestRunSet::randomEdits()
{
    QRandomGenerator random(23);
    for (int round = 0; round < 300; ++round) {
        for (const int blockRuns : kBlockSizes) {
            RunSet set(blockRuns);
            std::vector<bool> flags(kLength, false);
            for (qsizetype at = random.bounded(4); at < kLength; at += random.bounded(2, 6)) {
                const qsizetype length = std::min<qsizetype>(random.bounded(1, 5), kLength - at);
                set.add(ColourRanges{{at, length}});
                std::fill_n(flags.begin() + at, length, true);
                at += length;
            }
            for (int edit = random.bounded(1, 10); edit > 0; --edit) {
                const auto size = qsizetype(flags.size());
                const qsizetype at = random.bounded(size + 1);
                const qsizetype removed = random.bounded(std::min<qsizetype>(size - at, 6) + 1);
                const qsizetype inserted = random.bounded(4);
                set.followEdit(at, removed, inserted);
                flags.erase(flags.begin() + at, flags.begin() + at + removed);
                flags.insert(flags.begin() + at, size_t(inserted), false);
                compareWith(set, flags);
                if (QTest::currentTestFailed())
                    return;
            }
        }
    }
}

QTEST_APPLESS_MAIN(TestRunSet)
#include "test_run_set.moc"
