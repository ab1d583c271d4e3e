// A comparison's result kept as places in the examined text: on random
// pairs, the text it shows and its lines are those of the result text the
// comparison writes out, for lines and for words.
#include <memory>

#include <QRandomGenerator>
#include <QTest>

#include "engine/LineComparison.h"
#include "engine/WordComparison.h"
#include "text/ResultView.h"
#include "text/TextBuffer.h"

using Position = TextBuffer::Position;

class ResultViewTest : public QObject
{
    Q_OBJECT

private slots:
    void showsTheResultText_data();
    void showsTheResultText();
};

namespace {

// A text of `lines` lines made of a few words, so that a pair shares many
// lines and words; `longest` bounds a word's length. Breaks are mostly
// CR LF, with lone CRs and LFs among them, and the text ends with a CR as
// loading leaves it, or not.
QByteArray randomText(QRandomGenerator &random, int lines, int longest)
{
    static const QByteArray words[] = {"a", "bb", "é", "ccc", "", "a,1"};
    static const QByteArray breaks[] = {"\r\n", "\r\n", "\r\n", "\r", "\n"};
    QByteArray text;
    for (int i = 0; i < lines; ++i) {
        const int count = random.bounded(5);
        for (int w = 0; w < count; ++w) {
            if (w > 0)
                text += ' ';
            if (random.bounded(20) == 0)
                text += QByteArray(random.bounded(longest + 1), 'w');
            else
                text += words[random.bounded(int(std::size(words)))];
        }
        if (i + 1 < lines)
            text += breaks[random.bounded(int(std::size(breaks)))];
    }
    if (random.bounded(2) == 0)
        text += '\r';
    return text;
}

// The lines of `view` against those of `expected`, with every position's
// line for a text of modest size, and a sample of them for a longer one.
bool sameLines(const TextBuffer &view, const TextBuffer &expected, QByteArray &why)
{
    if (view.lineCount() != expected.lineCount()) {
        why = "line count";
        return false;
    }
    for (Position line = 0; line < expected.lineCount(); ++line) {
        if (view.lineStart(line) != expected.lineStart(line)
            || view.lineEnd(line) != expected.lineEnd(line)) {
            why = "line " + QByteArray::number(line);
            return false;
        }
    }
    const Position step = std::max<Position>(1, expected.size() / 3000);
    for (Position p = 0; p <= expected.size(); p += step) {
        if (view.lineOf(p) != expected.lineOf(p) || view.at(p) != expected.at(p)) {
            why = "position " + QByteArray::number(p);
            return false;
        }
    }
    return true;
}

} // namespace

void ResultViewTest::showsTheResultText_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("longest");
    QTest::newRow("empty pairs") << 1u << 0 << 3;
    QTest::newRow("one-line pairs") << 2u << 1 << 3;
    QTest::newRow("short lines") << 20210831u << 60 << 4;
    QTest::newRow("many short lines") << 77u << 3000 << 4;
    // Longer than one entry of a result, and than the stretch its lines are
    // looked up in.
    QTest::newRow("words of 10 KiB") << 5u << 40 << 10000;
    QTest::newRow("words of 40 KiB") << 9u << 12 << 40000;
}

void ResultViewTest::showsTheResultText()
{
    QFETCH(quint32, seed);
    QFETCH(int, lines);
    QFETCH(int, longest);
    QRandomGenerator random(seed);
    for (int pair = 0; pair < 12; ++pair) {
        const QByteArray text1 = randomText(random, lines, longest);
        QByteArray text2 = randomText(random, lines, longest);
        if (pair % 3 == 0) // mostly the same lines, in another order
            text2 = text1.right(text1.size() / 2) + "\r\n" + text1.left(text1.size() / 2);
        const QByteArray where = "pair " + QByteArray::number(pair);
        for (const bool words : {false, true}) {
            const QByteArray expected =
                words ? Compare::findWordDifferencesOf(text1, text2).resultText
                      : Compare::findLineDifferences(text1, text2).resultText;
            auto view = std::make_shared<ResultView>(text1, text1);
            if (words)
                Compare::findWordDifferencesOf(text1, text2, nullptr, view.get());
            else
                Compare::findLineDifferences(text1, text2, nullptr, Compare::Ranges::Joined,
                                             view.get());
            view->finish();
            const QByteArray what = where + (words ? " words" : " lines");
            QVERIFY2(view->bytes(0, view->size()) == expected, what.constData());
            QByteArray joined;
            view->forEachSlice(0, view->size(), [&joined](QByteArrayView s) { joined += s; });
            QVERIFY2(joined == expected, what.constData());

            const TextBuffer shown(view);
            QCOMPARE(shown.size(), expected.size());
            QByteArray why;
            QVERIFY2(sameLines(shown, TextBuffer(expected), why), (what + ": " + why).constData());
        }
    }
}

QTEST_APPLESS_MAIN(ResultViewTest)
#include "test_result_view.moc"
