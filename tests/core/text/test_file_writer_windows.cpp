// Writing a whole file on Windows: the names and paths Windows users have
// (drive letters, backslashes, long paths, any script), the file replaced
// whole or not at all, and what Windows refuses, said with the file's name.
#include <array>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <qt_windows.h>

#include "text/FileWriter.h"

using namespace Qt::StringLiterals;

namespace {

const QByteArray kOld("what the user had\r\n");
const QByteArray kNew("id,city\r\n1,Zürich\r\n2,Αθήνα\r\n3,北京\r\n");

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void put(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

// Everything in `folder`, hidden and system files too: a temporary copy
// left behind shows here.
QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                  | QDir::NoDotAndDotDot);
}

// A folder whose path is longer than MAX_PATH (260), under `base`.
QString longFolder(const QString &base)
{
    QString folder = base;
    for (int i = 0; folder.size() <= MAX_PATH; ++i)
        folder += u'/' + QString(60, QChar(u'a' + i));
    return folder;
}

} // namespace

class TestFileWriterWindows : public QObject
{
    Q_OBJECT

private slots:
    void writes_data();
    void writes();
    void refused_data();
    void refused();
    void stoppedWriteKeepsTheOldFile_data();
    void stoppedWriteKeepsTheOldFile();
};

void TestFileWriterWindows::writes_data()
{
    QTest::addColumn<QString>("name");   // under a temporary folder
    QTest::addColumn<bool>("backslash"); // spelled C:\...\name, as Windows shows paths
    QTest::addColumn<bool>("exists");    // an old file is replaced
    QTest::newRow("new file, drive letter and backslashes") << u"results.txt"_s << true << false;
    QTest::newRow("replaced, drive letter and backslashes") << u"results.txt"_s << true << true;
    QTest::newRow("replaced, drive letter and slashes") << u"results.txt"_s << false << true;
    QTest::newRow("Greek name") << u"αποτελέσματα.csv"_s << true << true;
    QTest::newRow("Chinese name") << u"比较结果.csv"_s << true << true;
    QTest::newRow("Greek and Chinese folder") << u"Έγγραφα/文件/results.csv"_s << true << false;
    QTest::newRow("path longer than 260 characters, new")
        << u"<long>/results.csv"_s << true << false;
    QTest::newRow("path longer than 260 characters, replaced")
        << u"<long>/results.csv"_s << false << true;
}

void TestFileWriterWindows::writes()
{
    QFETCH(QString, name);
    QFETCH(bool, backslash);
    QFETCH(bool, exists);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    name.replace(u"<long>"_s, longFolder(u"long"_s));
    QString path = dir.filePath(name);
    const QString folder = QFileInfo(path).absolutePath();
    QVERIFY(QDir().mkpath(folder));
    if (exists)
        put(path, kOld);
    if (backslash)
        path = QDir::toNativeSeparators(path);
    QVERIFY2(path.size() > 2 && path.at(0).isLetter() && path.at(1) == u':', qPrintable(path));

    const std::optional<QString> error = Files::writeWholeFile(path, kNew);

    QVERIFY2(!error, qPrintable(error.value_or(QString())));
    QCOMPARE(contents(path), kNew);
    // The file under the name it was given, and no temporary copy beside it.
    QCOMPARE(entries(folder), QStringList{QFileInfo(path).fileName()});
}

void TestFileWriterWindows::refused_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("setup"); // "read-only", "held open", "folder"
    QTest::newRow("read-only file") << u"results.txt"_s << u"read-only"_s;
    QTest::newRow("read-only file, path longer than 260 characters")
        << u"<long>/results.txt"_s << u"read-only"_s;
    QTest::newRow("read-only file with a Greek and Chinese name")
        << u"Αποτελέσματα 结果.txt"_s << u"read-only"_s;
    // Another program has it open and lets no one delete it (as QFile opens
    // files): it cannot be replaced, and must not be half written.
    QTest::newRow("held open by another program") << u"results.txt"_s << u"held open"_s;
    QTest::newRow("a folder") << u"results.txt"_s << u"folder"_s;
}

void TestFileWriterWindows::refused()
{
    QFETCH(QString, name);
    QFETCH(QString, setup);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    name.replace(u"<long>"_s, longFolder(u"long"_s));
    const QString path = QDir::toNativeSeparators(dir.filePath(name));
    const QString folder = QFileInfo(path).absolutePath();
    QVERIFY(QDir().mkpath(folder));
    QFile holder(path);
    if (setup == u"folder") {
        QVERIFY(QDir().mkdir(path));
    } else {
        put(path, kOld);
    }
    if (setup == u"read-only")
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadUser));
    if (setup == u"held open")
        QVERIFY(holder.open(QIODevice::ReadOnly));
    const QStringList before = entries(folder);

    const std::optional<QString> error = Files::writeWholeFile(path, kNew);

    holder.close();
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner); // so it can be removed
    QVERIFY2(error, "the write should have been refused");
    QVERIFY2(error->contains(path), qPrintable(*error)); // named as Windows shows it
    // The reason in words that fit: a read-only file is not "invalid data".
    const QString reason = setup == u"folder"      ? u"directory"_s
                           : setup == u"read-only" ? u"ermission denied"_s
                                                   : QString();
    QVERIFY2(error->contains(reason), qPrintable(*error));
    if (setup != u"folder")
        QCOMPARE(contents(path), kOld);
    QCOMPARE(entries(folder), before);
}

void TestFileWriterWindows::stoppedWriteKeepsTheOldFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("stopAfter"); // stop at the n-th report (0: the first), -1: never
    QTest::newRow("stopped after the first slice") << u"results.txt"_s << 1;
    QTest::newRow("stopped after the last byte, before the file is replaced")
        << u"results.txt"_s << 5;
    QTest::newRow("stopped midway, Chinese name") << u"结果.txt"_s << 2;
    QTest::newRow("never stopped, Greek name") << u"αποτελέσματα.txt"_s << -1;
}

void TestFileWriterWindows::stoppedWriteKeepsTheOldFile()
{
    QFETCH(QString, name);
    QFETCH(int, stopAfter);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = QDir::toNativeSeparators(dir.filePath(name));
    put(path, kOld);
    // Three 4 MiB slices and a short piece: reports 0 (before), 1, 2, 3 (slices),
    // then the last piece's and 0 again before the file is replaced.
    const QByteArray big(3 * (4 << 20), 'x');
    const QByteArray tail("\r\n");
    const std::array<QByteArrayView, 2> pieces{big, tail};
    int reports = 0;
    const Files::WriteResult result = Files::writeWholeFile(
        path, pieces, [&](qint64) { return stopAfter < 0 || reports++ < stopAfter; });

    QCOMPARE(result.status, stopAfter < 0 ? Files::WriteResult::Status::Written
                                          : Files::WriteResult::Status::Stopped);
    QCOMPARE(contents(path), stopAfter < 0 ? big + tail : kOld);
    QCOMPARE(entries(dir.path()), QStringList{name});
}

QTEST_APPLESS_MAIN(TestFileWriterWindows)
#include "test_file_writer_windows.moc"
