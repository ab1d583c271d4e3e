#include <QApplication>
#include <QScrollBar>
#include <QTest>

#include "pane/RichTextBox.h"

using Compare::ColourRange;

class TestRichTextBox : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void typedLineBreakIsCrLf();
    void editingKeepsOtherBreaks();
    void colourRangesMapOffsets_data();
    void colourRangesMapOffsets();
    void colourIsNotUndone();
    void selectionUsesTextOffsets();
    void appendJoinsCrAndLf();
    void appendKeepsUnusualBreaks();
    void colourShowsOnScreen();
};

namespace {

int redPixels(QWidget &w)
{
    const QImage image = w.grab().toImage();
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            count += c.red() > 150 && c.green() < 80 && c.blue() < 80;
        }
    return count;
}

} // namespace

void TestRichTextBox::roundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("lines");
    QTest::newRow("empty") << QString() << 1;
    QTest::newRow("crlf") << QStringLiteral("a\r\nb\r\nc") << 3;
    QTest::newRow("lone cr") << QStringLiteral("a\rb\r") << 3;
    QTest::newRow("lone lf") << QStringLiteral("a\nb\n") << 3;
    QTest::newRow("mixed") << QStringLiteral("a\r\n\rb\n\r\nc\r") << 6;
    QTest::newRow("loaded, CR appended") << QStringLiteral("x,y\r\nz\r\n\r") << 4;
    QTest::newRow("lf cr is two breaks") << QStringLiteral("a\n\rb") << 3;
    // Only CR and LF break lines; every other character is a plain one.
    QTest::newRow("separators kept") << QStringLiteral("a\u2029b\uFDD0c\uFDD1d\u2028e") << 1;
    QTest::newRow("nbsp and nul kept") << QStringLiteral("a\u00A0b") + QChar(0) + QStringLiteral("c") << 1;
    QTest::newRow("only breaks") << QStringLiteral("\r\n\r\n\n\r") << 5;
}

void TestRichTextBox::roundTrip()
{
    QFETCH(QString, text);
    QFETCH(int, lines);
    RichTextBox pane(QStringLiteral("p"));
    pane.setText(text);
    QCOMPARE(pane.text(), text);
    QCOMPARE(pane.textLength(), text.size());
    QCOMPARE(pane.lineCount(), qsizetype(lines));
}

void TestRichTextBox::typedLineBreakIsCrLf()
{
    RichTextBox pane(QStringLiteral("p"));
    pane.setText(QStringLiteral("ab"));
    pane.select(1, 0);
    QTest::keyClick(&pane, Qt::Key_Return);
    QTest::keyClicks(&pane, QStringLiteral("x"));
    QCOMPARE(pane.text(), QStringLiteral("a\r\nxb"));
    QTest::keyClick(&pane, Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(pane.text(), QStringLiteral("a\r\nx\r\nb"));
}

void TestRichTextBox::editingKeepsOtherBreaks()
{
    RichTextBox pane(QStringLiteral("p"));
    pane.setText(QStringLiteral("one\ntwo\rthree"));
    // Type inside the second line and split the first: the lone LF and lone
    // CR around the untouched text stay as they were.
    pane.select(5, 0);
    QTest::keyClicks(&pane, QStringLiteral("X"));
    QCOMPARE(pane.text(), QStringLiteral("one\ntXwo\rthree"));
    pane.select(1, 0);
    QTest::keyClick(&pane, Qt::Key_Return);
    QCOMPARE(pane.text(), QStringLiteral("o\r\nne\ntXwo\rthree"));
}

void TestRichTextBox::colourRangesMapOffsets_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("start");
    QTest::addColumn<qsizetype>("length");
    QTest::newRow("first line") << QStringLiteral("ab\r\ncd\r\nef") << qsizetype(0) << qsizetype(2);
    QTest::newRow("after a crlf") << QStringLiteral("ab\r\ncd\r\nef") << qsizetype(4) << qsizetype(2);
    QTest::newRow("after two crlf") << QStringLiteral("ab\r\ncd\r\nef") << qsizetype(8) << qsizetype(2);
    QTest::newRow("after lone breaks") << QStringLiteral("a\rb\nc\r\nd") << qsizetype(4) << qsizetype(1);
    QTest::newRow("line with its lf") << QStringLiteral("ab\r\ncd\r\nef") << qsizetype(3) << qsizetype(4);
}

