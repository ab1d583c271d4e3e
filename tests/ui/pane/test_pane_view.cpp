// The pane's own text view: bounded work on long lines, UTF-16 offsets
// against a plain count after edits, the lazy clipboard, input methods and
// the mouse.
#include <functional>

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTest>
#include <QTextLayout>

#include "WindowFixture.h"
#include "pane/PaneViewWidths.h"
#include "pane/RichTextBox.h"
#include "pane/SelectionData.h"
#include "text/PaneBytes.h"

using Compare::ColourRange;

class TestPaneView : public QObject
{
    Q_OBJECT

private slots:
    void longLinePaintsInBoundedWork_data();
    void longLinePaintsInBoundedWork();
    void longLinePositionsAreExact_data();
    void longLinePositionsAreExact();
    void utf16OffsetsFollowEdits();
    void utf16OffsetsFollowLargeEdits();
    void copyKeepsTheTextAsItWas();
    void pasteReplacesTheSelection_data();
    void pasteReplacesTheSelection();
    void inputMethodCommitsText();
    void doubleClickSelectsAWord();
    void upAndDownKeepTheColumn();
    void dropMovesOrCopiesText_data();
    void dropMovesOrCopiesText();
    void clickOnTheSelectionPutsTheCaretThere();
};

namespace {

// A line of `size` bytes of words, with a break only at its end.
QByteArray longLine(qsizetype size)
{
    QByteArray line(size, 'w');
    for (qsizetype i = 7; i < size; i += 8)
        line[i] = ' ';
    return line + "\r\nshort\r\n";
}

// Text of `length` characters of one, two, three and four UTF-8 bytes,
// line breaks among them.
QString randomText(QRandomGenerator &random, int length)
{
    const QString pool = QStringLiteral("ab\r\n\u00E9\u4E2D\U0001F600 ,");
    QString text;
    for (int i = 0; i < length; ++i) {
        const int k = random.bounded(int(pool.size()));
        if (pool.at(k).isHighSurrogate()) {
            text += pool.mid(k, 2);
        } else if (pool.at(k).isLowSurrogate()) {
            text += pool.mid(k - 1, 2);
        } else {
            text += pool.at(k);
        }
    }
    return text;
}

// The pane's UTF-16 offsets, at `count` places and at the end, agree with a
// plain count of its text, both ways.
void checkUtf16Offsets(RichTextBox &pane, QRandomGenerator &random, int count)
{
    const QByteArray bytes(pane.bytes().data(), pane.bytes().size());
    std::vector<qsizetype> at;
    for (int i = 0; i < count; ++i)
        at.push_back(random.bounded(int(bytes.size() + 1)));
    std::sort(at.begin(), at.end());
    const std::vector<qsizetype> expected = PaneBytes::utf16Offsets(bytes, at);
    for (size_t i = 0; i < at.size(); ++i) {
        // Positions inside a character are not asked for.
        if (at[i] < bytes.size() && (static_cast<unsigned char>(bytes[at[i]]) & 0xC0) == 0x80)
            continue;
        QCOMPARE(pane.utf16Offset(at[i]), qint64(expected[i]));
        QCOMPARE(pane.positionOfUtf16(expected[i]), qint64(at[i]));
    }
    QCOMPARE(pane.utf16Offset(bytes.size()), qint64(PaneBytes::utf16Length(bytes)));
}

} // namespace

void TestPaneView::longLinePaintsInBoundedWork_data()
{
    QTest::addColumn<qsizetype>("size");
    QTest::newRow("3 MB") << qsizetype(3) * 1000 * 1000;
    QTest::newRow("50 MB") << qsizetype(50) * 1000 * 1000;
}

