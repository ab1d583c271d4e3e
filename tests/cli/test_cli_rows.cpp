#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif
#include <QTest>

#include "CliRun.h"

class CliRowsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void exitStatus_data();
    void exitStatus();
    void optionsReachTheComparison_data();
    void optionsReachTheComparison();
    void textReport();
    void csvReport();
    void jsonReport();
    void unwritableOutputIsAnError();
    void reportToAFile_data();
    void reportToAFile();
    void reportIntoAPipeIsRefused_data();
    void reportIntoAPipeIsRefused();
    void workbookNeedsAFile_data();
    void workbookNeedsAFile();
    void gitUsesItAsItsDiffForCsv();

private:
    using Run = CliRun::Result;
    QString write(const QString &name, const QByteArray &bytes) { return m_cli.write(name, bytes); }
    Run run(QStringList arguments, const QString &outputFile = QString());

    CliRun m_cli;
    QString m_old;
    QString m_new;
};

void CliRowsTest::initTestCase()
{
    QVERIFY(m_cli.isValid());
    // The same stock, exported twice: another order, a semicolon, one quantity changed.
    m_old = write("old.csv", "sku,name,qty,price\r\n"
                             "PF-6001,Pen,10,1.20\r\n"
                             "PF-6002,Pad,10,3.50\r\n"
                             "PF-6003,Ink,4,7.00\r\n");
    m_new = write("new.csv", "sku;name;qty;price\n"
                             "PF-6002;Pad;12;3.50\n"
                             "PF-6001;Pen;10;1.20\n"
                             "PF-6004;\"Tape, clear\";5;2.10\n");
}

// "--stdin FILE" among the arguments is not passed on: FILE becomes standard input.
CliRowsTest::Run CliRowsTest::run(QStringList arguments, const QString &outputFile)
{
    QByteArray input;
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--stdin")); at >= 0) {
        QFile file(arguments.at(at + 1));
        if (!file.open(QIODevice::ReadOnly))
            qFatal("cannot read %s", qPrintable(file.fileName()));
        input = file.readAll();
        arguments.remove(at, 2);
    }
    return m_cli.run(arguments, input, outputFile);
}

