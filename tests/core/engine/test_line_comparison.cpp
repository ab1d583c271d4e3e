#include <algorithm>

#include <QRandomGenerator>
#include <QSet>
#include <QStringList>
#include <QTest>

#include "ColourRangeText.h"
#include "RandomPaneText.h"
#include "engine/LineComparison.h"
#include "text/PaneBytes.h"

using Compare::ColourRanges;
using Compare::SideResult;

class LineComparisonTest : public QObject
{
    Q_OBJECT

private slots:
    void exactResult_data();
    void exactResult();
    void agreesWithPlainDefinition();
    void paneBytesGiveTheSameResult();
    void reportsEveryStepOfProgress_data();
    void reportsEveryStepOfProgress();
    void shuffledLargeFileHasNoDifferences();
    void findsLinesAddedAfterTheFirstThousands_data();
    void findsLinesAddedAfterTheFirstThousands();
    void cancelledStopsEarly();
    void lastPieceOfARun_data();
    void lastPieceOfARun();
};

namespace {

QString lineOf(const QString &piece)
{
    return piece.startsWith(u'\n') ? piece.mid(1) : piece;
}

// Whether pieces[i] belongs to the end of a text that ends with a CR: the
// empty piece after that CR, and an empty line just before it (the file's
// own last break, or an empty file).
bool isEndPiece(const QStringList &pieces, qsizetype i)
{
    const qsizetype n = pieces.size();
    if (n < 2 || !pieces.last().isEmpty())
        return false;
    return i == n - 1 || (i == n - 2 && lineOf(pieces[i]).isEmpty());
}

// Two pieces stand for the same line when their texts without the LF a CR
// LF break leaves before them are equal; the end of one text equals only the
// end of the other.
bool sameLine(const QString &a, bool aIsEnd, const QString &b, bool bIsEnd)
{
    if (aIsEnd || bIsEnd)
        return aIsEnd && bIsEnd;
    return lineOf(a) == lineOf(b);
}

// The comparison as a user would state it: a piece (the text between two CRs)
// differs when no piece of the other text has the same line, whatever stands
// before it; it is listed as cut plus a CR and coloured with its CR.
SideResult plainDefinition(const QString &source, const QString &other)
{
    const QStringList a = source.isEmpty() ? QStringList() : source.split(u'\r');
    const QStringList b = other.isEmpty() ? QStringList() : other.split(u'\r');
    SideResult result;
    qsizetype start = 0;
    for (qsizetype i = 0; i < a.size(); ++i) {
        bool found = false;
        for (qsizetype j = 0; j < b.size() && !found; ++j)
            found = sameLine(a[i], isEndPiece(a, i), b[j], isEndPiece(b, j));
        const qsizetype withCr = a[i].size() + (i + 1 < a.size() ? 1 : 0);
        if (!found) {
            result.resultText += a[i] + u'\r';
            if (withCr > 0)
                result.red.push_back({start, withCr});
            ++result.differences;
        }
        start += withCr;
    }
    return result;
}

// A pane-like text: short lines, mostly CR LF breaks, now and then a lone CR
// or LF, usually ending with the CR that loading appends.
QString randomText(QRandomGenerator &random)
{
    static const QStringList lines = {QString(), "a", "b", "ab", "a b", "A", " ", "b,a"};
    static const QStringList breaks = {"\r\n", "\r\n", "\r\n", "\r\n", "\r", "\n"};
    const int count = random.bounded(7);
    QString text;
    for (int i = 0; i < count; ++i) {
        text += lines[random.bounded(int(lines.size()))];
        if (i + 1 < count)
            text += breaks[random.bounded(int(breaks.size()))];
    }
    if (random.bounded(4) != 0)
        text += u'\r';
    return text;
}

QString escaped(const QString &text)
{
    QString out = text;
    return out.replace(u'\r', QLatin1String("\\r")).replace(u'\n', QLatin1String("\\n"));
}

} // namespace

