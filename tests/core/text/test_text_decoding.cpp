// Decoding a file's bytes into pane text:
// encodings, the Windows-1252 fallback, line breaks, NUL bytes, binary files,
// unreadable files and the speed of a large file.

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include "TestBytes.h"
#include "base/AppError.h"
#include "base/ArgumentText.h"
#include "text/TextDecoding.h"
#include "text/Windows1252.h"

namespace {

// The Windows-1252 characters of bytes 0x80-0x9F, from the code page's
// published table; undefined bytes keep their own number.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool allBreaksAreCrLf(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r') {
            if (i + 1 >= text.size() || text[i + 1] != u'\n')
                return false;
            ++i;
        } else if (text[i] == u'\n') {
            return false;
        }
    }
    return true;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class TextDecodingTest : public QObject
{
    Q_OBJECT

private slots:
    void windows1252Table();

    void decode_data();
    void decode();
    void notes_data();
    void notes();

    void binaryFileLoadsAsText();
    void randomBytesNeverCrash();
    void breaksAgreeWithPlainModel();

    void loadFile_data();
    void loadFile();
    void loadFolderThrows();
    void loadMissingFileThrows_data();
    void loadMissingFileThrows();
    void loadUnreadableFileThrows();
    void loadNameNotUtf8_data();
    void loadNameNotUtf8();

    void largeFileLoadsWhole_data();
    void largeFileLoadsWhole();
};

void TextDecodingTest::windows1252Table()
{
    for (int b = 0; b < 256; ++b) {
        const char16_t expected = (b >= 0x80 && b <= 0x9F) ? kCp1252High[b - 0x80] : char16_t(b);
        QCOMPARE(Files::windows1252ToUnicode(static_cast<unsigned char>(b)), expected);
    }
    QByteArray all(256, '\0');
    for (int b = 0; b < 256; ++b)
        all[b] = char(b);
    const QString decoded = Files::fromWindows1252(all);
    QCOMPARE(decoded.size(), 256);
    for (int b = 0; b < 256; ++b)
        QCOMPARE(decoded[b].unicode(), Files::windows1252ToUnicode(static_cast<unsigned char>(b)));
}

