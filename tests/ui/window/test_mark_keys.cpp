// F7 and Shift+F7 walk the red marks of a full pane.
#include <QAccessible>
#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "WindowFixture.h"
#include "pane/PaneNote.h"
#include "text/PaneBytes.h"

using Compare::ColourRange;

class TestMarkKeys : public QObject
{
    Q_OBJECT

private slots:
    void keysWalkTheMarks_data();
    void keysWalkTheMarks();
    void markComesIntoView();
    void counterNamesTheMark_data();
    void counterNamesTheMark();
};

namespace {

// The selection of a pane as UTF-16 start and length.
ColourRange selection(const RichTextBox &pane)
{
    const ColourRange bytes{pane.selectionStart(), pane.selectionEnd() - pane.selectionStart()};
    return PaneBytes::toUtf16Ranges(pane.bytes(), {bytes}).front();
}

void showActive(WindowFixture &f)
{
    f.form->show();
    f.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f.form.get()));
}

} // namespace

void TestMarkKeys::keysWalkTheMarks_data()
{
    QTest::addColumn<int>("focusPane");    // 0: none has the focus
    QTest::addColumn<QString>("keys");     // n: F7, p: Shift+F7
    QTest::addColumn<QList<int>>("marks"); // index of the mark selected after each key

    QTest::newRow("no focus: pane #1, forward") << 0 << "nnnn" << QList<int>{0, 1, 2, 0};
    QTest::newRow("no focus: pane #1, back") << 0 << "ppp" << QList<int>{2, 1, 0};
    QTest::newRow("focus on pane #2") << 2 << "nnp" << QList<int>{0, 1, 0};
    QTest::newRow("focus on pane #1") << 1 << "npp" << QList<int>{0, 2, 1};
}

void TestMarkKeys::keysWalkTheMarks()
{
    QFETCH(int, focusPane);
    QFETCH(QString, keys);
    QFETCH(QList<int>, marks);
    WindowFixture f;
    f.form->Form_Load();
    f.form->setOptionValue(f.form->Option1, true);
    // Three marks in each full pane, one with a character beyond U+FFFF.
    const QString text = QStringLiteral("a,1\r\nx,\U0001F600\r\nb,2\r\ny,2\r\nz,3\r\nc,3\r");
    const QList<ColourRange> expected{{5, 6}, {16, 5}, {26, 4}};
    for (RichTextBox *pane : {f.form->RichTextBox1, f.form->RichTextBox2}) {
        pane->setText(text);
        pane->colourRanges({expected.begin(), expected.end()}, kRed);
        pane->select(0, 0);
    }
    showActive(f);
    RichTextBox *walked = focusPane == 2 ? f.form->RichTextBox2 : f.form->RichTextBox1;
    if (focusPane == 0)
        f.form->PushButton1->setFocus();
    else
        walked->setFocus();
    QVERIFY(QTest::qWaitFor([] { return QApplication::focusWidget() != nullptr; }));

    for (qsizetype i = 0; i < keys.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F7,
                        keys[i] == u'p' ? Qt::ShiftModifier : Qt::NoModifier);
        QCOMPARE(selection(*walked), expected[marks[i]]);
    }
    RichTextBox *other =
        walked == f.form->RichTextBox1 ? f.form->RichTextBox2 : f.form->RichTextBox1;
    QCOMPARE(selection(*other), (ColourRange{0, 0}));
    QCOMPARE(walked->text(), text);
}

void TestMarkKeys::markComesIntoView()
{
    WindowFixture f;
    f.form->Form_Load();
    f.form->setOptionValue(f.form->Option1, true);
    QString text;
    for (int i = 0; i < 400; ++i)
        text += QStringLiteral("row %1\r\n").arg(i);
    RichTextBox &pane = *f.form->RichTextBox1;
    pane.setText(text);
    const qsizetype far = text.indexOf(QStringLiteral("row 350"));
    pane.colourRanges({{far, 7}}, kRed);
    showActive(f);
    pane.setFocus();
    QVERIFY(QTest::qWaitFor([&] { return pane.hasFocus(); }));

    QTest::keyClick(&pane, Qt::Key_F7);
    QCOMPARE(selection(pane), (ColourRange{far, 7}));
    const qint64 first = pane.firstVisibleLine();
    const qint64 shown = pane.linesOnScreen();
    QVERIFY2(first <= 350 && 350 < first + shown, qPrintable(QString::number(first)));
}

