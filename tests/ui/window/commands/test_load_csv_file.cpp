// "Load CSV File #1" and "#2" through the window's handlers and scripted dialogs.
#include <sys/stat.h>

#include <QDir>
#include <QTest>

#include "CancelProgress.h"
#include "CommandTestSupport.h"
#include "core/workbook/WorkbookBytes.h"
#include "pane/PaneNote.h"

using namespace CommandTest;
using namespace Qt::StringLiterals;

namespace {

void pressLoad(WindowFixture &f, int file)
{
    file == 1 ? f.form->PushButton3_Click() : f.form->PushButton4_Click();
}

RichTextBox *loadedPane(WindowFixture &f, int file)
{
    return file == 1 ? f.form->RichTextBox1 : f.form->RichTextBox2;
}

const char *handlerName(int file)
{
    return file == 1 ? "PushButton3_Click" : "PushButton4_Click";
}

// The texts of the panes the load must leave alone are as they were.
void checkOtherPanes(const WindowState &before, const WindowState &after, int file)
{
    for (int i = 0; i < 4; ++i)
        if (i != file - 1)
            QCOMPARE(after.texts[i], before.texts[i]);
}

} // namespace

// A file of a multiple selection: its name and bytes, or no bytes when missing.
struct Chosen
{
    QString name;
    std::optional<QByteArray> bytes;
};

Q_DECLARE_METATYPE(QList<Chosen>)

class TestLoadCommands : public QObject
{
    Q_OBJECT

private slots:
    void dialogRequest_data();
    void dialogRequest();
    void cancelChangesNothing_data();
    void cancelChangesNothing();
    void cancelWhileShowingChangesNothing_data();
    void cancelWhileShowingChangesNothing();
    void singleFile_data();
    void singleFile();
    void workbook_data();
    void workbook();
    void strayBytesNoted_data();
    void strayBytesNoted();
    void missingFile_data();
    void missingFile();
    void severalFiles_data();
    void severalFiles();
    void unreadableFile_data();
    void unreadableFile();
    void specialFileChangesNothing_data();
    void specialFileChangesNothing();
};

void TestLoadCommands::dialogRequest_data()
{
    QTest::addColumn<int>("file");
    QTest::newRow("#1") << 1;
    QTest::newRow("#2") << 2;
}

void TestLoadCommands::dialogRequest()
{
    QFETCH(int, file);
    WindowFixture f;
    start(f, 1);
    f.form->CommonDialog1.FileName = QStringLiteral("left over from an earlier dialog");
    pressLoad(f, file);
    QCOMPARE(f.dialogs.fileDialogs.size(), size_t(1));
    const Platform::FileDialogRequest &r = f.dialogs.fileDialogs.front();
    QCOMPARE(r.title, QStringLiteral("Load List(s) - Hold Ctrl to select multiple list files"));
    // The two filters the command always offered come first, CSV the default.
    QCOMPARE(r.filter, QStringLiteral("CSV Files (*.csv)|*.csv|All Files (*.*)|*.*|"
                                      "Spreadsheets (*.xlsx;*.xlsm;*.ods)|*.xlsx;*.xlsm;*.ods|"));
    QVERIFY(!r.save);
}

void TestLoadCommands::cancelChangesNothing_data()
{
    QTest::addColumn<int>("file");
    QTest::addColumn<int>("option");
    QTest::newRow("#1, all lines shown") << 1 << 1;
    QTest::newRow("#1, differences shown") << 1 << 2;
    QTest::newRow("#2, all lines shown") << 2 << 1;
    QTest::newRow("#2, differences shown") << 2 << 2;
}

void TestLoadCommands::cancelChangesNothing()
{
    QFETCH(int, file);
    QFETCH(int, option);
    WindowFixture f;
    start(f, option, defaultPaneTexts());
    f.form->setMousePointer(99);
    const WindowState before = WindowState::of(f);

    pressLoad(f, file); // no scripted name: the dialog is cancelled

    QCOMPARE(f.dialogs.fileDialogs.size(), size_t(1));
    QVERIFY(WindowState::of(f) == before);
    QCOMPARE(f.dialogs.messageTexts(), QStringList());
}

