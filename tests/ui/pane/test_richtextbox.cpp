#include <algorithm>
#include <array>
#include <memory>

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTest>

#include "WindowFixture.h"
#include "pane/PaneDocument.h"
#include "pane/PaneNote.h"
#include "pane/RichTextBox.h"
#include "text/PaneBytes.h"

using Compare::ColourRange;

class TestRichTextBox : public QObject
{
    Q_OBJECT

private slots:
    void nextDocumentLeavesTheShownOneWhole();
    void largeTextsCountIn64Bits_data();
    void largeTextsCountIn64Bits();
    void noteShowsTextAsTyped_data();
    void noteShowsTextAsTyped();
    void roundTrip_data();
    void roundTrip();
    void typedLineBreakIsCrLf();
    void richTextKeysEdit_data();
    void richTextKeysEdit();
    void noOtherKeyChangesTheText();
    void editingKeepsOtherBreaks();
    void colourRangesMapOffsets_data();
    void colourRangesMapOffsets();
    void colourIsNotUndone_data();
    void colourIsNotUndone();
    void selectionUsesTextOffsets();
    void selectionOfAnySize_data();
    void selectionOfAnySize();
    void appendJoinsCrAndLf();
    void appendKeepsUnusualBreaks();
    void colourShowsOnScreen();
    void settingTextIsNoEdit();
    void looksAsDesigned();
    void selectionShowsOnlyWithFocus();
    void tabMovesTheFocus_data();
    void tabMovesTheFocus();
    void redRunsFoundBothWays_data();
    void redRunsFoundBothWays();
    void largeColouringMatchesAModel_data();
    void largeColouringMatchesAModel();
    void redRunsFollowTheColours_data();
    void redRunsFollowTheColours();
};

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
    QTest::newRow("nbsp and nul kept")
        << QStringLiteral("a\u00A0b") + QChar(0) + QStringLiteral("c") << 1;
    QTest::newRow("only breaks") << QStringLiteral("\r\n\r\n\n\r") << 5;
    QTest::newRow("astral characters") << QStringLiteral("\U0001F600,\U00010348\r\n\u00E9") << 2;
    QTest::newRow("lone surrogates") << QString(QChar(0xDC00)) + QChar(0xD800) + u'\n' << 2;
    QTest::newRow("byte-order mark first") << QChar(0xFEFF) + QStringLiteral("a\rb") << 2;
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

void TestRichTextBox::richTextKeysEdit_data()
{
    QTest::addColumn<QKeyCombination>("key");
    QTest::addColumn<QString>("expected");

    // The text is "Mixed Case", the caret after "Mix".
    QTest::newRow("Delete") << QKeyCombination(Qt::Key_Delete) << "Mixd Case";
    QTest::newRow("Backspace") << QKeyCombination(Qt::Key_Backspace) << "Mied Case";
    QTest::newRow("Ctrl+A, then typing") << (Qt::ControlModifier | Qt::Key_A) << "x";
    QTest::newRow("Shift+End, then typing") << (Qt::ShiftModifier | Qt::Key_End) << "Mixx";
    QTest::newRow("Ctrl+Right, then typing")
        << (Qt::ControlModifier | Qt::Key_Right) << "Mixed xCase";
    QTest::newRow("Ctrl+Z undoes the typing") << (Qt::ControlModifier | Qt::Key_Z) << "Mixed Case";
}

void TestRichTextBox::richTextKeysEdit()
{
    QFETCH(QKeyCombination, key);
    QFETCH(QString, expected);
    RichTextBox pane(QStringLiteral("p"));
    pane.setText(QStringLiteral("Mixed Case"));
    pane.select(3, 0);
    const bool undo = key.key() == Qt::Key_Z;
    const bool types = key.key() != Qt::Key_Delete && key.key() != Qt::Key_Backspace;
    if (undo)
        QTest::keyClicks(&pane, QStringLiteral("x"));
    QTest::keyClick(&pane, key.key(), key.keyboardModifiers());
    if (types && !undo)
        QTest::keyClicks(&pane, QStringLiteral("x"));
    QCOMPARE(pane.text(), expected);
}

