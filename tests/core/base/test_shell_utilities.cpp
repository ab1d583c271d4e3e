// Module Main's pure routines: FileExists, CleanPath, the
// application title and the program folder.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "base/Main.h"
#include "base/ProgramFolder.h"

class ShellUtilitiesTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void cleanPath_data();
    void cleanPath();

    void fileExists_data();
    void fileExists();

    void shortTitle_data();
    void shortTitle();
    void appTitle();

    void programFolder_data();
    void programFolder();

private:
    QTemporaryDir m_dir;
    QString m_file;
};

void ShellUtilitiesTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_file = m_dir.filePath(QStringLiteral("existing.csv"));
    QFile file(m_file);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("a,b\r\n");
}

void ShellUtilitiesTest::cleanPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    // Raw strings: every backslash below is one backslash of the path.
    QTest::newRow("drive root joined with a separator")
        << QStringLiteral(R"(C:\\a.csv)") << QStringLiteral(R"(C:\a.csv)");
    QTest::newRow("UNC share joined with a separator")
        << QStringLiteral(R"(\\server\share\\a.csv)") << QStringLiteral(R"(\\server\share\a.csv)");
    QTest::newRow("UNC path unchanged")
        << QStringLiteral(R"(\\server\share\a.csv)") << QStringLiteral(R"(\\server\share\a.csv)");
    QTest::newRow("one leading backslash becomes two")
        << QStringLiteral(R"(\a\b.csv)") << QStringLiteral(R"(\\a\b.csv)");
    QTest::newRow("three leading backslashes become two")
        << QStringLiteral(R"(\\\a.csv)") << QStringLiteral(R"(\\a.csv)");
    QTest::newRow("four leading backslashes become two")
        << QStringLiteral(R"(\\\\a.csv)") << QStringLiteral(R"(\\a.csv)");
    QTest::newRow("leading run then a doubled one")
        << QStringLiteral(R"(\\\\s\\x)") << QStringLiteral(R"(\\s\x)");
    QTest::newRow("two in the middle become one")
        << QStringLiteral(R"(C:\data\\a.csv)") << QStringLiteral(R"(C:\data\a.csv)");
    QTest::newRow("three in the middle become two")
        << QStringLiteral(R"(C:\data\\\a.csv)") << QStringLiteral(R"(C:\data\\a.csv)");
    QTest::newRow("four in the middle become two")
        << QStringLiteral(R"(C:\data\\\\a.csv)") << QStringLiteral(R"(C:\data\\a.csv)");
    QTest::newRow("five in the middle become three")
        << QStringLiteral(R"(a\\\\\b)") << QStringLiteral(R"(a\\\b)");
    QTest::newRow("doubled at the end")
        << QStringLiteral(R"(C:\data\\)") << QStringLiteral(R"(C:\data\)");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("a single backslash") << QStringLiteral(R"(\)") << QStringLiteral(R"(\\)");
    QTest::newRow("only backslashes") << QStringLiteral(R"(\\\\\)") << QStringLiteral(R"(\\)");
    QTest::newRow("no doubles: unchanged")
        << QStringLiteral(R"(C:\data\a.csv)") << QStringLiteral(R"(C:\data\a.csv)");
    QTest::newRow("forward slashes untouched")
        << QStringLiteral("/tmp//a.csv") << QStringLiteral("/tmp//a.csv");
    QTest::newRow("plain name") << QStringLiteral("a.csv") << QStringLiteral("a.csv");
}

void ShellUtilitiesTest::cleanPath()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);
    const QString original = path;
    QCOMPARE(Main::CleanPath(path), expected);
    QCOMPARE(path, original); // the argument is not changed
}

void ShellUtilitiesTest::fileExists_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("exists");
    QString withNul = m_file;
    withNul.append(QChar(u'\0')).append(QStringLiteral("x"));
    QString trailingNul = m_file;
    trailingNul.append(QChar(u'\0'));

    QTest::newRow("empty string") << QString() << false;
    QTest::newRow("existing file") << m_file << true;
    QTest::newRow("existing folder") << m_dir.path() << true;
    QTest::newRow("existing folder with trailing separator") << m_dir.path() + u'/' << true;
    QTest::newRow("missing file") << m_dir.filePath(QStringLiteral("missing.csv")) << false;
    QTest::newRow("file in a missing folder")
        << m_dir.filePath(QStringLiteral("no-such-folder/a.csv")) << false;
    QTest::newRow("a file used as a folder") << m_file + QStringLiteral("/a.csv") << false;
    QTest::newRow("path with a NUL character") << withNul << false;
    QTest::newRow("path ending in a NUL character") << trailingNul << false;
    QTest::newRow("Windows path with a drive letter")
        << QStringLiteral(R"(Q:\no\such\file.csv)") << false;
    QTest::newRow("very long path") << QString(5000, u'x') << false;
