#include <atomic>
#include <future>
#include <stdexcept>
#include <string>

#include <QTest>
#include <QThreadPool>

#include "base/BothAtOnce.h"

class BothAtOnceTest : public QObject
{
    Q_OBJECT

private slots:
    void bothRunAndFailuresReachTheCaller_data();
    void bothRunAndFailuresReachTheCaller();
};

void BothAtOnceTest::bothRunAndFailuresReachTheCaller_data()
{
    QTest::addColumn<bool>("firstThrows");
    QTest::addColumn<bool>("secondThrows");
    QTest::addColumn<bool>("poolBusy");  // its only thread waits until the call returns
    QTest::addColumn<QString>("caught"); // what reaches the caller, empty: nothing

    for (const bool busy : {false, true}) {
        const char *pool = busy ? "busy pool" : "free pool";
        QTest::addRow("neither fails, %s", pool) << false << false << busy << QString();
        QTest::addRow("first fails, %s", pool) << true << false << busy << "first";
        QTest::addRow("second fails, %s", pool) << false << true << busy << "second";
        QTest::addRow("both fail: the first's, %s", pool) << true << true << busy << "first";
    }
}

// Both sides always run to their end before the call returns, and a pool
// with no thread free does not keep it waiting.
void BothAtOnceTest::bothRunAndFailuresReachTheCaller()
{
    QFETCH(bool, firstThrows);
    QFETCH(bool, secondThrows);
    QFETCH(bool, poolBusy);
    QFETCH(QString, caught);

    QThreadPool pool;
    pool.setMaxThreadCount(1);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    if (poolBusy)
        pool.start([released] { released.wait(); });

    std::atomic<int> ran{0};
    QString reached;
    try {
        runBothAtOnce(
            [&] {
                ++ran;
                if (firstThrows)
                    throw std::runtime_error("first");
            },
            [&] {
                ++ran;
                if (secondThrows)
                    throw std::runtime_error("second");
            },
            pool);
    } catch (const std::runtime_error &e) {
        reached = QString::fromUtf8(e.what());
    }
    release.set_value();
    pool.waitForDone();
    QCOMPARE(ran.load(), 2);
    QCOMPARE(reached, caught);
}

QTEST_GUILESS_MAIN(BothAtOnceTest)
#include "test_both_at_once.moc"