// Painting a screenful of a line of megabytes, at its middle and at its end
// (End), lays out a few thousand characters, not the line; red words there
// show.
void TestPaneView::longLinePaintsInBoundedWork()
{
    QFETCH(qsizetype, size);
    RichTextBox pane(QStringLiteral("p"));
    pane.resize(400, 200);
    pane.setBytes(longLine(size));
    std::vector<ColourRange> red;
    for (qsizetype at = 0; at < size; at += 40)
        red.push_back({at, 7});
    pane.colourByteRanges(red, kRed);
    pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pane));
    constexpr qint64 kBound = 40000; // characters for one screenful, with margins
    qint64 before = pane.charactersLaidOut();
    pane.repaint();
    QVERIFY2(pane.charactersLaidOut() - before < kBound,
             qPrintable(QString::number(pane.charactersLaidOut() - before)));

    // To the middle, where the view shows red words.
    pane.setXOffset(pane.horizontalScrollBar()->maximum() / 2);
    before = pane.charactersLaidOut();
    const int red1 = redPixels(pane);
    QVERIFY2(pane.charactersLaidOut() - before < kBound,
             qPrintable(QString::number(pane.charactersLaidOut() - before)));
    QVERIFY(red1 > 20);

    // End on the line: the caret goes to its end and the view follows.
    pane.setFocus();
    pane.setSelection(0, 0);
    before = pane.charactersLaidOut();
    QTest::keyClick(&pane, Qt::Key_End);
    QCOMPARE(pane.caretPosition(), qint64(size));
    pane.repaint();
    QVERIFY2(pane.charactersLaidOut() - before < 2 * kBound,
             qPrintable(QString::number(pane.charactersLaidOut() - before)));
    const QRect caret = pane.characterRect(pane.caretPosition());
    QVERIFY2(pane.viewport()->rect().contains(caret.topLeft()),
             qPrintable(QStringLiteral("%1,%2").arg(caret.x()).arg(caret.y())));
    // Shift+Home selects the whole line, and no copy of it is made to show it.
    before = pane.charactersLaidOut();
    QTest::keyClick(&pane, Qt::Key_Home, Qt::ShiftModifier);
    QCOMPARE(pane.selectionEnd() - pane.selectionStart(), qint64(size));
    pane.repaint();
    QVERIFY(pane.charactersLaidOut() - before < 2 * kBound);
}

void TestPaneView::longLinePositionsAreExact_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<bool>("leftToRight");
    QTest::newRow("latin") << QStringLiteral("Wolf,AVA,fi;") << true;
    QTest::newRow("accents and CJK") << QStringLiteral("Z\u00FCrich,\u5317\u4EAC\u5E02") << true;
    // Right-to-left words between left-to-right ones (a right-to-left run is
    // ordered within the chunk that holds it).
    QTest::newRow("arabic") << QStringLiteral("id,\u0645\u062D\u0645\u062F,Cairo;") << false;
}

// Once a long line is measured, every character is where the whole line laid
// out at once puts it, a click on it finds it, and End puts the caret at the
// line's true end.
void TestPaneView::longLinePositionsAreExact()
{
    QFETCH(QString, word);
    QFETCH(bool, leftToRight);
    QString line;
    for (int i = 0; line.size() < 40000; ++i)
        line += word + QString::number(i % 97) + u' ';
    const QByteArray bytes = PaneBytes::fromText(line);
    RichTextBox pane(QStringLiteral("p"));
    pane.resize(400, 200);
    pane.setBytes(bytes + "\r\nshort");
    pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pane));
    pane.waitForWidths();

    QTextLayout whole(line);
    const qreal tabStop = 8 * QFontMetricsF(pane.font()).horizontalAdvance(QLatin1Char(' '));
    PaneViewWidths::layOut(whole, pane.font(), tabStop);
    const QTextLine reference = whole.lineAt(0);
    const int origin = pane.characterRect(0).x();
    QRandomGenerator random(11);
    for (int i = 0; i < 300; ++i) {
        const qsizetype utf16 = random.bounded(int(line.size()));
        const qint64 at = qint64(PaneBytes::byteOffsets(bytes, {utf16})[0]);
        const QRect box = pane.characterRect(at);
        const qreal expected = reference.cursorToX(int(utf16));
        QVERIFY2(
            std::abs(box.x() - origin - expected) <= 1,
            qPrintable(
                QStringLiteral("at %1: %2, not %3").arg(at).arg(box.x() - origin).arg(expected)));
        if (leftToRight && box.x() >= 0 && box.width() > 2 && box.x() < pane.viewport()->width())
            QCOMPARE(pane.positionAt(QPoint(box.x() + box.width() / 2, box.center().y())), at);
    }
    pane.setFocus();
    pane.setSelection(0, 0);
    QTest::keyClick(&pane, Qt::Key_End);
    QCOMPARE(pane.caretPosition(), qint64(bytes.size()));
    const QRect caret = pane.characterRect(pane.caretPosition());
    QVERIFY(pane.viewport()->rect().contains(caret.topLeft()));
    QVERIFY(std::abs(caret.x() + pane.xOffset() - origin - reference.cursorToX(int(line.size())))
            <= 1);
}

