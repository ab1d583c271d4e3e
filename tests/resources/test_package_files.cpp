// The files the package carries besides the programs: manual pages, the
// Debian changelog and copyright, the AppStream metadata and the license.

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
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
    void cliManualNamesEveryOption();
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

// The manual keeps up with the program: every option --help shows is in it.
void PackageFilesTest::cliManualNamesEveryOption()
{
    QProcess p;
    p.start(QStringLiteral(CORVANTIS_CLI), {QStringLiteral("--help")});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 0);
    const QString help = QString::fromUtf8(p.readAllStandardOutput());
    const QString manual = QString::fromUtf8(readAll(resource("man/corvantis-cli.1")))
                               .replace(QLatin1String("\\-"), QLatin1String("-"));

    QStringList options;
    QRegularExpressionMatchIterator it =
        QRegularExpression(QStringLiteral("(?<![\\w-])(--?[a-z][a-z-]*)")).globalMatch(help);
    while (it.hasNext())
        options << it.next().captured(1);
    options.removeDuplicates();
    QVERIFY2(options.contains(QStringLiteral("--stat")), qPrintable(options.join(' ')));
    for (const QString &option : std::as_const(options)) {
        const QRegularExpression inManual(QStringLiteral("(?<![\\w-])")
                                          + QRegularExpression::escape(option)
                                          + QStringLiteral("(?![\\w-])"));
        QVERIFY2(manual.contains(inManual), qPrintable(option));
    }
}

QTEST_GUILESS_MAIN(PackageFilesTest)
#include "test_package_files.moc"
