// corvantis-cli as a shell command: standard input, --quiet, --stat,
// --version, its error messages in every mode, and file names that are not
// UTF-8.

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArrayView>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "CliRun.h"
#include "base/ArgumentText.h"

extern char **environ;

class CliConventionsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void modes_data();
    void modes();
    void errors_data();
    void errors();
    void unwritableHelp_data();
    void unwritableHelp();
    void closedOutput_data();
    void closedOutput();
    void closedDescriptors_data();
    void closedDescriptors();
    void standardInputLargerThanOneRead();
    void hostileFileNames_data();
    void hostileFileNames();
    void nonUtf8FileNames_data();
    void nonUtf8FileNames();
    void argumentTextKeepsEveryByte_data();
    void argumentTextKeepsEveryByte();
    void argumentTextOfRandomBytes();

private:
    using Run = CliRun::Result;
    QString write(const QString &name, const QByteArray &bytes) { return m_cli.write(name, bytes); }
    Run run(const QStringList &arguments, const QByteArray &input = QByteArray())
    {
        return m_cli.run(arguments, input);
    }
    Run runInShell(const QByteArray &script) { return m_cli.runInShell(script); }

    CliRun m_cli;
};

void CliConventionsTest::initTestCase()
{
    QVERIFY(m_cli.isValid());
}

void CliConventionsTest::modes_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out");

    const QByteArray aBytes = "x,1\r\ny,2\r\n";
    write("a.csv", aBytes);
    write("b.csv", "x,1\nz,3\nw,4\n");
    write("c.csv", "x,1 y\r\n");
    write("d.csv", "x,1 Y\r\nq\r\n");

    QTest::newRow("standard input as file 1")
        << QStringList{"lines", "-", "b.csv"} << aBytes << 1
        << QByteArray("Lines of - missing from b.csv:\ny,2\n"
                      "Lines of b.csv missing from -:\nz,3\nw,4\n");
    QTest::newRow("standard input as file 2, same lines")
        << QStringList{"lines", "a.csv", "-"} << QByteArray("y,2\nx,1") << 0
        << QByteArray("Lines of a.csv missing from -:\nLines of - missing from a.csv:\n");
    QTest::newRow("standard input empty")
        << QStringList{"--stat", "words", "-", "c.csv"} << QByteArray() << 1
        << QByteArray("Words of - missing from their lines in c.csv: 0\n"
                      "Words of c.csv missing from their lines in -: 2\n");
    QTest::newRow("--quiet, files differ")
        << QStringList{"--quiet", "lines", "a.csv", "b.csv"} << QByteArray() << 1 << QByteArray();
    QTest::newRow("-q, files alike")
        << QStringList{"words", "a.csv", "a.csv", "-q"} << QByteArray() << 0 << QByteArray();
    QTest::newRow("-q with standard input") << QStringList{"-q", "words", "-", "d.csv"}
                                            << QByteArray("x,1 Y\r\nq") << 0 << QByteArray();
    QTest::newRow("--stat, lines")
        << QStringList{"lines", "a.csv", "b.csv", "--stat"} << QByteArray() << 1
        << QByteArray("Lines of a.csv missing from b.csv: 1\n"
                      "Lines of b.csv missing from a.csv: 2\n");
    QTest::newRow("--stat, words")
        << QStringList{"--stat", "words", "c.csv", "d.csv"} << QByteArray() << 1
        << QByteArray("Words of c.csv missing from their lines in d.csv: 1\n"
                      "Words of d.csv missing from their lines in c.csv: 2\n");
    QTest::newRow("--stat, nothing differs")
        << QStringList{"--stat", "lines", "a.csv", "a.csv"} << QByteArray() << 0
        << QByteArray("Lines of a.csv missing from a.csv: 0\n"
                      "Lines of a.csv missing from a.csv: 0\n");
    QTest::newRow("--version") << QStringList{"--version"} << QByteArray() << 0
                               << QByteArray("corvantis-cli (Corvantis) " CORVANTIS_VERSION "\n");
    QTest::newRow("--version wins over the rest")
        << QStringList{"lines", "--version", "missing.csv"} << QByteArray() << 0
        << QByteArray("corvantis-cli (Corvantis) " CORVANTIS_VERSION "\n");
    QTest::newRow("rows --version")
        << QStringList{"rows", "a.csv", "b.csv", "--version"} << QByteArray() << 0
        << QByteArray("corvantis-cli (Corvantis) " CORVANTIS_VERSION "\n");
    QTest::newRow("rows -q, tables differ")
        << QStringList{"rows", "-q", "a.csv", "b.csv"} << QByteArray() << 1 << QByteArray();
    QTest::newRow("rows --quiet, tables alike")
        << QStringList{"--quiet", "rows", "a.csv", "-"} << aBytes << 0 << QByteArray();
}

