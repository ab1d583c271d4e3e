#include <cmath>

#include <QRandomGenerator>
#include <QStringList>
#include <QTest>

#include "ColourRangeText.h"
#include "RandomPaneText.h"
#include "engine/WordComparison.h"
#include "text/PaneBytes.h"

using Compare::ColourRanges;
using Compare::SideResult;

class WordComparisonTest : public QObject
{
    Q_OBJECT

private slots:
    void exactResult_data();
    void exactResult();
    void windowEdge_data();
    void windowEdge();
    void comparesBeyond32767Characters_data();
    void comparesBeyond32767Characters();
    void agreesWithPlainDefinition_data();
    void agreesWithPlainDefinition();
    void paneBytesGiveTheSameResult();
    void reportsEveryStepOfProgress();
    void cancelledStopsEarly_data();
    void cancelledStopsEarly();
};

namespace {

// The search window for a line of n words: (n - 1) / 2 + 1, rounded half to even.
qsizetype searchWindow(qsizetype n)
{
    return qsizetype(std::nearbyint(double(n + 1) / 2));
}

QStringList linesOf(QString text)
{
    if (text.endsWith(u'\r'))
        text.chop(1);
    return text.isEmpty() ? QStringList() : text.split(QStringLiteral("\r\n"));
}

// One pass of the word comparison written the slow, obvious way: every word
// looked for at each of the W places after the last match.
SideResult plainPass(const QString &source, const QString &other)
{
    const QStringList sourceLines = linesOf(source);
    const QStringList otherLines = linesOf(other);
    SideResult result;
    qsizetype p = 1;
    qsizetype q = 1;
    qsizetype j = 0;
    for (const QString &line : sourceLines) {
        const QString partner = otherLines.isEmpty() ? QString() : otherLines[j];
        const QStringList w1 = line.isEmpty() ? QStringList() : line.split(u' ');
        const QStringList w2 = partner.isEmpty() ? QStringList() : partner.split(u' ');
        const qsizetype window = searchWindow(w1.size());
        qsizetype k = 0;
        qsizetype offset = 0;
        for (const QString &word : w1) {
            bool found = false;
            for (qsizetype m = 0; m < window && !found; ++m) {
                if (k + m < w2.size() && w2[k + m] == word) {
                    found = true;
                    k = k + m + 1;
                }
            }
            if (!found) {
                result.resultText += QStringLiteral("\r\n") + word;
                if (!word.isEmpty())
                    result.red.push_back({p - 1 + offset, word.size()});
                ++result.differences;
            }
            offset += word.size() + 1;
        }
        p += line.size() + 2;
        if (!otherLines.isEmpty() && q + otherLines[j].size() + 2 <= other.size()) {
            q += otherLines[j].size() + 2;
            ++j;
        }
    }
    return result;
}

// Lines of up to `longest` words from `vocabulary`, so that long windows,
// repeated words and empty words all occur.
QString randomText(QRandomGenerator &random,
                   const QStringList &vocabulary = {"a", "b", "c", "", "A", "ab"},
                   int longest = 120)
{
    const int lines = random.bounded(6);
    QStringList text;
    for (int i = 0; i < lines; ++i) {
        const int words = random.bounded(4) == 0 ? random.bounded(longest + 1) : random.bounded(6);
        QStringList line;
        for (int w = 0; w < words; ++w)
            line << vocabulary[random.bounded(int(vocabulary.size()))];
        text << line.join(u' ');
    }
    QString joined = text.join(QStringLiteral("\r\n"));
    if (random.bounded(3) != 0)
        joined += u'\r';
    return joined;
}

} // namespace