void TestRichTextBox::colourRangesMapOffsets()
{
    QFETCH(QString, text);
    QFETCH(qsizetype, start);
    QFETCH(qsizetype, length);
    RichTextBox pane(QStringLiteral("p"));
    pane.setText(text);
    pane.colourRanges({ColourRange{start, length}}, kRed);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool inside = i >= start && i < start + length;
        QVERIFY2((pane.colourAt(i) == kRed) == inside, qPrintable(QString::number(i)));
    }
    QCOMPARE(pane.text(), text);
}

void TestRichTextBox::colourIsNotUndone()
{
    RichTextBox pane(QStringLiteral("p"));
    pane.setText(QStringLiteral("abc"));
    pane.select(3, 0);
    QTest::keyClicks(&pane, QStringLiteral("d"));
    pane.colourRanges({ColourRange{0, 2}}, kRed);
    pane.undo();
    QCOMPARE(pane.colourAt(0), kRed);
    QCOMPARE(pane.colourAt(1), kRed);
    QCOMPARE(pane.colourAt(2), kBlack);
}

void TestRichTextBox::selectionUsesTextOffsets()
{
    RichTextBox pane(QStringLiteral("p"));
    pane.setText(QStringLiteral("ab\r\ncd\ref"));
    pane.select(4, 4);
    QCOMPARE(pane.selectedText(), QStringLiteral("cd\re"));
    pane.colourRanges({ColourRange{4, 4}}, kRed);
    QCOMPARE(pane.colourAt(4), kRed);
    QCOMPARE(pane.colourAt(7), kRed);
    QCOMPARE(pane.colourAt(8), kBlack);
}

void TestRichTextBox::appendJoinsCrAndLf()
{
    RichTextBox pane(QStringLiteral("p"));
    pane.setText(QStringLiteral("a\r"));
    pane.appendText(QStringLiteral("\nb"));
    QCOMPARE(pane.text(), QStringLiteral("a\r\nb"));
    QCOMPARE(pane.lineCount(), qsizetype(2));
}

void TestRichTextBox::appendKeepsUnusualBreaks()
{
    RichTextBox pane(QStringLiteral("p"));
    pane.setText(QStringLiteral("x\r\ny"));
    pane.appendText(QStringLiteral("\r"));
    QCOMPARE(pane.text(), QStringLiteral("x\r\ny\r"));
    pane.appendText(QStringLiteral("z\nw\r\n"));
    QCOMPARE(pane.text(), QStringLiteral("x\r\ny\rz\nw\r\n"));
}

void TestRichTextBox::colourShowsOnScreen()
{
    RichTextBox pane(QStringLiteral("p"));
    pane.resize(200, 120);
    QString text;
    for (int i = 0; i < 5000; ++i)
        text += QStringLiteral("line %1 WWWWWW\r\n").arg(i);
    pane.setText(text);
    pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pane));
    QCOMPARE(redPixels(pane), 0);
    const qsizetype line = text.indexOf(QStringLiteral("line 1 "));
    pane.colourRanges({ColourRange{line, 14}}, kRed);
    QVERIFY(redPixels(pane) > 20);
    // A line far down is formatted when it comes into view.
    const qsizetype far = text.indexOf(QStringLiteral("line 4000 "));
    pane.colourRanges({ColourRange{far, 14}}, kRed);
    pane.verticalScrollBar()->setValue(3999);
    QVERIFY(redPixels(pane) > 20);
    pane.colourAll(kBlack);
    QCOMPARE(redPixels(pane), 0);
}

QTEST_MAIN(TestRichTextBox)
#include "test_richtextbox.moc"