// The UTF-16 offsets the accessibility interface uses agree with a plain
// count of the text, after edits anywhere in a text of many counting blocks.
void TestPaneView::utf16OffsetsFollowEdits()
{
    QRandomGenerator random(7);
    RichTextBox pane(QStringLiteral("p"));
    pane.setText(randomText(random, 200000)); // some 400 KB: several blocks
    for (int round = 0; round < 60; ++round) {
        checkUtf16Offsets(pane, random, 20);
        if (QTest::currentTestFailed())
            return;
        const QByteArray bytes(pane.bytes().data(), pane.bytes().size());
        // An edit somewhere (typing, a selection replaced, more text added at
        // the end), undone or redone now and then, while the counts asked for
        // above are kept.
        if (round % 5 == 4) {
            pane.undo();
        } else if (round % 10 == 5) {
            pane.redo();
        } else if (round % 7 == 3) {
            pane.appendBytes(PaneBytes::fromText(randomText(random, random.bounded(30))));
        } else if (round % 7 == 6) {
            pane.select(random.bounded(int(PaneBytes::utf16Length(bytes)) + 1), 0);
            // Two keys: the second joins the first's step of undo.
            for (const QString &key : {QStringLiteral("q"), QStringLiteral("\u00E9")}) {
                QKeyEvent typed(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, key);
                QCoreApplication::sendEvent(&pane, &typed);
            }
        } else {
            // Now and then a selection across several counting blocks.
            const int text16 = int(PaneBytes::utf16Length(bytes));
            const int start = random.bounded(text16 + 1);
            const int most = round % 3 == 0 ? 200000 : 50;
            pane.select(start, random.bounded(std::min(most, text16 - start) + 1));
            pane.replaceSelection(PaneBytes::fromText(randomText(random, random.bounded(30))));
        }
    }
}

// Edits of megabytes (a paste, a range replaced, each undone and redone)
// are not counted on the window's thread; the offsets still agree.
void TestPaneView::utf16OffsetsFollowLargeEdits()
{
    QRandomGenerator random(11);
    RichTextBox pane(QStringLiteral("p"));
    pane.setText(randomText(random, 3'000'000)); // some 6 MB
    const QByteArray large = PaneBytes::fromText(randomText(random, 2'500'000));
    const auto middle = [&] { return int(pane.utf16Offset(pane.bytes().size()) / 2); };
    const std::vector<std::function<void()>> steps{
        [&] {
            pane.select(middle(), 0);
            pane.replaceSelection(large);
        },
        [&] { pane.undo(); },
        [&] { pane.redo(); },
        [&] { pane.undo(); },
        [&] {
            pane.select(100, middle() * 3 / 2);
            pane.replaceSelection("x");
        },
        [&] { pane.undo(); },
        [&] {
            pane.select(0, 0);
            pane.replaceSelection(large);
        },
        [&] { pane.undo(); },
    };
    for (const auto &step : steps) {
        step();
        checkUtf16Offsets(pane, random, 8);
        if (QTest::currentTestFailed())
            return;
    }
}

// Copy offers the selection as it was when copied: an edit afterwards does
// not change what is pasted elsewhere.
void TestPaneView::copyKeepsTheTextAsItWas()
{
    RichTextBox pane(QStringLiteral("p"));
    pane.setText(QStringLiteral("one two\r\nthree"));
    pane.select(4, 7);
    pane.copy();
    pane.replaceSelection("X");
    QCOMPARE(pane.text(), QStringLiteral("one Xree"));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("two\r\nth"));
    // Pasted text takes CR LF breaks, as typed ones.
    QGuiApplication::clipboard()->setText(QStringLiteral("a\nb\rc"));
    pane.select(0, 0);
    pane.paste();
    QCOMPARE(pane.text(), QStringLiteral("a\r\nb\r\ncone Xree"));
}

void TestPaneView::pasteReplacesTheSelection_data()
{
    QTest::addColumn<int>("repeats");
    QTest::newRow("a short text, converted at once") << 1;
    QTest::newRow("2 MB, converted on a worker") << 100000;
}