void CliRowsTest::exitStatus_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stdoutHas");
    QTest::addColumn<QString>("stderrHas");

    const QString a = write("a.csv", "id,v\r\n1,x\r\n2,y\r\n");
    const QString aShuffled = write("a-shuffled.csv", "id;v\n2;y\n1;x\n");
    const QString b = write("b.csv", "id,v\n1,x\n2,z\n");
    const QString empty = write("empty.csv", "");
    const QString malformed = write("malformed.csv", "id,v\n1,x\n2,\"y\n3,z\n");
    const QString onlySku = write("sku.csv", "id,sku,v\n1,s,x\n");
    const QString missing = m_cli.path("missing.csv");

    QTest::newRow("same rows in another order")
        << QStringList{"rows", a, aShuffled, "--key", "id"} << 0 << "0 removed, 0 added, 0 changed"
        << "";
    QTest::newRow("same rows as a multiset")
        << QStringList{"rows", a, aShuffled} << 0 << "(of 2 / 2 rows)"
        << "";
    QTest::newRow("a changed cell")
        << QStringList{"rows", a, b, "--key=id"} << 1 << "~ line 3 → 3, id=2: v [2] \"y\" → \"z\""
        << "";
    QTest::newRow("both empty") << QStringList{"rows", empty, empty} << 0 << "(of 0 / 0 rows)"
                                << "";
    QTest::newRow("empty against rows")
        << QStringList{"rows", empty, a, "--key", "id"} << 1 << "0 removed, 2 added"
        << "";
    QTest::newRow("options before the word rows")
        << QStringList{"--key", "id", "--format=csv", "rows", a, b} << 1 << "~,3,3,2,y,z,v,"
        << "";
    QTest::newRow("missing first file") << QStringList{"rows", missing, a} << 2 << ""
                                        << "corvantis-cli: " + missing + ": File not found";
    QTest::newRow("folder as second file")
        << QStringList{"rows", a, m_cli.folder()} << 2 << ""
        << "corvantis-cli: " + m_cli.folder() + ": It is a folder, not a file";
    QTest::newRow("standard input as the second file")
        << QStringList{"rows", a, "-", "--key", "id", "--stdin", a} << 0 << "0 changed"
        << "";
    QTest::newRow("unterminated quote names the file and the line")
        << QStringList{"rows", a, malformed} << 2 << ""
        << "corvantis-cli: " + malformed + ": the record that starts on line 3";
    QTest::newRow("key in neither file") << QStringList{"rows", a, b, "--key", "sku"} << 2 << ""
                                         << "corvantis-cli: " + b + ": no column \"sku\"";
    QTest::newRow("key missing from file 2")
        << QStringList{"rows", onlySku, a, "--key", "sku"} << 2 << ""
        << "corvantis-cli: " + a + ": no column \"sku\"";
    QTest::newRow("ignored column in neither file")
        << QStringList{"rows", a, b, "--ignore-columns", "nope"} << 2 << ""
        << "\"nope\"";
    QTest::newRow("help") << QStringList{"rows", "--help"} << 0 << "Usage: corvantis-cli rows"
                          << "";
    QTest::newRow("one file") << QStringList{"rows", a} << 2 << ""
                              << "Try 'corvantis-cli rows --help'.";
    QTest::newRow("unknown option") << QStringList{"rows", a, b, "--fast"} << 2 << ""
                                    << "\"--fast\"";
    QTest::newRow("unknown format") << QStringList{"rows", a, b, "--format", "xml"} << 2 << ""
                                    << "\"xml\"";
    QTest::newRow("key without a value") << QStringList{"rows", a, b, "--key"} << 2 << ""
                                         << "--key needs a value";
    QTest::newRow("two-character delimiter")
        << QStringList{"rows", a, b, "--delimiter", ";;"} << 2 << ""
        << "--delimiter";
    QTest::newRow("quote as delimiter") << QStringList{"rows", a, b, "--delimiter", "\""} << 2 << ""
                                        << "--delimiter";
    const QString moved = write("moved.csv", "v,id\nx,1\ny,2\n");
    const QString ragged = write("ragged.csv", "id,v\n1,x\n2,y,extra\n");
    const QString latin1 = write("latin1.csv", "id,v\n1,x\n2,caf\xe9\n");
    const QString crlfCell = write("crlf-cell.csv", "id,v\n1,\"two\r\nlines\"\n");
    const QString lfCell = write("lf-cell.csv", "id,v\n1,\"two\nlines\"\n");
    QTest::newRow("a column that only moved is a note, not a difference")
        << QStringList{"rows", a, moved, "--key", "id"} << 0
        << "Columns in another order in " + moved << "";
    const QString percent = write("%1 and %2.csv", "id,v\n1,x\n2,y,extra\n");
    QTest::newRow("a file's name prints as given, %1 and all")
        << QStringList{"rows", b, percent, "--key", "id"} << 1
        << "Ragged row: line 3 of " + percent + " has 3 cells, not 2\n"
        << "";
    QTest::newRow("a ragged row is a difference")
        << QStringList{"rows", b, ragged, "--key", "id"} << 1
        << "Ragged row: line 3 of " + ragged + " has 3 cells, not 2"
        << "";
    QTest::newRow("a file that is not UTF-8 is said so")
        << QStringList{"rows", a, latin1, "--key", "id"} << 1
        << QString::fromUtf8("\"y\" → \"café\"")
        << latin1 + ": not valid UTF-8 (line 3); read as Windows-1252";
    QTest::newRow("LF and CR LF in a cell differ, and print escaped")
        << QStringList{"rows", crlfCell, lfCell, "--key", "id"} << 1
        << "v [2] \"two\\r\\nlines\" → \"two\\nlines\""
        << "";
    QTest::newRow("ignore space makes them one break")
        << QStringList{"rows", crlfCell, lfCell, "--key", "id", "--ignore-space"} << 0
        << "0 changed"
        << "";
    QTest::newRow("colour on demand")
        << QStringList{"rows", a, ragged, "--color=always"} << 1 << "\x1b[31m- line 3: 2,y\x1b[0m"
        << "";
    QTest::newRow("no colour in a pipe by default")
        << QStringList{"rows", a, ragged} << 1 << "\n- line 3: 2,y\n"
        << "";
    QTest::newRow("tolerance needs a number")
        << QStringList{"rows", a, b, "--tolerance", "x"} << 2 << ""
        << "--tolerance takes a number";
    QTest::newRow("git's seven arguments")
        << QStringList{"rows",    "--key",  "id", "data/stock.csv", a,
                       "1234567", "100644", b,    "89abcde",        "100644"}
        << 0 << "~ line 3 → 3, id=2: v [2]"
        << "";
    QTest::newRow("git's call for a new file")
        << QStringList{"rows", "new.csv", "/dev/null", ".", ".", b, "89abcde", "100644"} << 0
        << "0 removed, 2 added"
        << "";
    QTest::newRow("-q prints nothing, exit status tells")
        << QStringList{"rows", a, b, "-q"} << 1 << ""
        << "";
    QTest::newRow("--key auto says the key it chose")
        << QStringList{"rows", a, b, "--key", "auto"} << 1 << "~ line 3 → 3, id=2"
        << "corvantis-cli: key: \"id\"\n";
    QTest::newRow("--key auto without a key to find")
        << QStringList{"rows", write("same.csv", "v\nx\nx\n"), a, "--key", "auto"} << 1
        << "1 removed, 1 added"
        << "key: none found; whole rows compared";
    QTest::newRow("a column named auto is quoted")
        << QStringList{"rows", a, b, "--key", "\"auto\""} << 2 << ""
        << "no column \"auto\"";
    QTest::newRow("a line break in a column list")
        << QStringList{"rows", a, b, "--key", "id\nzzz"} << 2 << ""
        << "line break";
    QTest::newRow("--map needs OLD=NEW") << QStringList{"rows", a, b, "--map", "v"} << 2 << ""
                                         << "--map takes OLD=NEW";
    QTest::newRow("--map of a column file 2 lacks")
        << QStringList{"rows", a, b, "--map", "v=w"} << 2 << "" << b + ": no column \"w\" (--map)";
    QTest::newRow("general help names the mode") << QStringList{"--help"} << 0 << "rows FILE1"
                                                 << "";
}