void TestLoadCommands::cancelWhileShowingChangesNothing_data()
{
    QTest::addColumn<int>("file");
    QTest::newRow("#1") << 1;
    QTest::newRow("#2") << 2;
}

void TestLoadCommands::cancelWhileShowingChangesNothing()
{
    QFETCH(int, file);
    WindowFixture f;
    QString shown;
    for (int i = 0; i < 1000; ++i)
        shown += u"shown %1\r\n"_s.arg(i);
    loadedPane(f, file)->setText(shown);
    loadedPane(f, file)->resize(300, 200);
    f.dialogs.fileNames.push_back(f.writeFile(u"next.csv"_s, QByteArray(1 << 20, 'n')));
    const WindowState before = WindowState::of(f);
    QStringList labels;
    {
        const CancelProgress cancel(*f.form, u"Showing the text"_s);
        pressLoad(f, file);
        labels = cancel.labels;
    }
    QVERIFY2(labels.contains(u"Showing the text..."_s), qPrintable(labels.join(u'|')));
    QVERIFY(WindowState::of(f) == before);
    QCOMPARE(f.dialogs.messageTexts(), QStringList());
    // Every line of the text it kept still shows.
    RichTextBox &pane = *loadedPane(f, file);
    QCOMPARE(pane.lineCount(), qsizetype(1001));
    pane.gotoLine(900);
    QVERIFY(pane.firstVisibleLine() > 800);
}

void TestLoadCommands::singleFile_data()
{
    QTest::addColumn<int>("file");
    QTest::addColumn<int>("option");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text"); // the pane text before the command's CR

    const QByteArray csv("id,name\r\n1,Ann\r\n");
    QTest::newRow("#1 UTF-8 CSV") << 1 << 1 << csv << u"id,name\r\n1,Ann\r\n"_s;
    QTest::newRow("#2 UTF-8 CSV") << 2 << 1 << csv << u"id,name\r\n1,Ann\r\n"_s;
    QTest::newRow("#1 while differences shown") << 1 << 2 << QByteArray("a\r\n") << u"a\r\n"_s;
    QTest::newRow("#2 while differences shown") << 2 << 2 << QByteArray("a\r\n") << u"a\r\n"_s;
    QTest::newRow("#1 empty file") << 1 << 2 << QByteArray() << QString();
    QTest::newRow("#2 empty file") << 2 << 1 << QByteArray() << QString();
    QTest::newRow("#1 one byte") << 1 << 1 << QByteArray("x") << u"x"_s;
    QTest::newRow("#1 mixed line breaks, none at the end")
        << 1 << 1 << QByteArray("a\nb\rc\r\nd") << u"a\r\nb\r\nc\r\nd"_s;
    QTest::newRow("#2 UTF-8 with BOM")
        << 2 << 1 << QByteArray("\xEF\xBB\xBFZ\xC3\xBCrich\n") << u"Zürich\r\n"_s;
    QTest::newRow("#1 UTF-16 LE with BOM") << 1 << 1
                                           << QByteArray("\xFF\xFE"
                                                         "a\0,\0\x3B\x04\n\0",
                                                         10)
                                           << u"a,л\r\n"_s;
    QTest::newRow("#2 UTF-16 BE with BOM")
        << 2 << 1 << QByteArray("\xFE\xFF\0a\0,\x04\x3B\0\n", 10) << u"a,л\r\n"_s;
    QTest::newRow("#1 Windows-1252") << 1 << 1 << QByteArray("caf\xE9 \x80\r\n") << u"café €\r\n"_s;
    QTest::newRow("#2 UTF-8 but for one byte")
        << 2 << 1 << QByteArray("id,v\n1,caf\xC3\xA9\n2,x\xE9\n")
        << u"id,v\r\n1,café\r\n2,xé\r\n"_s;
}

