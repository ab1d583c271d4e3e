// Long runs keep the window live and show their progress; short ones do not.
#include <chrono>
#include <stdexcept>
#include <thread>

#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "base/AppError.h"
#include "runner/BackgroundRun.h"

using namespace std::chrono_literals;

class TestEngineRun : public QObject
{
    Q_OBJECT

private slots:
    void progressDialogOnlyForLongRuns_data();
    void progressDialogOnlyForLongRuns();
    void failureReachesTheCaller();
    void cancelStopsTheWork_data();
    void cancelStopsTheWork();
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
// to stop, and the run reports that it did not finish.
void TestEngineRun::cancelStopsTheWork()
{
    QFETCH(bool, offered);
    QWidget window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    bool sawButton = false;
    QTimer press;
    connect(&press, &QTimer::timeout, this, [&] {
        auto *dialog = window.findChild<QProgressDialog *>();
        auto *button = dialog ? dialog->findChild<QPushButton *>() : nullptr;
        if (button && button->isVisible()) {
            sawButton = true;
            button->click();
        }
    });
    press.start(50);
    Compare::Progress progress;
    const auto started = std::chrono::steady_clock::now();
    const bool finished = runInBackground(
        &window, QStringLiteral("Reading..."), progress,
        [&] {
            // Long enough for the dialog; stops at once when cancelled.
            while (!progress.cancelled && std::chrono::steady_clock::now() - started < 1500ms)
                std::this_thread::sleep_for(5ms);
        },
        offered ? Cancel::Offered : Cancel::NotOffered);
    press.stop();
    QCOMPARE(sawButton, offered);
    QCOMPARE(finished, !offered);
    QCOMPARE(progress.cancelled.load(), offered);
    if (offered)
        QVERIFY(std::chrono::steady_clock::now() - started < 1400ms);
}

QTEST_MAIN(TestEngineRun)
#include "test_background_run.moc"
