// The window program's command line: files named there load as the load
// commands load them, and a comparison asked for runs.
#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTest>

#include "CancelProgress.h"
#include "WindowFixture.h"
#include "base/ArgumentText.h"
#include "window/CommandLine.h"

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void open_data();
    void open();
    void openNameNotUtf8();
    void cancelledStart_data();
    void cancelledStart();
    void answersWithoutADisplay_data();
    void answersWithoutADisplay();
};

// The program itself, with no display platform at all: over SSH, in a
// chroot, in CI. What needs no window must not need one.
void TestCommandLine::answersWithoutADisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("printed");
    QTest::addColumn<QString>("platform"); // empty: none named

    const QString none = QStringLiteral("no-such-platform");
    QTest::newRow("help") << QStringList{"--help"} << 0 << "--tables" << none;
    QTest::newRow("help, no platform named") << QStringList{"--help"} << 0 << "--tables"
                                             << "";
    QTest::newRow("help names the program by its file name")
        << QStringList{"--help"} << 0
        << "Usage: " + QFileInfo(QStringLiteral(CORVANTIS_PROGRAM)).fileName() + " [options]"
        << none;
    QTest::newRow("version") << QStringList{"--version"} << 0 << "Corvantis 1.0.0" << none;
    QTest::newRow("an unknown option") << QStringList{"--fast"} << 2 << "fast" << none;
    QTest::newRow("--key without --tables")
        << QStringList{"--key", "id", "a", "b"} << 2 << "--key is for --tables" << none;
    QTest::newRow("a window, no display")
        << QStringList{"a.csv", "b.csv"} << 1 << "no display to show the window on"
        << "";
}

void TestCommandLine::answersWithoutADisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, printed);
    QFETCH(QString, platform);
#ifdef Q_OS_WIN
    if (printed.contains(QStringLiteral("no display")))
        QSKIP("Windows always has a display to show the window on");
#endif

    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(CORVANTIS_PROGRAM), arguments);
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), exitCode);
    const QString output =
        QString::fromUtf8(program.readAllStandardOutput() + program.readAllStandardError());
    QVERIFY2(output.contains(printed), qPrintable(output));
}

void TestCommandLine::parse_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<int>("compare");
    QTest::addColumn<int>("exitStatus"); // -1: the window opens
    QTest::addColumn<QString>("messageHas");
    using C = WindowArguments::Compare;
    QTest::newRow("nothing") << QStringList{} << QStringList{} << int(C::None) << -1 << "";
    QTest::newRow("one file") << QStringList{"a.csv"} << QStringList{"a.csv"} << int(C::None) << -1
                              << "";
    QTest::newRow("two files, lines") << QStringList{"a.csv", "b.csv", "--lines"}
                                      << QStringList{"a.csv", "b.csv"} << int(C::Lines) << -1 << "";
    QTest::newRow("words before the files")
        << QStringList{"--words", "a.csv", "b.csv"} << QStringList{"a.csv", "b.csv"}
        << int(C::Words) << -1 << "";
    QTest::newRow("a file named like an option")
        << QStringList{"--", "--lines"} << QStringList{"--lines"} << int(C::None) << -1 << "";
    QTest::newRow("help lists the keys")
        << QStringList{"--help"} << QStringList{} << int(C::None) << 0 << "Shift+F7";
    QTest::newRow("help lists the pane menu")
        << QStringList{"--help"} << QStringList{} << int(C::None) << 0 << "Synchronize Scrolling";
    QTest::newRow("help names the program by its file name")
        << QStringList{"--help"} << QStringList{} << int(C::None) << 0
        << "Usage: corvantis [options]";
    QTest::newRow("version") << QStringList{"--version"} << QStringList{} << int(C::None) << 0
                             << "Corvantis";
    QTest::newRow("three files") << QStringList{"a", "b", "c"} << QStringList{"a", "b", "c"}
                                 << int(C::None) << -1 << "";
    QTest::newRow("both comparisons") << QStringList{"--lines", "--words"} << QStringList{}
                                      << int(C::Lines) << 2 << "cannot be used together";
    QTest::newRow("unknown option")
        << QStringList{"--colour"} << QStringList{} << int(C::None) << 2 << "colour";
}

