// Writing a whole file: what the file keeps (links, owner, mode) and what is
// refused, with the reason the user is told.
#include <array>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include "text/FileWriter.h"

using namespace Qt::StringLiterals;

namespace {

const QByteArray kOld("what the user had\r\n");
const QByteArray kNew("id,city\r\n1,Zürich\r\n");

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

struct stat statOf(const QString &path)
{
    struct stat st
    {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        qFatal("cannot stat %s", qPrintable(path));
    return st;
}

bool isRoot()
{
    return ::geteuid() == 0;
}

} // namespace

class TestFileWriter : public QObject
{
    Q_OBJECT

private slots:
    void keepsWhatTheFileIs_data();
    void keepsWhatTheFileIs();
    void refused_data();
    void refused();
    void readOnlyFolderWritesInPlace();
    void stoppedWriteKeepsTheOldFile_data();
    void stoppedWriteKeepsTheOldFile();
    void specialFileKind_data();
    void specialFileKind();
};

void TestFileWriter::keepsWhatTheFileIs_data()
{
    QTest::addColumn<QString>("setup");
    QTest::newRow("new file") << u"new"_s;
    QTest::newRow("mode 0640 kept") << u"0640"_s;
    QTest::newRow("mode 0755 kept") << u"0755"_s;
    QTest::newRow("read-only mode 0444 kept") << u"0444"_s;
    QTest::newRow("hard links kept") << u"hard link"_s;
    QTest::newRow("symbolic link kept") << u"symlink"_s;
    QTest::newRow("another owner kept") << u"owner"_s;
}

void TestFileWriter::keepsWhatTheFileIs()
{
    QFETCH(QString, setup);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"results.txt"_s);
    const QString other = dir.filePath(u"other.txt"_s);
    if (setup != u"new")
        put(path, kOld);
    bool ok = true;
    if (setup.startsWith(u'0')) {
        if (setup == u"0444" && !isRoot())
            QSKIP("only the superuser may write a read-only file");
        ok = ::chmod(QFile::encodeName(path).constData(), mode_t(setup.toUInt(nullptr, 8))) == 0;
    } else if (setup == u"hard link") {
        ok = ::link(QFile::encodeName(path).constData(), QFile::encodeName(other).constData()) == 0;
    } else if (setup == u"symlink") {
        QFile::rename(path, other);
        ok = QFile::link(other, path);
    } else if (setup == u"owner") {
        if (!isRoot())
            QSKIP("only the superuser can give a file to another user");
        ok = ::chown(QFile::encodeName(path).constData(), 65534, 65534) == 0;
    }
    QVERIFY(ok);
    struct stat before
    {};
    if (setup != u"new")
        before = statOf(setup == u"symlink" ? other : path);

    const std::optional<QString> error = Files::writeWholeFile(path, kNew);

    QVERIFY2(!error, qPrintable(error.value_or(QString())));
    QCOMPARE(contents(path), kNew);
    if (setup == u"new")
        return;
    const struct stat after = statOf(path);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(after.st_uid, before.st_uid);
    QCOMPARE(after.st_gid, before.st_gid);
    if (setup == u"hard link") {
        QCOMPARE(contents(other), kNew);
        QCOMPARE(after.st_ino, before.st_ino);
    }
    if (setup == u"symlink") {
        QCOMPARE(contents(other), kNew);
        QVERIFY(QFileInfo(path).isSymLink());
    }
    // Nothing is left beside it.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(),
             (setup == u"hard link" || setup == u"symlink") ? 2 : 1);
}

void TestFileWriter::refused_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("reason");    // the report says this
    QTest::addColumn<QString>("notReason"); // and not this
    QTest::newRow("named pipe") << u"fifo"_s << u"named pipe"_s << QString();
    QTest::newRow("device") << u"/dev/null"_s << u"device"_s << QString();
    QTest::newRow("folder") << u"folder"_s << qt_error_string(EISDIR) << QString();
    QTest::newRow("missing folder")
        << u"missing/results.txt"_s << qt_error_string(ENOENT) << QString();
    // It exists; the reason is why it cannot be written, not the temporary file's.
    QTest::newRow("/proc/version") << u"/proc/version"_s << QString() << qt_error_string(ENOENT);
}

void TestFileWriter::refused()
{
    QFETCH(QString, target);
    QFETCH(QString, reason);
    QFETCH(QString, notReason);
    QTemporaryDir dir;
    QString path = target.startsWith(u'/') ? target : dir.filePath(target);
    if (target == u"fifo" && ::mkfifo(QFile::encodeName(path).constData(), 0600) != 0)
        QSKIP("cannot make a named pipe here");
    if (target == u"folder")
        QVERIFY(QDir().mkdir(path));
    if (target.startsWith(u'/') && !QFile::exists(path))
        QSKIP("this system has no such file");
    const QByteArray old = target == u"/proc/version" ? contents(path) : QByteArray();

    QElapsedTimer clock;
    clock.start();
    const std::optional<QString> error = Files::writeWholeFile(path, kNew);

    QVERIFY(clock.elapsed() < 5000); // a pipe is never opened, so nothing waits
    QVERIFY2(error, "the write should have been refused");
    QVERIFY2(error->contains(QDir::toNativeSeparators(path)), qPrintable(*error));
    QVERIFY2(error->contains(reason), qPrintable(*error));
    if (!notReason.isEmpty())
        QVERIFY2(!error->contains(notReason), qPrintable(*error));
    if (target == u"fifo")
        QVERIFY(S_ISFIFO(statOf(path).st_mode));
    if (target == u"/proc/version")
        QCOMPARE(contents(path), old);
}