void TestLoadCommands::singleFile()
{
    QFETCH(int, file);
    QFETCH(int, option);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    WindowFixture f;
    start(f, option, defaultPaneTexts());
    const WindowState before = WindowState::of(f);
    f.dialogs.fileNames.push_back(f.writeFile(QStringLiteral("chosen.csv"), bytes));

    pressLoad(f, file);

    QCOMPARE(loadedPane(f, file)->text(), text + u'\r');
    checkOtherPanes(before, WindowState::of(f), file);
    QVERIFY(showsFullPanes(f));
    QCOMPARE(f.form->MousePointer(), 0);
    QCOMPARE(f.dialogs.messageTexts(), QStringList());
}

void TestLoadCommands::workbook_data()
{
    QTest::addColumn<int>("file");
    QTest::addColumn<QString>("book");       // a committed fixture, or "" for a one-sheet workbook
    QTest::addColumn<QList<int>>("answers"); // to the sheet question, if asked
    QTest::addColumn<QString>("text");       // the pane's text before its CR, or "unchanged"
    QTest::addColumn<QString>("error");      // part of the error shown; empty: none

    const QString second = u"id,name\r\n1,Ann\r\n2,Bob\r\n"_s;
    QTest::newRow("#1 xlsx, second sheet chosen")
        << 1 << u"xlsxwriter-values.xlsx"_s << QList<int>{1} << second << QString();
    QTest::newRow("#2 ods, second sheet chosen")
        << 2 << u"libreoffice-values.ods"_s << QList<int>{1} << second << QString();
    QTest::newRow("#1 xlsx, question cancelled: nothing changes")
        << 1 << u"xlsxwriter-values.xlsx"_s << QList<int>{-1} << u"unchanged"_s << QString();
    QTest::newRow("#2 one sheet: no question")
        << 2 << QString() << QList<int>{} << u"a,b\r\n1,TRUE\r\n"_s << QString();
    QTest::newRow("#1 truncated workbook")
        << 1 << u"truncated"_s << QList<int>{} << QString() << u"damaged or truncated"_s;
    QTest::newRow("#2 password-protected workbook")
        << 2 << u"encrypted"_s << QList<int>{} << QString()
        << u"password-protected workbooks are not supported"_s;
}

// A workbook loads as the CSV text of a sheet, known by its bytes whatever
// its name; the user is asked which sheet only when there are several.
void TestLoadCommands::workbook()
{
    QFETCH(int, file);
    QFETCH(QString, book);
    QFETCH(QList<int>, answers);
    QFETCH(QString, text);
    QFETCH(QString, error);
    WindowFixture f;
    start(f, 1, defaultPaneTexts());
    const WindowState before = WindowState::of(f);
    const QString fixtures = QStringLiteral(CORVANTIS_SOURCE_DIR "/tests/core/workbook/fixtures/");
    QByteArray bytes;
    if (book.isEmpty()) {
        bytes = WorkbookBytes::xlsxSheet("<row><c t=\"inlineStr\"><is><t>a</t></is></c><c "
                                         "t=\"inlineStr\"><is><t>b</t></is></c></row><row><c>"
                                         "<v>1</v></c><c t=\"b\"><v>1</v></c></row>");
    } else if (book == u"truncated") {
        QFile fixture(fixtures + u"xlsxwriter-values.xlsx"_s);
        QVERIFY(fixture.open(QIODevice::ReadOnly));
        bytes = fixture.readAll().chopped(100);
    } else if (book == u"encrypted") {
        bytes = QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + QByteArray(504, '\0')
                + QByteArray("E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0", 32);
    } else {
        QFile fixture(fixtures + book);
        QVERIFY(fixture.open(QIODevice::ReadOnly));
        bytes = fixture.readAll();
    }
    f.dialogs.fileNames.push_back(f.writeFile(u"named as text.csv"_s, bytes));
    for (const int answer : answers)
        f.dialogs.choices.push_back(answer);

    pressLoad(f, file);

    QCOMPARE(f.dialogs.choiceRequests.size(), size_t(answers.size()));
    if (!answers.isEmpty())
        QCOMPARE(f.dialogs.choiceRequests.front().items,
                 QStringList({u"Values"_s, u"Second sheet"_s}));
    if (!error.isEmpty()) {
        QCOMPARE(f.dialogs.messages.size(), size_t(1));
        const QString shown =
            checkTrapReport(f.dialogs.messages.front(), location(handlerName(file)), 116);
        QVERIFY2(shown.contains(error), qPrintable(shown));
    } else {
        QCOMPARE(f.dialogs.messageTexts(), QStringList());
    }
    if (text == u"unchanged") {
        QCOMPARE(loadedPane(f, file)->text(), before.texts[file - 1]);
    } else {
        QCOMPARE(loadedPane(f, file)->text(), text + u'\r');
        QVERIFY(showsFullPanes(f));
    }
    checkOtherPanes(before, WindowState::of(f), file);
    QCOMPARE(f.form->MousePointer(), 0);
}