void CliConventionsTest::modes()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, out);

    const Run result = run(arguments, input);
    QCOMPARE(result.exitCode, exitCode);
    QCOMPARE(result.err, QByteArray());
    if (arguments.contains(QLatin1String("--version"))) {
        QVERIFY2(result.out.startsWith(out), result.out.constData());
        QVERIFY(result.out.contains("GPL"));
    } else {
        QCOMPARE(result.out, out);
    }
}

namespace {

// A command line that cannot be used: what is wrong, and where help is.
QByteArray usageError(const QByteArray &what, const QByteArray &mode = QByteArray())
{
    const QByteArray command = mode.isEmpty() ? "corvantis-cli" : "corvantis-cli " + mode;
    return "corvantis-cli: " + what + "\nTry '" + command + " --help'.\n";
}

} // namespace

void CliConventionsTest::errors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("err");

    write("ok.csv", "x\r\n");
    QDir(m_cli.folder()).mkdir("folder");

    QTest::newRow("missing first file")
        << QStringList{"lines", "missing.csv", "ok.csv"} << QByteArray()
        << QByteArray("corvantis-cli: missing.csv: File not found\n");
    QTest::newRow("both missing, each named")
        << QStringList{"words", "gone1.csv", "gone2.csv"} << QByteArray()
        << QByteArray("corvantis-cli: gone1.csv: File not found\n"
                      "corvantis-cli: gone2.csv: File not found\n");
    QTest::newRow("missing file with --quiet")
        << QStringList{"-q", "lines", "ok.csv", "missing.csv"} << QByteArray()
        << QByteArray("corvantis-cli: missing.csv: File not found\n");
    QTest::newRow("folder") << QStringList{"lines", "ok.csv", "folder"} << QByteArray()
                            << QByteArray("corvantis-cli: folder: It is a folder, not a file\n");
    QTest::newRow("path through a file")
        << QStringList{"lines", "ok.csv/x", "-"} << QByteArray("x")
        << QByteArray("corvantis-cli: ok.csv/x: A part of its path is a file, not a folder\n");
    QTest::newRow("unreadable") << QStringList{"lines", "locked.csv", "ok.csv"} << QByteArray()
                                << QByteArray("corvantis-cli: locked.csv: Permission denied\n");
    QTest::newRow("rows, missing file")
        << QStringList{"rows", "ok.csv", "missing.csv"} << QByteArray()
        << QByteArray("corvantis-cli: missing.csv: File not found\n");
    QTest::newRow("rows, folder") << QStringList{"rows", "folder", "ok.csv"} << QByteArray()
                                  << QByteArray(
                                         "corvantis-cli: folder: It is a folder, not a file\n");

    // Usage errors: two lines, whatever the mode.
    QTest::newRow("standard input twice")
        << QStringList{"lines", "-", "-"} << QByteArray("x")
        << usageError("Standard input (-) can stand for one file only");
    QTest::newRow("rows, standard input twice")
        << QStringList{"rows", "-", "-"} << QByteArray("x")
        << usageError("Standard input (-) can stand for one file only", "rows");
    QTest::newRow("standard input under two names")
        << QStringList{"words", "-", "/dev/stdin"} << QByteArray("x")
        << usageError("/dev/stdin: The same pipe is given as both files; it can be read once only");
    QTest::newRow("one pipe twice")
        << QStringList{"lines", "pipe", "pipe"} << QByteArray()
        << usageError("pipe: The same pipe is given as both files; it can be read once only");
    QTest::newRow("rows, one pipe twice")
        << QStringList{"rows", "pipe", "pipe"} << QByteArray()
        << usageError("pipe: The same pipe is given as both files; it can be read once only",
                      "rows");
    QTest::newRow("two output modes")
        << QStringList{"lines", "ok.csv", "ok.csv", "--json", "--stat"} << QByteArray()
        << usageError("--json and --stat cannot be used together");
    QTest::newRow("unknown option") << QStringList{"lines", "ok.csv", "ok.csv", "--silent"}
                                    << QByteArray() << usageError("Unknown option \"--silent\"");
    QTest::newRow("no mode") << QStringList{} << QByteArray()
                             << usageError(
                                    "Say which comparison: \"lines\", \"words\" or \"rows\"");
    QTest::newRow("rows, unknown option")
        << QStringList{"rows", "ok.csv", "ok.csv", "--fast"} << QByteArray()
        << usageError("Unknown option \"--fast\"", "rows");
    QTest::newRow("rows, one file") << QStringList{"rows", "ok.csv"} << QByteArray()
                                    << usageError("Give exactly two files to compare", "rows");
}

