// Long runs keep the window live and show their progress; short ones do not.
#include <chrono>
#include <stdexcept>
#include <thread>

#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QThreadPool>
#include <QTimer>

#include "base/AppError.h"
#include "pane/RichTextBox.h"
#include "runner/BackgroundRun.h"

using namespace std::chrono_literals;

class TestEngineRun : public QObject
{
    Q_OBJECT

private slots:
    void progressDialogOnlyForLongRuns_data();
    void progressDialogOnlyForLongRuns();
    void failureReachesTheCaller();
    void painterPoolStartsAndFrees();
    void cancelStopsTheWork_data();
    void cancelStopsTheWork();
    void colourInSlicesColoursEveryByte_data();
    void colourInSlicesColoursEveryByte();
};

void TestEngineRun::progressDialogOnlyForLongRuns_data()
{
    QTest::addColumn<int>("workMs");
    QTest::addColumn<bool>("dialogShown");
    QTest::newRow("short run") << 50 << false;
    QTest::newRow("long run") << 1200 << true;
}

void TestEngineRun::progressDialogOnlyForLongRuns()
{
    QFETCH(int, workMs);
    QFETCH(bool, dialogShown);
    QWidget window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    bool sawDialog = false;
    int ticks = 0;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        ++ticks;
        if (auto *dialog = window.findChild<QProgressDialog *>())
            sawDialog = sawDialog || dialog->isVisible();
    });
    watch.start(20);
    int result = 0;
    Compare::Progress progress;
    runInBackground(&window, QStringLiteral("Working..."), progress, [&] {
        progress.total = 100;
        std::this_thread::sleep_for(std::chrono::milliseconds(workMs));
        progress.add(100);
        result = 42;
    });
    watch.stop();
    QCOMPARE(result, 42);
    QCOMPARE(sawDialog, dialogShown);
    QVERIFY2(ticks >= workMs / 40, "the window's events did not run during the work");
    QVERIFY(!window.findChild<QProgressDialog *>());
}

// Qt's pool, which painting shares out work to, is started whole before any
// work, its threads kept, and every thread is free again once all started.
void TestEngineRun::painterPoolStartsAndFrees()
{
    prepareForBackgroundWork();
    prepareForBackgroundWork(); // once is all it takes
    QThreadPool &pool = *QThreadPool::globalInstance();
    QVERIFY(pool.waitForDone(10000));
    QCOMPARE(pool.activeThreadCount(), 0);
    QCOMPARE(pool.expiryTimeout(), -1);
}

void TestEngineRun::failureReachesTheCaller()
{
    QWidget window;
    try {
        Compare::Progress progress;
        runInBackground(&window, QString(), progress,
                        [] { throw AppError(QStringLiteral("engine failed")); });
        QFAIL("the failure was lost");
    } catch (const AppError &e) {
        QCOMPARE(e.description(), QStringLiteral("engine failed"));
    }
}

void TestEngineRun::cancelStopsTheWork_data()
{
    QTest::addColumn<bool>("offered");
    QTest::newRow("Cancel offered and pressed") << true;
    QTest::newRow("no Cancel button") << false;
}

// A Cancel button shows only where it is offered; pressing it tells the work
// to stop, and the run reports that it did not finish. The box does not come
// back while the work winds down.
void TestEngineRun::cancelStopsTheWork()
{
    QFETCH(bool, offered);
    QWidget window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    int presses = 0;
    QTimer press;
    connect(&press, &QTimer::timeout, this, [&] {
        auto *dialog = window.findChild<QProgressDialog *>();
        auto *button = dialog ? dialog->findChild<QPushButton *>() : nullptr;
        if (button && button->isVisible()) {
            ++presses;
            button->click();
        }
    });
    press.start(50);
    Compare::Progress progress;
    progress.total = 100; // a bar that moves, set at every tick
    const auto started = std::chrono::steady_clock::now();
    const bool finished = runInBackground(
        &window, QStringLiteral("Reading..."), progress,
        [&] {
            // Long enough for the dialog; stops at once when cancelled.
            while (!progress.cancelled && std::chrono::steady_clock::now() - started < 1500ms)
                std::this_thread::sleep_for(5ms);
            // Winding down takes a few of the box's ticks, and moves the bar.
            for (int i = 0; progress.cancelled && i < 35; ++i) {
                progress.add(1);
                std::this_thread::sleep_for(10ms);
            }
        },
        offered ? Cancel::Offered : Cancel::NotOffered);
    press.stop();
    QCOMPARE(presses, offered ? 1 : 0);
    QCOMPARE(finished, !offered);
    QCOMPARE(progress.cancelled.load(), offered);
    if (offered)
        QVERIFY(std::chrono::steady_clock::now() - started < 1400ms);
}

void TestEngineRun::colourInSlicesColoursEveryByte_data()
{
    // Byte ranges of a 3 MB text; the call colours a megabyte at a time.
    QTest::addColumn<Compare::ColourRanges>("ranges");
    constexpr qsizetype mb = qsizetype(1) << 20;
    QTest::newRow("one run over most of the text") << Compare::ColourRanges{{10, 2 * mb + 5}};
    QTest::newRow("a short run, then a long one")
        << Compare::ColourRanges{{0, 3}, {5, mb + 1}, {mb + 7, mb}};
    QTest::newRow("many short runs") << [] {
        Compare::ColourRanges many;
        for (qsizetype at = 1; at < 3 * mb - 10; at += 9)
            many.push_back({at, 4});
        return many;
    }();
    QTest::newRow("the whole text") << Compare::ColourRanges{{0, 3 * mb}};
}

void TestEngineRun::colourInSlicesColoursEveryByte()
{
    QFETCH(Compare::ColourRanges, ranges);
    RichTextBox pane(QStringLiteral("pane"));
    pane.setBytes(QByteArray(3 << 20, 'a'));
    colourInSlices(pane, ranges, kRed);
    // The runs as laid, joined where they touch, and the colours on the text.
    Compare::RunSet expected;
    expected.add(ranges);
    QCOMPARE(pane.redRuns().runs(), expected.runs());
    for (const Compare::ColourRange &r : std::vector{ranges.front(), ranges.back()}) {
        QCOMPARE(pane.colourAt(r.start), kRed);
        QCOMPARE(pane.colourAt(r.start + r.length - 1), kRed);
        if (r.start + r.length < pane.textLength())
            QCOMPARE(pane.colourAt(r.start + r.length), kBlack);
    }
}

QTEST_MAIN(TestEngineRun)
#include "test_background_run.moc"