void CliRowsTest::exitStatus()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, stdoutHas);
    QFETCH(QString, stderrHas);

    const Run result = run(arguments);
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY2(QString::fromUtf8(result.out).contains(stdoutHas), result.out.constData());
    QVERIFY2(QString::fromUtf8(result.err).contains(stderrHas), result.err.constData());
    if (exitCode != 2 && stderrHas.isEmpty())
        QCOMPARE(result.err, QByteArray());
    if (arguments.contains(QStringLiteral("-q")))
        QCOMPARE(result.out, QByteArray());
}

void CliRowsTest::optionsReachTheComparison_data()
{
    QTest::addColumn<QByteArray>("bytes1");
    QTest::addColumn<QByteArray>("bytes2");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");

    const QByteArray cased = "id,v\n1,Abc\n";
    const QByteArray lower = "id,v\n1,abc\n";
    QTest::newRow("case counts") << cased << lower << QStringList{} << 1;
    QTest::newRow("--ignore-case") << cased << lower << QStringList{"--ignore-case"} << 0;
    QTest::newRow("blanks count") << lower << QByteArray("id,v\n1, abc \n") << QStringList{} << 1;
    QTest::newRow("--ignore-space")
        << lower << QByteArray("id,v\n1, abc \n") << QStringList{"--ignore-space"} << 0;
    QTest::newRow("--ignore-columns")
        << QByteArray("id,ts,v\n1,9,a\n") << QByteArray("id,ts,v\n1,10,a\n")
        << QStringList{"--ignore-columns", "ts"} << 0;
    QTest::newRow("--no-header: a changed first row")
        << QByteArray("a,b\n1,2\n") << QByteArray("A,b\n1,2\n") << QStringList{"--no-header"} << 1;
    QTest::newRow("--delimiter given: a semicolon is text")
        << QByteArray("id;v\n1;a\n") << QByteArray("id,v\n1,a\n") << QStringList{"--delimiter", ","}
        << 1;
    QTest::newRow("--delimiter tab") << QByteArray("id\tv\n1\ta\n") << QByteArray("id\tv\n1\ta\n")
                                     << QStringList{"--delimiter", "tab", "--key", "v"} << 0;
    QTest::newRow("--ignore-columns of an empty name")
        << QByteArray("id,,v\n1,x,a\n") << QByteArray("id,,v\n1,y,a\n")
        << QStringList{"--ignore-columns", "\"\""} << 0;
    QTest::newRow("--map pairs a renamed column")
        << QByteArray("id,email\n1,a@x\n") << QByteArray("id,email_address\n1,a@x\n")
        << QStringList{"--key", "id", "--map", "email=email_address"} << 0;
    QTest::newRow("--map, repeated, in CSV quoting")
        << QByteArray("id,\"a=b\",c\n1,x,y\n") << QByteArray("id,d,\"e, f\"\n1,x,z\n")
        << QStringList{"--key", "id", "--map", "\"a=b\"=d", "--map=c=\"e, f\""} << 1;
}