void WordComparisonTest::exactResult_data()
{
    QTest::addColumn<QString>("text1");
    QTest::addColumn<QString>("text2");
    QTest::addColumn<QString>("result1");
    QTest::addColumn<ColourRanges>("red1");
    QTest::addColumn<QString>("result2");
    QTest::addColumn<ColourRanges>("red2");

    QTest::newRow("plain CSV rows, one word each")
        << "a,1\r\nb,2\r\nc,3\r"
        << "a,1\r\nB,2\r\nc,3\r"
        << "\r\nb,2" << ColourRanges{{5, 3}} << "\r\nB,2" << ColourRanges{{5, 3}};
    QTest::newRow("identical files") << "x y z\r\nq\r"
                                     << "x y z\r\nq\r"
                                     << "" << ColourRanges{} << "" << ColourRanges{};
    QTest::newRow("A X B against A B") << "A X B\r"
                                       << "A B\r"
                                       << "\r\nX" << ColourRanges{{2, 1}} << "" << ColourRanges{};
    QTest::newRow("F moved to the front")
        << "A B C D E F\r"
        << "F A B C D E\r"
        << "\r\nF" << ColourRanges{{10, 1}} << "\r\nF" << ColourRanges{{0, 1}};
    QTest::newRow("word beyond the window")
        << "A Z\r"
        << "A B C Z\r"
        << "\r\nZ" << ColourRanges{{2, 1}} << "\r\nB\r\nC" << ColourRanges{{2, 1}, {4, 1}};
    QTest::newRow("two spaces in a row: empty word listed, nothing coloured")
        << "A  B\r"
        << "A B\r"
        << "\r\n"
        << ColourRanges{} << "" << ColourRanges{};
    QTest::newRow("leading space") << " a\r"
                                   << "a\r"
                                   << "\r\n"
                                   << ColourRanges{} << "\r\na" << ColourRanges{{0, 1}};
    QTest::newRow("more lines in file 1 meet the last line of file 2")
        << "a\r\nb\r\nb\r\nc\r"
        << "a\r\nb\r"
        << "\r\nc" << ColourRanges{{9, 1}} << "" << ColourRanges{};
    QTest::newRow("file 2 runs out one line early")
        << "a\r\nb\r\nc\r"
        << "a\r\nc\r"
        << "\r\nb" << ColourRanges{{3, 1}} << "\r\nc" << ColourRanges{{3, 1}};
    QTest::newRow("a line against an empty line and the reverse")
        << "x y\r\nz\r"
        << "\r\nz\r"
        << "\r\nx\r\ny" << ColourRanges{{0, 1}, {2, 1}} << "" << ColourRanges{};
    QTest::newRow("case counts") << "Ab cd\r"
                                 << "ab cd\r"
                                 << "\r\nAb" << ColourRanges{{0, 2}} << "\r\nab"
                                 << ColourRanges{{0, 2}};
    QTest::newRow("last line matches a line of a file that goes on")
        << "a b\r"
        << "a b\r\nc\r"
        << "" << ColourRanges{} << "\r\nc" << ColourRanges{{5, 1}};
    QTest::newRow("the appended CR is no part of a word")
        << "a\r"
        << "b\r"
        << "\r\na" << ColourRanges{{0, 1}} << "\r\nb" << ColourRanges{{0, 1}};
    QTest::newRow("partner found after a final line break")
        << "a\r\na\r"
        << "a\r\n\r"
        << "\r\na" << ColourRanges{{3, 1}} << "" << ColourRanges{};
    QTest::newRow("text without the appended CR")
        << "a b"
        << "a c"
        << "\r\nb" << ColourRanges{{2, 1}} << "\r\nc" << ColourRanges{{2, 1}};
    QTest::newRow("file 2 empty") << "a b\r\nc\r"
                                  << ""
                                  << "\r\na\r\nb\r\nc" << ColourRanges{{0, 1}, {2, 1}, {5, 1}} << ""
                                  << ColourRanges{};
    QTest::newRow("file 2 an empty file as loaded")
        << "a b\r\nc\r"
        << "\r"
        << "\r\na\r\nb\r\nc" << ColourRanges{{0, 1}, {2, 1}, {5, 1}} << "" << ColourRanges{};
    QTest::newRow("file 1 empty") << ""
                                  << "p q\r"
                                  << "" << ColourRanges{} << "\r\np\r\nq"
                                  << ColourRanges{{0, 1}, {2, 1}};
    QTest::newRow("both empty") << ""
                                << ""
                                << "" << ColourRanges{} << "" << ColourRanges{};
    QTest::newRow("both empty files as loaded") << "\r"
                                                << "\r"
                                                << "" << ColourRanges{} << "" << ColourRanges{};
}

void WordComparisonTest::exactResult()
{
    QFETCH(QString, text1);
    QFETCH(QString, text2);
    QFETCH(QString, result1);
    QFETCH(ColourRanges, red1);
    QFETCH(QString, result2);
    QFETCH(ColourRanges, red2);

    const Compare::WordComparison result = Compare::findWordDifferences(text1, text2);
    QCOMPARE(result.file1.resultText, result1);
    QCOMPARE(result.file1.red, red1);
    QCOMPARE(result.file1.differences, qsizetype(result1.count(QStringLiteral("\r\n"))));
    QCOMPARE(result.file2.resultText, result2);
    QCOMPARE(result.file2.red, red2);
    QCOMPARE(result.file2.differences, qsizetype(result2.count(QStringLiteral("\r\n"))));
}

