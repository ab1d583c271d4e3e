// A pane's text, lines, caret and selection as assistive technology reads
// them through QAccessible.
#include <QAccessible>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTest>

#include "pane/RichTextBox.h"
#include "text/PaneBytes.h"

namespace {

// Qt's own reading of a plain string: what a pane's answers must agree with.
class PlainText final : public QAccessibleTextInterface
{
public:
    explicit PlainText(QString text) : m_text(std::move(text)) {}
    void selection(int, int *start, int *end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int start, int end) const override { return m_text.mid(start, end - start); }
    int characterCount() const override { return int(m_text.size()); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint &) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int *start, int *end) const override
    {
        *start = *end = 0;
        return {};
    }

private:
    QString m_text;
};

QAccessibleTextInterface *textOf(RichTextBox &pane)
{
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(&pane);
    return a ? a->textInterface() : nullptr;
}

struct Span
{
    QString text;
    int start;
    int end;
    bool operator==(const Span &) const = default;
};

char *toString(const Span &s)
{
    return QTest::toString(QStringLiteral("\"%1\" [%2, %3)").arg(s.text).arg(s.start).arg(s.end));
}

using Reader = QString (QAccessibleTextInterface::*)(int, QAccessible::TextBoundaryType, int *,
                                                     int *) const;

Span read(const QAccessibleTextInterface &text, Reader reader, int offset,
          QAccessible::TextBoundaryType boundary)
{
    Span s{{}, 0, 0};
    s.text = (text.*reader)(offset, boundary, &s.start, &s.end);
    return s;
}

} // namespace

class TestPaneAccessible : public QObject
{
    Q_OBJECT

private slots:
    void agreesWithQtOnPlainText_data();
    void agreesWithQtOnPlainText();
    void words_data();
    void words();
    void caretAndSelection();
    void millionLines();
    void longLineInPieces_data();
    void longLineInPieces();
};

void TestPaneAccessible::agreesWithQtOnPlainText_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("one word") << QStringLiteral("word");
    QTest::newRow("wide characters")
        << QStringLiteral("a\u00e9\U0001F600 x\r\nsecond line\r\nlast");
    QTest::newRow("ends with a break") << QStringLiteral("1,a,b\r\n2,c,d\r\n");
    QTest::newRow("empty lines") << QStringLiteral("\r\n\r\nx y\r\n\r\n");
    QString random;
    const QStringList pieces{
        QStringLiteral("ab"),         QStringLiteral(" "),    QStringLiteral("\u00e9t\u00e9"),
        QStringLiteral("\U0001F600"), QStringLiteral("\r\n"), QStringLiteral(","),
        QStringLiteral("12.5")};
    QRandomGenerator generator(20261209);
    for (int i = 0; i < 300; ++i)
        random += pieces[generator.bounded(int(pieces.size()))];
    QTest::newRow("random") << random;
}

void TestPaneAccessible::agreesWithQtOnPlainText()
{
    QFETCH(QString, text);
    RichTextBox pane(QStringLiteral("pane"));
    pane.setText(text);
    QAccessibleTextInterface *mine = textOf(pane);
    QVERIFY(mine);
    const PlainText qt(text);
    QCOMPARE(mine->characterCount(), int(text.size()));
    QCOMPARE(mine->text(0, int(text.size())), text);
    const std::array<Reader, 3> readers{&QAccessibleTextInterface::textAtOffset,
                                        &QAccessibleTextInterface::textBeforeOffset,
                                        &QAccessibleTextInterface::textAfterOffset};
    for (int offset = 0; offset <= text.size(); ++offset) {
        if (offset < text.size() && text[offset].isLowSurrogate())
            continue; // inside a character
        const int end = std::min(offset + 3, int(text.size()));
        if (end == text.size() || !text[end].isLowSurrogate())
            QCOMPARE(mine->text(offset, end), text.mid(offset, end - offset));
        // Characters (a CR LF is one) and lines (each ends after its break)
        // as Qt reads them; where there is nothing, only the text counts.
        for (const auto boundary : {QAccessible::CharBoundary, QAccessible::LineBoundary}) {
            for (size_t r = 0; r < readers.size(); ++r) {
                const Span expected = read(qt, readers[r], offset, boundary);
                Span got = read(*mine, readers[r], offset, boundary);
                if (expected.text.isEmpty())
                    got = {got.text, expected.start, expected.end};
                if (!(got == expected))
                    qWarning("offset %d, boundary %d, reader %zu", offset, int(boundary), r);
                QCOMPARE(got, expected);
            }
        }
    }
}