void TextDecodingTest::decode_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");

    // --- empty and plain ---
    QTest::newRow("empty file") << QByteArray() << QString();
    QTest::newRow("ascii csv with CR LF")
        << BYTES("a,b\r\nc,d\r\n") << QStringLiteral("a,b\r\nc,d\r\n");

    // --- UTF-8 ---
    QTest::newRow("UTF-8 accents") << BYTES("Ren\xC3\xA9"
                                            "e,Z\xC3\xBCrich,Stra\xC3\x9F"
                                            "e")
                                   << text16(u"Ren\u00E9e,Z\u00FCrich,Stra\u00DFe");
    QTest::newRow("UTF-8 euro, Cyrillic, CJK")
        << BYTES("\xE2\x82\xAC \xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD \xE6\x9D\xB1\xE4\xBA\xAC")
        << text16(u"\u20AC \u0418\u0432\u0430\u043D \u6771\u4EAC");
    QTest::newRow("UTF-8 emoji (4 bytes)") << BYTES("a\xF0\x9F\x98\x80"
                                                    "b")
                                           << text16(u"a\U0001F600b");
    QTest::newRow("UTF-8 BOM dropped") << BYTES("\xEF\xBB\xBF"
                                                "caf\xC3\xA9\n")
                                       << text16(u"caf\u00E9\r\n");
    QTest::newRow("UTF-8 BOM only") << BYTES("\xEF\xBB\xBF") << QString();
    QTest::newRow("UTF-8 second BOM is text") << BYTES("\xEF\xBB\xBF\xEF\xBB\xBF"
                                                       "a")
                                              << QStringView(u"\uFEFFa").toString();
    QTest::newRow("UTF-8 BOM with a stray 1252 byte keeps every byte")
        << BYTES("\xEF\xBB\xBF"
                 "caf\xC3\xA9 \xE9t\xE9 \x80")
        << text16(u"caf\u00E9 \u00E9t\u00E9 \u20AC");

    // --- UTF-16 with BOM ---
    QTest::newRow("UTF-16 LE BOM") << BYTES("\xFF\xFE"
                                            "a\0\xE9\0,\0\xAC\x20\r\0\n\0")
                                   << text16(u"a\u00E9,\u20AC\r\n");
    QTest::newRow("UTF-16 BE BOM") << BYTES("\xFE\xFF"
                                            "\0a\0\xE9\0,\x20\xAC\0\r\0\n")
                                   << text16(u"a\u00E9,\u20AC\r\n");
    QTest::newRow("UTF-16 LE lone LF becomes CR LF") << BYTES("\xFF\xFE"
                                                              "a\0\n\0b\0")
                                                     << QStringLiteral("a\r\nb");
    QTest::newRow("UTF-16 BE lone CR becomes CR LF") << BYTES("\xFE\xFF"
                                                              "\0a\0\r\0b")
                                                     << QStringLiteral("a\r\nb");
    QTest::newRow("UTF-16 LE surrogate pair") << BYTES("\xFF\xFE"
                                                       "\x3D\xD8\x00\xDE")
                                              << text16(u"\U0001F600");
    QTest::newRow("UTF-16 LE BOM only") << BYTES("\xFF\xFE") << QString();
    QTest::newRow("UTF-16 LE odd last byte") << BYTES("\xFF\xFE"
                                                      "a\0b")
                                             << text16(u"a\uFFFD");

    // --- Windows-1252: not valid UTF-8 ---
    QTest::newRow("1252 accents") << BYTES("Ren\xE9"
                                           "e,Z\xFCrich,Stra\xDF"
                                           "e")
                                  << text16(u"Ren\u00E9e,Z\u00FCrich,Stra\u00DFe");
    QTest::newRow("1252 0x80 is the euro sign") << BYTES("12,50 \x80") << text16(u"12,50 \u20AC");
    QTest::newRow("1252 undefined bytes kept")
        << BYTES("\x81\x8D\x8F\x90\x9D") << text16(u"\u0081\u008D\u008F\u0090\u009D");
    QTest::newRow("1252 quotes and dashes") << BYTES("\x93quoted\x94 \x96 \x97 \x85")
                                            << text16(u"\u201Cquoted\u201D \u2013 \u2014 \u2026");
    QTest::newRow("invalid UTF-8 in a UTF-8 file: whole file is 1252")
        << BYTES("caf\xC3\xA9 \xE9t\xE9") << text16(u"caf\u00C3\u00A9 \u00E9t\u00E9");
    QTest::newRow("UTF-8 with a stray 1252 byte keeps its sequences")
        << BYTES("id,v\n1,caf\xC3\xA9\n2,x\xE9\n")
        << text16(u"id,v\r\n1,caf\u00E9\r\n2,x\u00E9\r\n");
    QTest::newRow("UTF-8 with stray bytes past the first line")
        << BYTES("\xE2\x82\xAC \xC3\xBC\n\x80\x93") << text16(u"\u20AC \u00FC\r\n\u20AC\u201C");
    QTest::newRow("overlong UTF-8 is 1252") << BYTES("\xC0\xAF") << text16(u"\u00C0\u00AF");
    QTest::newRow("UTF-8 surrogate is 1252")
        << BYTES("\xED\xA0\x80") << text16(u"\u00ED\u00A0\u20AC");
    QTest::newRow("truncated UTF-8 at the end is 1252")
        << BYTES("abc\xE2\x82") << text16(u"abc\u00E2\u201A");
    QTest::newRow("lone continuation byte is 1252") << BYTES("x\xA9y") << text16(u"x\u00A9y");

    // --- line breaks ---
    QTest::newRow("LF only") << BYTES("a\nb\nc\n") << QStringLiteral("a\r\nb\r\nc\r\n");
    QTest::newRow("CR only (old Mac)") << BYTES("a\rb\rc\r") << QStringLiteral("a\r\nb\r\nc\r\n");
    QTest::newRow("CR LF unchanged") << BYTES("a\r\nb\r\n") << QStringLiteral("a\r\nb\r\n");
    QTest::newRow("mixed breaks") << BYTES("a\nb\rc\r\nd\n\re")
                                  << QStringLiteral("a\r\nb\r\nc\r\nd\r\n\r\ne");
    QTest::newRow("CR CR LF is two breaks") << BYTES("a\r\r\nb") << QStringLiteral("a\r\n\r\nb");
    QTest::newRow("LF CR is two breaks") << BYTES("a\n\rb") << QStringLiteral("a\r\n\r\nb");
    QTest::newRow("no final line break: none added") << BYTES("a\nb") << QStringLiteral("a\r\nb");
    QTest::newRow("one final LF") << BYTES("a\n") << QStringLiteral("a\r\n");
    QTest::newRow("only breaks") << BYTES("\n\n\r") << QStringLiteral("\r\n\r\n\r\n");
    QTest::newRow("1252 with LF breaks") << BYTES("\xE9\n\x80") << text16(u"\u00E9\r\n\u20AC");

    // --- NUL bytes ---
    QTest::newRow("NUL bytes in UTF-8 kept")
        << BYTES("a\0b\0\n") << QStringView(u"a\0b\0\r\n", 6).toString();
    QTest::newRow("NUL bytes in 1252 kept")
        << BYTES("\0\xE9\0") << QStringView(u"\0\u00E9\0", 3).toString();

    // --- rich text ---
    QTest::newRow("RTF becomes its text")
        << BYTES("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 caf\\'e9\\par b}")
        << text16(u"caf\u00E9\r\nb");
    QTest::newRow("RTF after a UTF-8 BOM")
        << BYTES("\xEF\xBB\xBF{\\rtf1 a\\par}") << QStringLiteral("a\r\n");
    QTest::newRow("RTF: a \\'0d byte is a line break too")
        << BYTES("{\\rtf1 a\\'0db}") << QStringLiteral("a\r\nb");
    QTest::newRow("not RTF when not at the start")
        << BYTES(" {\\rtf1 x}") << QStringLiteral(" {\\rtf1 x}");
}

