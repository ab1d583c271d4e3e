// corvantis-cli rows, lines and words on workbooks: a sheet compared as CSV
// text, --sheet, --sheet1 and --sheet2, and hostile workbooks refused.
#include <QTest>

#include "CliRun.h"
#include "core/workbook/WorkbookBytes.h"
#include "core/workbook/WorkbookFixtures.h"

using namespace Qt::StringLiterals;

class CliWorkbooksTest : public QObject
{
    Q_OBJECT

private slots:
    void workbooks_data();
    void workbooks();
};

void CliWorkbooksTest::workbooks_data()
{
    // Arguments name fixtures as "@NAME" and the files the test writes as
    // "second.csv", "locked.xlsx" and "wide.ods".
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stdoutHas");
    QTest::addColumn<QString>("stderrHas");
    const QString x = u"@libreoffice-values.xlsx"_s, o = u"@libreoffice-values.ods"_s,
                  w = u"@xlsxwriter-values.xlsx"_s;

    QTest::newRow("rows: the same sheet as .xlsx and .ods")
        << QStringList{u"rows"_s, x, o} << 0 << QString() << QString();
    QTest::newRow("rows: --sheet by name, for both")
        << QStringList{u"rows"_s, w, o, u"--sheet"_s, u"Second sheet"_s, u"--key"_s, u"id"_s} << 0
        << QString() << QString();
    QTest::newRow("rows: --sheet2 by number against a CSV file")
        << QStringList{u"rows"_s, u"second.csv"_s, w, u"--sheet2=2"_s, u"--key"_s, u"id"_s} << 1
        << u"Bobby"_s << QString();
    QTest::newRow("rows: the first sheet by default")
        << QStringList{u"rows"_s, x, w, u"--key"_s, u"kind"_s, u"--format"_s, u"csv"_s} << 1
        << u"repeated"_s << QString();
    QTest::newRow("rows: no such sheet")
        << QStringList{u"rows"_s, x, o, u"--sheet"_s, u"Nope"_s} << 2 << QString()
        << u"has no sheet \"Nope\" (its sheets: Values, Second sheet)"_s;
    QTest::newRow("rows: --sheet1 for a file that is no workbook")
        << QStringList{u"rows"_s, u"second.csv"_s, w, u"--sheet1"_s, u"1"_s} << 2 << QString()
        << u"second.csv: a sheet is asked for, but it is not a workbook"_s;
    QTest::newRow("rows: --sheet and no workbook")
        << QStringList{u"rows"_s, u"second.csv"_s, u"second.csv"_s, u"--sheet"_s, u"1"_s} << 2
        << QString() << u"--sheet is given, but neither file is a workbook"_s;
    QTest::newRow("lines: a sheet against its CSV text")
        << QStringList{u"lines"_s, w, u"second.csv"_s, u"--sheet1"_s, u"Second sheet"_s} << 1
        << u"2,Bobby"_s << QString();
    QTest::newRow("words: two workbooks, second sheets")
        << QStringList{u"words"_s, w, o, u"--sheet"_s, u"2"_s, u"--stat"_s} << 0 << QString()
        << QString();
    QTest::newRow("rows: a password-protected workbook")
        << QStringList{u"rows"_s, u"locked.xlsx"_s, x} << 2 << QString()
        << u"locked.xlsx: password-protected workbooks are not supported"_s;
    QTest::newRow("lines: a zip's signature and no zip")
        << QStringList{u"lines"_s, u"broken.xlsx"_s, u"second.csv"_s} << 2 << QString()
        << u"broken.xlsx: the workbook is damaged or truncated"_s;
    QTest::newRow("lines: a billion repeated columns")
        << QStringList{u"lines"_s, x, u"wide.ods"_s} << 2 << QString()
        << u"wide.ods: the sheet is refused: it claims more than 16384 columns"_s;
}

void CliWorkbooksTest::workbooks()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, stdoutHas);
    QFETCH(QString, stderrHas);
    CliRun cli;
    QVERIFY(cli.isValid());
    cli.write(u"second.csv"_s, "id,name\n1,Ann\n2,Bobby\n");
    cli.write(u"locked.xlsx"_s,
              QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + QByteArray(504, '\0')
                  + QByteArray("E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0", 32));
    cli.write(u"broken.xlsx"_s, QByteArray("PK\x03\x04id,name\n1,Ann\n"));
    cli.write(u"wide.ods"_s, WorkbookBytes::odsTable(
                                 "<table:table-row><table:table-cell "
                                 "table:number-columns-repeated=\"1000000000\"><text:p>x</text:p>"
                                 "</table:table-cell></table:table-row>"));
    for (QString &argument : arguments)
        if (argument.startsWith(u'@'))
            argument = workbookFixture(argument.mid(1));

    const CliRun::Result result = cli.run(arguments);

    QCOMPARE(result.exitCode, exitCode);
    QVERIFY2(result.out.contains(stdoutHas.toUtf8()), result.out.constData());
    QVERIFY2(result.err.contains(stderrHas.toUtf8()), result.err.constData());
    if (stderrHas.isEmpty())
        QCOMPARE(result.err, QByteArray());
}

QTEST_APPLESS_MAIN(CliWorkbooksTest)
#include "test_cli_workbooks.moc"
