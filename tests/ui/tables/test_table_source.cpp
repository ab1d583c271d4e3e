// A table window's file read as a table: a workbook gives the CSV text of a
// sheet, and the sheet chooser offers the others.
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "base/AppError.h"
#include "core/workbook/WorkbookFixtures.h"
#include "tables/SheetChooser.h"
#include "tables/SourceOpener.h"
#include "tables/TableSource.h"

using namespace Qt::StringLiterals;

class TestTableSource : public QObject
{
    Q_OBJECT

private slots:
    void workbookSheet_data();
    void workbookSheet();
    void refusedWorkbook();
    void chooser();
    void droppedFiles_data();
    void droppedFiles();
};

void TestTableSource::workbookSheet_data()
{
    QTest::addColumn<QString>("book");
    QTest::addColumn<int>("sheet");
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<QString>("line");
    QTest::newRow("xlsx, first sheet") << u"xlsxwriter-values.xlsx"_s << 0
                                       << QByteArray("kind,value,more\r\ntext,plain words,\r\n")
                                       << u"xlsxwriter-values.xlsx · sheet Values · UTF-8"_s;
    QTest::newRow("ods, second sheet")
        << u"libreoffice-values.ods"_s << 1 << QByteArray("id,name\r\n1,Ann\r\n2,Bob\r\n")
        << u"libreoffice-values.ods · sheet Second sheet · UTF-8"_s;
}

void TestTableSource::workbookSheet()
{
    QFETCH(QString, book);
    QFETCH(int, sheet);
    QFETCH(QByteArray, start);
    QFETCH(QString, line);
    const TableSource source = TableSource::fromFile(workbookFixture(book), sheet);
    QVERIFY2(source.bytes.startsWith(start), source.bytes.constData());
    QCOMPARE(source.sheets, QStringList({u"Values"_s, u"Second sheet"_s}));
    QCOMPARE(source.sheet, sheet);
    QCOMPARE(source.describe(-1, ','), line);
}

void TestTableSource::refusedWorkbook()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"locked.xlsx"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + QByteArray(504, '\0')
               + QByteArray("E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0", 32));
    file.close();
    try {
        TableSource::fromFile(path);
        QFAIL("a password-protected workbook was read");
    } catch (const AppError &error) {
        QCOMPARE(error.description(),
                 u"Cannot open "_s + path + u": password-protected workbooks are not supported"_s);
    }
}

// Shown for a workbook of several sheets only; a choice of another sheet is
// announced, the one shown is not.
void TestTableSource::chooser()
{
    SheetChooser chooser;
    chooser.show();
    QSignalSpy chosen(&chooser, &SheetChooser::sheetChosen);
    TableSource text;
    chooser.showSheets(text);
    QVERIFY(chooser.isHidden());
    TableSource book = TableSource::fromFile(workbookFixture(u"libreoffice-values.xlsx"_s), 1);
    chooser.showSheets(book);
    QVERIFY(!chooser.isHidden());
    QCOMPARE(chooser.count(), 2);
    QCOMPARE(chooser.currentText(), u"Second sheet"_s);
    QCOMPARE(chosen.count(), 0);
    emit chooser.activated(1);
    QCOMPARE(chosen.count(), 0);
    emit chooser.activated(0);
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.front().front().toInt(), 0);
    book.sheets = {u"<b>only</b>"_s};
    chooser.showSheets(book);
    QVERIFY(chooser.isHidden());
}

// Files dropped on the window: local ones only, two filling both sides
// whatever side they fell on, one going to that side.
void TestTableSource::droppedFiles_data()
{
    QTest::addColumn<QStringList>("urls");
    QTest::addColumn<int>("droppedOn");
    QTest::addColumn<QStringList>("expected"); // "side:path", in the order opened

    const QString a = u"file:///data/a.csv"_s;
    const QString b = u"file:///data/b.csv"_s;
    const QString web = u"https://example.org/c.csv"_s;
    QTest::newRow("one on the left") << QStringList{a} << 0 << QStringList{u"0:/data/a.csv"_s};
    QTest::newRow("one on the right") << QStringList{a} << 1 << QStringList{u"1:/data/a.csv"_s};
    QTest::newRow("two on the right")
        << QStringList{a, b} << 1 << QStringList{u"0:/data/a.csv"_s, u"1:/data/b.csv"_s};
    QTest::newRow("three: the first two") << QStringList{b, a, u"file:///data/d.csv"_s} << 0
                                          << QStringList{u"0:/data/b.csv"_s, u"1:/data/a.csv"_s};
    QTest::newRow("a web address is left out")
        << QStringList{web, b} << 1 << QStringList{u"1:/data/b.csv"_s};
    QTest::newRow("nothing local") << QStringList{web} << 0 << QStringList{};
    QTest::newRow("nothing") << QStringList{} << 1 << QStringList{};
}

void TestTableSource::droppedFiles()
{
    QFETCH(QStringList, urls);
    QFETCH(int, droppedOn);
    QFETCH(QStringList, expected);
    QList<QUrl> dropped;
    for (const QString &url : urls)
        dropped << QUrl(url);
    QStringList opened;
    for (const Tables::DroppedFile &file : Tables::droppedFiles(dropped, droppedOn))
        opened << QStringLiteral("%1:%2").arg(file.side).arg(file.path);
    QCOMPARE(opened, expected);
}

QTEST_MAIN(TestTableSource)
#include "test_table_source.moc"