void TestPaneAccessible::words_data()
{
    // Qt's ready-made reading of words never returns at a CR LF, so words
    // are checked against what a reader expects.
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("at");
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    // "one two\r\n\r\nthree,4\r\n"
    QTest::newRow("in the first word") << 1 << "one" << 0 << ""
                                       << " ";
    QTest::newRow("the space") << 3 << " " << 3 << "one"
                               << "two";
    QTest::newRow("at a line's end") << 7 << "\r\n"
                                     << 7 << "two"
                                     << "\r\n";
    QTest::newRow("an empty line") << 9 << "\r\n"
                                   << 9 << "\r\n"
                                   << "three";
    QTest::newRow("a comma") << 16 << "," << 16 << "three"
                             << "4";
    QTest::newRow("the last break") << 18 << "\r\n"
                                    << 18 << "4"
                                    << "";
}

void TestPaneAccessible::words()
{
    QFETCH(int, offset);
    QFETCH(QString, at);
    QFETCH(int, start);
    QFETCH(QString, before);
    QFETCH(QString, after);
    RichTextBox pane(QStringLiteral("pane"));
    pane.setText(QStringLiteral("one two\r\n\r\nthree,4\r\n"));
    QAccessibleTextInterface *a = textOf(pane);
    QVERIFY(a);
    const Span found =
        read(*a, &QAccessibleTextInterface::textAtOffset, offset, QAccessible::WordBoundary);
    QCOMPARE(found, (Span{at, start, start + int(at.size())}));
    QCOMPARE(
        read(*a, &QAccessibleTextInterface::textBeforeOffset, offset, QAccessible::WordBoundary)
            .text,
        before);
    QCOMPARE(read(*a, &QAccessibleTextInterface::textAfterOffset, offset, QAccessible::WordBoundary)
                 .text,
             after);
}

void TestPaneAccessible::caretAndSelection()
{
    const QString text = QStringLiteral("a\u00e9\U0001F600 x\r\nsecond line\r\nlast");
    RichTextBox pane(QStringLiteral("pane"));
    pane.setText(text);
    QAccessibleTextInterface *a = textOf(pane);
    QVERIFY(a);
    for (const int offset : {0, 1, 2, 4, 8, 14, 21, 25}) {
        a->setCursorPosition(offset);
        QCOMPARE(a->cursorPosition(), offset);
    }
    a->setSelection(0, 2, 8);
    QCOMPARE(a->selectionCount(), 1);
    int start = -1;
    int end = -1;
    a->selection(0, &start, &end);
    QCOMPARE((std::pair{start, end}), (std::pair{2, 8}));
    QCOMPARE(pane.selectedText(), text.mid(2, 6));
    a->removeSelection(0);
    QCOMPARE(a->selectionCount(), 0);
    // A red run is told as the text's colour.
    pane.select(8, 6);
    pane.colourRanges({{8, 6}}, kRed);
    QCOMPARE(a->attributes(10, &start, &end), QStringLiteral("color:rgb(255,0,0);"));
    QCOMPARE((std::pair{start, end}), (std::pair{8, 14}));
    QCOMPARE(a->attributes(15, &start, &end), QStringLiteral("color:rgb(0,0,0);"));
    QCOMPARE((std::pair{start, end}), (std::pair{14, 21}));
}

