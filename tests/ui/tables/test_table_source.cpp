// A table window's file read as a table: a workbook gives the CSV text of a
// sheet, and the sheet chooser offers the others.
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "base/AppError.h"
#include "tables/SheetChooser.h"
#include "tables/TableSource.h"

using namespace Qt::StringLiterals;

namespace {

QString fixture(const QString &name)
{
    return QStringLiteral(CORVANTIS_SOURCE_DIR "/tests/core/workbook/fixtures/") + name;
}

} // namespace

class TestTableSource : public QObject
{
    Q_OBJECT

private slots:
    void workbookSheet_data();
    void workbookSheet();
    void refusedWorkbook();
    void chooser();
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
    const TableSource source = TableSource::fromFile(fixture(book), sheet);
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
    TableSource book = TableSource::fromFile(fixture(u"libreoffice-values.xlsx"_s), 1);
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

QTEST_MAIN(TestTableSource)
#include "test_table_source.moc"
