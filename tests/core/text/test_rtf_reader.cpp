// The rich text (RTF) reader: documents written by real writers (pandoc,
// LibreOffice; see fixtures/README.md) and hand-written snippets for the
// corners of the grammar.

#include <cstring>
#include <iterator>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include "TestBytes.h"
#include "base/AppError.h"
#include "text/RtfReader.h"
#include "text/TextDecoding.h"

#if defined(__SANITIZE_ADDRESS__)
#define CORVANTIS_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CORVANTIS_ASAN 1
#endif
#endif

namespace {

QByteArray readFixture(const QString &name)
{
    QFile file(QDir(QStringLiteral(CORVANTIS_FILES_FIXTURES)).filePath(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read fixture %s", qPrintable(file.fileName()));
    return file.readAll();
}

// The expected files are stored with LF breaks; pane text has CR LF.
QString expectedText(const QString &name)
{
    QString text = QString::fromUtf8(readFixture(name));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\n', QStringLiteral("\r\n"));
    return text;
}

} // namespace

class RtfReaderTest : public QObject
{
    Q_OBJECT

private slots:
    void looksLikeRtf_data();
    void looksLikeRtf();

    void realWriters_data();
    void realWriters();

    void snippets_data();
    void snippets();

    void deepNestingDoesNotOverflow();
    void damagedInputNeverCrashesOrHangs();
    void largeDocumentReadsWhole();
    void documentTooLargeForMemoryIsReported();
};

void RtfReaderTest::looksLikeRtf_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("rtf");
    QTest::newRow("rtf1 header") << BYTES("{\\rtf1\\ansi x}") << true;
    QTest::newRow("bare prefix") << BYTES("{\\rtf") << true;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("csv") << BYTES("a,b\r\n") << false;
    QTest::newRow("leading space") << BYTES(" {\\rtf1}") << false;
    QTest::newRow("upper case") << BYTES("{\\RTF1}") << false;
}

void RtfReaderTest::looksLikeRtf()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, rtf);
    QCOMPARE(Files::looksLikeRtf(bytes), rtf);
}

void RtfReaderTest::realWriters_data()
{
    QTest::addColumn<QString>("rtfFile");
    QTest::addColumn<QString>("expectedFile");
    QTest::newRow("pandoc: paragraphs, accents, euro, Cyrillic, CJK, emoji, \\line")
        << QStringLiteral("pandoc-sample.rtf") << QStringLiteral("sample.expected.txt");
    QTest::newRow("pandoc: table")
        << QStringLiteral("pandoc-table.rtf") << QStringLiteral("pandoc-table.expected.txt");
    QTest::newRow("LibreOffice: the same document from .odt")
        << QStringLiteral("libreoffice-sample.rtf") << QStringLiteral("sample.expected.txt");
    QTest::newRow("LibreOffice: table from .odt")
        << QStringLiteral("libreoffice-table.rtf")
        << QStringLiteral("libreoffice-table.expected.txt");
    QTest::newRow("LibreOffice: CSV text file")
        << QStringLiteral("libreoffice-csv.rtf") << QStringLiteral("libreoffice-csv.txt");
    // Non-Western code pages: each \uN with its \'hh stand-in, and the \'hh alone.
    for (const char *codePage : {"1250", "1251", "1253"}) {
        const QString name = QStringLiteral("abiword-cp%1").arg(QLatin1String(codePage));
        QTest::addRow("AbiWord: cp%s with \\uN", codePage)
            << name + QStringLiteral(".rtf") << name + QStringLiteral(".expected.txt");
        QTest::addRow("AbiWord: cp%s, \\'hh alone", codePage)
            << name + QStringLiteral("-hh.rtf") << name + QStringLiteral(".expected.txt");
    }
}

void RtfReaderTest::realWriters()
{
    QFETCH(QString, rtfFile);
    QFETCH(QString, expectedFile);
    const QByteArray rtf = readFixture(rtfFile);
    QVERIFY(Files::looksLikeRtf(rtf));
    const QString expected = expectedText(expectedFile);
    QCOMPARE(Files::rtfToPlainText(rtf), expected);
    QCOMPARE(Files::decodeToPaneText(rtf), expected); // the loader's road
}