// Every key with Ctrl or Alt (and Shift) that is not one of a rich text
// box's (the clipboard, undo and redo, the moves) leaves the text alone:
// no change of case, duplicated or deleted lines, nor any other edit.
void TestRichTextBox::noOtherKeyChangesTheText()
{
    const QString text = QStringLiteral("Mixed Case\r\nsecond Line\r\nthird");
    RichTextBox pane(QStringLiteral("p"));
    QGuiApplication::clipboard()->setText(QStringLiteral("pasted"));
    std::vector<Qt::Key> keys;
    for (int k = Qt::Key_A; k <= Qt::Key_Z; ++k)
        keys.push_back(Qt::Key(k));
    for (int k = Qt::Key_0; k <= Qt::Key_9; ++k)
        keys.push_back(Qt::Key(k));
    for (int k = Qt::Key_F1; k <= Qt::Key_F12; ++k)
        keys.push_back(Qt::Key(k));
    for (const Qt::Key k :
         {Qt::Key_Insert,    Qt::Key_Delete,      Qt::Key_Backspace,    Qt::Key_Return,
          Qt::Key_Left,      Qt::Key_Right,       Qt::Key_Up,           Qt::Key_Down,
          Qt::Key_Home,      Qt::Key_End,         Qt::Key_PageUp,       Qt::Key_PageDown,
          Qt::Key_Escape,    Qt::Key_BracketLeft, Qt::Key_BracketRight, Qt::Key_Slash,
          Qt::Key_Backslash, Qt::Key_Minus,       Qt::Key_Plus,         Qt::Key_Equal,
          Qt::Key_Space,     Qt::Key_Period,      Qt::Key_Comma})
        keys.push_back(k);
    // The keys that edit: the clipboard's, undo and redo.
    QList<QKeySequence> editing;
    for (const auto standard :
         {QKeySequence::Cut, QKeySequence::Paste, QKeySequence::Undo, QKeySequence::Redo})
        editing += QKeySequence::keyBindings(standard);
    editing += QKeySequence(Qt::ControlModifier | Qt::Key_Y);
    const Qt::KeyboardModifiers modifiers[] = {
        Qt::ControlModifier, Qt::ControlModifier | Qt::ShiftModifier, Qt::AltModifier,
        Qt::AltModifier | Qt::ShiftModifier, Qt::MetaModifier};
    int walked = 0;
    for (const Qt::Key key : keys)
        for (const Qt::KeyboardModifiers mods : modifiers) {
            const QKeySequence sequence(QKeyCombination(mods, key));
            if (editing.contains(sequence))
                continue;
            for (const bool selected : {false, true}) {
                pane.setText(text);
                pane.select(selected ? 2 : 14, selected ? 20 : 0);
                QTest::keyClick(&pane, key, mods);
                QVERIFY2(pane.text() == text,
                         qPrintable(sequence.toString() + QStringLiteral(" changed the text")));
            }
            ++walked;
        }
    QVERIFY(walked > 300);
    // The editing keys do edit: the walk would pass on a pane that ignores keys.
    pane.setText(text);
    pane.select(0, 5);
    QTest::keyClick(&pane, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(pane.text(), text.mid(5));
    QTest::keyClick(&pane, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(pane.text(), text);
    QTest::keyClick(&pane, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(pane.text(), text.mid(5));
    QTest::keyClick(&pane, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(pane.text(), QStringLiteral("Mixed") + text.mid(5));
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
    QTest::newRow("after a crlf") << QStringLiteral("ab\r\ncd\r\nef") << qsizetype(4)
                                  << qsizetype(2);
    QTest::newRow("after two crlf")
        << QStringLiteral("ab\r\ncd\r\nef") << qsizetype(8) << qsizetype(2);
    QTest::newRow("after lone breaks")
        << QStringLiteral("a\rb\nc\r\nd") << qsizetype(4) << qsizetype(1);
    QTest::newRow("line with its lf")
        << QStringLiteral("ab\r\ncd\r\nef") << qsizetype(3) << qsizetype(4);
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

void TestRichTextBox::colourIsNotUndone_data()
{
    QTest::addColumn<Colour>("colour");
    QTest::addColumn<int>("typedAt"); // where "d" is typed into "abc"
    const Colour blue = 0xFF0000;
    QTest::newRow("red, typed after it") << kRed << 3;
    QTest::newRow("red, typed before it") << kRed << 0;
    QTest::newRow("blue, typed after it") << blue << 3;
    QTest::newRow("blue, typed before it") << blue << 0;
}

// Colouring is no step of undo: undo and redo of typing keep the colour of
// "ab" where "ab" goes.
void TestRichTextBox::colourIsNotUndone()
{
    QFETCH(Colour, colour);
    QFETCH(int, typedAt);
    RichTextBox pane(QStringLiteral("p"));
    pane.setText(QStringLiteral("abc"));
    pane.select(typedAt, 0);
    QTest::keyClicks(&pane, QStringLiteral("d"));
    const int ab = typedAt == 0 ? 1 : 0;
    pane.colourRanges({ColourRange{ab, 2}}, colour);
    for (const bool undo : {true, false}) {
        if (undo)
            pane.undo();
        else
            pane.redo();
        const int at = undo ? 0 : ab;
        QCOMPARE(pane.text().mid(at, 2), QStringLiteral("ab"));
        for (int i = 0; i < pane.text().size(); ++i)
            QCOMPARE(pane.colourAt(i), i == at || i == at + 1 ? colour : kBlack);
    }
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

void TestRichTextBox::selectionOfAnySize_data()
{
    // How the selection is made, where (-1: select all), and whether X11's
    // primary selection gets a copy of it: not above a megabyte.
    QTest::addColumn<QString>("how");
    QTest::addColumn<qsizetype>("start");
    QTest::addColumn<qsizetype>("length");
    QTest::addColumn<bool>("offered");
    QTest::newRow("a line") << "bytes" << qsizetype(130) << qsizetype(13) << true;
    QTest::newRow("a megabyte") << "bytes" << qsizetype(130) << qsizetype(1 << 20) << true;
    QTest::newRow("a mark of megabytes")
        << "bytes" << qsizetype(130) << qsizetype(3 << 20) << false;
    QTest::newRow("Ctrl+A") << "Ctrl+A" << qsizetype(0) << qsizetype(-1) << false;
    QTest::newRow("Select All in the menu") << "menu" << qsizetype(0) << qsizetype(-1) << false;
    QTest::newRow("Ctrl+A, a small text") << "Ctrl+A" << qsizetype(0) << qsizetype(-1) << true;
}

// Offscreen there is no primary selection: there the rows check only what
// the pane shows and offers. Under X11 they check the primary selection too.
void TestRichTextBox::selectionOfAnySize()
{
    QFETCH(QString, how);
    QFETCH(qsizetype, start);
    QFETCH(qsizetype, length);
    QFETCH(bool, offered);
    const int lines = length < 0 && offered ? 100 : 400000;
    QString text;
    for (int line = 0; line < lines; ++line)
        text += QStringLiteral("line %1\r\n").arg(line, 6, 10, QLatin1Char('0'));
    RichTextBox pane(QStringLiteral("p"));
    pane.setEditMenuEnabled(true);
    pane.setText(text);
    // A selection and a scrolled view, which the new selection replaces.
    pane.setSelection(20, 30);
    pane.setFirstVisibleLine(50);
    QClipboard *clipboard = QGuiApplication::clipboard();
    const bool x11 = clipboard->supportsSelection();
    if (x11)
        clipboard->setText(QStringLiteral("before"), QClipboard::Selection);
    if (how == "bytes") {
        pane.selectBytes(start, length);
    } else if (how == "Ctrl+A") {
        QTest::keyClick(&pane, Qt::Key_A, Qt::ControlModifier);
    } else {
        std::unique_ptr<QMenu> menu(pane.createContextMenu());
        const QList<QAction *> actions = menu->actions();
        const auto all = std::find_if(actions.begin(), actions.end(), [](QAction *a) {
            return a->text().remove(QLatin1Char('&')) == QStringLiteral("Select All");
        });
        QVERIFY(all != actions.end());
        (*all)->trigger();
    }
    // Select All leaves the caret at the start and the view where it was;
    // a selection made for a mark brings its end into view.
    const bool all = length < 0;
    const qint64 anchor = all ? qint64(text.size()) : qint64(start);
    const qint64 caret = all ? 0 : qint64(start + length);
    QCOMPARE(pane.anchorPosition(), anchor);
    QCOMPARE(pane.caretPosition(), caret);
    QVERIFY(pane.hasSelectedText()); // Copy and Cut are offered
    const qint64 top = pane.firstVisibleLine();
    const qint64 caretLine = pane.buffer().lineOf(caret);
    if (all)
        QCOMPARE(top, qint64(50));
    else // a page is some dozens of lines
        QVERIFY2(caretLine >= top && caretLine < top + 100, qPrintable(QString::number(top)));
    if (x11)
        QCOMPARE(clipboard->text(QClipboard::Selection) == QStringLiteral("before"), !offered);
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

// A new text, as a load or a comparison sets it, is no edit the user can
// undo; what the user types afterwards is.
void TestRichTextBox::settingTextIsNoEdit()
{
    RichTextBox pane(QStringLiteral("p"));
    pane.setText(QStringLiteral("old"));
    pane.setText(QStringLiteral("new"));
    QVERIFY(!pane.isUndoAvailable());
    pane.undo();
    QCOMPARE(pane.text(), QStringLiteral("new"));
    pane.select(3, 0);
    QTest::keyClicks(&pane, QStringLiteral("er"));
    QCOMPARE(pane.text(), QStringLiteral("newer"));
    pane.undo();
    QCOMPARE(pane.text(), QStringLiteral("new"));
}

namespace {

struct Shot
{
    QImage image;
    int white = 0;
    int dark = 0; // black text
    int red = 0;
    int firstInkColumn = -1;
};

Shot shoot(QWidget &w)
{
    Shot shot;
    shot.image = w.grab().toImage();
    for (int x = 0; x < shot.image.width(); ++x)
        for (int y = 0; y < shot.image.height(); ++y) {
            const QColor c = shot.image.pixelColor(x, y);
            const bool white = c.red() == 255 && c.green() == 255 && c.blue() == 255;
            const bool dark = c.red() < 80 && c.green() < 80 && c.blue() < 80;
            const bool red = c.red() > 150 && c.green() < 80 && c.blue() < 80;
            shot.white += white;
            shot.dark += dark;
            shot.red += red;
            if ((dark || red) && shot.firstInkColumn < 0)
                shot.firstInkColumn = x;
        }
    return shot;
}

} // namespace

// White paper, black bold text from the left edge (no margins), red marks,
// the widget's font on the text.
void TestRichTextBox::looksAsDesigned()
{
    RichTextBox pane(QStringLiteral("p"));
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9);
    font.setBold(true);
    pane.setFont(font);
    pane.resize(220, 120);
    pane.setText(QStringLiteral("WWWW,1\r\nMMMM,2\r\nWWWW,3\r"));
    pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pane));

    const Shot plain = shoot(pane);
    QCOMPARE(plain.image.pixelColor(plain.image.width() / 2, plain.image.height() - 30),
             QColor(Qt::white));
    QVERIFY2(plain.white > plain.image.width() * plain.image.height() / 2, "not white");
    QVERIFY(plain.dark > 50);
    QCOMPARE(plain.red, 0);
    QVERIFY2(plain.firstInkColumn >= 0 && plain.firstInkColumn < 8, "text not at the left edge");

    pane.colourRanges({ColourRange{8, 6}}, kRed);
    const Shot marked = shoot(pane);
    QVERIFY(marked.red > 20);
    QVERIFY(marked.dark < plain.dark);

    // The text is in the widget's font: without bold, less ink.
    font.setBold(false);
    pane.setFont(font);
    pane.colourAll(kBlack);
    QVERIFY(shoot(pane).dark < plain.dark * 9 / 10);
}

// A comparison leaves its last mark selected; the selection shows only while
// the pane has the focus, so the mark stays red.
void TestRichTextBox::selectionShowsOnlyWithFocus()
{
    QWidget window;
    auto *pane = new RichTextBox(QStringLiteral("p"), &window);
    auto *other = new RichTextBox(QStringLiteral("q"), &window);
    pane->setGeometry(0, 0, 200, 100);
    other->setGeometry(0, 100, 200, 100);
    pane->setText(QStringLiteral("WWWWWWWW\r\nWWWWWWWW\r"));
    pane->colourRanges({ColourRange{0, 8}}, kRed);
    pane->select(0, 8);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    other->setFocus();
    QVERIFY(QTest::qWaitFor([&] { return other->hasFocus(); }));
    const int unfocusedRed = shoot(*pane).red;
    QVERIFY(unfocusedRed > 20);
    pane->setFocus();
    QVERIFY(QTest::qWaitFor([&] { return pane->hasFocus(); }));
    QVERIFY(shoot(*pane).red < unfocusedRed);
}

void TestRichTextBox::tabMovesTheFocus_data()
{
    QTest::addColumn<bool>("backwards");
    QTest::newRow("Tab") << false;
    QTest::newRow("Shift+Tab") << true;
}

// Tab and Shift+Tab leave a pane for the next or previous control and type
// nothing into its text.
void TestRichTextBox::tabMovesTheFocus()
{
    QFETCH(bool, backwards);
    QWidget window;
    auto *before = new QPushButton(QStringLiteral("before"), &window);
    auto *pane = new RichTextBox(QStringLiteral("p"), &window);
    auto *after = new QPushButton(QStringLiteral("after"), &window);
    before->setGeometry(0, 0, 80, 20);
    pane->setGeometry(0, 20, 200, 100);
    after->setGeometry(0, 120, 80, 20);
    pane->setText(QStringLiteral("a,b\r\n"));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    pane->setFocus();
    QVERIFY(QTest::qWaitFor([&] { return pane->hasFocus(); }));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab,
                    backwards ? Qt::ShiftModifier : Qt::NoModifier);
    QVERIFY(QTest::qWaitFor([&] { return (backwards ? before : after)->hasFocus(); }));
    QCOMPARE(pane->text(), QStringLiteral("a,b\r\n"));
}

void TestRichTextBox::redRunsFoundBothWays_data()
{
    QTest::addColumn<qsizetype>("from");
    QTest::addColumn<bool>("forward");
    QTest::addColumn<qsizetype>("start"); // of the run found, -1 for none
    // Red: "bb" at 3, "dd" at 9 and "ee" at 12 (UTF-16; "é" before "dd").
    QTest::newRow("next from the start") << qsizetype(0) << true << qsizetype(3);
    QTest::newRow("next from inside a run") << qsizetype(4) << true << qsizetype(9);
    QTest::newRow("next from a run's start skips it") << qsizetype(9) << true << qsizetype(12);
    QTest::newRow("next after the last goes round") << qsizetype(13) << true << qsizetype(3);
    QTest::newRow("previous from a run's start") << qsizetype(12) << false << qsizetype(9);
    QTest::newRow("previous between runs") << qsizetype(7) << false << qsizetype(3);
    QTest::newRow("previous before the first goes round") << qsizetype(1) << false << qsizetype(12);
}

void TestRichTextBox::redRunsFoundBothWays()
{
    QFETCH(qsizetype, from);
    QFETCH(bool, forward);
    QFETCH(qsizetype, start);
    RichTextBox pane(QStringLiteral("p"));
    const QString text = QStringLiteral("aa bb\r\ncc\u00E9dd ee\r");
    pane.setText(text);
    pane.colourRanges({ColourRange{3, 2}, ColourRange{9, 2}, ColourRange{12, 2}}, kRed);
    const QByteArray bytes = PaneBytes::fromText(text);
    const qsizetype fromByte = PaneBytes::byteOffsets(bytes, {from})[0];
    const std::optional<ColourRange> run = pane.redRunFrom(fromByte, forward);
    QVERIFY(run.has_value());
    const Compare::ColourRanges asText = PaneBytes::toUtf16Ranges(bytes, {*run});
    QCOMPARE(asText.front(), (ColourRange{start, 2}));
}

void TestRichTextBox::largeColouringMatchesAModel_data()
{
    QTest::addColumn<int>("rangeCount");
    QTest::addColumn<int>("maxLength");
    // Few long ranges are styled one by one, many short ones a slice of text
    // at a time; both across slices of the text and over earlier colours.
    QTest::newRow("few long ranges") << 40 << 200000;
    QTest::newRow("many short ranges") << 60000 << 12;
    QTest::newRow("mixed") << 3000 << 3000;
}

// Red added over red, black over parts of it, then red again: the red runs of
// a 2.5 MB pane are those of a plain model of its characters.
void TestRichTextBox::largeColouringMatchesAModel()
{
    QFETCH(int, rangeCount);
    QFETCH(int, maxLength);
    const qsizetype size = 2500000;
    QByteArray text(size, 'x');
    for (qsizetype i = 40; i < size; i += 41)
        text[i] = '\n';
    RichTextBox pane(QStringLiteral("p"));
    pane.setBytes(text);
    std::vector<bool> model(size_t(size), false);
    QRandomGenerator random(static_cast<quint32>(rangeCount));
    const auto randomRanges = [&] {
        Compare::ColourRanges ranges;
        for (int i = 0; i < rangeCount; ++i) {
            const qsizetype start = random.bounded(int(size));
            ranges.push_back({start, 1 + random.bounded(maxLength)});
        }
        return Compare::normalised(ranges);
    };
    for (const Colour colour : {kRed, kBlack, kRed}) {
        const Compare::ColourRanges ranges = randomRanges();
        pane.colourByteRanges(ranges, colour);
        for (const ColourRange &r : ranges)
            for (qsizetype i = r.start; i < std::min(size, r.start + r.length); ++i)
                model[size_t(i)] = colour == kRed;
    }
    Compare::ColourRanges expected;
    for (qsizetype i = 0; i < size; ++i) {
        if (!model[size_t(i)])
            continue;
        if (!expected.empty() && expected.back().start + expected.back().length == i)
            ++expected.back().length;
        else
            expected.push_back({i, 1});
    }
    Compare::ColourRanges found;
    for (qsizetype at = 0;;) {
        const std::optional<ColourRange> run = pane.redRunFrom(at, true);
        if (!run || (!found.empty() && run->start <= found.back().start))
            break;
        found.push_back(*run);
        at = run->start;
    }
    QCOMPARE(found.size(), expected.size());
    QVERIFY(found == expected);
    // The runs kept as they were laid are the same.
    QVERIFY(pane.redRuns().runs() == expected);
    QCOMPARE(pane.bytes(), QByteArrayView(text));
}

void TestRichTextBox::redRunsFollowTheColours_data()
{
    // Steps: r/b A B [C D...]: colour bytes A..B (and C..D, in the same call)
    // red/black; R/K: whole text red/black;
    // t N: type "xy" at N; d A B: select A..B and press Delete; a: append "z\r".
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("count"); // red runs at the end
    QTest::newRow("laid") << QStringList{"r 2 4", "r 10 12", "r 4 6"} << 2;
    QTest::newRow("cut") << QStringList{"r 2 12", "b 5 7"} << 2;
    QTest::newRow("typed inside a run") << QStringList{"r 2 8", "t 4"} << 2;
    QTest::newRow("a run deleted") << QStringList{"r 2 4", "r 8 10", "d 1 5"} << 1;
    QTest::newRow("edited, then all black, then red")
        << QStringList{"r 2 4", "t 1", "K", "r 6 8"} << 1;
    QTest::newRow("edited, then more red") << QStringList{"r 2 4", "d 0 1", "r 8 10"} << 2;
    QTest::newRow("appended") << QStringList{"r 2 4", "a", "r 18 19"} << 2;
    QTest::newRow("all red") << QStringList{"r 2 4", "R"} << 1;
    // Ranges laid after the last red one, with the text between them black,
    // need not read the colours back, unless an edit moved red there.
    QTest::newRow("laid further on") << QStringList{"r 2 4", "r 6 7 9 10"} << 3;
    QTest::newRow("typed, then laid where red moved")
        << QStringList{"r 2 5", "t 1", "r 5 6 7 8"} << 1;
    QTest::newRow("out of order in one call") << QStringList{"r 6 7 2 3 9 10"} << 3;
}

// What the pane keeps of its red runs is what its colours show, whatever
// was coloured and however the user edited the text.
void TestRichTextBox::redRunsFollowTheColours()
{
    QFETCH(QStringList, steps);
    QFETCH(int, count);
    RichTextBox pane(QStringLiteral("p"));
    pane.setText(QStringLiteral("abcdefghij\r\nklmnop\r"));
    for (const QString &step : steps) {
        const QStringList w = step.split(u' ');
        const auto at = [&w](int i) { return qsizetype(w[i].toInt()); };
        if (w[0] == u"r" || w[0] == u"b") {
            Compare::ColourRanges ranges;
            for (int i = 1; i + 1 < w.size(); i += 2)
                ranges.push_back({at(i), at(i + 1) - at(i)});
            pane.colourByteRanges(ranges, w[0] == u"r" ? kRed : kBlack);
        } else if (w[0] == u"R" || w[0] == u"K")
            pane.colourAll(w[0] == u"R" ? kRed : kBlack);
        else if (w[0] == u"t") {
            pane.selectBytes(at(1), 0);
            QTest::keyClicks(&pane, QStringLiteral("xy"));
        } else if (w[0] == u"d") {
            pane.selectBytes(at(1), at(2) - at(1));
            QTest::keyClick(&pane, Qt::Key_Delete);
        } else if (w[0] == u"a")
            pane.appendText(QStringLiteral("z\r"));
    }
    Compare::ColourRanges shown;
    const QString text = pane.text();
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (pane.colourAt(i) != kRed)
            continue;
        if (!shown.empty() && shown.back().start + shown.back().length == i)
            ++shown.back().length;
        else
            shown.push_back({i, 1});
    }
    QCOMPARE(qsizetype(shown.size()), qsizetype(count));
    QVERIFY(pane.redRuns().runs() == shown);
    QCOMPARE(pane.redRuns().count(), qsizetype(count));
}

void TestRichTextBox::nextDocumentLeavesTheShownOneWhole()
{
    // A load makes the next text while the pane shows the current one, and a
    // cancelled load drops it: the pane must still show every line.
    RichTextBox pane(QStringLiteral("pane"));
    pane.resize(300, 200);
    pane.show();
    QByteArray text;
    for (int i = 0; i < 1000; ++i)
        text += "line " + QByteArray::number(i) + "\r\n";
    pane.setBytes(text);
    {
        PaneDocument next;
        next.append("the next text\r\n");
        QCOMPARE(pane.bytes(), QByteArrayView(text));
    }
    QCOMPARE(pane.lineCount(), qsizetype(1001));
    pane.gotoLine(900);
    QVERIFY(pane.firstVisibleLine() > 800);
    QCOMPARE(pane.buffer().lineStart(900), text.indexOf("line 900\r\n"));
}

void TestRichTextBox::largeTextsCountIn64Bits_data()
{
    // Past 2 GiB a text counted in 32 bits has its lines start at negative
    // offsets: every line number the pane gives is wrong.
    QTest::addColumn<qsizetype>("reach");
    constexpr qsizetype MiB = qsizetype(1) << 20;
    QTest::newRow("a small file") << 100 * MiB;
    QTest::newRow("a 3 GiB file") << 3072 * MiB;
}

void TestRichTextBox::largeTextsCountIn64Bits()
{
    QFETCH(qsizetype, reach);
    RichTextBox pane(QStringLiteral("pane"));
    pane.adopt(PaneDocument(PaneDocument::Colours::Kept, 0, reach));
    pane.setReadOnly(false);
    pane.appendText(QStringLiteral("a\r\nb\r\n"));
    QCOMPARE(pane.buffer().lineStart(2), qint64(6));
    static_assert(sizeof(TextBuffer::Position) == 8);
}

void TestRichTextBox::noteShowsTextAsTyped_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("a name with a bold tag") << QStringLiteral("<b>x</b>.csv");
    QTest::newRow("a name with an entity") << QStringLiteral("a&amp;b.csv");
    QTest::newRow("a name with a line break tag") << QStringLiteral("a<br>b.csv");
}

// A note shows every character it is given: as wide as its text in plain
// letters, not as the markup would draw it.
void TestRichTextBox::noteShowsTextAsTyped()
{
    QFETCH(QString, text);
    RichTextBox pane(QStringLiteral("pane"));
    pane.resize(600, 200);
    pane.show();
    PaneNote::showOn(pane, text);
    const PaneNote *note = PaneNote::of(pane);
    QVERIFY(note);
    QCOMPARE(note->text(), text);
    const QFontMetrics metrics(note->font());
    const int margins = note->width() - note->contentsRect().width() + 2 * note->margin();
    QVERIFY2(note->width() - margins >= metrics.horizontalAdvance(text) - 1,
             qPrintable(QString::number(note->width())));
}

QTEST_MAIN(TestRichTextBox)
#include "test_richtextbox.moc"