void CliConventionsTest::errors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, err);

    if (arguments.contains(QLatin1String("locked.csv"))) {
        if (::geteuid() == 0)
            QSKIP("root reads a file without read permission; run as another user to test it");
        const QString locked = write("locked.csv", "x\r\n");
        QVERIFY(QFile::setPermissions(locked, QFileDevice::WriteOwner));
    }
    const QString pipe = m_cli.path(QStringLiteral("pipe"));
    if (arguments.contains(QLatin1String("pipe")) && !QFile::exists(pipe))
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);

    const Run result = run(arguments, input);
    QCOMPARE(result.err, err);
    QCOMPARE(result.exitCode, 2);
    QCOMPARE(result.out, QByteArray());
}

// Help and the version written where they cannot go: said, not lost.
void CliConventionsTest::unwritableHelp_data()
{
    QTest::addColumn<QStringList>("arguments");

    QTest::newRow("--help") << QStringList{"--help"};
    QTest::newRow("--version") << QStringList{"--version"};
    QTest::newRow("rows --help") << QStringList{"rows", "--help"};
    QTest::newRow("rows --version") << QStringList{"rows", "--version"};
}

void CliConventionsTest::unwritableHelp()
{
    QFETCH(QStringList, arguments);
    if (!QFile::exists(QStringLiteral("/dev/full")))
        QSKIP("no /dev/full here");

    const Run result = m_cli.run(arguments, QByteArray(), QStringLiteral("/dev/full"));
    QCOMPARE(result.exitCode, 2);
    // One line; the reason after the colon is the system's, in the user's language.
    QVERIFY2(result.err.startsWith("corvantis-cli: Cannot write to standard output: "),
             result.err.constData());
    QCOMPARE(result.err.count('\n'), 1);
    QVERIFY(result.err.endsWith('\n'));
}

