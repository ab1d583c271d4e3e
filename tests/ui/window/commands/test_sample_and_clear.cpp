// "Load Sample/Example Files" and "Clear Text Above" through the window's handlers.
#include <sys/stat.h>

#include <QDir>
#include <QFileInfo>
#include <QTest>

#include "CommandTestSupport.h"

using namespace CommandTest;
using namespace Qt::StringLiterals;

namespace {

const QString kQuestion =
    u"Would you like this software to open the folder where these sample files are stored "
    u"(so that you can view them before working with them)?"_s;

// Two small samples, as the installation puts them beside the program, and
// the pane texts they load as (before the command's CR).
const QByteArray kSample1("id,city,amount\r\n1,Oslo,10\r\n2,Lima,20\r\n3,Kyiv,30\r\n");
const QByteArray kSample2("id,city,amount\n2,Lima,20\n1,Oslo,15\n4,San Jose,40");
const QString kText1 = u"id,city,amount\r\n1,Oslo,10\r\n2,Lima,20\r\n3,Kyiv,30\r\n"_s;
const QString kText2 = u"id,city,amount\r\n2,Lima,20\r\n1,Oslo,15\r\n4,San Jose,40"_s;

void writeSamples(WindowFixture &f, bool first = true, bool second = true)
{
    if (first)
        f.writeFile(u"Samples/sample1.csv"_s, kSample1);
    if (second)
        f.writeFile(u"Samples/sample2.csv"_s, kSample2);
}

QString samplesFolder(const WindowFixture &f)
{
    return f.programFolder.path() + u"/Samples/"_s;
}

} // namespace

class TestSampleCommands : public QObject
{
    Q_OBJECT

private slots:
    void samplesLoad_data();
    void samplesLoad();
    void pressedTwice();
    void samplesMissing_data();
    void samplesMissing();
    void clear_data();
    void clear();
};

void TestSampleCommands::samplesLoad_data()
{
    QTest::addColumn<int>("option");
    QTest::addColumn<bool>("yes");
    QTest::newRow("all lines shown, answered No") << 1 << false;
    QTest::newRow("all lines shown, answered Yes") << 1 << true;
    QTest::newRow("differences shown, answered No") << 2 << false;
    QTest::newRow("differences shown, answered Yes") << 2 << true;
}

void TestSampleCommands::samplesLoad()
{
    QFETCH(int, option);
    QFETCH(bool, yes);
    WindowFixture f;
    writeSamples(f);
    start(f, option, defaultPaneTexts());
    const WindowState before = WindowState::of(f);
    f.dialogs.answers.push_back(yes ? Platform::Answer::Yes : Platform::Answer::No);

    f.form->PushButton9_Click();

    const WindowState after = WindowState::of(f);
    QCOMPARE(after.texts[0], kText1 + u'\r');
    QCOMPARE(after.texts[1], kText2 + u'\r');
    QCOMPARE(after.texts[2], before.texts[2]);
    QCOMPARE(after.texts[3], before.texts[3]);
    QVERIFY(showsFullPanes(f));
    QCOMPARE(f.dialogs.messages.size(), size_t(1));
    QVERIFY(isNotice(f.dialogs.messages.front(), kQuestion, Platform::Buttons::YesNo));
    QCOMPARE(f.dialogs.openedFolders, yes ? QStringList{samplesFolder(f)} : QStringList());
    QCOMPARE(f.dialogs.fileDialogs.size(), size_t(0));
    QCOMPARE(f.form->MousePointer(), before.pointer);
}

void TestSampleCommands::pressedTwice()
{
    WindowFixture f;
    writeSamples(f);
    start(f, 1, defaultPaneTexts());
    f.dialogs.answers = {Platform::Answer::No, Platform::Answer::Yes};

    f.form->PushButton9_Click();
    const WindowState once = WindowState::of(f);
    f.form->PushButton9_Click();

    QVERIFY(WindowState::of(f) == once);
    QCOMPARE(once.texts[0], kText1 + u'\r');
    QCOMPARE(f.dialogs.messageTexts(), QStringList(2, kQuestion));
    QCOMPARE(f.dialogs.openedFolders, QStringList{samplesFolder(f)});
}

void TestSampleCommands::samplesMissing_data()
{
    // Each sample "present", "missing", or "folder" (there but not readable).
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::newRow("both missing") << u"missing"_s << u"missing"_s;
    QTest::newRow("sample1 missing") << u"missing"_s << u"present"_s;
    QTest::newRow("sample2 missing") << u"present"_s << u"missing"_s;
    QTest::newRow("sample1 unreadable") << u"folder"_s << u"present"_s;
    QTest::newRow("sample2 unreadable, sample1 missing") << u"missing"_s << u"folder"_s;
    QTest::newRow("sample1 a named pipe") << u"pipe"_s << u"present"_s;
}

