#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include "CliRun.h"
#include "engine/LineComparison.h"
#include "engine/WordComparison.h"
#include "text/TextDecoding.h"

class CliTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void exitStatus_data();
    void exitStatus();
    void listing_data();
    void listing();
    void savedResultBytes_data();
    void savedResultBytes();
    void unwritableOutputIsAnError();
    void jsonMatchesTheEngine_data();
    void jsonMatchesTheEngine();
    void wordsJson_data();
    void wordsJson();
    void strayBytesAreSaid_data();
    void strayBytesAreSaid();

private:
    using Run = CliRun::Result;
    QString write(const QString &name, const QByteArray &bytes) { return m_cli.write(name, bytes); }
    Run run(const QStringList &arguments, const QString &outputFile = QString())
    {
        return m_cli.run(arguments, QByteArray(), outputFile);
    }

    CliRun m_cli;
};

void CliTest::initTestCase()
{
    QVERIFY(m_cli.isValid());
}

void CliTest::exitStatus_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stdoutHas");
    QTest::addColumn<QString>("stderrHas");

    const QString a = write("a.csv", "x,1\r\ny,2\r\n");
    const QString aShuffled = write("a-shuffled.csv", "y,2\nx,1\n");
    const QString b = write("b.csv", "x,1\r\nz,3\r\n");
    const QString empty = write("empty.csv", "");
    const QString oneByte = write("one-byte.csv", "q");
    const QString missing = m_cli.path("missing.csv");
    // No one-byte code page holds all three (Windows passes names as UTF-16).
    const QString scripts = write(QStringLiteral("\u03A9-\u0436-\u4E2D.csv"), "x,1\r\nw,4\r\n");

    QTest::newRow("lines, same lines in another order")
        << QStringList{"lines", a, aShuffled} << 0 << ""
        << "";
    QTest::newRow("lines, different") << QStringList{"lines", a, b} << 1 << "z,3"
                                      << "";
    QTest::newRow("words, identical") << QStringList{"words", a, a} << 0 << ""
                                      << "";
    QTest::newRow("words, different") << QStringList{"words", a, b} << 1 << "z,3"
                                      << "";
    QTest::newRow("both empty") << QStringList{"lines", empty, empty} << 0 << ""
                                << "";
    QTest::newRow("empty against one byte") << QStringList{"words", empty, oneByte} << 1 << "\nq\n"
                                            << "";
    QTest::newRow("a name in other scripts")
        << QStringList{"lines", scripts, b} << 1 << "Lines of " + scripts + " missing from"
        << "";
    QTest::newRow("missing first file")
        << QStringList{"lines", missing, a} << 2 << "" << missing + ": File not found";
    QTest::newRow("missing second file, words")
        << QStringList{"words", a, missing} << 2 << "" << missing + ": File not found";
    QTest::newRow("folder given as a file") << QStringList{"lines", a, m_cli.folder()} << 2 << ""
                                            << "";
    QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage:"
                          << "";
    QTest::newRow("no arguments") << QStringList{} << 2 << ""
                                  << "Try 'corvantis-cli --help'.";
    QTest::newRow("one file") << QStringList{"lines", a} << 2 << ""
                              << "Try 'corvantis-cli --help'.";
    QTest::newRow("three files") << QStringList{"lines", a, b, b} << 2 << ""
                                 << "Try 'corvantis-cli --help'.";
    QTest::newRow("unknown comparison") << QStringList{"chars", a, b} << 2 << ""
                                        << "Try 'corvantis-cli --help'.";
    QTest::newRow("unknown option") << QStringList{"lines", a, b, "--fast"} << 2 << ""
                                    << "--fast";
    QTest::newRow("result of file 3") << QStringList{"lines", a, b, "--result", "3"} << 2 << ""
                                      << "Try 'corvantis-cli --help'.";
    QTest::newRow("result without a number") << QStringList{"lines", a, b, "--result"} << 2 << ""
                                             << "Try 'corvantis-cli --help'.";
    QTest::newRow("json with result")
        << QStringList{"lines", a, b, "--json", "--result=1"} << 2 << ""
        << "Try 'corvantis-cli --help'.";
}

void CliTest::exitStatus()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, stdoutHas);
    QFETCH(QString, stderrHas);

    const Run result = run(arguments);
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY2(QString::fromUtf8(result.out).contains(stdoutHas), result.out.constData());
    QVERIFY2(QString::fromUtf8(result.err).contains(stderrHas), result.err.constData());
    if (exitCode != 2)
        QCOMPARE(result.err, QByteArray());
}