// A paste of any size puts the text, with CR LF breaks, in place of the
// selection, as one step of undo.
void TestPaneView::pasteReplacesTheSelection()
{
    QFETCH(int, repeats);
    const QString piece = QStringLiteral("r\u00E9sum\u00E9 \U0001F600\nline\r\nx\ry\t");
    const QString pasted = piece.repeated(repeats);
    QString expected = pasted;
    expected.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(u'\r', u'\n');
    expected.replace(QLatin1String("\n"), QLatin1String("\r\n"));

    RichTextBox pane(QStringLiteral("p"));
    pane.setText(QStringLiteral("before|selected|after"));
    pane.select(7, 8);
    QGuiApplication::clipboard()->setText(pasted);
    pane.paste();
    QCOMPARE(pane.text().size(), qsizetype(7 + expected.size() + 6));
    QVERIFY(pane.text() == QStringLiteral("before|") + expected + QStringLiteral("|after"));
    QVERIFY(!pane.isReadOnly());
    pane.undo();
    QCOMPARE(pane.text(), QStringLiteral("before|selected|after"));
    pane.redo();
    QVERIFY(pane.text() == QStringLiteral("before|") + expected + QStringLiteral("|after"));
}

void TestPaneView::inputMethodCommitsText()
{
    RichTextBox pane(QStringLiteral("p"));
    pane.setText(QStringLiteral("ab"));
    pane.select(1, 0);
    QInputMethodEvent composing(QStringLiteral("zhong"), {});
    QApplication::sendEvent(&pane, &composing);
    QCOMPARE(pane.text(), QStringLiteral("ab")); // a composition is not text yet
    QInputMethodEvent done;
    done.setCommitString(QStringLiteral("\u4E2D\u6587"));
    QApplication::sendEvent(&pane, &done);
    QCOMPARE(pane.text(), QStringLiteral("a\u4E2D\u6587b"));
    QCOMPARE(static_cast<QWidget &>(pane).inputMethodQuery(Qt::ImCursorPosition).toInt(), 3);
    QCOMPARE(static_cast<QWidget &>(pane).inputMethodQuery(Qt::ImSurroundingText).toString(),
             QStringLiteral("a\u4E2D\u6587b"));
    pane.undo();
    QCOMPARE(pane.text(), QStringLiteral("ab"));
}

void TestPaneView::doubleClickSelectsAWord()
{
    RichTextBox pane(QStringLiteral("p"));
    pane.resize(300, 100);
    pane.setText(QStringLiteral("alpha beta,gamma\r\nnext"));
    pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pane));
    const QRect e = pane.characterRect(7); // inside "beta"
    QTest::mouseDClick(pane.viewport(), Qt::LeftButton, {}, e.center());
    QCOMPARE(pane.selectedText(), QStringLiteral("beta"));
    // A drag selects from where it started to where it ends.
    const QRect a = pane.characterRect(0);
    const QRect g = pane.characterRect(11);
    QTest::mousePress(pane.viewport(), Qt::LeftButton, {}, a.topLeft() + QPoint(1, 2));
    QMouseEvent move(QEvent::MouseMove, QPointF(g.topLeft() + QPoint(1, 2)),
                     pane.viewport()->mapToGlobal(QPointF(g.topLeft() + QPoint(1, 2))),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(pane.viewport(), &move);
    QTest::mouseRelease(pane.viewport(), Qt::LeftButton, {}, g.topLeft() + QPoint(1, 2));
    QCOMPARE(pane.selectedText(), QStringLiteral("alpha beta,"));
}

// Up and Down keep the caret's column across a shorter line between.
void TestPaneView::upAndDownKeepTheColumn()
{
    RichTextBox pane(QStringLiteral("p"));
    pane.setText(QStringLiteral("0123456789\r\nab\r\n0123456789"));
    pane.select(8, 0);
    QTest::keyClick(&pane, Qt::Key_Down);
    QCOMPARE(pane.caretPosition(), qint64(14)); // the end of "ab"
    QTest::keyClick(&pane, Qt::Key_Down);
    QCOMPARE(pane.caretPosition(), qint64(16 + 8));
    QTest::keyClick(&pane, Qt::Key_Up, Qt::ShiftModifier);
    QCOMPARE(pane.selectedText(), QStringLiteral("\r\n01234567"));
}