namespace {

// How a program ended, as a shell sees it: 128 + the signal that ended it.
struct Ending
{
    int status = -1;
    QByteArray err;
};

// Runs `script` in /bin/sh (with the program as $0) writing to a pipe whose
// reader has gone, as `corvantis-cli ... | head -0` does once head has quit.
Ending runIntoClosedPipe(const QByteArray &script, const QString &folder)
{
    Ending ending;
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return ending;
    ::close(pipeEnds[0]);
    const QByteArray errPath = QFile::encodeName(folder) + "/closed-pipe.err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.constData(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addchdir_np(&actions, QFile::encodeName(folder).constData());
    // SIGPIPE as a shell leaves it for its commands, whatever the test runner did.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &pipeSignal);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    const QByteArray program = QFile::encodeName(QStringLiteral(CORVANTIS_CLI));
    char *argv[] = {const_cast<char *>("sh"), const_cast<char *>("-c"),
                    const_cast<char *>(script.constData()), const_cast<char *>(program.constData()),
                    nullptr};
    pid_t child = -1;
    const int spawned = posix_spawn(&child, "/bin/sh", &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(pipeEnds[1]);
    int status = 0;
    if (spawned != 0 || ::waitpid(child, &status, 0) != child)
        return ending;
    ending.status = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
    QFile err(QFile::decodeName(errPath));
    if (err.open(QIODevice::ReadOnly))
        ending.err = err.readAll();
    return ending;
}

} // namespace

// A reader that has gone ends the program as it ends cat: by SIGPIPE, 141 in
// a shell, nothing said. Where SIGPIPE is ignored, the write fails: an error.
void CliConventionsTest::closedOutput_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<bool>("ignored");
    QTest::addColumn<int>("status");

    const QList<std::pair<const char *, QByteArray>> commands{
        {"lines", "\"$0\" lines one.csv two.csv"},
        {"words --json", "\"$0\" words one.csv two.csv --json"},
        {"lines --result", "\"$0\" lines one.csv two.csv --result 2"},
        {"rows", "\"$0\" rows one.csv two.csv"},
        {"--help", "\"$0\" --help"}};
    for (const auto &[name, command] : commands) {
        QTest::addRow("%s", name) << command << false << 128 + SIGPIPE;
        QTest::addRow("%s, SIGPIPE ignored", name) << command << true << 2;
    }
}

void CliConventionsTest::closedOutput()
{
    QFETCH(QByteArray, command);
    QFETCH(bool, ignored);
    QFETCH(int, status);

    write("one.csv", "id,v\r\n1,a\r\n");
    write("two.csv", "id,v\r\n2,b\r\n");
    const QByteArray script = (ignored ? "trap '' PIPE; exec " : "exec ") + command;
    const Ending ending = runIntoClosedPipe(script, m_cli.folder());
    QCOMPARE(ending.status, status);
    if (ignored)
        QVERIFY2(ending.err.startsWith("corvantis-cli: Cannot write to standard output: "),
                 ending.err.constData());
    else
        QCOMPARE(ending.err, QByteArray());
}

// A descriptor closed by the caller stays unusable: the program neither
// reads standard input from a file of its own nor writes its output into one.
void CliConventionsTest::closedDescriptors_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QByteArray>("err");

    QTest::newRow("standard input closed")
        << QByteArray("exec \"$0\" lines - one.csv <&-")
        << QByteArray("corvantis-cli: standard input: Bad file descriptor\n");
    QTest::newRow("standard output closed")
        << QByteArray("exec \"$0\" lines one.csv two.csv >&-")
        << QByteArray("corvantis-cli: Cannot write to standard output: Bad file descriptor\n");
    QTest::newRow("both closed, rows")
        << QByteArray("exec \"$0\" rows one.csv two.csv <&- >&-")
        << QByteArray("corvantis-cli: Cannot write to standard output: Bad file descriptor\n");
}

void CliConventionsTest::closedDescriptors()
{
    QFETCH(QByteArray, script);
    QFETCH(QByteArray, err);

    write("one.csv", "id,v\r\n1,a\r\n");
    write("two.csv", "id,v\r\n2,b\r\n");
    const Run result = runInShell("LC_ALL=C; export LC_ALL; " + script);
    QCOMPARE(result.err, err);
    QCOMPARE(result.exitCode, 2);
}