void TestFileWriter::readOnlyFolderWritesInPlace()
{
    if (isRoot())
        QSKIP("a read-only folder does not stop the superuser");
    QTemporaryDir dir;
    const QString folder = dir.filePath(u"locked"_s);
    QVERIFY(QDir().mkdir(folder));
    const QString path = folder + u"/results.txt"_s;
    put(path, kOld);
    QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    const auto unlock = qScopeGuard([&folder] {
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });

    const std::optional<QString> error = Files::writeWholeFile(path, kNew);

    QVERIFY2(!error, qPrintable(error.value_or(QString())));
    QCOMPARE(contents(path), kNew);
}

void TestFileWriter::stoppedWriteKeepsTheOldFile_data()
{
    QTest::addColumn<QString>("setup"); // "old": a file of ours; "new": none; "linked": a hard link
    QTest::addColumn<int>("stopAfter"); // stop at the n-th report (0: the first), -1: never
    QTest::addColumn<QString>("outcome"); // "old" contents, "new" contents, "none": no file
    QTest::newRow("before the first byte") << u"old"_s << 0 << u"old"_s;
    QTest::newRow("after the first slice") << u"old"_s << 1 << u"old"_s;
    QTest::newRow("after the last byte, before the file is replaced") << u"old"_s << 5 << u"old"_s;
    QTest::newRow("never") << u"old"_s << -1 << u"new"_s;
    QTest::newRow("new file, stopped midway") << u"new"_s << 2 << u"none"_s;
    QTest::newRow("written in place, stopped before it starts") << u"linked"_s << 0 << u"old"_s;
    // Once the old contents are gone, a stop would leave neither: it goes on.
    QTest::newRow("written in place, stopped midway") << u"linked"_s << 2 << u"new"_s;
}

void TestFileWriter::stoppedWriteKeepsTheOldFile()
{
    QFETCH(QString, setup);
    QFETCH(int, stopAfter);
    QFETCH(QString, outcome);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"results.txt"_s);
    if (setup != u"new")
        put(path, kOld);
    if (setup == u"linked")
        QVERIFY(::link(QFile::encodeName(path).constData(),
                       QFile::encodeName(dir.filePath(u"other.txt"_s)).constData())
                == 0);
    // Three 4 MiB slices and a short piece: reports 0 (before), 1, 2, 3 (slices),
    // then the last piece's and 0 again before the file is replaced.
    const QByteArray big(3 * (4 << 20), 'x');
    const QByteArray tail("\r\n");
    const std::array<QByteArrayView, 2> pieces{big, tail};
    int reports = 0;
    qint64 written = 0;
    const Files::WriteResult result = Files::writeWholeFile(path, pieces, [&](qint64 bytes) {
        written += bytes;
        return stopAfter < 0 || reports++ < stopAfter;
    });

    const bool stopped = outcome != u"new";
    QCOMPARE(result.status,
             stopped ? Files::WriteResult::Status::Stopped : Files::WriteResult::Status::Written);
    if (outcome == u"none")
        QVERIFY(!QFile::exists(path));
    else
        QCOMPARE(contents(path), outcome == u"old" ? kOld : big + tail);
    if (!stopped)
        QCOMPARE(written, big.size() + tail.size());
    // No temporary copy is left beside it.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(),
             qsizetype((setup == u"new" ? 0 : 1) + (setup == u"linked" ? 1 : 0)));
}

void TestFileWriter::specialFileKind_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("kind"); // "" for none
    QTest::newRow("regular file") << u"file"_s << QString();
    QTest::newRow("folder") << u"folder"_s << QString();
    QTest::newRow("missing") << u"missing"_s << QString();
    QTest::newRow("named pipe") << u"fifo"_s << u"a named pipe"_s;
    QTest::newRow("device") << u"/dev/zero"_s << u"a device"_s;
}

void TestFileWriter::specialFileKind()
{
    QFETCH(QString, path);
    QFETCH(QString, kind);
    QTemporaryDir dir;
    if (!path.startsWith(u'/'))
        path = dir.filePath(path);
    if (path.endsWith(u"/file"))
        put(path, kOld);
    if (path.endsWith(u"/folder"))
        QVERIFY(QDir().mkdir(path));
    if (path.endsWith(u"/fifo") && ::mkfifo(QFile::encodeName(path).constData(), 0600) != 0)
        QSKIP("cannot make a named pipe here");
    if (path.startsWith(u"/dev/") && !QFile::exists(path))
        QSKIP("this system has no such device");
    QCOMPARE(Files::specialFileKind(path).value_or(QString()), kind);
}

QTEST_APPLESS_MAIN(TestFileWriter)
#include "test_file_writer.moc"
