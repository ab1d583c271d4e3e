// The files the package carries besides the programs: manual pages, the
// Debian changelog and copyright, the AppStream metadata, the license and the
// bash completion.

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString sourceDir = QStringLiteral(CORVANTIS_SOURCE_DIR);
const QString version = QStringLiteral(CORVANTIS_VERSION);

QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

QString resource(const QString &name)
{
    return sourceDir + QStringLiteral("/resources/") + name;
}

} // namespace

class PackageFilesTest : public QObject
{
    Q_OBJECT

private slots:
    void validators_data();
    void validators();
    void versionsAgree_data();
    void versionsAgree();
    void copyrightNamesItsLicenses();
    void everyOptionIsDocumented_data();
    void everyOptionIsDocumented();
    void bashCompletion_data();
    void bashCompletion();
};

void PackageFilesTest::validators_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");

    const QString metainfo = resource("example.quillfen.corvantis.metainfo.xml");
    QTest::newRow("AppStream metadata")
        << "appstreamcli" << QStringList{"validate", "--no-net", metainfo};
    QTest::newRow("corvantis(1)") << "groff"
                                  << QStringList{"-ww", "-z", "-man", resource("man/corvantis.1")};
    QTest::newRow("corvantis-cli(1)")
        << "groff" << QStringList{"-ww", "-z", "-man", resource("man/corvantis-cli.1")};
    QTest::newRow("Debian changelog")
        << "dpkg-parsechangelog" << QStringList{"-l", resource("debian/changelog")};
}

// Each file passes the tool its readers use; a missing tool skips its row.
void PackageFilesTest::validators()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);

    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty())
        QSKIP(qPrintable(program + " is not installed"));
    QProcess p;
    p.start(path, arguments);
    QVERIFY(p.waitForFinished(60000));
    const QByteArray out = p.readAllStandardOutput();
    const QByteArray err = p.readAllStandardError();
    QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0, (out + err).constData());
    // groff and dpkg-parsechangelog warn on standard error and still succeed.
    QVERIFY2(err.trimmed().isEmpty(), err.constData());
}

void PackageFilesTest::versionsAgree_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("pattern"); // captures the version the file states

    QTest::newRow("changelog") << "debian/changelog"
                               << "^corvantis \\(([^)]+)\\)";
    QTest::newRow("AppStream release") << "example.quillfen.corvantis.metainfo.xml"
                                       << "<release version=\"([^\"]+)\"";
    QTest::newRow("corvantis(1)") << "man/corvantis.1"
                                  << "^\\.TH .*\"Corvantis ([^\"]+)\"";
    QTest::newRow("corvantis-cli(1)") << "man/corvantis-cli.1"
                                      << "^\\.TH .*\"Corvantis ([^\"]+)\"";
}

// The package's version is the project's; every file that states one agrees.
void PackageFilesTest::versionsAgree()
{
    QFETCH(QString, file);
    QFETCH(QString, pattern);

    const QString text = QString::fromUtf8(readAll(resource(file)));
    QVERIFY2(!text.isEmpty(), qPrintable(file));
    const QRegularExpressionMatch match =
        QRegularExpression(pattern, QRegularExpression::MultilineOption).match(text);
    QVERIFY2(match.hasMatch(), qPrintable(pattern));
    QCOMPARE(match.captured(1), version);
}

// A machine-readable copyright: every license a Files paragraph names has its
// text in a paragraph of its own, and the project's is the GPL of LICENSE.
void PackageFilesTest::copyrightNamesItsLicenses()
{
    const QString text = QString::fromUtf8(readAll(resource("debian/copyright")));
    QVERIFY(text.startsWith(
        "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"));

    QSet<QString> named;
    QSet<QString> given;
    for (const QString &paragraph : text.split(QStringLiteral("\n\n"))) {
        const QRegularExpressionMatch license =
            QRegularExpression(QStringLiteral("^License: (\\S+)(\\n .*)?"),
                               QRegularExpression::MultilineOption)
                .match(paragraph);
        if (!license.hasMatch())
            continue;
        if (paragraph.startsWith(QLatin1String("Files: "))) {
            QVERIFY2(paragraph.contains(QLatin1String("\nCopyright: ")), qPrintable(paragraph));
            named << license.captured(1);
        } else if (paragraph.startsWith(QLatin1String("License: "))) {
            QVERIFY2(!license.captured(2).isEmpty(), qPrintable(paragraph));
            given << license.captured(1);
        }
    }
    QVERIFY(named.contains(QStringLiteral("GPL-3+")));
    QCOMPARE(named, given);

    const QByteArray licenseFile = readAll(sourceDir + QStringLiteral("/LICENSE"));
    QVERIFY(licenseFile.contains("GNU GENERAL PUBLIC LICENSE"));
    QVERIFY(licenseFile.contains("Version 3, 29 June 2007"));
    QVERIFY(licenseFile.contains("END OF TERMS AND CONDITIONS"));
}