void RtfReaderTest::snippets_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("expected");

    // --- paragraphs and control words ---
    QTest::newRow("empty input") << QByteArray() << QString();
    QTest::newRow("empty document") << BYTES("{\\rtf1}") << QString();
    QTest::newRow("paragraph with \\par")
        << BYTES("{\\rtf1\\ansi Hello\\par}") << QStringLiteral("Hello\r\n");
    QTest::newRow("no \\par, no final break") << BYTES("{\\rtf1 Hello}") << QStringLiteral("Hello");
    QTest::newRow("two paragraphs")
        << BYTES("{\\rtf1 a\\par b\\par}") << QStringLiteral("a\r\nb\r\n");
    QTest::newRow("empty paragraphs")
        << BYTES("{\\rtf1 \\par\\par x}") << QStringLiteral("\r\n\r\nx");
    QTest::newRow("delimiting space eaten, second space kept")
        << BYTES("{\\rtf1\\b bold\\b0  text}") << QStringLiteral("bold text");
    QTest::newRow("control word ended by a non-letter")
        << BYTES("{\\rtf1 a\\b,b}") << QStringLiteral("a,b");
    QTest::newRow("negative parameter") << BYTES("{\\rtf1\\li-720 x}") << QStringLiteral("x");
    QTest::newRow("parameter ends the word, digit-led text kept")
        << BYTES("{\\rtf1\\fs24 12,50}") << QStringLiteral("12,50");
    QTest::newRow("\\tab and \\line")
        << BYTES("{\\rtf1 a\\tab b\\line c\\par}") << QStringLiteral("a\tb\r\nc\r\n");
    QTest::newRow("raw line breaks of the file ignored")
        << BYTES("{\\rtf1 a\r\nb\nc\rd}") << QStringLiteral("abcd");
    QTest::newRow("backslash + newline is \\par")
        << BYTES("{\\rtf1 a\\\nb}") << QStringLiteral("a\r\nb");
    QTest::newRow("long unknown control word")
        << QByteArray("{\\rtf1\\" + QByteArray(1000, 'q') + " x}") << QStringLiteral("x");

    // --- control symbols and named characters ---
    QTest::newRow("control symbols")
        << BYTES("{\\rtf1 a\\\\b\\{c\\}d\\~e\\-f\\_g}") << text16(u"a\\b{c}d\u00A0ef\u2011g");
    QTest::newRow("named punctuation")
        << BYTES("{\\rtf1\\lquote a\\rquote  \\ldblquote b\\rdblquote \\emdash\\endash\\bullet}")
        << text16(u"\u2018a\u2019 \u201Cb\u201D\u2014\u2013\u2022");

    // --- \'hh ---
    QTest::newRow("\\'hh in code page 1252")
        << BYTES("{\\rtf1\\ansi\\ansicpg1252 caf\\'e9 \\'80 \\'81 Stra\\'dfe}")
        << text16(u"caf\u00E9 \u20AC \u0081 Stra\u00DFe");
    QTest::newRow("\\'hh upper-case hex")
        << BYTES("{\\rtf1 \\'C4\\'D6\\'DC}") << text16(u"\u00C4\u00D6\u00DC");
    QTest::newRow("\\'hh with one digit dropped")
        << BYTES("{\\rtf1 a\\'ez}") << QStringLiteral("az");
    QTest::newRow("raw 8-bit byte read as 1252")
        << BYTES("{\\rtf1 caf\xE9 \x80}") << text16(u"caf\u00E9 \u20AC");

    // --- code pages ---
    QTest::newRow("\\ansicpg1251")
        << BYTES("{\\rtf1\\ansi\\ansicpg1251 \\'c3\\'ee\\'f0}") << text16(u"\u0413\u043E\u0440");
    QTest::newRow("raw bytes in \\ansicpg1253")
        << BYTES("{\\rtf1\\ansicpg1253 \xC1\xE8}") << text16(u"\u0391\u03B8");
    QTest::newRow("font charset beats the document's code page")
        << BYTES("{\\rtf1\\ansicpg1252{\\fonttbl{\\f0 A;}{\\f1\\fcharset204 B;}}\\'e9\\f1\\'e9}")
        << text16(u"\u00E9\u0439");
    QTest::newRow("default font's charset")
        << BYTES("{\\rtf1\\deff1{\\fonttbl{\\f1\\fcharset161 G;}}\\'e1}") << text16(u"\u03B1");
    QTest::newRow("font is scoped to its group")
        << BYTES("{\\rtf1{\\fonttbl{\\f1\\fcharset238 P;}}{\\f1\\'b3}\\'b3}")
        << text16(u"\u0142\u00B3");
    QTest::newRow("\\cpg beats \\fcharset")
        << BYTES("{\\rtf1{\\fonttbl{\\f0\\cpg1251\\fcharset161 X;}}\\f0\\'e1}")
        << text16(u"\u0431");
    QTest::newRow("ANSI charset keeps the document's code page")
        << BYTES("{\\rtf1\\ansicpg1250{\\fonttbl{\\f0\\fcharset0 X;}}\\f0\\'a3}")
        << text16(u"\u0141");
    QTest::newRow("double-byte character from two \\'hh")
        << BYTES("{\\rtf1\\ansicpg932 \\'82\\'a0x}") << text16(u"\u3042x");
    QTest::newRow("double-byte character split by a line of the file")
        << BYTES("{\\rtf1\\ansicpg932 \\'82\r\n\\'a0}") << text16(u"\u3042");
    QTest::newRow("\\uc2 skips both bytes of a double-byte stand-in")
        << BYTES("{\\rtf1\\ansicpg932\\uc2\\u12354\\'82\\'a0x}") << text16(u"\u3042x");
    QTest::newRow("\\mac") << BYTES("{\\rtf1\\mac \\'8e}") << text16(u"\u00E9");
    QTest::newRow("\\pc") << BYTES("{\\rtf1\\pc \\'82}") << text16(u"\u00E9");
    QTest::newRow("unknown code page read as 1252")
        << BYTES("{\\rtf1\\ansicpg4242 \\'e9}") << text16(u"\u00E9");
    QTest::newRow("code page text before a table cell")
        << BYTES("{\\rtf1\\ansicpg1251\\trowd\\pard\\intbl \\'e0\\par\\cell\\row}")
        << text16(u"\u0430\r\n");

    // --- \uN and \ucN ---
    QTest::newRow("\\u with one fallback (default \\uc1)")
        << BYTES("{\\rtf1 \\u8364?x}") << text16(u"\u20ACx");
    QTest::newRow("\\u fallback written as \\'hh")
        << BYTES("{\\rtf1 \\u233\\'e9t\\u233\\'e9}") << text16(u"\u00E9t\u00E9");
    QTest::newRow("\\u negative parameter") << BYTES("{\\rtf1 \\u-3913?}") << text16(u"\uF0B7");
    QTest::newRow("\\uc0: no fallback") << BYTES("{\\rtf1\\uc0\\u8364 x}") << text16(u"\u20ACx");
    QTest::newRow("\\uc2: two \\'hh fallbacks")
        << BYTES("{\\rtf1\\uc2\\u26481\\'93\\'8cx}") << text16(u"\u6771x");
    QTest::newRow("\\uc2: a control word counts as a fallback")
        << BYTES("{\\rtf1\\uc2\\u26481\\b ?x}") << text16(u"\u6771x");
    QTest::newRow("\\uc is scoped to its group")
        << BYTES("{\\rtf1{\\uc2\\u26481??}\\u8364?y}") << text16(u"\u6771\u20ACy");
    QTest::newRow("a group ends the fallback")
        << BYTES("{\\rtf1\\uc3\\u8364{}xyz}") << text16(u"\u20ACxyz");
    QTest::newRow("surrogate pair from two \\u")
        << BYTES("{\\rtf1 \\u55357?\\u56832?!}") << text16(u"\U0001F600!");
    QTest::newRow("surrogate pair, negative halves")
        << BYTES("{\\rtf1 \\u-10179?\\u-8704?}") << text16(u"\U0001F600");
    QTest::newRow("surrogate pair, LibreOffice style \\uc0 then \\uc1")
        << BYTES("{\\rtf1\\uc0 \\u55357\\uc1 \\u56832\\'3f!}") << text16(u"\U0001F600!");
    QTest::newRow("\\u beyond the BMP in one word")
        << BYTES("{\\rtf1\\uc0 \\u128512 }") << text16(u"\U0001F600");
    QTest::newRow("absurd \\u parameter shows nothing")
        << BYTES("{\\rtf1\\u99999999999999999999 xy}") << QStringLiteral("y");

    // --- skipped destinations ---
    QTest::newRow("font table skipped")
        << BYTES("{\\rtf1{\\fonttbl{\\f0\\fswiss Arial;}{\\f1 Times;}}\\f0 x}")
        << QStringLiteral("x");
    QTest::newRow("nested skipped destinations") << BYTES(
        "{\\rtf1{\\info{\\title T}{\\author A}{\\creatim\\yr2024}}"
        "{\\stylesheet{\\s0 Normal;}{\\*\\cs1 Char;}}{\\colortbl;\\red0\\green0\\blue0;}body}")
                                                 << QStringLiteral("body");
    QTest::newRow("\\* unknown destination with nested groups")
        << BYTES("{\\rtf1{\\*\\unknownthing text {nested {deeper}} more}after}")
        << QStringLiteral("after");
    QTest::newRow("\\*\\generator")
        << BYTES("{\\rtf1{\\*\\generator Riched20 10.0;}x}") << QStringLiteral("x");
    QTest::newRow("picture with \\bin data")
        << BYTES("{\\rtf1{\\pict\\pngblip\\bin5 {{}}\\}y}") << QStringLiteral("y");
    QTest::newRow("picture with hex data")
        << BYTES("{\\rtf1 a{\\pict\\wmetafile8 0100090000 ab cd}b}") << QStringLiteral("ab");
    QTest::newRow("\\bin outside a destination")
        << BYTES("{\\rtf1 a\\bin3 xyzb}") << QStringLiteral("ab");
    QTest::newRow("\\bin longer than the input")
        << BYTES("{\\rtf1 a\\bin999 xyz") << QStringLiteral("a");
    QTest::newRow("object skipped")
        << BYTES("{\\rtf1 a{\\object\\objemb{\\*\\objclass Excel}{\\*\\objdata 0102}}b}")
        << QStringLiteral("ab");
    QTest::newRow("header and footer skipped")
        << BYTES("{\\rtf1{\\header H\\par}{\\footer F\\par}{\\headerl L}body\\par}")
        << QStringLiteral("body\r\n");
    QTest::newRow("list tables and \\listtext skipped")
        << BYTES("{\\rtf1{\\*\\listtable{\\list{\\listlevel{\\leveltext \\'02\\'00.;}}}}"
                 "{\\listoverridetable{\\listoverride\\ls1}}{\\listtext 1.\\tab}Item\\par}")
        << QStringLiteral("Item\r\n");
    QTest::newRow("rsid table, theme data, datastore, latent styles, xmlns table")
        << BYTES("{\\rtf1{\\*\\rsidtbl \\rsid1}{\\*\\themedata 504b}{\\*\\datastore 0105}"
                 "{\\*\\latentstyles\\lsdstimax376{\\lsdlockedexcept Normal;}}{\\*\\xmlnstbl "
                 "{\\xmlns1 http://x}}ok}")
        << QStringLiteral("ok");
    QTest::newRow("field: instruction skipped, result kept") << BYTES(
        "{\\rtf1 see {\\field{\\*\\fldinst HYPERLINK \"http://x\"}{\\fldrslt {\\ul link}}}.}")
                                                             << QStringLiteral("see link.");
    QTest::newRow("bookmarks skipped")
        << BYTES("{\\rtf1{\\*\\bkmkstart b1}text{\\*\\bkmkend b1}}") << QStringLiteral("text");
    QTest::newRow("\\upr: the \\ud copy is read")
        << BYTES("{\\rtf1{\\upr{ansi copy}{\\*\\ud{uni \\u8364?}}}!}") << text16(u"uni \u20AC!");
    QTest::newRow("escaped braces inside a skipped group")
        << BYTES("{\\rtf1{\\*\\x a\\}b\\{c}d}") << QStringLiteral("d");

    // --- tables ---
    QTest::newRow("table cells and rows")
        << BYTES("{\\rtf1\\trowd\\cellx1000\\cellx2000\\pard\\intbl a\\cell b\\cell\\row c\\par}")
        << QStringLiteral("a\tb\r\nc\r\n");
    QTest::newRow("cell paragraphs ended by \\par too (pandoc)") << BYTES(
        "{\\rtf1{\\trowd{{\\pard\\intbl a\\par}\\cell}{{\\pard\\intbl b\\par}\\cell}\\intbl\\row}}")
                                                                 << QStringLiteral("a\tb\r\n");
    QTest::newRow("two paragraphs in a cell")
        << BYTES("{\\rtf1\\trowd\\pard\\intbl a\\par b\\cell c\\cell\\row}")
        << QStringLiteral("a\r\nb\tc\r\n");
    QTest::newRow("paragraph before a table keeps its break")
        << BYTES("{\\rtf1 x\\par\\trowd\\cellx100\\pard\\intbl\\cell y\\cell\\row}")
        << QStringLiteral("x\r\n\ty\r\n");

    // --- damaged input ---
    QTest::newRow("unbalanced: extra closing brace ends the document")
        << BYTES("{\\rtf1 a}}b") << QStringLiteral("a");
    QTest::newRow("unbalanced: closing brace before the document")
        << BYTES("}{\\rtf1 a}") << QStringLiteral("a");
    QTest::newRow("unbalanced: missing closing braces")
        << BYTES("{\\rtf1{\\b a\\par b") << QStringLiteral("a\r\nb");
    QTest::newRow("truncated in a control word") << BYTES("{\\rtf1 ab\\pa") << QStringLiteral("ab");
    QTest::newRow("truncated after a backslash") << BYTES("{\\rtf1 ab\\") << QStringLiteral("ab");
    QTest::newRow("truncated in \\'hh") << BYTES("{\\rtf1 ab\\'") << QStringLiteral("ab");
    QTest::newRow("truncated in \\u") << BYTES("{\\rtf1 ab\\u82") << text16(u"ab\u0052");
    QTest::newRow("truncated in a skipped group")
        << BYTES("{\\rtf1 ab{\\fonttbl{\\f0 Ari") << QStringLiteral("ab");
    QTest::newRow("NUL and control bytes ignored") << BYTES("{\\rtf1 a\0b\x01"
                                                            "c}")
                                                   << QStringLiteral("abc");
}