void CliTest::listing_data()
{
    QTest::addColumn<QString>("comparison");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("lines") << "lines"
                           << QByteArray("Lines of F1 missing from F2:\n"
                                         "b,2\n"
                                         "Lines of F2 missing from F1:\n"
                                         "x,9\n");
    QTest::newRow("words") << "words"
                           << QByteArray("Words of F1 missing from their lines in F2:\n"
                                         "a,1\n"
                                         "b,2\n"
                                         "c,3\n"
                                         "Words of F2 missing from their lines in F1:\n"
                                         "c,3\n"
                                         "x,9\n"
                                         "a,1\n");
}

void CliTest::listing()
{
    QFETCH(QString, comparison);
    QFETCH(QByteArray, expected);

    const QString f1 = write("list1.csv", "a,1\r\nb,2\r\nc,3\r\n");
    const QString f2 = write("list2.csv", "c,3\nx,9\na,1\n");
    const Run result = run({comparison, f1, f2});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.out, expected.replace("F1", f1.toUtf8()).replace("F2", f2.toUtf8()));
}

void CliTest::savedResultBytes_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("expected");

    const QString f1 = write("save1.csv", "a,1\r\nb,2\r\nc,3\r\n");
    const QString f2 = write("save2.csv", "c,3\nx,9\na,1\n");
    const QString accents = write("accents.csv", "caf\xc3\xa9 ok\r\n");
    const QString plain = write("plain.csv", "cafe ok\r\n");

    QTest::newRow("lines, file 1")
        << QStringList{"lines", f1, f2, "--result", "1"} << QByteArray("\nb,2\r\r\n");
    QTest::newRow("lines, file 2")
        << QStringList{"--result=2", "lines", f1, f2} << QByteArray("\nx,9\r\r\n");
    QTest::newRow("lines, nothing differs")
        << QStringList{"lines", f1, f1, "--result", "1"} << QByteArray("\r\n");
    QTest::newRow("words, file 1")
        << QStringList{"words", f1, f2, "--result", "1"} << QByteArray("\r\na,1\r\nb,2\r\nc,3\r\n");
    QTest::newRow("words, non-ASCII word in UTF-8")
        << QStringList{"words", accents, plain, "--result", "1"}
        << QByteArray("\r\ncaf\xc3\xa9\r\n");
}

void CliTest::savedResultBytes()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, expected);

    const Run result = run(arguments);
    QCOMPARE(result.out, expected);
    QCOMPARE(result.exitCode, expected == "\r\n" ? 0 : 1);
}

void CliTest::unwritableOutputIsAnError()
{
    if (!QFile::exists(QStringLiteral("/dev/full")))
        QSKIP("no /dev/full here");
    const QString f1 = write("full1.csv", "a\r\n");
    const QString f2 = write("full2.csv", "b\r\n");
    const Run result = run({"lines", f1, f2, "--result", "1"}, QStringLiteral("/dev/full"));
    QCOMPARE(result.exitCode, 2);
    QVERIFY(!result.err.isEmpty());
}

namespace {

QJsonArray rangesJson(const Compare::ColourRanges &ranges)
{
    QJsonArray array;
    for (const Compare::ColourRange &r : Compare::normalised(ranges))
        array.append(QJsonArray{qint64(r.start), qint64(r.length)});
    return array;
}

QJsonObject parsedJson(const QByteArray &out)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(out, &error);
    if (error.error != QJsonParseError::NoError)
        qWarning("not JSON: %s", qPrintable(error.errorString()));
    return document.object();
}

} // namespace

void CliTest::jsonMatchesTheEngine_data()
{
    QTest::addColumn<QString>("comparison");
    QTest::addColumn<QByteArray>("bytes1");
    QTest::addColumn<QByteArray>("bytes2");

    const QByteArray csv1 = "id,name\r\n1,Ann\r\n2,Bob Lee\r\n3,Cy\r\n";
    const QByteArray csv2 = "id,name\n3,Cy\n2,Bob  Lee\n4,Di\n";
    // UTF-16 with a lone surrogate and a control character.
    const QByteArray odd = QByteArray("\xff\xfe"
                                      "a\0\0\xd8\r\0\n\0\x01\0\r\0\n\0",
                                      16);
    QTest::newRow("lines") << "lines" << csv1 << csv2;
    QTest::newRow("words") << "words" << csv1 << csv2;
    QTest::newRow("lines, lone surrogate and control character")
        << "lines" << odd << QByteArray("a\r\n");
    QTest::newRow("words, Windows-1252 bytes")
        << "words" << QByteArray("caf\xe9 au lait\r\n") << QByteArray("caf\xc3\xa9 lait\r\n");
}

