// "Find Differences (Lines)" through the window, and what the results of it
// and of "Find Differences (Words)" keep of the files once others are loaded.
#include <QRadioButton>
#include <QTest>

#include "WindowFixture.h"

namespace {

QList<int> span(int from, int to)
{
    QList<int> list;
    for (int i = from; i < to; ++i)
        list << i;
    return list;
}

} // namespace

class TestLineCommand : public QObject
{
    Q_OBJECT

private slots:
    void differences_data();
    void differences();
    void runningTwiceGivesTheSameAndAddsNoColour();
    void keepsWordColoursAndDisplayOption();
    void resultLetsReplacedFilesGo_data();
    void resultLetsReplacedFilesGo();
};

void TestLineCommand::differences_data()
{
    QTest::addColumn<QString>("file1");
    QTest::addColumn<QString>("file2");
    QTest::addColumn<QString>("result1");
    QTest::addColumn<QString>("result2");
    QTest::addColumn<QList<int>>("red1");
    QTest::addColumn<QString>("selected1"); // only the last red line, not its whole run
    QTest::newRow("same lines") << "a\r\nb\r"
                                << "a\r\nb\r"
                                << ""
                                << "" << QList<int>{} << "";
    QTest::newRow("both empty") << ""
                                << ""
                                << ""
                                << "" << QList<int>{} << "";
    QTest::newRow("file 2 empty") << "a\r\nb\r"
                                  << ""
                                  << "a\r\nb\r\r"
                                  << "" << span(0, 5) << "\nb\r";
    QTest::newRow("same lines, another order") << "a\r\nb\r\nc\r"
                                               << "c\r\na\r\nb\r"
                                               << ""
                                               << "" << QList<int>{} << "";
    QTest::newRow("first line stands later in the other") << "b\r\nx\r"
                                                          << "y\r\nb\r"
                                                          << "\nx\r"
                                                          << "y\r" << span(2, 5) << "\nx\r";
    QTest::newRow("a reported first line colours only itself") << "b\r\nab\r"
                                                               << "ab\r"
                                                               << "b\r"
                                                               << "" << QList<int>{0, 1} << "b\r";
    QTest::newRow("duplicates listed as often as they occur") << "d\r\nd\r\ne\r"
                                                              << "e\r"
                                                              << "d\r\nd\r"
                                                              << "" << span(0, 5) << "\nd\r";
    QTest::newRow("case, blanks and trailing blanks count") << "A,b\r\na, b\r\na,b \r"
                                                            << "a,b\r"
                                                            << "A,b\r\na, b\r\na,b \r"
                                                            << "a,b\r" << span(0, 16) << "\na,b \r";
    QTest::newRow("last line without a CR") << "a\r\nz"
                                            << "a\r"
                                            << "\nz\r"
                                            << "\r" << QList<int>{3} << "\nz";
}

void TestLineCommand::differences()
{
    QFETCH(QString, file1);
    QFETCH(QString, file2);
    QFETCH(QString, result1);
    QFETCH(QString, result2);
    QFETCH(QList<int>, red1);
    QFETCH(QString, selected1);
    WindowFixture f;
    Form1 &w = *f.form;
    w.Form_Load();
    w.RichTextBox1->setText(file1);
    w.RichTextBox2->setText(file2);
    w.RichTextBox3->setText(QStringLiteral("old result"));
    w.PushButton1_Click();
    QCOMPARE(w.RichTextBox3->text(), result1);
    QCOMPARE(w.RichTextBox4->text(), result2);
    // An LF shows no colour of its own: it shares the mark of the CR before it.
    red1.removeIf([&](int i) { return file1[i] == u'\n'; });
    QCOMPARE(redOffsets(*w.RichTextBox1), red1);
    QCOMPARE(w.RichTextBox1->selectedText(), selected1);
    QCOMPARE(w.RichTextBox1->text(), file1);
    QCOMPARE(w.RichTextBox2->text(), file2);
    QCOMPARE(w.MousePointer(), 0);
    QVERIFY(f.dialogs.messages.empty());
}

