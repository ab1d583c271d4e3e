// "Save Results #1" and "#2" through the window's handlers and scripted dialogs.
#include <cerrno>
#include <csignal>
#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTest>

#include "CancelProgress.h"
#include "CommandTestSupport.h"
#include "pane/Colour.h"

using namespace CommandTest;
using namespace Qt::StringLiterals;

namespace {

void pressSave(WindowFixture &f, int file)
{
    file == 1 ? f.form->PushButton2_Click() : f.form->PushButton5_Click();
}

const char *handlerName(int file)
{
    return file == 1 ? "PushButton2_Click" : "PushButton5_Click";
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return file.readAll();
}

QString overwriteQuestion(const QString &path)
{
    return u"Are you sure you wish to overwrite "_s + path + u" ?"_s;
}

// Panes whose four texts differ, with characters no 8-bit code page holds.
QStringList paneTexts()
{
    return {u"id,city\r\n1,Zürich\r\n2,東京\r"_s, u"id,city\r\n1,Αθήνα\r"_s, u"2,東京\r\n"_s,
            u"1,Αθήνα\r\n"_s};
}

// Limits the size of the files this process writes while it lives (not on
// Windows, which has no such limit: there ok() is false).
class FileSizeLimit
{
public:
#ifdef _WIN32
    explicit FileSizeLimit(unsigned long long) {}
#else
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        m_ok = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
#endif
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;
    bool ok() const
    {
        return m_ok;
    }

private:
#ifndef _WIN32
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
#endif
    bool m_ok = false;
};

} // namespace

class TestSaveCommands : public QObject
{
    Q_OBJECT

private slots:
    void dialogRequest_data();
    void dialogRequest();
    void cancelWritesNothing_data();
    void cancelWritesNothing();
    void savesVisiblePane_data();
    void savesVisiblePane();
    void savesComparisonResult_data();
    void savesComparisonResult();
    void emptyPane_data();
    void emptyPane();
    void newNameAsksNothing_data();
    void newNameAsksNothing();
    void overwrite_data();
    void overwrite();
    void cancelledSaveKeepsTheFile_data();
    void cancelledSaveKeepsTheFile();
    void neitherPaneVisible_data();
    void neitherPaneVisible();
    void failedSave_data();
    void failedSave();
};

void TestSaveCommands::dialogRequest_data()
{
    QTest::addColumn<int>("file");
    QTest::newRow("#1") << 1;
    QTest::newRow("#2") << 2;
}

void TestSaveCommands::dialogRequest()
{
    QFETCH(int, file);
    WindowFixture f;
    start(f, 1);
    f.form->CommonDialog1.FileName = u"left over from an earlier dialog"_s;
    pressSave(f, file);
    QCOMPARE(f.dialogs.fileDialogs.size(), size_t(1));
    const Platform::FileDialogRequest &r = f.dialogs.fileDialogs.front();
    QCOMPARE(r.title, u"Save"_s);
    QCOMPARE(r.filter, u"Text Files(*.txt)|*.txt|All Files (*.*)|*.*|"_s);
    QVERIFY(r.save);
}

void TestSaveCommands::cancelWritesNothing_data()
{
    dialogRequest_data();
}

void TestSaveCommands::cancelWritesNothing()
{
    QFETCH(int, file);
    WindowFixture f;
    start(f, 1, paneTexts());
    f.form->setMousePointer(99);
    const WindowState before = WindowState::of(f);
    const QStringList filesBefore = QDir(f.programFolder.path()).entryList(QDir::Files);

    pressSave(f, file);

    QVERIFY(WindowState::of(f) == before);
    QCOMPARE(QDir(f.programFolder.path()).entryList(QDir::Files), filesBefore);
    QCOMPARE(f.dialogs.messageTexts(), QStringList());
}

void TestSaveCommands::savesVisiblePane_data()
{
    QTest::addColumn<int>("file");
    QTest::addColumn<int>("option");
    QTest::addColumn<int>("pane"); // index into paneTexts()

    QTest::newRow("#1 all lines shown: full pane") << 1 << 1 << 0;
    QTest::newRow("#1 differences shown: result pane") << 1 << 2 << 2;
    QTest::newRow("#2 all lines shown: full pane") << 2 << 1 << 1;
    QTest::newRow("#2 differences shown: result pane") << 2 << 2 << 3;
}

