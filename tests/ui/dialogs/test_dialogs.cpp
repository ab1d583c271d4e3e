// How the file dialog's filter and multiple selection are translated.
#include <QDir>
#include <QTest>

#include "dialogs/Dialogs.h"

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void qtFilter_data();
    void qtFilter();
    void joinSelection_data();
    void joinSelection();
};

void TestDialogs::qtFilter_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("expected");
    QTest::newRow("open") << "CSV Files (*.csv)|*.csv|All Files (*.*)|*.*|"
                          << "CSV Files (*.csv);;All Files (*.*)";
    QTest::newRow("save, no blank before the parenthesis")
        << "Text Files(*.txt)|*.txt|All Files (*.*)|*.*|"
        << "Text Files(*.txt);;All Files (*.*)";
    QTest::newRow("label patterns differ from the real ones") << "Lists (*.lst)|*.csv|"
                                                              << "Lists (*.csv)";
    QTest::newRow("several patterns") << "Data|*.csv;*.txt|"
                                      << "Data (*.csv *.txt)";
    QTest::newRow("empty") << ""
                           << "";
}

void TestDialogs::qtFilter()
{
    QFETCH(QString, filter);
    QFETCH(QString, expected);
    QCOMPARE(Platform::qtFilter(filter), expected);
}

void TestDialogs::joinSelection_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QString>("expected");
    const QChar nul(0);
    QTest::newRow("nothing (cancelled)") << QStringList{} << QString();
    QTest::newRow("one file") << QStringList{"/data/a.csv"} << "/data/a.csv";
    QTest::newRow("several files") << QStringList{"/data/a.csv", "/data/b.csv"}
                                   << QString("/data") + nul + "a.csv" + nul + "b.csv";
    QTest::newRow("in the root folder")
        << QStringList{"/a.csv", "/b.csv"} << QString("/") + nul + "a.csv" + nul + "b.csv";
}

void TestDialogs::joinSelection()
{
    QFETCH(QStringList, paths);
    QFETCH(QString, expected);
    QCOMPARE(Platform::joinSelection(paths), expected);
}

QTEST_MAIN(TestDialogs)
#include "test_dialogs.moc"
