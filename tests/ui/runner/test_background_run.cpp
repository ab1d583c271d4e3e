// Long runs keep the window live and show their progress; short ones do not.
#include <chrono>
#include <stdexcept>
#include <thread>

#include <QProgressDialog>
#include <QTest>
#include <QTimer>

#include "runner/BackgroundRun.h"
#include "base/AppError.h"

class TestEngineRun : public QObject
{
    Q_OBJECT

private slots:
    void progressDialogOnlyForLongRuns_data();
    void progressDialogOnlyForLongRuns();
    void failureReachesTheCaller();
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

QTEST_MAIN(TestEngineRun)
#include "test_background_run.moc"