void WordComparisonTest::windowEdge_data()
{
    QTest::addColumn<int>("words");
    QTest::addColumn<int>("position");
    QTest::addColumn<bool>("reported");

    // The first word X of the examined line stands at `position` in its partner
    // line; the window of the examined line decides whether it is found there.
    QTest::newRow("3 words, last place of the window") << 3 << 1 << false;
    QTest::newRow("3 words, just beyond the window") << 3 << 2 << true;
    QTest::newRow("70 words, last place of the window") << 70 << 35 << false;
    QTest::newRow("70 words, just beyond the window") << 70 << 36 << true;
    QTest::newRow("101 words, last place of the window") << 101 << 50 << false;
    QTest::newRow("101 words, just beyond the window") << 101 << 51 << true;
}

void WordComparisonTest::windowEdge()
{
    QFETCH(int, words);
    QFETCH(int, position);
    QFETCH(bool, reported);

    const QString examined = u'X' + QStringLiteral(" e").repeated(words - 1) + u'\r';
    const QString partner = QStringLiteral("o ").repeated(position) + QStringLiteral("X\r");
    const SideResult result = Compare::findWordDifferences(examined, partner).file1;
    const bool xReported = !result.red.empty() && result.red.front() == Compare::ColourRange{0, 1};
    QCOMPARE(xReported, reported);
}

void WordComparisonTest::comparesBeyond32767Characters_data()
{
    QTest::addColumn<QString>("text1");
    QTest::addColumn<QString>("text2");
    QTest::addColumn<QString>("word1");
    QTest::addColumn<QString>("word2");

    // Many short lines; only the last one differs.
    QStringList rows;
    for (int i = 0; i < 4000; ++i)
        rows << QStringLiteral("w%1 x y z,").arg(i);
    const QString manyLines = rows.join(QStringLiteral("\r\n")) + u'\r';
    rows.last().replace(QStringLiteral(" y "), QStringLiteral(" Y "));
    QTest::newRow("many lines") << manyLines << rows.join(QStringLiteral("\r\n")) + u'\r' << "y"
                                << "Y";

    // One line of 20000 words with one word more near its end.
    QStringList words;
    for (int i = 0; i < 20000; ++i)
        words << QStringLiteral("t%1").arg(i % 500);
    const QString line = words.join(u' ') + u'\r';
    words.insert(19990, QStringLiteral("EXTRA"));
    QTest::newRow("one long line") << words.join(u' ') + u'\r' << line << "EXTRA"
                                   << "";
}

void WordComparisonTest::comparesBeyond32767Characters()
{
    QFETCH(QString, text1);
    QFETCH(QString, text2);
    QFETCH(QString, word1);
    QFETCH(QString, word2);
    QVERIFY(text1.size() > 40000);

    const Compare::WordComparison result = Compare::findWordDifferences(text1, text2);
    QCOMPARE(result.file1.resultText, QStringLiteral("\r\n") + word1);
    QCOMPARE(result.file1.red.size(), size_t(1));
    const Compare::ColourRange at = result.file1.red.front();
    QVERIFY(at.start > 32767);
    QCOMPARE(text1.mid(at.start, at.length), word1);
    QCOMPARE(text1.mid(at.start - 1, at.length + 2), u' ' + word1 + u' ');

    if (word2.isEmpty()) {
        QCOMPARE(result.file2.resultText, QString());
    } else {
        QCOMPARE(result.file2.resultText, QStringLiteral("\r\n") + word2);
        QCOMPARE(result.file2.red.size(), size_t(1));
        QCOMPARE(text2.mid(result.file2.red.front().start, word2.size()), word2);
    }
}

void WordComparisonTest::agreesWithPlainDefinition_data()
{
    QTest::addColumn<QStringList>("vocabulary");
    QTest::addColumn<int>("longest");
    QTest::newRow("few words, often repeated") << QStringList{"a", "b", "c", "", "A", "ab"} << 120;
    // Enough distinct words in a line that the index of a partner line
    // grows its table while it is built.
    QStringList many{""};
    for (int i = 0; i < 300; ++i)
        many << QStringLiteral("w%1").arg(i % 150) + (i < 150 ? QString() : QStringLiteral("x"));
    QTest::newRow("hundreds of distinct words") << many << 500;
}