void CliConventionsTest::standardInputLargerThanOneRead()
{
    // Several reads' worth through a pipe: the text must arrive whole and in order.
    QByteArray big;
    for (int i = 0; big.size() < 3 * 1024 * 1024; ++i)
        big += "row " + QByteArray::number(i) + ",value " + QByteArray::number(i * 7) + "\r\n";
    const QString file = write("big.csv", big);
    write("small.csv", "row 5,value 35\r\n");

    const Run byName = run({"lines", file, "small.csv", "--json"});
    const Run piped = run({"lines", "-", "small.csv", "--json"}, big);
    QCOMPARE(byName.exitCode, 1);
    QCOMPARE(piped.exitCode, 1);
    QCOMPARE(piped.err, QByteArray());
    QVERIFY(byName.out.size() > big.size());
    QCOMPARE(piped.out, byName.out);
}

// Names that would drive the terminal or forge report lines if printed raw:
// each mode prints them escaped, as the row reports do.
void CliConventionsTest::hostileFileNames_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("printed");

    QTest::newRow("escape sequence")
        << QByteArray("red\x1b[31m.csv") << QByteArray("red\\x1b[31m.csv");
    QTest::newRow("line break forging a heading")
        << QByteArray("x\nLines of plain.csv missing from y.csv:")
        << QByteArray("x\\nLines of plain.csv missing from y.csv:");
    QTest::newRow("carriage return and tab") << QByteArray("a\rb\tc") << QByteArray("a\\rb\\tc");
    QTest::newRow("byte that is not UTF-8")
        << QByteArray("lat\xe9.csv") << QByteArray("lat\\xe9.csv");
    QTest::newRow("right-to-left override") << QByteArray("a\xe2\x80\xae"
                                                          "vsc.txt")
                                            << QByteArray("a\\u202evsc.txt");
    QTest::newRow("backslash") << QByteArray("back\\slash") << QByteArray("back\\\\slash");
    QTest::newRow("letters past ASCII print as they are")
        << QByteArray("caf\xc3\xa9.csv") << QByteArray("caf\xc3\xa9.csv");
}

void CliConventionsTest::hostileFileNames()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, printed);

    write("plain.csv", "a,1\r\n");
    const QByteArray path = QFile::encodeName(m_cli.folder()) + '/' + name;
    std::FILE *file = std::fopen(path.constData(), "wb");
    QVERIFY(file);
    std::fputs("a,1\r\nb,2\r\n", file);
    QCOMPARE(std::fclose(file), 0);

    // The name reaches the program as its bytes, through printf.
    QByteArray spelled;
    for (const char c : name)
        spelled += '\\' + QByteArray::number(uchar(c), 8).rightJustified(3, '0');
    const QByteArray script = "n=$(printf '" + spelled + "')\n" + R"(
"$0" lines "$n" plain.csv; echo "[$?]"
"$0" --stat words plain.csv "$n"; echo "[$?]"
"$0" lines plain.csv "$n.gone"
"$0" rows "$n.gone" plain.csv
)";
    const Run result = runInShell(script);
    ::unlink(path.constData());

    const auto named = [&printed](QByteArray text) { return text.replace("NAME", printed); };
    QCOMPARE(result.out, named("Lines of NAME missing from plain.csv:\nb,2\n"
                               "Lines of plain.csv missing from NAME:\n[1]\n"
                               "Words of plain.csv missing from their lines in NAME: 0\n"
                               "Words of NAME missing from their lines in plain.csv: 1\n[1]\n"));
    QCOMPARE(result.err, named("corvantis-cli: NAME.gone: File not found\n"
                               "corvantis-cli: NAME.gone: File not found\n"));
}

void CliConventionsTest::nonUtf8FileNames_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");

    // Read by its bytes, printed with each stray byte spelled out, as the
    // row reports print names.
    QTest::newRow("Latin-1 name read by its bytes")
        << QByteArray("exec \"$0\" lines \"$(printf 'lat\\351.csv')\" plain.csv") << 1
        << QByteArray("Lines of lat\\xe9.csv missing from plain.csv:\nb,2\n"
                      "Lines of plain.csv missing from lat\\xe9.csv:\n")
        << QByteArray();
    QTest::newRow("missing name, its byte spelled out")
        << QByteArray("exec \"$0\" lines plain.csv \"$(printf 'lat\\350.csv')\"") << 2
        << QByteArray() << QByteArray("corvantis-cli: lat\\xe8.csv: File not found\n");
    QTest::newRow("cut UTF-8 sequence")
        << QByteArray("exec \"$0\" --stat lines \"$(printf 'cut\\342\\202.csv')\" plain.csv") << 1
        << QByteArray("Lines of cut\\xe2\\x82.csv missing from plain.csv: 1\n"
                      "Lines of plain.csv missing from cut\\xe2\\x82.csv: 0\n")
        << QByteArray();
}