void TestSaveCommands::savesVisiblePane()
{
    QFETCH(int, file);
    QFETCH(int, option);
    QFETCH(int, pane);
    WindowFixture f;
    start(f, option, paneTexts());
    // Red marks, as a comparison leaves them, are not part of what is saved.
    for (RichTextBox *p : f.form->panes())
        p->colourRanges({Compare::ColourRange{0, 4}}, kRed);
    QCOMPARE(f.form->panes()[size_t(pane)]->colourAt(0), kRed);
    const WindowState before = WindowState::of(f);
    const QString path = f.programFolder.filePath(u"results.txt"_s);
    f.dialogs.fileNames.push_back(path);

    pressSave(f, file);

    QCOMPARE(contents(path), (paneTexts()[pane] + u"\r\n"_s).toUtf8());
    QCOMPARE(QString::fromUtf8(contents(path)), paneTexts()[pane] + u"\r\n"_s);
    QVERIFY(WindowState::of(f) == before);
    QCOMPARE(f.dialogs.messageTexts(), QStringList());
}

void TestSaveCommands::savesComparisonResult_data()
{
    QTest::addColumn<int>("file");
    QTest::addColumn<bool>("words");
    QTest::addColumn<bool>("edited");
    QTest::newRow("#1 lines") << 1 << false << false;
    QTest::newRow("#2 words") << 2 << true << false;
    QTest::newRow("#1 words, edited") << 1 << true << true;
    QTest::newRow("#2 lines, edited") << 2 << false << true;
}

// A comparison's result pane, which shows the compared text's own bytes, is
// saved as the comparison wrote it, and as the user changed it.
void TestSaveCommands::savesComparisonResult()
{
    QFETCH(int, file);
    QFETCH(bool, words);
    QFETCH(bool, edited);
    WindowFixture f;
    const QString long1 = QString(70000, u'x') + u" Zürich y 東京\r\na b\r"_s;
    const QString long2 = QString(70000, u'w') + u" Zürich z\r\nb a\r"_s;
    start(f, 2, {long1, long2});
    words ? f.form->PushButton6_Click() : f.form->PushButton1_Click();
    RichTextBox &result = *f.form->panes()[size_t(file + 1)];
    QString expected = result.text();
    QVERIFY(expected.size() > 70000); // the long line or word differs
    if (edited) {
        result.setReadOnly(false);
        result.setFocus();
        result.select(1, 0);
        QTest::keyClicks(&result, u"q"_s);
        expected.insert(1, u"q"_s);
        QCOMPARE(result.text(), expected);
    }
    const QString path = f.programFolder.filePath(u"results.txt"_s);
    f.dialogs.fileNames.push_back(path);

    pressSave(f, file);

    QCOMPARE(QString::fromUtf8(contents(path)), expected + u"\r\n"_s);
    QCOMPARE(f.dialogs.messageTexts(), QStringList());
}

void TestSaveCommands::emptyPane_data()
{
    savesVisiblePane_data();
}

void TestSaveCommands::emptyPane()
{
    QFETCH(int, file);
    QFETCH(int, option);
    WindowFixture f;
    start(f, option);
    const QString path = f.programFolder.filePath(u"empty.txt"_s);
    f.dialogs.fileNames.push_back(path);

    pressSave(f, file);

    QCOMPARE(contents(path), QByteArray("\r\n"));
}

void TestSaveCommands::newNameAsksNothing_data()
{
    QTest::addColumn<int>("file");
    QTest::addColumn<QString>("name");
    QTest::newRow("#1 with an extension") << 1 << u"out.txt"_s;
    QTest::newRow("#1 without an extension") << 1 << u"out"_s;
    QTest::newRow("#2 without an extension") << 2 << u"out"_s;
    QTest::newRow("#2 a CSV name") << 2 << u"out.csv"_s;
}

void TestSaveCommands::newNameAsksNothing()
{
    QFETCH(int, file);
    QFETCH(QString, name);
    WindowFixture f;
    start(f, 1, paneTexts());
    const QDir folder(f.programFolder.path());
    f.dialogs.fileNames.push_back(folder.filePath(name));

    pressSave(f, file);

    QCOMPARE(f.dialogs.messageTexts(), QStringList());
    QCOMPARE(folder.entryList(QDir::Files), QStringList{name});
    QCOMPARE(contents(folder.filePath(name)), (paneTexts()[file - 1] + u"\r\n"_s).toUtf8());
    QCOMPARE(f.form->MousePointer(), 0);
}