void WordComparisonTest::agreesWithPlainDefinition()
{
    QFETCH(QStringList, vocabulary);
    QFETCH(int, longest);
    QRandomGenerator random(1984);
    for (int round = 0; round < 2000; ++round) {
        const QString text1 = randomText(random, vocabulary, longest);
        const QString text2 = randomText(random, vocabulary, longest);
        const Compare::WordComparison actual = Compare::findWordDifferences(text1, text2);
        const SideResult expected1 = plainPass(text1, text2);
        const SideResult expected2 = plainPass(text2, text1);
        const QByteArray where = QStringLiteral("round %1").arg(round).toUtf8();
        QVERIFY2(actual.file1.resultText == expected1.resultText, where.constData());
        QVERIFY2(actual.file1.red == expected1.red, where.constData());
        QVERIFY2(actual.file1.differences == expected1.differences, where.constData());
        QVERIFY2(actual.file2.resultText == expected2.resultText, where.constData());
        QVERIFY2(actual.file2.red == expected2.red, where.constData());
        QVERIFY2(actual.file2.differences == expected2.differences, where.constData());
    }
}

// Both passes on the panes' UTF-8 bytes, ranges counted back in UTF-16 units,
// equal the comparison of the UTF-16 texts; so does each pass run alone.
void WordComparisonTest::paneBytesGiveTheSameResult()
{
    QRandomGenerator random(2718);
    for (int round = 0; round < 3000; ++round) {
        const QString text1 = randomPaneText(random);
        const QString text2 = randomPaneText(random);
        const QByteArray bytes1 = PaneBytes::fromText(text1);
        const QByteArray bytes2 = PaneBytes::fromText(text2);
        const Compare::WordComparison expected = Compare::findWordDifferences(text1, text2);
        const Compare::ByteWordComparison actual = Compare::findWordDifferences(bytes1, bytes2);
        const Compare::ByteSideResult alone = Compare::findWordDifferencesOf(bytes2, bytes1);
        const QByteArray where = QStringLiteral("round %1").arg(round).toUtf8();
        QVERIFY2(PaneBytes::toText(actual.file1.resultText) == expected.file1.resultText,
                 where.constData());
        QVERIFY2(PaneBytes::toUtf16Ranges(bytes1, actual.file1.red) == expected.file1.red,
                 where.constData());
        QVERIFY2(actual.file1.differences == expected.file1.differences, where.constData());
        QVERIFY2(PaneBytes::toText(actual.file2.resultText) == expected.file2.resultText,
                 where.constData());
        QVERIFY2(PaneBytes::toUtf16Ranges(bytes2, actual.file2.red) == expected.file2.red,
                 where.constData());
        QVERIFY2(alone.resultText == actual.file2.resultText && alone.red == actual.file2.red,
                 where.constData());
    }
}

void WordComparisonTest::reportsEveryStepOfProgress()
{
    QString many;
    for (int i = 0; i < 9000; ++i)
        many += QStringLiteral("r%1 a b\r\n").arg(i);
    const QString pairs[][2] = {{"", ""}, {"a b\r", ""}, {many + u'\r', "x\r\ny"}};
    for (const auto &pair : pairs) {
        Compare::Progress progress;
        Compare::findWordDifferences(pair[0], pair[1], &progress);
        QCOMPARE(progress.total.load(), qint64(pair[0].size() + pair[1].size()));
        QCOMPARE(progress.done.load(), progress.total.load());
    }
}

void WordComparisonTest::cancelledStopsEarly_data()
{
    QTest::addColumn<QByteArray>("text1");
    QTest::addColumn<QByteArray>("text2");
    QByteArray lines1;
    QByteArray lines2;
    QByteArray line1;
    QByteArray line2;
    for (int i = 0; i < 100000; ++i) {
        lines1 += "a " + QByteArray::number(i) + "\r\n";
        lines2 += "b " + QByteArray::number(i) + "\r\n";
        line1 += "a" + QByteArray::number(i) + ' ';
        line2 += "b" + QByteArray::number(i) + ' ';
    }
    QTest::newRow("many lines") << lines1 << lines2;
    // A single line must not run to its end once cancelled either.
    QTest::newRow("one long line") << line1 << line2;
}

void WordComparisonTest::cancelledStopsEarly()
{
    QFETCH(QByteArray, text1);
    QFETCH(QByteArray, text2);
    Compare::Progress progress;
    progress.cancelled = true;
    const Compare::ByteSideResult found = Compare::findWordDifferencesOf(text1, text2, &progress);
    QVERIFY2(found.differences < 100000, qPrintable(QString::number(found.differences)));
    QVERIFY(progress.done < progress.total);
}

QTEST_APPLESS_MAIN(WordComparisonTest)
#include "test_word_comparison.moc"