void TestLineCommand::runningTwiceGivesTheSameAndAddsNoColour()
{
    WindowFixture f;
    Form1 &w = *f.form;
    w.RichTextBox1->setText(QStringLiteral("1\r\n2\r\n3\r"));
    w.RichTextBox2->setText(QStringLiteral("3\r\n4\r"));
    w.PushButton1_Click();
    const QString r3 = w.RichTextBox3->text();
    const QString r4 = w.RichTextBox4->text();
    const QList<int> red1 = redOffsets(*w.RichTextBox1);
    const QList<int> red2 = redOffsets(*w.RichTextBox2);
    w.PushButton1_Click();
    QCOMPARE(w.RichTextBox3->text(), r3);
    QCOMPARE(w.RichTextBox4->text(), r4);
    QCOMPARE(redOffsets(*w.RichTextBox1), red1);
    QCOMPARE(redOffsets(*w.RichTextBox2), red2);
    QCOMPARE(r3, QStringLiteral("1\r\n2\r"));
    QCOMPARE(r4, QStringLiteral("\n4\r"));
}

void TestLineCommand::keepsWordColoursAndDisplayOption()
{
    WindowFixture f;
    Form1 &w = *f.form;
    w.Form_Load(); // Option2 on a first start
    w.RichTextBox1->setText(QStringLiteral("a b\r\nsame\r"));
    w.RichTextBox2->setText(QStringLiteral("a c\r\nsame\r"));
    w.PushButton6_Click();
    QCOMPARE(redOffsets(*w.RichTextBox1), QList<int>{2});
    w.PushButton1_Click();
    QCOMPARE(redOffsets(*w.RichTextBox1), span(0, 4));
    QCOMPARE(w.RichTextBox3->text(), QStringLiteral("a b\r"));
    QVERIFY(w.Option2->isChecked());
    QVERIFY(w.RichTextBox3->Visible());
    QVERIFY(!w.RichTextBox1->Visible());
}

void TestLineCommand::resultLetsReplacedFilesGo_data()
{
    QTest::addColumn<bool>("words");
    QTest::addColumn<int>("lines"); // of file 1, which file 2 lacks
    QTest::newRow("lines, small") << false << 3;
    QTest::newRow("words, small") << true << 3;
    // Results of MiBs are copied on a worker.
    QTest::newRow("lines, large") << false << 400000;
    QTest::newRow("words, large") << true << 400000;
}

// A result shows the files' bytes without a copy; once other files are
// loaded it shows the same, edits and undoes as before, and the old files'
// bytes are no longer held.
void TestLineCommand::resultLetsReplacedFilesGo()
{
    QFETCH(bool, words);
    QFETCH(int, lines);
    WindowFixture f;
    Form1 &w = *f.form;
    QString file1;
    for (int i = 0; i < lines; ++i)
        file1 += QStringLiteral("line %1 of one\r\n").arg(i);
    w.RichTextBox1->setText(file1);
    w.RichTextBox2->setText(QStringLiteral("zzz\r"));
    if (words)
        w.PushButton6_Click();
    else
        w.PushButton1_Click();
    const QString r3 = w.RichTextBox3->text();
    const QString r4 = w.RichTextBox4->text();
    QVERIFY(r3.size() > file1.size() / 2);
    QByteArray held1 = w.RichTextBox1->bytesHolder();
    QByteArray held2 = w.RichTextBox2->bytesHolder();
    w.RichTextBox1->setText(QStringLiteral("another\r"));
    w.RichTextBox2->setText(QString());
    QTRY_VERIFY_WITH_TIMEOUT(held1.isDetached() && held2.isDetached(), 20000);
    QCOMPARE(w.RichTextBox3->text(), r3);
    QCOMPARE(w.RichTextBox4->text(), r4);
    w.RichTextBox3->selectBytes(0, 4);
    QTest::keyClicks(w.RichTextBox3, QStringLiteral("X"));
    QCOMPARE(w.RichTextBox3->text(), QStringLiteral("X") + r3.mid(4));
    QTest::keyClick(w.RichTextBox3, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(w.RichTextBox3->text(), r3);
}

QTEST_MAIN(TestLineCommand)
#include "test_find_line_differences.moc"