void RtfReaderTest::snippets()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, expected);
    QCOMPARE(Files::rtfToPlainText(rtf), expected);
}

void RtfReaderTest::deepNestingDoesNotOverflow()
{
    const int depth = 200000;
    QByteArray rtf = "{\\rtf1 ";
    rtf.append(QByteArray(depth, '{'));
    rtf.append("deep");
    rtf.append(QByteArray(depth, '}'));
    rtf.append("}");
    QCOMPARE(Files::rtfToPlainText(rtf), QStringLiteral("deep"));
    // And never closed:
    rtf = "{\\rtf1 " + QByteArray(depth, '{') + "open";
    QCOMPARE(Files::rtfToPlainText(rtf), QStringLiteral("open"));
}

void RtfReaderTest::damagedInputNeverCrashesOrHangs()
{
    // Random sequences of RTF tokens and random bytes, and every prefix of a
    // real document: the reader must return, whatever it returns.
    static const char *const kTokens[] = {
        "{",
        "}",
        "\\",
        "\\par ",
        "\\u",
        "\\u-",
        "\\u55357",
        "\\u56832?",
        "\\uc",
        "\\uc2 ",
        "\\'",
        "\\'e9",
        "\\'g",
        "\\*",
        "\\fonttbl",
        "\\pict",
        "\\bin",
        "\\bin2 ",
        "\\bin99999 ",
        "\\cell",
        "\\row",
        "\\intbl",
        "\\upr",
        "\\ud",
        "text",
        " ",
        "\r\n",
        "\xE9",
        "\0",
        "\\-",
        "\\~",
        "\\\\",
        "\\{",
        "\\}",
        "\\ansicpg",
        "\\ansicpg1251 ",
        "9999999999999",
    };
    QRandomGenerator random(1234567);
    for (int round = 0; round < 3000; ++round) {
        QByteArray rtf = "{\\rtf1 ";
        const int tokens = random.bounded(1, 200);
        for (int t = 0; t < tokens; ++t) {
            if (random.bounded(10) == 0) {
                rtf.append(char(random.bounded(256)));
            } else {
                const char *token = kTokens[random.bounded(int(std::size(kTokens)))];
                rtf.append(token, qsizetype(qMax<size_t>(std::strlen(token), 1)));
            }
        }
        Files::rtfToPlainText(rtf);
        Files::decodeToPaneText(rtf);
    }
    const QByteArray real = readFixture(QStringLiteral("libreoffice-sample.rtf"));
    for (qsizetype n = 0; n <= real.size(); n += 7)
        QVERIFY(Files::rtfToPlainText(real.first(n)).size() <= n);
}

