// "Find Differences (Words)" through the window.
#include <QRadioButton>
#include <QTest>

#include "CancelProgress.h"
#include "WindowFixture.h"

class TestWordCommand : public QObject
{
    Q_OBJECT

private slots:
    void words_data();
    void words();
    void lineColoursTurnBlack();
    void largeFilesCompareFully();
    void cancelShowsNoResult_data();
    void cancelShowsNoResult();
};

void TestWordCommand::words_data()
{
    QTest::addColumn<QString>("file1");
    QTest::addColumn<QString>("file2");
    QTest::addColumn<QString>("result1");
    QTest::addColumn<QString>("result2");
    QTest::addColumn<QList<int>>("red1");
    QTest::newRow("identical") << "a b\r\nc\r"
                               << "a b\r\nc\r"
                               << ""
                               << "" << QList<int>{};
    QTest::newRow("A X B against A B") << "A X B\r"
                                       << "A B\r"
                                       << "\r\nX"
                                       << "" << QList<int>{2};
    QTest::newRow("plain CSV rows") << "1,a\r\n2,b\r"
                                    << "1,a\r\n2,c\r"
                                    << "\r\n2,b"
                                    << "\r\n2,c" << QList<int>{5, 6, 7};
    QTest::newRow("file 2 empty") << "a b\r"
                                  << ""
                                  << "\r\na\r\nb"
                                  << "" << QList<int>{0, 2};
    QTest::newRow("file 1 empty") << ""
                                  << "a b\r"
                                  << ""
                                  << "\r\na\r\nb" << QList<int>{};
    QTest::newRow("last line against a longer file") << "x y\r"
                                                     << "x y\r\nz\r"
                                                     << ""
                                                     << "\r\nz" << QList<int>{};
}

void TestWordCommand::words()
{
    QFETCH(QString, file1);
    QFETCH(QString, file2);
    QFETCH(QString, result1);
    QFETCH(QString, result2);
    QFETCH(QList<int>, red1);
    WindowFixture f;
    Form1 &w = *f.form;
    w.RichTextBox1->setText(file1);
    w.RichTextBox2->setText(file2);
    w.PushButton6_Click();
    QCOMPARE(w.RichTextBox3->text(), result1);
    QCOMPARE(w.RichTextBox4->text(), result2);
    QCOMPARE(redOffsets(*w.RichTextBox1), red1);
    QCOMPARE(w.RichTextBox1->text(), file1);
    // Left selected: the last red word, or the whole text when nothing is red.
    qsizetype lastRun = red1.size();
    while (lastRun > 0 && (lastRun == red1.size() || red1[lastRun] == red1[lastRun - 1] + 1))
        --lastRun;
    const QString selected =
        red1.isEmpty() ? file1 : file1.mid(red1[lastRun], red1.size() - lastRun);
    QCOMPARE(w.RichTextBox1->selectedText(), selected);
    QCOMPARE(w.MousePointer(), 0);
    QVERIFY2(f.dialogs.messages.empty(), qPrintable(f.dialogs.messageTexts().join("|")));
}

void TestWordCommand::lineColoursTurnBlack()
{
    WindowFixture f;
    Form1 &w = *f.form;
    w.RichTextBox1->setText(QStringLiteral("p q\r\nr\r"));
    w.RichTextBox2->setText(QStringLiteral("p s\r\nt\r"));
    w.PushButton1_Click();
    QVERIFY(!redOffsets(*w.RichTextBox1).isEmpty());
    w.PushButton6_Click();
    QCOMPARE(redOffsets(*w.RichTextBox1), (QList<int>{2, 5}));
    QCOMPARE(w.RichTextBox1->colourAt(0), kBlack);
}

void TestWordCommand::largeFilesCompareFully()
{
    // Far past 32767 characters, the last line still compares.
    WindowFixture f;
    Form1 &w = *f.form;
    QString a;
    for (int i = 0; i < 5000; ++i)
        a += QStringLiteral("row %1 same\r\n").arg(i);
    w.RichTextBox1->setText(a + QStringLiteral("last one\r"));
    w.RichTextBox2->setText(a + QStringLiteral("last two\r"));
    w.PushButton6_Click();
    QCOMPARE(w.RichTextBox3->text(), QStringLiteral("\r\none"));
    QCOMPARE(w.RichTextBox4->text(), QStringLiteral("\r\ntwo"));
    QCOMPARE(redOffsets(*w.RichTextBox1),
             (QList<int>{int(a.size()) + 5, int(a.size()) + 6, int(a.size()) + 7}));
    QVERIFY(f.dialogs.messages.empty());
}

void TestWordCommand::cancelShowsNoResult_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("label");
    QTest::newRow("Lines") << "Lines"
                           << "Finding the lines that differ...";
    QTest::newRow("Words") << "Words"
                           << "Finding the words that differ...";
}

void TestWordCommand::cancelShowsNoResult()
{
    QFETCH(QString, command);
    QFETCH(QString, label);
    WindowFixture f;
    Form1 &w = *f.form;
    // Lines enough that the comparison is still going when it is cancelled.
    QString file1;
    QString file2;
    for (int i = 0; i < 50000; ++i) {
        file1 += QStringLiteral("left %1\r\n").arg(i);
        file2 += QStringLiteral("right %1\r\n").arg(i);
    }
    w.RichTextBox1->setText(file1);
    w.RichTextBox2->setText(file2);
    w.RichTextBox3->setText(QStringLiteral("earlier result"));
    const auto press = [&] {
        if (command == QStringLiteral("Lines"))
            w.PushButton1_Click();
        else
            w.PushButton6_Click();
    };
    QStringList shown;
    {
        const CancelProgress cancel(w);
        press();
        shown = cancel.labels;
    }
    QCOMPARE(shown, QStringList{label});
    QCOMPARE(w.RichTextBox3->text(), QString());
    QCOMPARE(w.RichTextBox4->text(), QString());
    QVERIFY(!w.RichTextBox1->firstRedRun());
    QCOMPARE(w.RichTextBox1->text(), file1);
    QCOMPARE(w.MousePointer(), 0);
    QVERIFY2(f.dialogs.messages.empty(), qPrintable(f.dialogs.messageTexts().join("|")));
    // Nothing is left half done: the same command then runs to the end.
    press();
    QCOMPARE(w.RichTextBox3->text().count(QStringLiteral("left")), 50000);
}

QTEST_MAIN(TestWordCommand)
#include "test_find_word_differences.moc"