void TestSaveCommands::overwrite_data()
{
    QTest::addColumn<int>("file");
    QTest::addColumn<bool>("yes");
    QTest::newRow("#1 answered Yes") << 1 << true;
    QTest::newRow("#1 answered No") << 1 << false;
    QTest::newRow("#2 answered Yes") << 2 << true;
    QTest::newRow("#2 answered No") << 2 << false;
}

void TestSaveCommands::overwrite()
{
    QFETCH(int, file);
    QFETCH(bool, yes);
    WindowFixture f;
    start(f, 1, paneTexts());
    static const char oldBytes[] = "older results\r\n\0\xFF, kept as they were";
    const QByteArray old(oldBytes, sizeof oldBytes - 1);
    const QString path = f.writeFile(u"results.txt"_s, old);
    f.dialogs.fileNames.push_back(path);
    f.dialogs.answers.push_back(yes ? Platform::Answer::Yes : Platform::Answer::No);

    pressSave(f, file);

    QCOMPARE(f.dialogs.messages.size(), size_t(1));
    QVERIFY(
        isNotice(f.dialogs.messages.front(), overwriteQuestion(path), Platform::Buttons::YesNo));
    QCOMPARE(contents(path), yes ? (paneTexts()[file - 1] + u"\r\n"_s).toUtf8() : old);
    QCOMPARE(QDir(f.programFolder.path()).entryList(QDir::Files), QStringList{u"results.txt"_s});
    QCOMPARE(f.form->MousePointer(), 0);
}

void TestSaveCommands::cancelledSaveKeepsTheFile_data()
{
    QTest::addColumn<int>("file");
    QTest::addColumn<bool>("exists");
    QTest::newRow("#1 over a file") << 1 << true;
    QTest::newRow("#2 over a file") << 2 << true;
    QTest::newRow("#1 a new file") << 1 << false;
}

// Cancel in the save's progress box: the old file stays byte for byte, no
// new file or temporary copy is left, and nothing more is said.
void TestSaveCommands::cancelledSaveKeepsTheFile()
{
    QFETCH(int, file);
    QFETCH(bool, exists);
    WindowFixture f;
    start(f, 1, paneTexts());
    static const char oldBytes[] = "older results\r\n\0\xFF, kept as they were";
    const QByteArray old(oldBytes, sizeof oldBytes - 1);
    const QString path =
        exists ? f.writeFile(u"results.txt"_s, old) : f.programFolder.filePath(u"results.txt"_s);
    const QStringList filesBefore = QDir(f.programFolder.path()).entryList(QDir::Files);
    f.dialogs.fileNames.push_back(path);
    f.dialogs.answers.push_back(Platform::Answer::Yes);
    const WindowState before = WindowState::of(f);

    QStringList cancelled;
    {
        const CancelProgress cancel(*f.form);
        pressSave(f, file);
        cancelled = cancel.labels;
    }

    QCOMPARE(cancelled, QStringList{u"Saving "_s + path + u"..."_s});
    if (exists)
        QCOMPARE(contents(path), old);
    QCOMPARE(QDir(f.programFolder.path()).entryList(QDir::Files | QDir::Hidden), filesBefore);
    QCOMPARE(f.dialogs.messageTexts(),
             exists ? QStringList{overwriteQuestion(path)} : QStringList{});
    QVERIFY(WindowState::of(f) == before);
    QCOMPARE(f.form->MousePointer(), 0);
}

void TestSaveCommands::neitherPaneVisible_data()
{
    dialogRequest_data();
}

void TestSaveCommands::neitherPaneVisible()
{
    QFETCH(int, file);
    WindowFixture f;
    start(f, 1, paneTexts());
    for (RichTextBox *p : f.form->panes())
        p->setVisible(false);
    const QString path = f.programFolder.filePath(u"results.txt"_s);
    f.dialogs.fileNames.push_back(path);

    pressSave(f, file);

    QCOMPARE(f.dialogs.messages.size(), size_t(1));
    QVERIFY(isNotice(f.dialogs.messages.front(), u"savertb problem"_s));
    QVERIFY(!QFile::exists(path));
    QCOMPARE(f.form->MousePointer(), 0);
}