void RtfReaderTest::largeDocumentReadsWhole()
{
    // 200,000 paragraphs of CSV text written the way LibreOffice writes them.
    QByteArray rtf = readFixture(QStringLiteral("libreoffice-csv.rtf"));
    rtf.chop(rtf.size() - rtf.lastIndexOf('}'));
    const QByteArray paragraph =
        "\\pard\\plain \\s20\\rtlch\\af5\\afs20 \\ltrch\\hich\\af5\\loch\\f5\\fs20\\ql{\\loch\n"
        "Ren\\u233\\'e9e,Z\\u252\\'fcrich,12.50}\n\\par ";
    for (int i = 0; i < 200000; ++i)
        rtf.append(paragraph);
    rtf.append('}');
    const QString text = Files::rtfToPlainText(rtf);
    QVERIFY(text.endsWith(text16(u"Ren\u00E9e,Z\u00FCrich,12.50\r\n")));
    QCOMPARE(text.count(QStringLiteral("\r\n")), 5 + 200000);
}

void RtfReaderTest::documentTooLargeForMemoryIsReported()
{
#ifdef CORVANTIS_ASAN
    QSKIP("the address sanitizer reserves more address space than a limit can leave");
#elif defined(Q_OS_WIN)
    QSKIP("Windows has no limit of the address space to set (setrlimit)");
#else
    // 48 MB of rich text needs 96 MB of text; the process may grow by 80 MB.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.rtf"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QByteArray chunk(1 << 20, 'a');
        file.write("{\\rtf1 ");
        for (int i = 0; i < 48; ++i)
            QCOMPARE(file.write(chunk), chunk.size());
        file.write("}");
    }
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        QSKIP("cannot read this process's size");
    const rlim_t size = statm.readAll().split(' ').value(0).toULongLong() * rlim_t(getpagesize());
    rlimit old{};
    QVERIFY(getrlimit(RLIMIT_AS, &old) == 0);
    rlimit limit = old;
    limit.rlim_cur = size + (80u << 20);
    if (old.rlim_max != RLIM_INFINITY && old.rlim_max < limit.rlim_cur)
        QSKIP("the address space is already limited");
    QVERIFY(setrlimit(RLIMIT_AS, &limit) == 0);
    QString description;
    QString text;
    try {
        text = Files::loadFileText(path);
    } catch (const AppError &e) {
        description = e.description();
    } catch (const std::bad_alloc &) {
        description = QStringLiteral("<bad_alloc escaped>");
    }
    setrlimit(RLIMIT_AS, &old);
    QVERIFY2(description.startsWith(QStringLiteral("Out of memory")),
             qPrintable(QStringLiteral("loaded %1 characters; reported \"%2\"")
                            .arg(text.size())
                            .arg(description)));
#endif
}

QTEST_GUILESS_MAIN(RtfReaderTest)
#include "test_rtf_reader.moc"