void TestLoadCommands::strayBytesNoted_data()
{
    QTest::addColumn<int>("file");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("note"); // after the file's name; empty: no note

    QTest::newRow("#1 UTF-8 but for one byte on line 3")
        << 1 << QByteArray("id,v\n1,caf\xC3\xA9\n2,x\xE9\n")
        << u": not valid UTF-8 (line 3); read as UTF-8 (invalid bytes as Windows-1252)"_s;
    QTest::newRow("#2 UTF-8 BOM, stray byte on line 1")
        << 2 << QByteArray("\xEF\xBB\xBFx\x80\n")
        << u": not valid UTF-8 (line 1); read as UTF-8 (invalid bytes as Windows-1252)"_s;
    QTest::newRow("#1 Windows-1252 throughout: read as always, no note")
        << 1 << QByteArray("caf\xE9\r\n") << QString();
    QTest::newRow("#2 valid UTF-8: no note") << 2 << QByteArray("caf\xC3\xA9\n") << QString();
}

// The note stays out of the user's way (no message box) and names the file
// as text: a name holding markup is shown as it is.
void TestLoadCommands::strayBytesNoted()
{
    QFETCH(int, file);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, note);
    WindowFixture f;
    start(f, 1);
#ifdef Q_OS_WIN
    const QString path = f.writeFile(u"chosen.csv"_s, bytes); // no < or > in Windows' names
#else
    const QString path = f.writeFile(u"<b>chosen</b>.csv"_s, bytes);
#endif
    f.dialogs.fileNames.push_back(path);

    pressLoad(f, file);

    QCOMPARE(f.dialogs.messageTexts(), QStringList());
    const PaneNote *shown = PaneNote::of(*loadedPane(f, file));
    if (note.isEmpty()) {
        QVERIFY(!shown || shown->isHidden());
        return;
    }
    QVERIFY(shown);
    QCOMPARE(shown->text(), QDir::toNativeSeparators(path) + note);
    QCOMPARE(shown->textFormat(), Qt::PlainText);
}

void TestLoadCommands::missingFile_data()
{
    QTest::addColumn<int>("file");
    QTest::newRow("#1") << 1;
    QTest::newRow("#2") << 2;
}

void TestLoadCommands::missingFile()
{
    QFETCH(int, file);
    WindowFixture f;
    start(f, 2, defaultPaneTexts());
    const WindowState before = WindowState::of(f);
    f.dialogs.fileNames.push_back(QDir(f.programFolder.path()).filePath(u"typed.csv"_s));

    pressLoad(f, file);

    QCOMPARE(f.dialogs.messages.size(), size_t(1));
    QVERIFY(isNotice(f.dialogs.messages.front(), QStringLiteral("File not found")));
    QCOMPARE(loadedPane(f, file)->text(), u"\r"_s);
    checkOtherPanes(before, WindowState::of(f), file);
    QVERIFY(showsFullPanes(f));
    QCOMPARE(f.form->MousePointer(), 0);
}