void CliConventionsTest::nonUtf8FileNames()
{
    QFETCH(QByteArray, script);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);

    if (!QFile::exists(QStringLiteral("/bin/sh")))
        QSKIP("no /bin/sh to pass raw bytes as an argument");
    write("plain.csv", "a,1\r\n");
    QList<QByteArray> paths;
    for (const char *name : {"lat\xe9.csv", "cut\xe2\x82.csv"}) {
        paths << QFile::encodeName(m_cli.folder()) + '/' + name;
        std::FILE *file = std::fopen(paths.last().constData(), "wb");
        QVERIFY(file);
        std::fputs("a,1\r\nb,2\r\n", file);
        QCOMPARE(std::fclose(file), 0);
    }

    const Run result = runInShell(script);
    // QTemporaryDir cannot name these files to remove them.
    for (const QByteArray &path : paths)
        ::unlink(path.constData());
    QCOMPARE(result.err, err);
    QCOMPARE(result.out, out);
    QCOMPARE(result.exitCode, exitCode);
}

void CliConventionsTest::argumentTextKeepsEveryByte_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("validUtf8");

    QTest::newRow("ASCII") << QByteArray("a.csv") << true;
    QTest::newRow("two-byte letter") << QByteArray("caf\xc3\xa9") << true;
    QTest::newRow("four-byte character") << QByteArray("\xf0\x9f\x98\x80.csv") << true;
    QTest::newRow("largest code point") << QByteArray("\xf4\x8f\xbf\xbf") << true;
    QTest::newRow("Latin-1 byte") << QByteArray("lat\xe9.csv") << false;
    QTest::newRow("cut sequence at the end") << QByteArray("x\xe2\x82") << false;
    QTest::newRow("overlong slash") << QByteArray("\xc0\xaf") << false;
    QTest::newRow("encoded surrogate") << QByteArray("\xed\xa0\x80") << false;
    QTest::newRow("above U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << false;
    QTest::newRow("lone continuation bytes") << QByteArray("\x80\xbf") << false;
    QTest::newRow("bytes that spell an escape") << QByteArray("\xed\xb3\xa9") << false;
}

void CliConventionsTest::argumentTextKeepsEveryByte()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, validUtf8);

    const QString text = Args::argumentText(bytes);
    QCOMPARE(Args::argumentBytes(text), bytes);
    QCOMPARE(QByteArrayView(bytes).isValidUtf8(), validUtf8);
    if (validUtf8)
        QCOMPARE(text, QString::fromUtf8(bytes));
    else
        QVERIFY(text != QString::fromUtf8(bytes));
}

void CliConventionsTest::argumentTextOfRandomBytes()
{
    QRandomGenerator random(1312);
    for (int round = 0; round < 20000; ++round) {
        QByteArray bytes(random.bounded(1, 12), Qt::Uninitialized);
        for (char &byte : bytes) {
            // Mostly high bytes, where sequences are made and broken.
            const quint32 value = random.bounded(256u);
            byte = static_cast<char>(value < 32 ? value + 96 : value | 0x80);
        }
        const QString text = Args::argumentText(bytes);
        QVERIFY2(Args::argumentBytes(text) == bytes, bytes.toHex().constData());
        if (QByteArrayView(bytes).isValidUtf8())
            QVERIFY2(text == QString::fromUtf8(bytes), bytes.toHex().constData());
    }
}

QTEST_GUILESS_MAIN(CliConventionsTest)
#include "test_cli_conventions.moc"