void TestCommandLine::parse()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, files);
    QFETCH(int, compare);
    QFETCH(int, exitStatus);
    QFETCH(QString, messageHas);
    arguments.prepend(QStringLiteral("corvantis"));
    const WindowArguments parsed = parseWindowArguments(arguments);
    QCOMPARE(parsed.exitsAtOnce(), exitStatus >= 0);
    if (exitStatus >= 0) {
        QCOMPARE(parsed.exitStatus, exitStatus);
        QVERIFY2(parsed.message.contains(messageHas), qPrintable(parsed.message));
        return;
    }
    QCOMPARE(parsed.files, files);
    QCOMPARE(int(parsed.compare), compare);
}

void TestCommandLine::open_data()
{
    QTest::addColumn<QStringList>("names"); // files in the program folder; "missing" is not written
    QTest::addColumn<int>("compare");
    QTest::addColumn<QStringList>("texts");    // the four panes afterwards
    QTest::addColumn<QStringList>("messages"); // what each says; DIR: the program folder
    using C = WindowArguments::Compare;
    QTest::newRow("one file") << QStringList{"a.csv"} << int(C::None)
                              << QStringList{"1\r\n2\r\n\r", "", "", ""} << QStringList{};
    QTest::newRow("two files, lines")
        << QStringList{"a.csv", "b.csv"} << int(C::Lines)
        << QStringList{"1\r\n2\r\n\r", "2\r\n3\r\n\r", "1\r", "\n3\r"} << QStringList{};
    QTest::newRow("two files, words")
        << QStringList{"a.csv", "b.csv"} << int(C::Words)
        << QStringList{"1\r\n2\r\n\r", "2\r\n3\r\n\r", "\r\n1\r\n2", "\r\n2\r\n3"} << QStringList{};
    QTest::newRow("missing second file")
        << QStringList{"a.csv", "missing"} << int(C::None)
        << QStringList{"1\r\n2\r\n\r", "\r", "", ""} << QStringList{"File not found"};
    QTest::newRow("a folder named as the second file, the message names it")
        << QStringList{"a.csv", "folder"} << int(C::None)
        << QStringList{"1\r\n2\r\n\r", "\r", "", ""}
        << QStringList{"Cannot load DIR/folder: it is a folder, not a file"};
    QTest::newRow("three files from a file manager")
        << QStringList{"a.csv", "b.csv", "missing"} << int(C::Lines)
        << QStringList{"1\r\n2\r\n\r", "2\r\n3\r\n\r", "1\r", "\n3\r"}
        << QStringList{"Only two files can be compared: the first two of the 3 files given, "
                       "\"a.csv\" and \"b.csv\", are loaded."};
}

void TestCommandLine::open()
{
    QFETCH(QStringList, names);
    QFETCH(int, compare);
    QFETCH(QStringList, texts);
    QFETCH(QStringList, messages);
    WindowFixture f;
    f.form->Form_Load();
    f.form->setOptionValue(f.form->Option2, true);
    f.writeFile(QStringLiteral("a.csv"), "1\r\n2\r\n");
    f.writeFile(QStringLiteral("b.csv"), "2\n3\n");
    WindowArguments arguments;
    QDir(f.programFolder.path()).mkdir(QStringLiteral("folder"));
    for (const QString &name : names)
        arguments.files << f.programFolder.filePath(name);
    arguments.compare = WindowArguments::Compare(compare);
    openFromCommandLine(*f.form, arguments);
    QStringList shown;
    for (RichTextBox *pane : f.form->panes())
        shown << pane->text();
    QCOMPARE(shown, texts);
    const QStringList said = f.dialogs.messageTexts();
    QCOMPARE(said.size(), messages.size());
    for (qsizetype i = 0; i < said.size(); ++i) {
        const QString expected =
            QString(messages[i])
                .replace(QStringLiteral("DIR/"),
                         QDir::toNativeSeparators(f.programFolder.path() + u'/'));
        QVERIFY2(said[i].startsWith(expected), qPrintable(said[i]));
    }
    // As after a load: the full panes show.
    QVERIFY(f.form->Option1->isChecked());
    QVERIFY(f.form->RichTextBox1->Visible());
    QCOMPARE(f.form->MousePointer(), 0);
}