void TestLoadCommands::severalFiles_data()
{
    QTest::addColumn<int>("file");
    QTest::addColumn<bool>("folderEndsWithSeparator");
    QTest::addColumn<QList<Chosen>>("chosen");
    QTest::addColumn<QString>("text"); // the pane text before the command's CR
    QTest::addColumn<int>("notFound");

    const QList<Chosen> inDialogOrder{{u"b.csv"_s, QByteArray("b1\nb2")},
                                      {u"a.csv"_s, QByteArray("a1\r\n")},
                                      {u"c.csv"_s, QByteArray("c1\r")}};
    QTest::newRow("#1 dialog order, line break added only where missing")
        << 1 << false << inDialogOrder << u"b1\r\nb2\r\na1\r\nc1\r\n"_s << 0;
    QTest::newRow("#2 dialog order, line break added only where missing")
        << 2 << false << inDialogOrder << u"b1\r\nb2\r\na1\r\nc1\r\n"_s << 0;
    QTest::newRow("#1 folder with its own separator")
        << 1 << true << inDialogOrder << u"b1\r\nb2\r\na1\r\nc1\r\n"_s << 0;
    QTest::newRow("#2 folder with its own separator")
        << 2 << true << inDialogOrder << u"b1\r\nb2\r\na1\r\nc1\r\n"_s << 0;

    const QList<Chosen> withEmpty{{u"a.csv"_s, QByteArray("a")},
                                  {u"empty.csv"_s, QByteArray()},
                                  {u"b.csv"_s, QByteArray("b")}};
    QTest::newRow("#1 an empty file adds nothing")
        << 1 << false << withEmpty << u"a\r\nb\r\n"_s << 0;
    QTest::newRow("#2 an empty file adds nothing")
        << 2 << false << withEmpty << u"a\r\nb\r\n"_s << 0;

    const QList<Chosen> withMissing{{u"a.csv"_s, QByteArray("a\n")},
                                    {u"gone.csv"_s, std::nullopt},
                                    {u"b.csv"_s, QByteArray("b\n")}};
    QTest::newRow("#1 a missing file") << 1 << false << withMissing << u"a\r\nb\r\n"_s << 1;
    QTest::newRow("#2 a missing file") << 2 << false << withMissing << u"a\r\nb\r\n"_s << 1;

    const QList<Chosen> allMissing{{u"x.csv"_s, std::nullopt}, {u"y.csv"_s, std::nullopt}};
    QTest::newRow("#1 all missing") << 1 << false << allMissing << QString() << 2;
    QTest::newRow("#2 all missing") << 2 << false << allMissing << QString() << 2;
}

void TestLoadCommands::severalFiles()
{
    QFETCH(int, file);
    QFETCH(bool, folderEndsWithSeparator);
    QFETCH(QList<Chosen>, chosen);
    QFETCH(QString, text);
    QFETCH(int, notFound);
    WindowFixture f;
    start(f, 2, defaultPaneTexts());
    const WindowState before = WindowState::of(f);
    QStringList names;
    for (const Chosen &c : chosen) {
        names << c.name;
        if (c.bytes)
            f.writeFile(u"picked/"_s + c.name, *c.bytes);
    }
    QDir().mkpath(f.programFolder.filePath(u"picked"_s));
    QString folder = f.programFolder.filePath(u"picked"_s);
    if (folderEndsWithSeparator)
        folder += QDir::separator();
    f.dialogs.fileNames.push_back(multipleSelection(folder, names));

    pressLoad(f, file);

    QCOMPARE(loadedPane(f, file)->text(), text + u'\r');
    QCOMPARE(f.dialogs.messageTexts(), QStringList(notFound, u"File not found"_s));
    for (const auto &m : f.dialogs.messages)
        QVERIFY(isNotice(m, QStringLiteral("File not found")));
    checkOtherPanes(before, WindowState::of(f), file);
    QVERIFY(showsFullPanes(f));
    QCOMPARE(f.form->MousePointer(), 0);
}

void TestLoadCommands::unreadableFile_data()
{
    QTest::addColumn<int>("file");
    QTest::addColumn<bool>("several");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("text"); // the pane text before the command's CR

    QTest::newRow("#1 a folder chosen as the file") << 1 << false << 116 << QString();
    QTest::newRow("#2 a folder chosen as the file") << 2 << false << 116 << QString();
    QTest::newRow("#1 a folder among several files") << 1 << true << 118 << u"a\r\nb\r\n"_s;
    QTest::newRow("#2 a folder among several files") << 2 << true << 118 << u"a\r\nb\r\n"_s;
}