void CliTest::jsonMatchesTheEngine()
{
    QFETCH(QString, comparison);
    QFETCH(QByteArray, bytes1);
    QFETCH(QByteArray, bytes2);

    const QString path1 = write("json1.csv", bytes1);
    const QString path2 = write("json2.csv", bytes2);
    const Run result = run({comparison, path1, path2, "--json"});

    const QString text1 = Files::loadFileText(path1) + u'\r';
    const QString text2 = Files::loadFileText(path2) + u'\r';
    Compare::SideResult side1;
    Compare::SideResult side2;
    if (comparison == QLatin1String("lines")) {
        side1 = Compare::findLineDifferences(text1, text2);
        side2 = Compare::findLineDifferences(text2, text1);
    } else {
        const Compare::WordComparison words = Compare::findWordDifferences(text1, text2);
        side1 = words.file1;
        side2 = words.file2;
    }
    QVERIFY(side1.differences + side2.differences > 0);

    QCOMPARE(result.exitCode, 1);
    const QJsonObject json = parsedJson(result.out);
    QCOMPARE(json.keys(), QStringList({"file1", "file2", "result1", "result2"}));
    QCOMPARE(json["file1"]["text"].toString(), text1);
    QCOMPARE(json["file2"]["text"].toString(), text2);
    QCOMPARE(json["file1"]["red"].toArray(), rangesJson(side1.red));
    QCOMPARE(json["file2"]["red"].toArray(), rangesJson(side2.red));
    QCOMPARE(json["result1"].toString(), side1.resultText);
    QCOMPARE(json["result2"].toString(), side2.resultText);
}

void CliTest::wordsJson_data()
{
    QTest::addColumn<QByteArray>("bytes1");
    QTest::addColumn<QByteArray>("bytes2");
    QTest::addColumn<QString>("result1");
    QTest::addColumn<QString>("result2");
    QTest::addColumn<QJsonArray>("red2");

    QTest::newRow("last line against a file that goes on")
        << QByteArray("a b") << QByteArray("a b\r\nc\r\n") << ""
        << "\r\nc" << QJsonArray{QJsonValue(QJsonArray{5, 1})};
    QTest::newRow("first file empty")
        << QByteArray() << QByteArray("p q\r\n") << ""
        << "\r\np\r\nq" << QJsonArray{QJsonArray{0, 1}, QJsonArray{2, 1}};

    // A file of 60000 characters whose only different word stands at its end.
    QByteArray big;
    for (int i = 0; i < 5000; ++i)
        big += "row " + QByteArray::number(i % 10) + " ok\r\n";
    QByteArray changed = big;
    changed.replace(changed.size() - 4, 2, "KO");
    QTest::newRow("large file") << big << changed << "\r\nok"
                                << "\r\nKO"
                                << QJsonArray{
                                       QJsonValue(QJsonArray{qint64(changed.size()) - 4, 2})};
}

void CliTest::wordsJson()
{
    QFETCH(QByteArray, bytes1);
    QFETCH(QByteArray, bytes2);
    QFETCH(QString, result1);
    QFETCH(QString, result2);
    QFETCH(QJsonArray, red2);

    const Run result = run({"words", write("w1.csv", bytes1), write("w2.csv", bytes2), "--json"});
    QCOMPARE(result.exitCode, 1);
    const QJsonObject json = parsedJson(result.out);
    QCOMPARE(json["result1"].toString(), result1);
    QCOMPARE(json["result2"].toString(), result2);
    QCOMPARE(json["file2"]["red"].toArray(), red2);
    QCOMPARE(json["file1"]["red"].toArray().size(), qsizetype(result1.count(u'\n')));
}

void CliTest::strayBytesAreSaid_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("listed");
    QTest::newRow("lines") << QStringList{"lines"} << QStringLiteral("2,x\u00e9");
    QTest::newRow("words") << QStringList{"words"} << QStringLiteral("2,x\u00e9");
    QTest::newRow("rows") << QStringList{"rows", "--key", "id"}
                          << QStringLiteral("id=2: v [2] \"x\u00e9\" \u2192 \"xy\"");
}

// A file that is UTF-8 but for one byte keeps its UTF-8 as it is: the row
// both files hold alike is not listed, the one that differs is, and every
// mode says which file was not UTF-8 and on which line.
void CliTest::strayBytesAreSaid()
{
    QFETCH(QStringList, options);
    QFETCH(QString, listed);
    const QString stray = write("stray.csv", "id,v\n1,caf\xc3\xa9\n2,x\xe9\n");
    const QString plain = write("plain.csv", "id,v\n1,caf\xc3\xa9\n2,xy\n");
    const Run result = run(QStringList{options.front(), stray, plain} + options.mid(1));
    QCOMPARE(result.exitCode, 1);
    const QString out = QString::fromUtf8(result.out);
    QVERIFY2(out.contains(listed), result.out.constData());
    QVERIFY2(!out.contains(QStringLiteral("caf")), result.out.constData());
    QCOMPARE(QString::fromUtf8(result.err).trimmed(),
             QStringLiteral("corvantis-cli: %1: not valid UTF-8 (line 3); read as UTF-8 (invalid "
                            "bytes as Windows-1252)")
                 .arg(stray));
}

QTEST_GUILESS_MAIN(CliTest)
#include "test_cli.moc"