void TextDecodingTest::decode()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    const QString text = Files::decodeToPaneText(bytes);
    QCOMPARE(text, expected);
    QVERIFY(allBreaksAreCrLf(text));
}

void TextDecodingTest::notes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<qsizetype>("line");

    const QString none;
    const QString w1252 = QStringLiteral("Windows-1252");
    const QString mixed = QStringLiteral("UTF-8 (invalid bytes as Windows-1252)");
    QTest::newRow("UTF-8") << BYTES("a\n\xC3\xA9\n") << none << qsizetype(0);
    QTest::newRow("empty") << QByteArray() << none << qsizetype(0);
    QTest::newRow("1252 from line 2") << BYTES("id\r\nx\xE9\n") << w1252 << qsizetype(2);
    QTest::newRow("one stray byte in UTF-8, line 3")
        << BYTES("id,v\n1,caf\xC3\xA9\n2,x\xE9\n") << mixed << qsizetype(3);
    QTest::newRow("lone CRs count as lines") << BYTES("a\rb\r\n\xE9") << w1252 << qsizetype(3);
    QTest::newRow("a BOM and an invalid byte") << BYTES("\xEF\xBB\xBF"
                                                        "a\n\xFF")
                                               << mixed << qsizetype(2);
    QTest::newRow("UTF-16 says nothing") << BYTES("\xFF\xFE"
                                                  "a\0\xE9\0")
                                         << none << qsizetype(0);
    QTest::newRow("rich text says nothing") << BYTES("{\\rtf1 caf\xE9}") << none << qsizetype(0);
}

// Whoever shows a file is told how it was read: the pane text and the note
// agree on the encoding, and the note names the first line that was not UTF-8.
void TextDecodingTest::notes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, encoding);
    QFETCH(qsizetype, line);

    Files::DecodeNote note;
    const QByteArray pane = Files::decodeToPaneBytes(bytes, note);
    QCOMPARE(note.encoding, encoding);
    QCOMPARE(note.invalidLine, line);
    QCOMPARE(pane, Files::decodeToPaneBytes(bytes));
    QString keptEncoding;
    Files::decodeKeepingBreaks(bytes, keptEncoding);
    if (!encoding.isEmpty())
        QCOMPARE(keptEncoding, encoding);
}

