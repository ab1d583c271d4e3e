// Reading whole files by name: regular files, streams read or refused, and
// every failure said with the file's name.

#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "base/ArgumentText.h"
#include "io/FileReader.h"

class FileReaderTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void reads_data();
    void reads();
    void progressCountsTheFile();
    void cancelledReadGivesNothing();
    void namedPipes();

private:
    QString write(const QString &name, const QByteArray &bytes);

    QTemporaryDir m_dir;
    QByteArray m_notUtf8; // QTemporaryDir cannot name it to remove it
};

QString FileReaderTest::write(const QString &name, const QByteArray &bytes)
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void FileReaderTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void FileReaderTest::cleanupTestCase()
{
    if (!m_notUtf8.isEmpty())
        ::unlink(m_notUtf8.constData());
}

void FileReaderTest::reads_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("refuseStreams");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("error"); // after "NAME: "

    QByteArray large; // more than one chunk read at a time
    while (large.size() < 9 * 1024 * 1024)
        large += "row " + QByteArray::number(large.size()) + ",value\r\n";
    const QString regular = write("a.csv", "id\r\n1\r\n");
    const QString empty = write("empty.csv", "");
    const QString big = write("big.csv", large);
    // Large enough to be read in two halves at once; no byte repeats its
    // neighbour's place, so a half read to the wrong offset shows.
    QByteArray huge(64 * 1024 * 1024 + 13, Qt::Uninitialized);
    for (qsizetype i = 0; i < huge.size(); ++i)
        huge[i] = char((i * 7) % 251);
    const QString halves = write("halves.csv", huge);
    const QString missing = m_dir.filePath("missing.csv");
    const QString throughFile = regular + "/x.csv";
#ifndef Q_OS_WIN // Windows names files in UTF-16: every name is text there
    // A name that is not UTF-8, opened by its bytes.
    const QString latin1 = m_dir.path() + u'/' + Args::argumentText("lat\xe9.csv");
    write(QStringLiteral("lat-placeholder"), "caf\xe9\r\n");
    m_notUtf8 = Args::argumentBytes(latin1);
    QVERIFY(::rename(QFile::encodeName(m_dir.filePath("lat-placeholder")).constData(),
                     m_notUtf8.constData())
            == 0);
#endif

    for (const bool refuse : {false, true}) {
        const char *how = refuse ? "streams refused" : "streams read";
        QTest::addRow("regular file, %s", how)
            << regular << refuse << QByteArray("id\r\n1\r\n") << QString();
        QTest::addRow("empty file, %s", how) << empty << refuse << QByteArray() << QString();
        QTest::addRow("larger than a chunk, %s", how) << big << refuse << large << QString();
        QTest::addRow("read in halves, %s", how) << halves << refuse << huge << QString();
        QTest::addRow("missing, %s", how) << missing << refuse << QByteArray() << "File not found";
        QTest::addRow("folder, %s", how)
            << m_dir.path() << refuse << QByteArray() << "It is a folder, not a file";
#ifdef Q_OS_WIN // Windows tells this apart from a missing folder by no code
        QTest::addRow("path through a file, %s", how)
            << throughFile << refuse << QByteArray() << "File not found";
#else
        QTest::addRow("path through a file, %s", how)
            << throughFile << refuse << QByteArray()
            << "A part of its path is a file, not a folder";
#endif
#ifndef Q_OS_WIN
        QTest::addRow("name not UTF-8, %s", how)
            << latin1 << refuse << QByteArray("caf\xe9\r\n") << QString();
#endif
    }
#ifndef Q_OS_WIN // no devices among Windows' files
    QTest::newRow("device, read") << "/dev/null" << false << QByteArray() << QString();
    QTest::newRow("device, refused")
        << "/dev/null" << true << QByteArray() << "It is a pipe or a device, not a file";
#endif
}

void FileReaderTest::reads()
{
    QFETCH(QString, name);
    QFETCH(bool, refuseStreams);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, error);

    const Files::FileBytes read =
        Files::readFileBytes(name, refuseStreams ? Files::Streams::Refused : Files::Streams::Read);
    QCOMPARE(read.error, error.isEmpty() ? QString() : name + QStringLiteral(": ") + error);
    QCOMPARE(read.bytes, bytes);
    QCOMPARE(read.ok(), error.isEmpty());
    QVERIFY(!read.cancelled);
}

void FileReaderTest::progressCountsTheFile()
{
    const QByteArray bytes(64 * 1024 * 1024 + 5, 'x'); // read in two halves
    const QString path = write("progress.csv", bytes);
    Compare::Progress progress;
    const Files::FileBytes read = Files::readFileBytes(path, Files::Streams::Read, &progress);
    QVERIFY(read.ok());
    QCOMPARE(read.bytes.size(), bytes.size());
    QCOMPARE(progress.total.load(), qint64(bytes.size()));
    QCOMPARE(progress.done.load(), qint64(bytes.size()));
}

void FileReaderTest::cancelledReadGivesNothing()
{
    const QString path = write("cancelled.csv", "a\r\n");
    Compare::Progress progress;
    progress.cancelled = true;
    const Files::FileBytes read = Files::readFileBytes(path, Files::Streams::Read, &progress);
    QVERIFY(read.cancelled);
    QVERIFY(!read.ok());
    QVERIFY(read.bytes.isEmpty());
    QVERIFY(read.error.isEmpty());
}

// A named pipe is read to its end once its writer comes, or refused at once
// when streams are: a window must not wait for a writer that never comes.
void FileReaderTest::namedPipes()
{
#ifdef Q_OS_WIN
    QSKIP("Windows has no named pipes among its files");
#else
    const QString fifo = m_dir.filePath("fifo");
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

    const Files::FileBytes refused = Files::readFileBytes(fifo, Files::Streams::Refused);
    QCOMPARE(refused.error, fifo + QStringLiteral(": It is a pipe or a device, not a file"));

    QByteArray sent;
    for (int i = 0; sent.size() < 300 * 1024; ++i) // several reads' worth
        sent += QByteArray::number(i) + ",x\n";
    std::thread writer([&] {
        QFile pipe(fifo);
        if (pipe.open(QIODevice::WriteOnly))
            pipe.write(sent);
    });
    const Files::FileBytes read = Files::readFileBytes(fifo, Files::Streams::Read);
    writer.join();
    QVERIFY(read.ok());
    QCOMPARE(read.bytes, sent);
#endif
}

QTEST_GUILESS_MAIN(FileReaderTest)
#include "test_file_reader.moc"