void LineComparisonTest::exactResult_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("other");
    QTest::addColumn<QString>("resultText");
    QTest::addColumn<ColourRanges>("red");

    QTest::newRow("same lines in the same order") << "a,1\r\nb,2\r\nc,3\r"
                                                  << "a,1\r\nb,2\r\nc,3\r"
                                                  << "" << ColourRanges{};
    QTest::newRow("other empty: every piece, the empty last one too")
        << "a\r\nb\r"
        << ""
        << "a\r\nb\r\r" << ColourRanges{{0, 2}, {2, 3}};
    QTest::newRow("source empty") << ""
                                  << "a\r\nb\r"
                                  << "" << ColourRanges{};
    QTest::newRow("both empty") << ""
                                << ""
                                << "" << ColourRanges{};
    QTest::newRow("empty file loaded against a file") << "\r"
                                                      << "a\r\nb\r"
                                                      << "" << ColourRanges{};
    QTest::newRow("duplicate present once in other") << "x\r\nx\r\ny\r"
                                                     << "y\r\nx\r"
                                                     << "" << ColourRanges{};
    QTest::newRow("duplicate missing is listed twice")
        << "x\r\nq\r\nx\r"
        << "q\r"
        << "x\r\nx\r" << ColourRanges{{0, 2}, {5, 3}};
    QTest::newRow("same lines in another order") << "a\r\nb\r\nc\r"
                                                 << "c\r\na\r\nb\r"
                                                 << "" << ColourRanges{};
    QTest::newRow("first line stands later in other") << "b\r\nz\r"
                                                      << "a\r\nb\r"
                                                      << "\nz\r" << ColourRanges{{2, 3}};
    QTest::newRow("later line stands first in other") << "z\r\na\r"
                                                      << "a\r\nb\r"
                                                      << "z\r" << ColourRanges{{0, 2}};
    QTest::newRow("case counts") << "Abc\r"
                                 << "abc\r"
                                 << "Abc\r" << ColourRanges{{0, 4}};
    QTest::newRow("blank after a comma counts") << "x\r\na, b\r"
                                                << "x\r\na,b\r"
                                                << "\na, b\r" << ColourRanges{{2, 6}};
    QTest::newRow("trailing blank counts") << "a \r"
                                           << "a\r"
                                           << "a \r" << ColourRanges{{0, 3}};
    QTest::newRow("first line colours only itself, not the end of ab")
        << "b\r\nab\r"
        << "ab\r"
        << "b\r" << ColourRanges{{0, 2}};
    QTest::newRow("last line without a CR is coloured") << "a\r\nb"
                                                        << "a\r"
                                                        << "\nb\r" << ColourRanges{{2, 2}};
    QTest::newRow("blank line is no match for the appended break")
        << "a\r\n\r\nb\r"
        << "a\r\nb\r"
        << "\n\r" << ColourRanges{{2, 2}};
    QTest::newRow("blank line matches a blank line") << "a\r\n\r\nb\r"
                                                     << "b\r\n\r\na\r"
                                                     << "" << ColourRanges{};
    QTest::newRow("empty first line matches a later blank line") << "\r\na\r"
                                                                 << "a\r\n\r\nb\r"
                                                                 << "" << ColourRanges{};
    QTest::newRow("file's last break against a file without one") << "a\r\nb\r\n\r"
                                                                  << "b\r\na\r"
                                                                  << "" << ColourRanges{};
    QTest::newRow("blank line before the file's last break") << "a\r\n\r\n\r"
                                                             << "a\r\n\r"
                                                             << "\n\r" << ColourRanges{{2, 2}};
    QTest::newRow("empty file against a file with a blank line") << "\r"
                                                                 << "a\r\n\r\nb\r"
                                                                 << "" << ColourRanges{};
    QTest::newRow("appended break alone against a blank line") << "a\r"
                                                               << "a\r\n\r\n"
                                                               << "\r" << ColourRanges{};
    QTest::newRow("blank line against a text without an empty piece")
        << "a\r\n\r\nb"
        << "a\r\nb"
        << "\n\r" << ColourRanges{{2, 2}};
    QTest::newRow("lone LF inside a line stays part of it") << "a\nb\r"
                                                            << "a\r\nb\r"
                                                            << "a\nb\r" << ColourRanges{{0, 4}};
    QTest::newRow("characters beyond Latin-1")
        << QString::fromUtf8("été\r\n\xF0\x9F\x98\x80\r") << QString::fromUtf8("\xF0\x9F\x98\x80\r")
        << QString::fromUtf8("été\r") << ColourRanges{{0, 4}};
}

void LineComparisonTest::exactResult()
{
    QFETCH(QString, source);
    QFETCH(QString, other);
    QFETCH(QString, resultText);
    QFETCH(ColourRanges, red);

    const SideResult result = Compare::findLineDifferences(source, other);
    QCOMPARE(result.resultText, resultText);
    QCOMPARE(result.red, red);
    QCOMPARE(result.differences, qsizetype(resultText.count(u'\r')));
}