void TextDecodingTest::binaryFileLoadsAsText()
{
    // Every byte value, twice: not UTF-8, so one character per byte, and the
    // lone LF (0x0A) and lone CR (0x0D) of each copy grow into CR LF.
    QByteArray bytes;
    for (int copy = 0; copy < 2; ++copy)
        for (int b = 0; b < 256; ++b)
            bytes.append(char(b));
    const QString text = Files::decodeToPaneText(bytes);
    QCOMPARE(text.size(), bytes.size() + 4);
    QVERIFY(allBreaksAreCrLf(text));
    QCOMPARE(text[0].unicode(), u'\0');
    QCOMPARE(text[0x80 + 2].unicode(), u'\u20AC'); // after the grown breaks of 0x0A and 0x0D
    QCOMPARE(text.back().unicode(), u'\u00FF');
}

void TextDecodingTest::randomBytesNeverCrash()
{
    QRandomGenerator random(20240531);
    for (int round = 0; round < 300; ++round) {
        QByteArray bytes(qsizetype(random.bounded(0, 2000)), '\0');
        for (char &c : bytes)
            c = char(random.bounded(256));
        // Some rounds start with a BOM or as rich text.
        static const char *const kStarts[] = {"", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF",
                                              "{\\rtf1 "};
        bytes.prepend(kStarts[round % 5]);
        const QString text = Files::decodeToPaneText(bytes);
        QVERIFY(allBreaksAreCrLf(text));
    }
}

// Texts of every short length, dense with CRs and LFs, against a byte-by-byte
// rewrite of each break as CR LF.
void TextDecodingTest::breaksAgreeWithPlainModel()
{
    QRandomGenerator random(20261210);
    for (int round = 0; round < 2000; ++round) {
        QByteArray bytes(qsizetype(random.bounded(0, 70)), 'a');
        for (char &c : bytes)
            c = "ab\r\n"[random.bounded(4)];
        QByteArray expected;
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
            if (bytes[i] == '\r' || bytes[i] == '\n')
                expected += "\r\n";
            else
                expected += bytes[i];
        }
        QCOMPARE(Files::decodeToPaneBytes(bytes), expected);
    }
}

void TextDecodingTest::loadFile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty file") << QByteArray() << QString();
    QTest::newRow("UTF-8 with LF") << BYTES("x,\xC3\xA9\ny") << text16(u"x,\u00E9\r\ny");
    QTest::newRow("UTF-16 LE BOM") << BYTES("\xFF\xFE"
                                            "a\0\n\0")
                                   << QStringLiteral("a\r\n");
    QTest::newRow("Windows-1252") << BYTES("\x80\r\n\xE9") << text16(u"\u20AC\r\n\u00E9");
    QTest::newRow("RTF") << BYTES("{\\rtf1 a\\par b\\par}") << QStringLiteral("a\r\nb\r\n");
}

void TextDecodingTest::loadFile()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("file.csv"));
    QVERIFY(writeFile(path, bytes));
    QCOMPARE(Files::loadFileText(path), expected);
}

void TextDecodingTest::loadFolderThrows()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    try {
        Files::loadFileText(dir.path());
        QFAIL("a folder loaded as a file");
    } catch (const AppError &error) {
        QVERIFY2(!error.description().isEmpty(), "the error has no description");
        qInfo("folder: %s", qPrintable(error.description()));
    }
}

void TextDecodingTest::loadMissingFileThrows_data()
{
    QTest::addColumn<QString>("relative");
    QTest::newRow("missing file") << QStringLiteral("missing.csv");
    QTest::newRow("file in a missing folder") << QStringLiteral("no-such-folder/a.csv");
}

void TextDecodingTest::loadMissingFileThrows()
{
    QFETCH(QString, relative);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    try {
        Files::loadFileText(dir.filePath(relative));
        QFAIL("a missing file loaded");
    } catch (const AppError &error) {
        QVERIFY(!error.description().isEmpty());
        qInfo("%s: %s", qPrintable(relative), qPrintable(error.description()));
    }
}