namespace {

// The options a help text names (-q, --key, --color=...: the name alone).
QStringList optionsIn(const QString &help)
{
    QStringList options;
    QRegularExpressionMatchIterator it =
        QRegularExpression(QStringLiteral("(?<![\\w-])(--?[a-z][a-z-]*)")).globalMatch(help);
    while (it.hasNext())
        options << it.next().captured(1);
    options.removeDuplicates();
    return options;
}

// Whether `text` holds `option` as a word of its own.
bool names(const QString &text, const QString &option)
{
    return text.contains(QRegularExpression(QStringLiteral("(?<![\\w-])")
                                            + QRegularExpression::escape(option)
                                            + QStringLiteral("(?![\\w-])")));
}

} // namespace

void PackageFilesTest::everyOptionIsDocumented_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("manual");
    QTest::addColumn<bool>("completed"); // the bash completion offers each option too
    QTest::addColumn<QString>("someOption");

    const QString cli = QStringLiteral(CORVANTIS_CLI);
    QTest::newRow("corvantis-cli lines and words")
        << cli << QStringList{"--help"} << "man/corvantis-cli.1" << true << "--stat";
    QTest::newRow("corvantis-cli rows")
        << cli << QStringList{"rows", "--help"} << "man/corvantis-cli.1" << true << "--key";
    QTest::newRow("corvantis") << QStringLiteral(CORVANTIS_WINDOW) << QStringList{"--help"}
                               << "man/corvantis.1" << false << "--words";
}

// The manual (and the completion) keep up with the program: every option a
// mode's --help shows is in them.
void PackageFilesTest::everyOptionIsDocumented()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(QString, manual);
    QFETCH(bool, completed);
    QFETCH(QString, someOption);

    QProcess p;
    p.start(program, arguments);
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 0);
    const QStringList options = optionsIn(QString::fromUtf8(p.readAllStandardOutput()));
    QVERIFY2(options.contains(someOption), qPrintable(options.join(' ')));

    const QString manualText = QString::fromUtf8(readAll(resource(manual)))
                                   .replace(QLatin1String("\\-"), QLatin1String("-"));
    const QString completion = QString::fromUtf8(readAll(resource("completion/corvantis-cli")));
    QVERIFY(!manualText.isEmpty() && !completion.isEmpty());
    for (const QString &option : options) {
        QVERIFY2(names(manualText, option), qPrintable(option + " is not in " + manual));
        if (completed)
            QVERIFY2(names(completion, option), qPrintable(option + " is not completed"));
    }
}

void PackageFilesTest::bashCompletion_data()
{
    QTest::addColumn<QStringList>("words"); // as bash cuts the line; the cursor ends the last
    QTest::addColumn<QString>("replies");   // what it offers, joined by '|'

    QTest::newRow("modes") << QStringList{"corvantis-cli", ""} << "lines|words|rows";
    QTest::newRow("options of rows") << QStringList{"corvantis-cli", "rows", "--ig"}
                                     << "--ignore-case|--ignore-space|--ignore-columns";
    QTest::newRow("lines has no --key") << QStringList{"corvantis-cli", "lines", "--k"} << "";
    QTest::newRow("columns of both headers, once each")
        << QStringList{"corvantis-cli", "rows", "old.csv", "new.csv", "--key", ""}
        << "auto|Unit\\ price|id|name";
    QTest::newRow("--map: file 1's columns")
        << QStringList{"corvantis-cli", "rows", "new.csv", "old.csv", "--map", "n"} << "name";
    QTest::newRow("the next column of a list")
        << QStringList{"corvantis-cli", "rows", "old.csv", "new.csv", "--ignore-columns", "id,n"}
        << "id\\,name";
    QTest::newRow("columns cut at the delimiter given")
        << QStringList{"corvantis-cli", "rows", "--delimiter", "tab", "new.csv", "--key", ""}
        << "auto|id\\,name";
    QTest::newRow("a value after =")
        << QStringList{"corvantis-cli", "rows", "--color", "=", "al"} << "always";
    QTest::newRow("formats") << QStringList{"corvantis-cli", "rows", "--format", ""}
                             << "text|csv|json|html|xlsx";
    QTest::newRow("files after the mode")
        << QStringList{"corvantis-cli", "lines", "ol"} << "old.csv";
}

// The completion script run by bash as it completes a line.
void PackageFilesTest::bashCompletion()
{
    QFETCH(QStringList, words);
    QFETCH(QString, replies);

    const QString bash = QStandardPaths::findExecutable(QStringLiteral("bash"));
    if (bash.isEmpty())
        QSKIP("bash is not installed");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile old(dir.filePath("old.csv"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("\xef\xbb\xbfid;\"Unit price\"\r\n1;2\r\n");
    old.close();
    QFile fresh(dir.filePath("new.csv"));
    QVERIFY(fresh.open(QIODevice::WriteOnly));
    fresh.write("id,name\n");
    fresh.close();

    const QString script =
        QStringLiteral("source \"$1\"; shift; COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); "
                       "_corvantis_cli; IFS='|'; printf '%s' \"${COMPREPLY[*]}\"");
    QProcess p;
    p.setWorkingDirectory(dir.path());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    p.setProcessEnvironment(environment);
    p.start(bash, QStringList{"-c", script, "bash", resource("completion/corvantis-cli")} + words);
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.readAllStandardError(), QByteArray());
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()), replies);
}

QTEST_GUILESS_MAIN(PackageFilesTest)
#include "test_package_files.moc"