void CliRowsTest::optionsReachTheComparison()
{
    QFETCH(QByteArray, bytes1);
    QFETCH(QByteArray, bytes2);
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);

    const Run result =
        run(QStringList{"rows", write("o1.csv", bytes1), write("o2.csv", bytes2)} + options);
    QCOMPARE(result.exitCode, exitCode);
    QCOMPARE(result.err, QByteArray());
}

void CliRowsTest::textReport()
{
    const Run result = run({"rows", m_old, m_new, "--key", "sku"});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(QString::fromUtf8(result.out),
             QString::fromUtf8("1 removed, 1 added, 1 changed (of 3 / 3 rows)\n"
                               "- line 4: PF-6003,Ink,4,7.00\n"
                               "+ line 4: PF-6004,\"Tape, clear\",5,2.10\n"
                               "~ line 3 → 2, sku=PF-6002: qty [3] \"10\" → \"12\"\n"));
}

void CliRowsTest::csvReport()
{
    const Run result = run({"rows", m_old, m_new, "--key", "sku", "--format", "csv"});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.out,
             QByteArray("[status],[line1],[line2],sku,name,[old] qty,qty,price,[changed],[note]\r\n"
                        "-,4,,PF-6003,Ink,,4,7.00,,\r\n"
                        "+,,4,PF-6004,\"Tape, clear\",,5,2.10,,\r\n"
                        "~,3,2,PF-6002,Pad,10,12,3.50,qty,\r\n"));
}