void LineComparisonTest::agreesWithPlainDefinition()
{
    QRandomGenerator random(20210831);
    for (int round = 0; round < 3000; ++round) {
        const QString source = randomText(random);
        const QString other = randomText(random);
        const SideResult expected = plainDefinition(source, other);
        const SideResult actual = Compare::findLineDifferences(source, other);
        const QByteArray where =
            ("source \"" + escaped(source) + "\" other \"" + escaped(other) + "\"").toUtf8();
        QVERIFY2(actual.resultText == expected.resultText, where.constData());
        QVERIFY2(actual.red == expected.red, where.constData());
        QVERIFY2(actual.differences == expected.differences, where.constData());
    }
}

// The comparison of the panes' UTF-8 bytes, its ranges counted back in UTF-16
// units, equals the comparison of the UTF-16 texts; joined ranges are the
// same characters.
void LineComparisonTest::paneBytesGiveTheSameResult()
{
    QRandomGenerator random(5551);
    for (int round = 0; round < 3000; ++round) {
        const QString source = randomPaneText(random);
        const QString other = randomPaneText(random);
        const QByteArray sourceBytes = PaneBytes::fromText(source);
        const QByteArray otherBytes = PaneBytes::fromText(other);
        const SideResult expected = Compare::findLineDifferences(source, other);
        const Compare::ByteSideResult actual =
            Compare::findLineDifferences(sourceBytes, otherBytes);
        const Compare::ByteSideResult joined =
            Compare::findLineDifferences(sourceBytes, otherBytes, nullptr, Compare::Ranges::Joined);
        const QByteArray where =
            ("source \"" + escaped(source) + "\" other \"" + escaped(other) + "\"").toUtf8();
        QVERIFY2(PaneBytes::toText(actual.resultText) == expected.resultText, where.constData());
        QVERIFY2(PaneBytes::toUtf16Ranges(sourceBytes, actual.red) == expected.red,
                 where.constData());
        QVERIFY2(actual.differences == expected.differences, where.constData());
        QVERIFY2(joined.red == Compare::normalised(actual.red), where.constData());
        QVERIFY2(joined.resultText == actual.resultText, where.constData());
    }
}

void LineComparisonTest::reportsEveryStepOfProgress_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("other");

    QString many;
    for (int i = 0; i < 10000; ++i)
        many += QStringLiteral("row %1,x\r\n").arg(i);
    QTest::newRow("both empty") << ""
                                << "";
    QTest::newRow("small") << "a\r\nb\r"
                           << "b\r";
    QTest::newRow("more pieces than one report") << many + u'\r' << many.left(70001);
}

void LineComparisonTest::reportsEveryStepOfProgress()
{
    QFETCH(QString, source);
    QFETCH(QString, other);

    Compare::Progress progress;
    Compare::findLineDifferences(source, other, &progress);
    QCOMPARE(progress.total.load(), qint64(source.size() + other.size()));
    QCOMPARE(progress.done.load(), progress.total.load());
}

void LineComparisonTest::shuffledLargeFileHasNoDifferences()
{
    QStringList rows;
    for (int i = 0; i < 50000; ++i)
        rows << QStringLiteral("%1,name %2,%3").arg(i).arg(i % 97).arg(i * 7 % 1000);
    const QString original = rows.join(QLatin1String("\r\n")) + u'\r';
    QRandomGenerator random(7);
    std::shuffle(rows.begin(), rows.end(), random);
    const QString shuffled = rows.join(QLatin1String("\r\n")) + u'\r';
    QVERIFY(original != shuffled);

    QCOMPARE(Compare::findLineDifferences(original, shuffled).differences, qsizetype(0));
    QCOMPARE(Compare::findLineDifferences(shuffled, original).differences, qsizetype(0));

    rows[123] += u'!';
    const QString changed = rows.join(QLatin1String("\r\n")) + u'\r';
    const SideResult result = Compare::findLineDifferences(changed, original);
    QCOMPARE(result.resultText, u'\n' + rows[123] + u'\r');
    QCOMPARE(result.red.size(), size_t(1));
    QCOMPARE(changed.mid(result.red[0].start, result.red[0].length), u'\n' + rows[123] + u'\r');
}
// The set of lines is sized from a text's first few thousand lines; lines
// that first come later must still all be found once it has had to grow.
void LineComparisonTest::findsLinesAddedAfterTheFirstThousands_data()
{
    QTest::addColumn<QString>("lineBreak");
    QTest::addColumn<QString>("end");

    QTest::newRow("CR LF, ends with CR") << "\r\n"
                                         << "\r";
    QTest::newRow("CR, last line without CR") << "\r"
                                              << "";
    QTest::newRow("CR LF, last line empty") << "\r\n"
                                            << "\r\r";
}