namespace {

// Windows has no named pipes in its file system.
bool madeNamedPipe(const QString &path)
{
#ifdef Q_OS_WIN
    Q_UNUSED(path);
    return false;
#else
    return QDir().mkpath(QFileInfo(path).path())
           && ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
#endif
}

} // namespace

void TestSampleCommands::samplesMissing()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    WindowFixture f;
    writeSamples(f, first == u"present", second == u"present");
    for (const auto &[state, name] :
         {std::pair{first, u"sample1.csv"_s}, {second, u"sample2.csv"_s}})
        if (state == u"folder")
            QDir().mkpath(f.programFolder.filePath(u"Samples/"_s + name));
        else if (state == u"pipe" && !madeNamedPipe(f.programFolder.filePath(u"Samples/"_s + name)))
            QSKIP("cannot make a named pipe here");
    start(f, 2, defaultPaneTexts());
    // Red marks of a comparison, which the command's rewrite of the text drops.
    f.form->PushButton1_Click();
    QVERIFY(!redOffsets(*f.form->RichTextBox1).isEmpty());
    QVERIFY(!redOffsets(*f.form->RichTextBox2).isEmpty());
    f.dialogs.clear();
    const WindowState before = WindowState::of(f);
    f.dialogs.answers.push_back(Platform::Answer::Yes);

    f.form->PushButton9_Click();

    const WindowState after = WindowState::of(f);
    QCOMPARE(after.texts[0], (first == u"present" ? kText1 : before.texts[0]) + u'\r');
    QCOMPARE(after.texts[1], (second == u"present" ? kText2 : before.texts[1]) + u'\r');
    QCOMPARE(after.texts[2], before.texts[2]);
    QCOMPARE(after.texts[3], before.texts[3]);
    QCOMPARE(redOffsets(*f.form->RichTextBox1), QList<int>());
    QCOMPARE(redOffsets(*f.form->RichTextBox2), QList<int>());
    // One box per sample that did not load, in order, then the question.
    const auto &messages = f.dialogs.messages;
    size_t at = 0;
    for (const auto &[state, line] : {std::pair{first, 100}, {second, 102}}) {
        if (state == u"present")
            continue;
        QVERIFY(at < messages.size());
        if (state == u"missing")
            QVERIFY(isNotice(messages[at], u"File not found"_s));
        else if (state == u"pipe")
            QVERIFY2(messages[at].text.contains(u"named pipe"_s), qPrintable(messages[at].text));
        else
            checkTrapReport(messages[at], location("PushButton9_Click"), line);
        ++at;
    }
    QCOMPARE(messages.size(), at + 1);
    QVERIFY(isNotice(messages.back(), kQuestion, Platform::Buttons::YesNo));
    QVERIFY(showsFullPanes(f));
    QCOMPARE(f.dialogs.openedFolders, QStringList{samplesFolder(f)});
}

void TestSampleCommands::clear_data()
{
    QTest::addColumn<int>("option");
    QTest::addColumn<bool>("compared");
    QTest::addColumn<bool>("empty");
    QTest::newRow("after a comparison, all lines shown") << 1 << true << false;
    QTest::newRow("after a comparison, differences shown") << 2 << true << false;
    QTest::newRow("texts in all four panes") << 1 << false << false;
    QTest::newRow("panes already empty") << 2 << false << true;
}

void TestSampleCommands::clear()
{
    QFETCH(int, option);
    QFETCH(bool, compared);
    QFETCH(bool, empty);
    WindowFixture f;
    writeSamples(f);
    start(f, 1, empty ? QStringList() : defaultPaneTexts());
    if (compared) {
        f.form->PushButton9_Click();
        f.form->PushButton1_Click();
        QVERIFY2(!f.form->RichTextBox3->text().isEmpty() && !f.form->RichTextBox4->text().isEmpty(),
                 "the comparison left no differences to clear");
    }
    f.form->setOptionValue(option == 1 ? f.form->Option1 : f.form->Option2, true);
    f.dialogs.clear();
    WindowState expected = WindowState::of(f);
    expected.texts = QStringList(4, QString());

    f.form->PushButton7_Click();

    QVERIFY(WindowState::of(f) == expected);
    for (RichTextBox *pane : f.form->panes())
        QCOMPARE(pane->text(), QString());
    QCOMPARE(f.dialogs.messageTexts(), QStringList());
}

QTEST_MAIN(TestSampleCommands)
#include "test_sample_and_clear.moc"