void TestSaveCommands::failedSave_data()
{
    QTest::addColumn<int>("file");
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("reason"); // what the report must say went wrong
    QTest::addColumn<int>("size");       // of the saved pane, in characters

    for (int file : {1, 2}) {
        auto row = [file](const char *failure, const QString &reason, int size = 100) {
            QTest::addRow("#%d %s", file, failure)
                << file << QString::fromLatin1(failure) << reason << size;
        };
#ifdef Q_OS_WIN
        // Windows words it itself ("The system cannot find the path specified.").
        row("folder that does not exist", QString());
#else
        row("folder that does not exist", qt_error_string(ENOENT));
#endif
        row("path is a folder", u"directory"_s);
        row("/dev/full", u"a device, not a regular file"_s);
        // Below and above the size a file keeps in memory before writing it out.
        row("disk full over a file, small save", qt_error_string(EFBIG), 8000);
        row("disk full over a file, large save", qt_error_string(EFBIG), 40000);
        row("read-only file in a read-only folder", qt_error_string(EACCES));
    }
}

void TestSaveCommands::failedSave()
{
    QFETCH(int, file);
    QFETCH(QString, failure);
    QFETCH(QString, reason);
    QFETCH(int, size);
    WindowFixture f;
    start(f, 1, paneTexts());
    f.form->panes()[size_t(file - 1)]->setText(QString(size, u'x'));
    const QDir folder(f.programFolder.path());
    const QByteArray old("results the user keeps\r\n");
    QString path;
    bool exists = true;
    std::unique_ptr<FileSizeLimit> limit;
    if (failure == u"folder that does not exist") {
        path = folder.filePath(u"no such folder/results.txt"_s);
        exists = false;
    } else if (failure == u"path is a folder") {
        folder.mkdir(u"results"_s);
        path = folder.filePath(u"results"_s);
    } else if (failure == u"/dev/full") {
        if (!QFile::exists(u"/dev/full"_s))
            QSKIP("this system has no /dev/full");
        path = u"/dev/full"_s;
    } else if (failure.startsWith(u"disk full")) {
        path = f.writeFile(u"results.txt"_s, old);
        limit = std::make_unique<FileSizeLimit>(4096);
        if (!limit->ok())
            QSKIP("cannot limit the size of written files");
    } else {
#ifdef _WIN32
        QSKIP("a folder's permissions do not stop writes on Windows");
#else
        if (geteuid() == 0)
            QSKIP("a read-only folder does not stop the superuser");
#endif
        path = f.writeFile(u"locked/results.txt"_s, old);
        QFile::setPermissions(path, QFile::ReadOwner);
        QFile::setPermissions(folder.filePath(u"locked"_s), QFile::ReadOwner | QFile::ExeOwner);
    }
    // Lets the fixture remove its folder again, whatever fails below.
    const auto unlock = qScopeGuard([&folder] {
        QFile::setPermissions(folder.filePath(u"locked"_s),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });
    f.dialogs.fileNames.push_back(path);
    f.dialogs.answers.push_back(Platform::Answer::Yes);
    const WindowState before = WindowState::of(f);

    pressSave(f, file);
    limit.reset();

    const size_t questions = exists ? 1 : 0;
    QCOMPARE(f.dialogs.messages.size(), questions + 1);
    if (exists)
        QVERIFY(isNotice(f.dialogs.messages.front(), overwriteQuestion(path),
                         Platform::Buttons::YesNo));
    const QString description =
        checkTrapReport(f.dialogs.messages.back(), location(handlerName(file)), 114);
    QVERIFY2(description.contains(QDir::toNativeSeparators(path)), qPrintable(description));
    QVERIFY2(description.contains(reason), qPrintable(description));
    QVERIFY2(!description.contains(u"Unknown error"_s), qPrintable(description));
    QVERIFY(WindowState::of(f) == before);
    QCOMPARE(f.form->MousePointer(), 0);
    if (failure.startsWith(u"disk full") || failure.startsWith(u"read-only file")) {
        QCOMPARE(contents(path), old);
        // No half-written copy is left beside it.
        QCOMPARE(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{u"results.txt"_s});
    }
    if (failure == u"folder that does not exist")
        QVERIFY(!QFile::exists(folder.filePath(u"no such folder"_s)));
    if (failure == u"path is a folder")
        QVERIFY(QFileInfo(path).isDir());
}

QTEST_MAIN(TestSaveCommands)
#include "test_save_results.moc"
