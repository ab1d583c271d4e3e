// Files dropped on a file's frame or pane load as its load command does.
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include "CommandTestSupport.h"

using namespace CommandTest;
using namespace Qt::StringLiterals;

namespace {

// Writes a few files into the program folder: some text, an empty file and a
// folder named like a file.
void writeFiles(WindowFixture &f)
{
    f.writeFile(u"a.csv"_s, "id,name\n1,Ann");
    f.writeFile(u"b.csv"_s, "2,Bob\r\n");
    f.writeFile(u"empty.csv"_s, QByteArray());
    QDir(f.programFolder.path()).mkdir(u"folder.csv"_s);
}

QWidget *dropTarget(Form1 &form, const QString &name)
{
    if (name == u"Frame1")
        return form.Frame1;
    if (name == u"Frame3")
        return form.Frame3;
    if (name == u"RichTextBox1")
        return form.RichTextBox1->viewport();
    if (name == u"RichTextBox2")
        return form.RichTextBox2->viewport();
    if (name == u"RichTextBox3")
        return form.RichTextBox3->viewport();
    if (name == u"RichTextBox4")
        return form.RichTextBox4->viewport();
    if (name == u"Frame2")
        return form.Frame2;
    if (name == u"PushButton3")
        return form.PushButton3;
    return &form;
}

} // namespace

class TestDropCommands : public QObject
{
    Q_OBJECT

private slots:
    void sameAsDialog_data();
    void sameAsDialog();
    void dropEvent_data();
    void dropEvent();
};

void TestDropCommands::sameAsDialog_data()
{
    QTest::addColumn<int>("file");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("text"); // the pane text before the command's CR

    for (int file : {1, 2}) {
        auto row = [file](const char *name) -> QTestData & {
            return QTest::addRow("#%d %s", file, name) << file;
        };
        row("one file") << QStringList{u"a.csv"_s} << u"id,name\r\n1,Ann"_s;
        row("empty file") << QStringList{u"empty.csv"_s} << QString();
        row("missing file") << QStringList{u"gone.csv"_s} << QString();
        row("folder as the file") << QStringList{u"folder.csv"_s} << QString();
        row("several files") << QStringList{u"b.csv"_s, u"empty.csv"_s, u"a.csv"_s}
                             << u"2,Bob\r\nid,name\r\n1,Ann\r\n"_s;
        row("several with a missing one and a folder")
            << QStringList{u"a.csv"_s, u"gone.csv"_s, u"folder.csv"_s, u"b.csv"_s}
            << u"id,name\r\n1,Ann\r\n2,Bob\r\n"_s;
    }
}

void TestDropCommands::sameAsDialog()
{
    QFETCH(int, file);
    QFETCH(QStringList, names);
    QFETCH(QString, text);
    WindowFixture f;
    writeFiles(f);
    const QDir folder(f.programFolder.path());

    start(f, 2, defaultPaneTexts());
    f.dialogs.fileNames.push_back(names.size() == 1 ? folder.filePath(names.front())
                                                    : multipleSelection(folder.path(), names));
    file == 1 ? f.form->PushButton3_Click() : f.form->PushButton4_Click();
    const WindowState byDialog = WindowState::of(f);
    const auto dialogMessages = f.dialogs.messages;

    start(f, 2, defaultPaneTexts());
    QStringList paths;
    for (const QString &name : names)
        paths << folder.filePath(name);
    f.form->loadDroppedFiles(file, paths);
    const WindowState byDrop = WindowState::of(f);

    QCOMPARE(byDrop.texts, byDialog.texts);
    QCOMPARE(byDrop.texts[file - 1], text + u'\r');
    QVERIFY(byDrop == byDialog);
    QVERIFY(showsFullPanes(f));
    QCOMPARE(f.dialogs.fileDialogs.size(), size_t(0));
    QCOMPARE(f.dialogs.messages.size(), dialogMessages.size());
    for (size_t i = 0; i < dialogMessages.size(); ++i) {
        QCOMPARE(f.dialogs.messages[i].text, dialogMessages[i].text);
        QCOMPARE(f.dialogs.messages[i].title, dialogMessages[i].title);
        QCOMPARE(f.dialogs.messages[i].icon, dialogMessages[i].icon);
    }
}

void TestDropCommands::dropEvent_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("file"); // 0: not a file's frame, the drop is refused

    QTest::newRow("frame #1") << u"Frame1"_s << 1;
    QTest::newRow("full pane #1") << u"RichTextBox1"_s << 1;
    QTest::newRow("result pane #1") << u"RichTextBox3"_s << 1;
    QTest::newRow("frame #2") << u"Frame3"_s << 2;
    QTest::newRow("full pane #2") << u"RichTextBox2"_s << 2;
    QTest::newRow("result pane #2") << u"RichTextBox4"_s << 2;
    QTest::newRow("display options") << u"Frame2"_s << 0;
    QTest::newRow("a button") << u"PushButton3"_s << 0;
    QTest::newRow("the window") << u"Form1"_s << 0;
}

void TestDropCommands::dropEvent()
{
    QFETCH(QString, target);
    QFETCH(int, file);
    WindowFixture f;
    writeFiles(f);
    start(f, 2, defaultPaneTexts());
    const WindowState before = WindowState::of(f);
    QWidget *widget = dropTarget(*f.form, target);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(f.programFolder.filePath(u"b.csv"_s)),
                  QUrl::fromLocalFile(f.programFolder.filePath(u"a.csv"_s))});
    const QPoint at = widget->rect().center();

    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &enter);
    QCOMPARE(enter.isAccepted(), file != 0);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &drop);

    if (file == 0) {
        QVERIFY(WindowState::of(f) == before);
    } else {
        QCOMPARE(f.form->panes()[size_t(file - 1)]->text(), u"2,Bob\r\nid,name\r\n1,Ann\r\n\r"_s);
        QCOMPARE(WindowState::of(f).texts[2 - file], before.texts[2 - file]);
        QVERIFY(showsFullPanes(f));
        QCOMPARE(f.form->MousePointer(), 0);
    }
    QCOMPARE(f.dialogs.messageTexts(), QStringList());
}

QTEST_MAIN(TestDropCommands)
#include "test_drop_files.moc"