void TestLoadCommands::unreadableFile()
{
    QFETCH(int, file);
    QFETCH(bool, several);
    QFETCH(int, line);
    QFETCH(QString, text);
    WindowFixture f;
    start(f, 2, defaultPaneTexts());
    const WindowState before = WindowState::of(f);
    const QString folder = f.programFolder.path();
    QDir(folder).mkdir(u"folder.csv"_s);
    if (several) {
        f.writeFile(u"a.csv"_s, "a");
        f.writeFile(u"b.csv"_s, "b");
        f.dialogs.fileNames.push_back(
            multipleSelection(folder, {u"a.csv"_s, u"folder.csv"_s, u"b.csv"_s}));
    } else {
        f.dialogs.fileNames.push_back(QDir(folder).filePath(u"folder.csv"_s));
    }

    pressLoad(f, file);

    QCOMPARE(f.dialogs.messages.size(), size_t(1));
    checkTrapReport(f.dialogs.messages.front(), location(handlerName(file)), line);
    QCOMPARE(loadedPane(f, file)->text(), text + u'\r');
    checkOtherPanes(before, WindowState::of(f), file);
    QVERIFY(showsFullPanes(f));
    QCOMPARE(f.form->MousePointer(), 0);
}

void TestLoadCommands::specialFileChangesNothing_data()
{
    QTest::addColumn<int>("file");
    QTest::addColumn<QString>("how");  // "dialog", "several" or "drop"
    QTest::addColumn<QString>("path"); // a named pipe made for the test, or a device
    QTest::addColumn<QString>("kind"); // what the message calls it

    for (int file : {1, 2}) {
        auto row = [file](const char *name) -> QTestData & {
            return QTest::addRow("#%d %s", file, name) << file;
        };
        row("named pipe") << u"dialog"_s << u"pipe.csv"_s << u"named pipe"_s;
        row("device") << u"dialog"_s << u"/dev/zero"_s << u"device"_s;
        row("named pipe among several files") << u"several"_s << u"pipe.csv"_s << u"named pipe"_s;
        row("named pipe dropped") << u"drop"_s << u"pipe.csv"_s << u"named pipe"_s;
    }
}

void TestLoadCommands::specialFileChangesNothing()
{
    QFETCH(int, file);
    QFETCH(QString, how);
    QFETCH(QString, path);
    QFETCH(QString, kind);
    WindowFixture f;
    const QDir folder(f.programFolder.path());
    if (!path.startsWith(u'/')) {
        path = folder.filePath(path);
#ifdef Q_OS_WIN
        QSKIP("Windows has no named pipes in its file system");
#else
        if (::mkfifo(QFile::encodeName(path).constData(), 0600) != 0)
            QSKIP("cannot make a named pipe here");
#endif
    } else if (!QFile::exists(path)) {
        QSKIP("this system has no such device");
    }
    f.writeFile(u"a.csv"_s, "a");
    start(f, 2, defaultPaneTexts());
    const WindowState before = WindowState::of(f);

    // Opening a pipe would wait for a writer, and a device may never end.
    if (how == u"drop") {
        f.form->loadDroppedFiles(file, {folder.filePath(u"a.csv"_s), path});
    } else {
        f.dialogs.fileNames.push_back(how == u"several" ? multipleSelection(
                                          folder.path(), {u"a.csv"_s, QFileInfo(path).fileName()})
                                                        : path);
        pressLoad(f, file);
    }

    QCOMPARE(f.dialogs.messages.size(), size_t(1));
    const Platform::MessageRequest &m = f.dialogs.messages.front();
    QVERIFY2(m.text.contains(QDir::toNativeSeparators(path)), qPrintable(m.text));
    QVERIFY2(m.text.contains(kind), qPrintable(m.text));
    QCOMPARE(m.buttons, Platform::Buttons::Ok);
    QVERIFY(WindowState::of(f) == before);
}

QTEST_MAIN(TestLoadCommands)
#include "test_load_csv_file.moc"