void TestPaneAccessible::millionLines()
{
    constexpr int kLines = 1000000;
    QByteArray bytes;
    std::vector<int> lineStarts; // in UTF-16 units
    int units = 0;
    for (int i = 0; i < kLines; ++i) {
        const QByteArray line = "row " + QByteArray::number(i) + ",caf\xc3\xa9,12.50\r\n";
        lineStarts.push_back(units);
        bytes += line;
        units += int(line.size()) - 1; // é: two bytes, one unit
    }
    RichTextBox pane(QStringLiteral("pane"));
    pane.resize(600, 400);
    pane.setBytes(bytes);
    QAccessibleTextInterface *a = textOf(pane);
    QVERIFY(a);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(a->characterCount(), units);
    const qint64 firstQuery = clock.nsecsElapsed();

    QRandomGenerator generator(7);
    constexpr int kMoves = 2000;
    clock.restart();
    for (int move = 0; move < kMoves; ++move) {
        const int line = generator.bounded(kLines);
        const int offset = lineStarts[size_t(line)] + generator.bounded(5);
        a->setCursorPosition(offset);
        QCOMPARE(a->cursorPosition(), offset);
        int start = 0;
        int end = 0;
        const QString lineText = a->textAtOffset(offset, QAccessible::LineBoundary, &start, &end);
        QCOMPARE(start, lineStarts[size_t(line)]);
        QCOMPARE(lineText, QStringLiteral("row %1,caf\u00e9,12.50\r\n").arg(line));
    }
    qInfo("1,000,000-line pane: first query %.1f ms (the line index), then %.1f us per caret "
          "move with its line read back",
          double(firstQuery) / 1e6, double(clock.nsecsElapsed()) / kMoves / 1e3);
}

void TestPaneAccessible::longLineInPieces_data()
{
    QTest::addColumn<QByteArray>("bytes");
    constexpr int kPiece = 1 << 16;
    QByteArray euros; // three bytes a character: piece edges fall inside them
    while (euros.size() < 5 * kPiece)
        euros += "ab \xe2\x82\xac";
    QTest::newRow("a line, then another") << euros + "\r\nshort\r\n";
    QTest::newRow("the text's last line") << QByteArray(300000, 'x');
    // Its CR the last byte of a piece, its LF the first of the next.
    QTest::newRow("break across an edge") << QByteArray(5 * kPiece - 1, 'y') + "\r\nz";
}

// A very long line is told in pieces that follow each other without a gap,
// each under 65,540 characters, and that hold whole characters and a whole
// line break.
void TestPaneAccessible::longLineInPieces()
{
    QFETCH(QByteArray, bytes);
    RichTextBox pane(QStringLiteral("pane"));
    pane.setBytes(bytes);
    QAccessibleTextInterface *a = textOf(pane);
    QVERIFY(a);
    const QString whole = PaneBytes::toText(bytes);
    QCOMPARE(a->characterCount(), int(whole.size()));
    QString joined;
    int pieces = 0;
    for (int offset = 0; offset < whole.size(); ++pieces) {
        const Span line =
            read(*a, &QAccessibleTextInterface::textAtOffset, offset, QAccessible::LineBoundary);
        QCOMPARE(line.start, offset);
        QVERIFY(line.end > offset && line.end - offset < 65540);
        QCOMPARE(line.text, whole.mid(line.start, line.end - line.start));
        QVERIFY(!line.text.front().isLowSurrogate() && !line.text.startsWith(u'\n'));
        // The same piece from its last character, and the next after it.
        QCOMPARE(read(*a, &QAccessibleTextInterface::textAtOffset, line.end - 1,
                      QAccessible::LineBoundary),
                 line);
        const Span after =
            read(*a, &QAccessibleTextInterface::textAfterOffset, offset, QAccessible::LineBoundary);
        if (line.end < whole.size())
            QCOMPARE(after.start, line.end);
        // A character at the piece's edge is read whole.
        const Span character =
            read(*a, &QAccessibleTextInterface::textAtOffset, offset, QAccessible::CharBoundary);
        QCOMPARE(character.start, offset);
        QCOMPARE(character.text, whole.mid(offset, character.end - offset));
        joined += line.text;
        offset = line.end;
    }
    QCOMPARE(joined, whole);
    QVERIFY(pieces >= 5);
    // The text's end belongs to its last piece.
    const Span end = read(*a, &QAccessibleTextInterface::textAtOffset, int(whole.size()),
                          QAccessible::LineBoundary);
    QVERIFY(end.end == whole.size() || (end.start == whole.size() && end.text.isEmpty()));
}

QTEST_MAIN(TestPaneAccessible)
#include "test_pane_accessible.moc"