void TestMarkKeys::counterNamesTheMark_data()
{
    QTest::addColumn<int>("marks");    // every other line of a pane is red
    QTest::addColumn<QString>("keys"); // n: F7, p: Shift+F7, f: "First Difference", d: Delete
    QTest::addColumn<bool>("fromButton");
    QTest::addColumn<int>("mark"); // 1-based, selected after the keys
    QTest::addColumn<QString>("note");

    QTest::newRow("first") << 3 << "n" << false << 1 << "Difference 1 of 3";
    QTest::newRow("middle") << 3 << "nn" << false << 2 << "Difference 2 of 3";
    QTest::newRow("last") << 3 << "nnn" << false << 3 << "Difference 3 of 3";
    QTest::newRow("wrap-around forward") << 3 << "nnnn" << false << 1 << "Difference 1 of 3";
    QTest::newRow("wrap-around back") << 3 << "np" << false << 3 << "Difference 3 of 3";
    QTest::newRow("First Difference") << 3 << "nnf" << false << 1 << "Difference 1 of 3";
    QTest::newRow("from a button") << 3 << "nn" << true << 2 << "Difference 2 of 3";
    QTest::newRow("digits grouped")
        << 10000 << "p" << false << 10000 << "Difference 10,000 of 10,000";
    // The user deletes the first mark: the count follows the text.
    QTest::newRow("after an edit") << 3 << "ndn" << false << 1 << "Difference 1 of 2";
}

void TestMarkKeys::counterNamesTheMark()
{
    QFETCH(int, marks);
    QFETCH(QString, keys);
    QFETCH(bool, fromButton);
    QFETCH(int, mark);
    QFETCH(QString, note);
    WindowFixture f;
    f.form->Form_Load();
    f.form->setOptionValue(f.form->Option1, true);
    RichTextBox &pane = *f.form->RichTextBox1;
    QString text;
    Compare::ColourRanges red;
    for (int i = 0; i < 2 * marks; ++i) {
        const QString line = QStringLiteral("row %1\r\n").arg(i);
        if (i % 2 == 1)
            red.push_back({text.size(), line.size() - 2});
        text += line;
    }
    pane.setText(text);
    pane.colourRanges(red, kRed);
    pane.select(0, 0);
    showActive(f);
    if (fromButton)
        f.form->PushButton6->setFocus();
    else
        pane.setFocus();
    QVERIFY(QTest::qWaitFor([] { return QApplication::focusWidget() != nullptr; }));

    for (const QChar key : keys) {
        if (key == u'f') {
            const std::unique_ptr<QMenu> menu(pane.createContextMenu());
            for (QAction *a : menu->actions())
                if (a->text() == QStringLiteral("First Difference"))
                    a->trigger();
        } else if (key == u'd') {
            QTest::keyClick(&pane, Qt::Key_Delete);
            red.erase(red.begin());
            for (ColourRange &r : red)
                r.start -= QStringLiteral("row 1").size();
        } else {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_F7,
                            key == u'p' ? Qt::ShiftModifier : Qt::NoModifier);
        }
    }
    QCOMPARE(QApplication::focusWidget(), &pane);
    QCOMPARE(selection(pane), red[size_t(mark - 1)]);
    const PaneNote *shown = PaneNote::of(pane);
    QVERIFY(shown);
    QVERIFY(shown->isVisible());
    QCOMPARE(shown->text(), note);
    QVERIFY(pane.rect().contains(shown->geometry()));
    // Screen readers read it by its name.
    QAccessibleInterface *readable = QAccessible::queryAccessibleInterface(PaneNote::of(pane));
    QVERIFY(readable);
    QCOMPARE(readable->text(QAccessible::Name), note);
    // It goes away by itself (waited for once).
    if (QByteArrayView(QTest::currentDataTag()) == "first")
        QVERIFY(QTest::qWaitFor([shown] { return !shown->isVisible(); }, 3 * PaneNote::kShownMs));
}

QTEST_MAIN(TestMarkKeys)
#include "test_mark_keys.moc"