void CliRowsTest::jsonReport()
{
    const QString moved = write("moved.csv", "name,sku,qty,note\n"
                                             "Pad,PF-6002,12,x\n"
                                             "Pen,PF-6001,10,y\n"
                                             "Pen,PF-6001,10,y\n");
    const Run result = run({"rows", m_old, moved, "--key", "sku", "--format", "json"});
    QCOMPARE(result.exitCode, 1);
    QJsonParseError error{};
    const QJsonObject json = QJsonDocument::fromJson(result.out, &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);

    QCOMPARE(json["summary"].toObject(), QJsonObject({{"removed", 1},
                                                      {"added", 0},
                                                      {"changed", 1},
                                                      {"duplicateKeys", 1},
                                                      {"rows1", 3},
                                                      {"rows2", 3}}));
    QCOMPARE(json["key"].toArray(), QJsonArray{"sku"});
    QCOMPARE(json["reordered"].toBool(), true);
    const QJsonArray columns = json["columns"].toArray();
    QCOMPARE(columns.size(), 5);
    QCOMPARE(columns[0].toObject(),
             QJsonObject({{"name", "sku"}, {"column1", 1}, {"column2", 2}, {"compared", false}}));
    // File 2's order, then the column only file 1 has.
    QCOMPARE(columns[4].toObject(), QJsonObject({{"name", "price"},
                                                 {"column1", 4},
                                                 {"column2", QJsonValue::Null},
                                                 {"compared", false}}));
    QCOMPARE(columns[1].toObject()["name"].toString(), QStringLiteral("name"));
    QCOMPARE(columns[3].toObject()["name"].toString(), QStringLiteral("note"));
    const QJsonArray removed{
        QJsonObject{{"line", 4}, {"row", QJsonArray{"PF-6003", "Ink", "4", "7.00"}}}};
    QCOMPARE(json["removed"].toArray(), removed);
    QCOMPARE(json["added"].toArray(), QJsonArray{});
    const QJsonArray changes{
        QJsonObject{{"column", "qty"}, {"number", 3}, {"old", "10"}, {"new", "12"}}};
    const QJsonArray changed{QJsonObject{
        {"line1", 3}, {"line2", 2}, {"key", QJsonArray{"PF-6002"}}, {"changes", changes}}};
    QCOMPARE(json["changed"].toArray(), changed);
    const QJsonArray duplicates{QJsonObject{
        {"key", QJsonArray{"PF-6001"}}, {"lines1", QJsonArray{2}}, {"lines2", QJsonArray{3, 4}}}};
    QCOMPARE(json["duplicateKeys"].toArray(), duplicates);
    QCOMPARE(json["file1"].toString(), m_old);
}

void CliRowsTest::unwritableOutputIsAnError()
{
    if (!QFile::exists(QStringLiteral("/dev/full")))
        QSKIP("no /dev/full here");
    const Run result = run({"rows", m_old, m_new}, QStringLiteral("/dev/full"));
    QCOMPARE(result.exitCode, 2);
    QVERIFY(result.err.startsWith("corvantis-cli: "));
}

// --output writes the same bytes the report prints, --quiet or not (it only
// keeps standard output empty); a workbook is a zip.
void CliRowsTest::reportToAFile_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("quiet");
    for (const char *format : {"text", "csv", "json", "html", "xlsx"}) {
        QTest::newRow(format) << QString::fromLatin1(format) << false;
        QTest::addRow("%s, --quiet", format) << QString::fromLatin1(format) << true;
    }
}

void CliRowsTest::reportToAFile()
{
    QFETCH(QString, format);
    QFETCH(bool, quiet);
    const QString path = m_cli.path("report." + format);
    QFile::remove(path);
    const QStringList arguments{"rows", m_old, m_new, "--key", "sku", "--format", format};
    const Run toFile = run(arguments + QStringList{"--output", path}
                           + (quiet ? QStringList{"--quiet"} : QStringList()));
    QCOMPARE(toFile.exitCode, 1);
    QCOMPARE(toFile.out, QByteArray());
    QCOMPARE(toFile.err, QByteArray());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    if (format == QLatin1String("xlsx")) {
        QVERIFY(bytes.startsWith("PK\x03\x04"));
        return;
    }
    QCOMPARE(bytes, run(arguments).out);
}

// A pipe or device named by --output is refused, never replaced by a file
// (as root, a replaced /dev/full would be gone for every program).
void CliRowsTest::reportIntoAPipeIsRefused_data()
{
    reportToAFile_data();
}