void TestPaneView::dropMovesOrCopiesText_data()
{
    QTest::addColumn<qint64>("from"); // the selection in "alpha beta gamma\r\nnext"
    QTest::addColumn<qint64>("to");
    QTest::addColumn<qint64>("dropAt");
    QTest::addColumn<bool>("control");
    QTest::addColumn<QString>("foreign"); // text dragged from elsewhere, if any
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("selected");
    QTest::newRow("moved right") << qint64(0) << qint64(6) << qint64(11) << false << QString()
                                 << "beta alpha gamma\r\nnext"
                                 << "alpha ";
    QTest::newRow("moved left, to another line") << qint64(11) << qint64(16) << qint64(18) << false
                                                 << QString() << "alpha beta \r\ngammanext"
                                                 << "gamma";
    QTest::newRow("moved left") << qint64(6) << qint64(11) << qint64(0) << false << QString()
                                << "beta alpha gamma\r\nnext"
                                << "beta ";
    QTest::newRow("copied with Ctrl") << qint64(0) << qint64(5) << qint64(18) << true << QString()
                                      << "alpha beta gamma\r\nalphanext"
                                      << "alpha";
    QTest::newRow("onto itself") << qint64(0) << qint64(5) << qint64(3) << false << QString()
                                 << "alpha beta gamma\r\nnext"
                                 << "alpha";
    QTest::newRow("from another program")
        << qint64(0) << qint64(0) << qint64(6) << false << QStringLiteral("x\ny")
        << "alpha x\r\nybeta gamma\r\nnext"
        << "x\r\ny";
    QTest::newRow("every kind of break from another program")
        << qint64(0) << qint64(0) << qint64(0) << false << QStringLiteral("\r\rb\r\n\nc\r")
        << "\r\n\r\nb\r\n\r\nc\r\nalpha beta gamma\r\nnext"
        << "\r\n\r\nb\r\n\r\nc\r\n";
}

// A selection dropped elsewhere in its pane moves there (Ctrl: is copied),
// as one step of undo, and red stays on the words it was on; text dropped
// from another program is inserted with the pane's line breaks.
void TestPaneView::dropMovesOrCopiesText()
{
    QFETCH(qint64, from);
    QFETCH(qint64, to);
    QFETCH(qint64, dropAt);
    QFETCH(bool, control);
    QFETCH(QString, foreign);
    QFETCH(QString, expected);
    QFETCH(QString, selected);
    const QString original = QStringLiteral("alpha beta gamma\r\nnext");
    RichTextBox pane(QStringLiteral("p"));
    pane.resize(300, 100);
    pane.setText(original);
    pane.colourByteRanges(std::vector<ColourRange>{{6, 4}}, kRed); // "beta"
    pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pane));
    pane.setSelection(from, to);
    std::unique_ptr<QMimeData> data;
    if (foreign.isEmpty()) {
        data = std::make_unique<SelectionData>(pane.buffer().parts(from, to - from), &pane);
    } else {
        data = std::make_unique<QMimeData>();
        data->setText(foreign);
    }
    const QRect box = pane.characterRect(dropAt);
    const QPointF point(box.x(), box.center().y());
    const Qt::KeyboardModifiers keys = control ? Qt::ControlModifier : Qt::NoModifier;
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(point.toPoint(), actions, data.get(), Qt::LeftButton, keys);
    QApplication::sendEvent(pane.viewport(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(point, actions, data.get(), Qt::LeftButton, keys);
    QApplication::sendEvent(pane.viewport(), &drop);

    QCOMPARE(pane.text(), expected);
    QCOMPARE(pane.selectedText(), selected);
    const qint64 beta = PaneBytes::fromText(expected).indexOf("beta");
    QCOMPARE(pane.colourOfByte(beta), kRed);
    QCOMPARE(pane.colourOfByte(beta + 3), kRed);
    if (expected != original) {
        pane.undo();
        QCOMPARE(pane.text(), original);
        QCOMPARE(pane.colourOfByte(6), kRed);
    }
}

// A click on the selection that does not drag it puts the caret there.
void TestPaneView::clickOnTheSelectionPutsTheCaretThere()
{
    RichTextBox pane(QStringLiteral("p"));
    pane.resize(300, 100);
    pane.setText(QStringLiteral("alpha beta gamma"));
    pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pane));
    pane.setSelection(0, 10);
    const QRect b = pane.characterRect(7);
    QTest::mousePress(pane.viewport(), Qt::LeftButton, {}, QPoint(b.x() + 1, b.center().y()));
    QCOMPARE(pane.selectedText(), QStringLiteral("alpha beta")); // still: a drag may start
    QTest::mouseRelease(pane.viewport(), Qt::LeftButton, {}, QPoint(b.x() + 1, b.center().y()));
    QVERIFY(!pane.hasSelectedText());
    QCOMPARE(pane.caretPosition(), qint64(7));
}

QTEST_MAIN(TestPaneView)
#include "test_pane_view.moc"