void LineComparisonTest::findsLinesAddedAfterTheFirstThousands()
{
    QFETCH(QString, lineBreak);
    QFETCH(QString, end);

    QStringList otherLines(5000, QStringLiteral("same"));
    QStringList sourceLines{QStringLiteral("same"), QString()};
    for (int i = 0; i < 20000; ++i) {
        otherLines << QStringLiteral("row %1,%2").arg(i).arg(i * 31 % 1000);
        if (i % 3 == 0)
            sourceLines << otherLines.back();
        if (i % 5 == 0)
            sourceLines << QStringLiteral("row %1,new").arg(i);
    }
    const QString other = otherLines.join(lineBreak) + end;
    const QString source = sourceLines.join(lineBreak) + u'\r';

    // What differs, from a set of the other text's lines (its end is none).
    QSet<QString> known;
    const QStringList otherPieces = other.split(u'\r');
    bool otherHasEnd = false;
    for (qsizetype i = 0; i < otherPieces.size(); ++i) {
        if (isEndPiece(otherPieces, i))
            otherHasEnd = true;
        else
            known.insert(lineOf(otherPieces[i]));
    }
    QString expected;
    qsizetype differences = 0;
    const QStringList sourcePieces = source.split(u'\r');
    for (qsizetype i = 0; i < sourcePieces.size(); ++i) {
        const QString &piece = sourcePieces[i];
        const bool found =
            isEndPiece(sourcePieces, i) ? otherHasEnd : known.contains(lineOf(piece));
        if (!found) {
            expected += piece + u'\r';
            ++differences;
        }
    }
    QVERIFY(differences >= 4000);

    const SideResult result = Compare::findLineDifferences(source, other);
    QCOMPARE(result.differences, differences);
    QCOMPARE(result.resultText, expected);
    const Compare::ByteSideResult bytes =
        Compare::findLineDifferences(PaneBytes::fromText(source), PaneBytes::fromText(other));
    QCOMPARE(bytes.differences, differences);
    QCOMPARE(PaneBytes::toText(bytes.resultText), expected);
}

void LineComparisonTest::cancelledStopsEarly()
{
    // 100,000 lines that all differ; cancelled before the start, the engine
    // looks at a few thousand of them, whichever text it reads first.
    QByteArray source;
    QByteArray other;
    for (int i = 0; i < 100000; ++i) {
        source += "a" + QByteArray::number(i) + "\r";
        other += "b" + QByteArray::number(i) + "\r";
    }
    Compare::Progress progress;
    progress.cancelled = true;
    const Compare::ByteSideResult found = Compare::findLineDifferences(source, other, &progress);
    QVERIFY2(found.differences < 10000, qPrintable(QString::number(found.differences)));
    QVERIFY(progress.done < progress.total / 10);
}

void LineComparisonTest::lastPieceOfARun_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("length");
    QTest::addColumn<QByteArray>("piece");
    QTest::newRow("pieces with their CRs")
        << QByteArray("x\ra\rb\rc\ry") << 2 << 6 << QByteArray("c\r");
    QTest::newRow("last piece without its CR") << QByteArray("a\rbc") << 0 << 4 << QByteArray("bc");
    QTest::newRow("one piece") << QByteArray("\rabc\r") << 1 << 4 << QByteArray("abc\r");
    QTest::newRow("a CR before the run is not its own")
        << QByteArray("ab\rcd") << 3 << 2 << QByteArray("cd");
    QTest::newRow("an empty piece") << QByteArray("a\r\r") << 0 << 3 << QByteArray("\r");
    QTest::newRow("a long line") << QByteArray("a\r") + QByteArray(1 << 20, 'x') + '\r' << 0
                                 << (1 << 20) + 3 << QByteArray(1 << 20, 'x') + '\r';
}

void LineComparisonTest::lastPieceOfARun()
{
    QFETCH(QByteArray, text);
    QFETCH(int, start);
    QFETCH(int, length);
    QFETCH(QByteArray, piece);
    const Compare::ColourRange last = Compare::lastPieceOf(text, {start, length});
    QCOMPARE(text.mid(last.start, last.length), piece);
}

QTEST_APPLESS_MAIN(LineComparisonTest)
#include "test_line_comparison.moc"