#ifdef Q_OS_WIN
    // As Windows names them: a drive letter and backslashes, and a path joined
    // with a doubled separator that CleanPath repairs.
    const QString native = QDir::toNativeSeparators(m_file);
    QTest::newRow("native path") << native << true;
    QTest::newRow("joined path, cleaned")
        << Main::CleanPath(native.left(3) + u'\\' + native.mid(3)) << true;
    QTest::newRow("native path, missing file")
        << QDir::toNativeSeparators(m_dir.filePath(QStringLiteral("missing.csv"))) << false;
#else
    QTest::newRow("only separators") << QStringLiteral("////") << true; // the root folder
#endif
}

void ShellUtilitiesTest::fileExists()
{
    QFETCH(QString, path);
    QFETCH(bool, exists);
    QCOMPARE(Main::FileExists(path), exists);
}

void ShellUtilitiesTest::shortTitle_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    const QString forty =
        QStringLiteral("Corvantis Compares Two Text Files Nicely"); // 40 characters
    Q_ASSERT(forty.size() == 40);
    const QString longWord = QString(50, u'W');

    QTest::newRow("the product name") << QStringLiteral("Corvantis") << QStringLiteral("Corvantis");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("exactly 40 characters unchanged") << forty << forty;
    QTest::newRow("41 characters lose the last word")
        << forty + QStringLiteral("!") << QStringLiteral("Corvantis Compares Two Text Files");
    QTest::newRow("long name cut by whole words to at most 40")
        << QStringLiteral("Corvantis Side By Side Comparison Of Two Text Files")
        << QStringLiteral("Corvantis Side By Side Comparison Of Two");
    QTest::newRow("one word over 40 stays whole") << longWord << longWord;
    QTest::newRow("short word then one long word")
        << QStringLiteral("Big ") + longWord << QStringLiteral("Big");
    QTest::newRow("multiple spaces: only the last space is dropped")
        << QString(38, u'a') + QStringLiteral("  bbb") << QString(38, u'a') + u' ';
    QTest::newRow("trailing space over 40") << QString(41, u'a') + u' ' << QString(41, u'a');
    QTest::newRow("space at the start only") << u' ' + longWord << QString();
}

void ShellUtilitiesTest::shortTitle()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    const QString title = Main::shortTitle(name);
    QCOMPARE(title, expected);
    QVERIFY(title.size() <= 40 || !title.contains(u' '));
}

void ShellUtilitiesTest::appTitle()
{
    Main::SetAppTitle();
    QCOMPARE(Main::appTitle(), QStringLiteral("Corvantis"));
    Main::SetAppTitle(); // start-up runs it once; again changes nothing
    QCOMPARE(Main::appTitle(), QStringLiteral("Corvantis"));
}

void ShellUtilitiesTest::programFolder_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expectedFolder");
    QTest::addColumn<QString>("expectedPath");
    QTest::newRow("sample file") << QStringLiteral("/opt/corvantis")
                                 << QStringLiteral(R"(\Samples\sample1.csv)")
                                 << QStringLiteral("/opt/corvantis")
                                 << QStringLiteral("/opt/corvantis/Samples/sample1.csv");
    QTest::newRow("skin file") << QStringLiteral("/opt/corvantis") << QStringLiteral(R"(\x\o.cjs)")
                               << QStringLiteral("/opt/corvantis")
                               << QStringLiteral("/opt/corvantis/x/o.cjs");
    QTest::newRow("cursor file, trailing separator dropped")
        << QStringLiteral("/opt/corvantis/") << QStringLiteral(R"(\HAND-M.CUR)")
        << QStringLiteral("/opt/corvantis") << QStringLiteral("/opt/corvantis/HAND-M.CUR");
    QTest::newRow("root folder") << QStringLiteral("/") << QStringLiteral(R"(\Samples\sample2.csv)")
                                 << QStringLiteral("/") << QStringLiteral("/Samples/sample2.csv");
}

void ShellUtilitiesTest::programFolder()
{
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QFETCH(QString, expectedFolder);
    QFETCH(QString, expectedPath);
    const ProgramFolder programFolder(folder);
    QCOMPARE(programFolder.path(), expectedFolder);
    QCOMPARE(programFolder.file(name), expectedPath);
}

QTEST_GUILESS_MAIN(ShellUtilitiesTest)
#include "test_shell_utilities.moc"