// corvantis $'lat\xe9.csv' b.csv --lines: a name from an old Latin-1 system
// is not UTF-8, and the file it names still loads.
void TestCommandLine::openNameNotUtf8()
{
#ifdef Q_OS_WIN
    QSKIP("Windows names files in UTF-16: every name is text");
#else
    WindowFixture f;
    f.form->Form_Load();
    f.form->setOptionValue(f.form->Option2, true);
    QByteArray latin = QFile::encodeName(f.programFolder.path()) + "/lat\xe9.csv";
    const int fd = ::open(latin.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    QVERIFY(fd >= 0);
    const auto removeMade = qScopeGuard([&latin] { ::unlink(latin.constData()); });
    QCOMPARE(::write(fd, "1\r\n2\r\n", 6), ssize_t(6));
    ::close(fd);
    QByteArray program("corvantis");
    QByteArray second = QFile::encodeName(f.writeFile(QStringLiteral("b.csv"), "2\n3\n"));
    QByteArray lines("--lines");
    char *argv[] = {program.data(), latin.data(), second.data(), lines.data()};

    openFromCommandLine(*f.form, parseWindowArguments(Args::programArguments(4, argv)));
    QStringList shown;
    for (RichTextBox *pane : f.form->panes())
        shown << pane->text();
    QCOMPARE(f.dialogs.messageTexts(), QStringList());
    QCOMPARE(shown, (QStringList{"1\r\n2\r\n\r", "2\r\n3\r\n\r", "1\r", "\n3\r"}));
#endif
}

void TestCommandLine::cancelledStart_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("cancelled"); // the box whose Cancel is pressed
    QTest::newRow("file #1") << QStringList{"a.csv", "b.csv"} << "Reading DIR/a.csv...";
    QTest::newRow("file #1 of three")
        << QStringList{"a.csv", "b.csv", "c.csv"} << "Reading DIR/a.csv...";
    QTest::newRow("file #2") << QStringList{"missing", "b.csv"} << "Reading DIR/b.csv...";
}

// Cancelling a load ends the start: no later file loads, no comparison runs
// and nothing is said about the files left over.
void TestCommandLine::cancelledStart()
{
    QFETCH(QStringList, names);
    QFETCH(QString, cancelled);
    WindowFixture f;
    f.form->Form_Load();
    f.form->setOptionValue(f.form->Option2, true);
    f.writeFile(QStringLiteral("a.csv"), "1\r\n2\r\n");
    f.writeFile(QStringLiteral("b.csv"), "2\n3\n");
    f.writeFile(QStringLiteral("c.csv"), "4\n");
    WindowArguments arguments;
    for (const QString &name : names)
        arguments.files << f.programFolder.filePath(name);
    arguments.compare = WindowArguments::Compare::Lines;
    const QStringList before{"old 1\r", "old 2\r", "old 3\r", "old 4\r"};
    for (int i = 0; i < 4; ++i)
        f.form->panes()[size_t(i)]->setText(before[i]);
    f.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));

    QStringList cancelledLabels;
    {
        CancelProgress cancel(*f.form);
        openFromCommandLine(*f.form, arguments);
        cancelledLabels = cancel.labels;
    }

    const QString dir = QDir::toNativeSeparators(f.programFolder.path() + u'/');
    QCOMPARE(cancelledLabels, QStringList{QString(cancelled).replace("DIR/", dir)});
    QStringList shown;
    for (RichTextBox *pane : f.form->panes()) {
        shown << pane->text();
        QVERIFY(redOffsets(*pane).isEmpty());
    }
    // A file that is not found empties its pane, as the load command does.
    QStringList expected = before;
    if (names.front() == "missing")
        expected[0] = QStringLiteral("\r");
    QCOMPARE(shown, expected);
    const QStringList said = f.dialogs.messageTexts();
    QCOMPARE(said, names.front() == "missing" ? QStringList{"File not found"} : QStringList{});
    QCOMPARE(f.form->Option2->isChecked(), names.front() != "missing");
    QCOMPARE(f.form->MousePointer(), 0);
    QVERIFY(!f.form->commandRunning());
}

QTEST_MAIN(TestCommandLine)
#include "test_command_line.moc"