void TextDecodingTest::loadUnreadableFileThrows()
{
#ifdef Q_OS_WIN
    QSKIP("Windows has no read permission bits to take away");
#else
    if (::geteuid() == 0)
        QSKIP("running as root: a file without read permission is still readable "
              "(loadFolderThrows and loadMissingFileThrows cover the error path)");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("locked.csv"));
    QVERIFY(writeFile(path, "a,b\n"));
    QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions()));
    try {
        Files::loadFileText(path);
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QFAIL("an unreadable file loaded");
    } catch (const AppError &error) {
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QVERIFY(!error.description().isEmpty());
        qInfo("unreadable: %s", qPrintable(error.description()));
    }
#endif
}

void TextDecodingTest::loadNameNotUtf8_data()
{
    QTest::addColumn<QByteArray>("made"); // "file", "folder" or nothing
    QTest::addColumn<QString>("loaded");  // the text, or the end of the error
    QTest::newRow("a file") << QByteArray("file") << "a,b\r\n1,2\r\n";
    QTest::newRow("a folder") << QByteArray("folder") << ": it is a folder, not a file";
    QTest::newRow("nothing") << QByteArray() << ": No such file or directory";
}

// A name that is not UTF-8 (Latin-1 "lat\xe9.csv"), as a command line gives it:
// the file it names is the one loaded.
void TextDecodingTest::loadNameNotUtf8()
{
#ifdef Q_OS_WIN
    // Windows names files in UTF-16, so every name is text: one that no ANSI
    // code page holds, written the Windows way, loads.
    QFETCH(QByteArray, made);
    if (made != "file")
        QSKIP("the other rows are about bytes");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("\u03A9-\u0436-\u4E2D.csv"));
    QVERIFY(writeFile(path, "a,b\n1,2\n"));
    QCOMPARE(Files::loadFileText(QDir::toNativeSeparators(path)), QStringLiteral("a,b\r\n1,2\r\n"));
#else
    QFETCH(QByteArray, made);
    QFETCH(QString, loaded);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray path = QFile::encodeName(dir.path()) + "/lat\xe9.csv";
    if (made == "file") {
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, "a,b\n1,2\n", 8), ssize_t(8));
        ::close(fd);
    } else if (made == "folder") {
        QCOMPARE(::mkdir(path.constData(), 0700), 0);
    }
    // QTemporaryDir cannot name it to remove it.
    const auto removeMade = qScopeGuard([&path] {
        ::unlink(path.constData());
        ::rmdir(path.constData());
    });
    const QString name = Args::argumentText(path);
    QString got;
    try {
        got = Files::loadFileText(name);
    } catch (const AppError &error) {
        got = error.description();
        QVERIFY2(got.startsWith(QStringLiteral("Cannot load ")), qPrintable(got));
    }
    if (loaded.startsWith(u':'))
        QVERIFY2(got.endsWith(loaded), qPrintable(got));
    else
        QCOMPARE(got, loaded);
#endif
}

void TextDecodingTest::largeFileLoadsWhole_data()
{
    QTest::addColumn<QByteArray>("lineBreak");
    QTest::newRow("CR LF") << QByteArray("\r\n");
    QTest::newRow("LF") << QByteArray("\n");
}

void TextDecodingTest::largeFileLoadsWhole()
{
    // 1,000,000 lines of about 60 bytes of UTF-8 (~60 MB), loaded from a file.
    QFETCH(QByteArray, lineBreak);
    constexpr int kLines = 1000000;
    QByteArray bytes;
    bytes.reserve(qsizetype(kLines) * 64);
    QByteArray line;
    for (int i = 0; i < kLines; ++i) {
        line = "row " + QByteArray::number(i)
               + ",Z\xC3\xBCrich,Stra\xC3\x9F"
                 "e,12.50 \xE2\x82\xAC,abcdefghijklmnopqrstuvw";
        bytes.append(line).append(lineBreak);
    }
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("large.csv"));
    QVERIFY(writeFile(path, bytes));

    const QString text = Files::loadFileText(path);

    const QString lastLine = QString::fromUtf8(line) + QStringLiteral("\r\n");
    QVERIFY(text.endsWith(lastLine));
    QCOMPARE(text.count(QStringLiteral("\r\n")), kLines);
}

QTEST_GUILESS_MAIN(TextDecodingTest)
#include "test_text_decoding.moc"
