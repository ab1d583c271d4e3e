// corvantis-cli rows within --memory: its temporary files are gone however
// the program ends, a full disk is an error said plainly with nothing on
// standard output, and the option's values are checked. POSIX: signals,
// /proc and a tmpfs of a user namespace.

#include <csignal>

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <QThread>

#include "CliRun.h"

namespace {

// Two files of `rows` rows, a few hundred thousand so that a comparison
// split into parts takes long enough to be stopped halfway.
void writePair(const CliRun &cli, int rows)
{
    QByteArray one = "id,name,amount\n";
    QByteArray two = one;
    for (int i = 0; i < rows; ++i) {
        const QByteArray id = QByteArray::number((i * 7919LL) % 1000003);
        one += id + ",name" + QByteArray::number(i % 97) + ',' + QByteArray::number(i) + '\n';
        if (i % 10 != 3)
            two += id + ",name" + QByteArray::number(i % 89) + ',' + QByteArray::number(i) + '\n';
    }
    cli.write(QStringLiteral("one.csv"), one);
    cli.write(QStringLiteral("two.csv"), two);
}

// Whether the process holds a file of `folder` open (named no more).
bool holdsFileIn(qint64 pid, const QString &folder)
{
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QFileInfo &fd :
         fds.entryInfoList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System)) {
        if (fd.symLinkTarget().startsWith(folder + QLatin1Char('/')))
            return true;
    }
    return false;
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden);
}

} // namespace

class CliMemoryTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void goneAfterSignal_data();
    void goneAfterSignal();
    void goneAfterClosedPipe();
    void fullDisk();
    void memoryValues_data();
    void memoryValues();

private:
    CliRun m_cli;
    QString m_tmp;
};

void CliMemoryTest::initTestCase()
{
    QVERIFY(m_cli.isValid());
    writePair(m_cli, 600000);
    m_tmp = m_cli.path(QStringLiteral("tmp"));
    QVERIFY(QDir().mkpath(m_tmp));
}

void CliMemoryTest::goneAfterSignal_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("Ctrl+C") << int(SIGINT);
    QTest::newRow("terminated") << int(SIGTERM);
    QTest::newRow("killed") << int(SIGKILL);
}

// Stopped while its parts are on disk, the program leaves nothing behind.
void CliMemoryTest::goneAfterSignal()
{
    QFETCH(int, signal);
    QProcess process;
    process.setWorkingDirectory(m_cli.folder());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), m_tmp);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(CORVANTIS_CLI),
                  {QStringLiteral("rows"), QStringLiteral("one.csv"), QStringLiteral("two.csv"),
                   QStringLiteral("--key"), QStringLiteral("id"), QStringLiteral("--memory"),
                   QStringLiteral("1M"), QStringLiteral("-q")});
    QVERIFY(process.waitForStarted());
    QElapsedTimer waited;
    waited.start();
    bool caught = false;
    while (!caught && waited.elapsed() < 20000) {
        caught = holdsFileIn(process.processId(), QDir(m_tmp).canonicalPath());
        if (!caught)
            QThread::msleep(2);
    }
    QVERIFY2(caught, "the program ended before it wrote a part");
    ::kill(pid_t(process.processId()), signal);
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(process.exitStatus(), QProcess::CrashExit);
    QCOMPARE(entries(m_tmp), QStringList());
}

// A reader that goes away ends the program by SIGPIPE, or by a write error
// where SIGPIPE is ignored: its parts go with it either way.
void CliMemoryTest::goneAfterClosedPipe()
{
    const CliRun::Result result = m_cli.runInShell(
        "TMPDIR=tmp \"$0\" rows one.csv two.csv --key id --memory 1M | head -c 10 >/dev/null; "
        "echo \"$?\"");
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(entries(m_tmp), QStringList());
}

// A full disk (a small tmpfs, mounted in a user namespace of the test's own)
// is exit status 2, said as the system says it, with nothing on standard
// output that could pass for a report.
void CliMemoryTest::fullDisk()
{
    const CliRun::Result probe =
        m_cli.runInShell("unshare -rm sh -c 'mount -t tmpfs -o size=64k none tmp && echo ok'");
    if (!probe.out.startsWith("ok"))
        QSKIP("no user namespace to mount a small tmpfs in");
    const CliRun::Result result = m_cli.runInShell(
        "unshare -rm sh -c 'mount -t tmpfs -o size=64k none tmp && TMPDIR=tmp \"$0\" rows "
        "one.csv two.csv --key id --memory 1M > report.txt; echo \"status $?\" >&2; "
        "ls -A tmp; wc -c < report.txt' \"$0\"");
    QVERIFY2(result.err.contains("No space left on device"), result.err.constData());
    QVERIFY2(result.err.contains("corvantis-cli: Cannot write a temporary file in "),
             result.err.constData());
    QVERIFY2(result.err.contains("status 2\n"), result.err.constData());
    QCOMPARE(result.out, QByteArray("0\n")); // no file left in tmp, an empty report
}

void CliMemoryTest::memoryValues_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("status");
    QTest::newRow("bytes") << QStringLiteral("100000") << 1;
    QTest::newRow("kibibytes") << QStringLiteral("64k") << 1;
    QTest::newRow("gibibytes") << QStringLiteral("4G") << 1;
    QTest::newRow("zero") << QStringLiteral("0") << 2;
    QTest::newRow("no number") << QStringLiteral("G") << 2;
    QTest::newRow("unit unknown") << QStringLiteral("4X") << 2;
    QTest::newRow("fraction") << QStringLiteral("1.5G") << 2;
    QTest::newRow("negative") << QStringLiteral("-1") << 2;
    QTest::newRow("overflow") << QStringLiteral("99999999999T") << 2;
}

// Small budgets compare the small pair as the default does; a value that is
// no size is refused before anything is read.
void CliMemoryTest::memoryValues()
{
    QFETCH(QString, value);
    QFETCH(int, status);
    const QString small1 = m_cli.write(QStringLiteral("s1.csv"), "id,v\n1,a\n2,b\n3,c\n");
    const QString small2 = m_cli.write(QStringLiteral("s2.csv"), "id,v\n3,c\n2,x\n4,d\n");
    const QStringList arguments{QStringLiteral("rows"), small1, small2, QStringLiteral("--key"),
                                QStringLiteral("id")};
    const CliRun::Result plain = m_cli.run(arguments);
    const CliRun::Result bounded =
        m_cli.run(arguments + QStringList{QStringLiteral("--memory"), value});
    QCOMPARE(bounded.exitCode, status);
    if (status == 2) {
        QVERIFY2(bounded.err.contains("--memory takes a size"), bounded.err.constData());
        QVERIFY(bounded.out.isEmpty());
    } else {
        QCOMPARE(bounded.out, plain.out);
    }
}

QTEST_GUILESS_MAIN(CliMemoryTest)
#include "test_cli_memory.moc"