void CliRowsTest::reportIntoAPipeIsRefused()
{
#ifdef Q_OS_WIN
    QSKIP("no named pipes among files on Windows");
#else
    QFETCH(QString, format);
    QFETCH(bool, quiet);
    const QString pipe = m_cli.path("pipe-" + format + (quiet ? "-quiet" : ""));
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const Run result =
        run(QStringList{"rows", m_old, m_new, "--key", "sku", "--format", format, "--output", pipe}
            + (quiet ? QStringList{"--quiet"} : QStringList()));
    QCOMPARE(result.exitCode, 2);
    QVERIFY2(result.err.contains("not a regular file"), result.err.constData());
    struct stat st
    {};
    QCOMPARE(::stat(QFile::encodeName(pipe).constData(), &st), 0);
    QVERIFY(S_ISFIFO(st.st_mode));
#endif
}

void CliRowsTest::workbookNeedsAFile_data()
{
    QTest::addColumn<QStringList>("output");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("error");

    QTest::newRow("no --output") << QStringList() << 2 << QByteArray("--output FILE");
    QTest::newRow("standard output")
        << QStringList{"--output", "-"} << 2 << QByteArray("--output FILE");
    QTest::newRow("a folder that is not there")
        << QStringList{"--output", "/nonexistent-folder/r.xlsx"} << 2
        << QByteArray("corvantis-cli: /nonexistent-folder/r.xlsx: ");
}

void CliRowsTest::workbookNeedsAFile()
{
    QFETCH(QStringList, output);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, error);
    const Run result =
        run(QStringList{"rows", m_old, m_new, "--key", "sku", "--format", "xlsx"} + output);
    QCOMPARE(result.exitCode, exitCode);
    QCOMPARE(result.out, QByteArray());
    QVERIFY2(result.err.contains(error), result.err.constData());
}

// The README's recipe: .gitattributes and diff.csv.command, in a repository of its own.
void CliRowsTest::gitUsesItAsItsDiffForCsv()
{
    const QString git = QStandardPaths::findExecutable(QStringLiteral("git"));
    if (git.isEmpty())
        QSKIP("git is not installed");
    QTemporaryDir repository;
    const auto inRepository = [&](const QStringList &arguments) {
        QProcess process;
        process.setWorkingDirectory(repository.path());
        process.start(git, arguments);
        process.waitForFinished(30000);
        return std::pair{process.exitCode(), process.readAllStandardOutput()};
    };
    const auto writeFile = [&](const QString &name, const QByteArray &bytes) {
        QFile file(repository.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    };
    QCOMPARE(inRepository({"init", "-q"}).first, 0);
    inRepository({"config", "user.email", "test@example.org"});
    inRepository({"config", "user.name", "Test"});
    QVERIFY(writeFile(".gitattributes", "*.csv diff=csv\n"));
    inRepository({"config", "diff.csv.command",
                  QStringLiteral("'%1' rows --key id").arg(QStringLiteral(CORVANTIS_CLI))});
    QVERIFY(writeFile("stock.csv", "id,qty\n1,10\n2,5\n"));
    inRepository({"add", "."});
    QCOMPARE(inRepository({"commit", "-q", "-m", "stock"}).first, 0);
    QVERIFY(writeFile("stock.csv", "id,qty\n2,6\n1,10\n"));

    const auto [status, out] = inRepository({"diff"});
    QCOMPARE(status, 0);
    QCOMPARE(out, QByteArray("--- a/stock.csv\n+++ b/stock.csv\n"
                             "0 removed, 0 added, 1 changed (of 2 / 2 rows)\n"
                             "~ line 3 \xe2\x86\x92 2, id=2: qty [2] \"5\" \xe2\x86\x92 \"6\"\n"));
}

QTEST_GUILESS_MAIN(CliRowsTest)
#include "CliRun.h"
#include "test_cli_rows.moc"
