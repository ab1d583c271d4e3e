#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <QtTest>

#include "ProgressLine.h"

using namespace std::chrono_literals;

// The progress line shows on a terminal only, only after its delay, never
// when quiet, and leaves the terminal's line empty when it goes.
class ProgressLineTest : public QObject
{
    Q_OBJECT

private slots:
    void shownOnlyWhereItShould_data();
    void shownOnlyWhereItShould();
};

namespace {

// What has been written to the other end of `fd`, without waiting.
QByteArray drain(int fd)
{
    QByteArray read;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return read;
        read.append(buffer, qsizetype(n));
    }
}

} // namespace

void ProgressLineTest::shownOnlyWhereItShould_data()
{
    QTest::addColumn<bool>("terminal");
    QTest::addColumn<bool>("quiet");
    QTest::addColumn<int>("quietForMs");
    QTest::addColumn<QByteArray>("expected"); // empty: nothing written at all

    const QByteArray shown = "\r\033[Kcorvantis-cli: comparing 0%"
                             "\r\033[Kcorvantis-cli: comparing 50%\r\033[K";
    QTest::newRow("terminal") << true << false << 0 << shown;
    QTest::newRow("terminal, quiet") << true << true << 0 << QByteArray();
    QTest::newRow("terminal, work shorter than the delay")
        << true << false << 3600000 << QByteArray();
    QTest::newRow("redirected") << false << false << 0 << QByteArray();
}

void ProgressLineTest::shownOnlyWhereItShould()
{
    QFETCH(bool, terminal);
    QFETCH(bool, quiet);
    QFETCH(int, quietForMs);
    QFETCH(QByteArray, expected);

    int ends[2];
    if (terminal) {
        QCOMPARE(::openpty(&ends[0], &ends[1], nullptr, nullptr, nullptr), 0);
        termios raw{};
        QCOMPARE(::tcgetattr(ends[1], &raw), 0);
        ::cfmakeraw(&raw); // bytes as written, no CR added
        QCOMPARE(::tcsetattr(ends[1], TCSANOW, &raw), 0);
    } else {
        QCOMPARE(::pipe(ends), 0);
    }
    QCOMPARE(::fcntl(ends[0], F_SETFL, O_NONBLOCK), 0);
    {
        Cli::ProgressLine line(quiet, ends[1], std::chrono::milliseconds(quietForMs));
        if (Csv::WorkControl *control = line.control()) {
            control->start(Csv::WorkPhase::Comparing, 100);
            QThread::msleep(150); // past the control's interval between reports
            control->advance(50);
        } else {
            QVERIFY(!terminal || quiet);
        }
    } // gone: the line is erased
    QTest::qWait(20);
    QCOMPARE(drain(ends[0]), expected);
    ::close(ends[0]);
    ::close(ends[1]);
}

QTEST_GUILESS_MAIN(ProgressLineTest)
#include "test_progress_line.moc"
