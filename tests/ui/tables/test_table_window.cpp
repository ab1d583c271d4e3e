#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include "FakeDialogs.h"
#include "WindowFixture.h"
#include "settings/SettingsBackend.h"
#include "tables/OpenTables.h"
#include "tables/RowTableModel.h"
#include "tables/TableOptionsBar.h"
#include "tables/TableWindow.h"

namespace {

const QByteArray kOld =
    "sku,name,qty\r\nA1,Pen,10\r\nA2,Pad,5\r\nA3,Ink,4\r\nA4,\"Tape, clear\",9\r\n";
const QByteArray kNew = "sku;qty;name\nA4;9;Tape, clear\nA2;7;Pad\nA1;10;Pen\nA5;2;Clip\n";

bool waitForCompare(TableWindow &window)
{
    QSignalSpy compared(&window, &TableWindow::compared);
    return compared.count() > 0 || compared.wait(20000);
}

QByteArray cliReport(const QString &a, const QString &b, const QString &format)
{
    QProcess cli;
    cli.start(QStringLiteral(CORVANTIS_CLI), {"rows", a, b, "--key", "sku", "--format", format});
    cli.waitForFinished(30000);
    return cli.readAllStandardOutput();
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TableWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void fromTheCommandLine();
    void fromTheMainWindow();
    void choicesKeepTheirColumnsByName();
};

// Columns come and go with the files; a column left checked stays checked by
// its name, a comma in it too.
void TableWindowTest::choicesKeepTheirColumnsByName()
{
    TableOptionsBar bar;
    bar.setColumns({"id", "last, first", "2"});
    const QList<QToolButton *> buttons = bar.findChildren<QToolButton *>();
    QCOMPARE(buttons.size(), 2); // the key, the columns to ignore
    for (QAction *action : buttons[1]->menu()->actions()) {
        if (action->text() != QLatin1String("id"))
            action->trigger();
    }
    QCOMPARE(bar.options().ignoreColumns, QStringLiteral("\"last, first\",\"2\""));
    bar.setColumns({"2", "id", "last, first", "new"});
    QCOMPARE(bar.options().ignoreColumns, QStringLiteral("\"2\",\"last, first\""));
}

// corvantis --tables old.csv new.csv --key sku: compare, count, filter, save.
void TableWindowTest::fromTheCommandLine()
{
    WindowFixture fixture;
    const QString old = fixture.writeFile("old.csv", kOld);
    const QString now = fixture.writeFile("new.csv", kNew);
    Platform::MemorySettingsBackend settings;
    TableWindow *window = Tables::openTablesWindow(fixture.dialogs, settings, old, now, "sku");
    QVERIFY(waitForCompare(*window));
    QCOMPARE(window->summaryText(),
             QStringLiteral("1 removed, 1 added, 1 changed (of 4 / 4 rows)"));
    QCOMPARE(window->notes(), QStringList{"Columns in another order in new.csv"});
    RowTableModel &model = window->model();
    QCOMPARE(model.rowCount(), 3); // unchanged rows hidden at first
    const QModelIndex qty = model.index(1, 4);
    QCOMPARE(model.data(model.index(1, 0)).toString(), QStringLiteral("~"));
    QCOMPARE(model.data(qty).toString(), QStringLiteral("7"));
    QCOMPARE(model.data(qty, RowTableModel::OldValueRole).toString(), QStringLiteral("5"));
    QCOMPARE(model.data(qty, Qt::ToolTipRole).toString(), QStringLiteral("5 \u2192 7"));

    window->showStatus(Tables::Status::Unchanged, true);
    QCOMPARE(model.rowCount(), 5);
    window->setFindText(QStringLiteral("TAPE"));
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.data(model.index(0, 5)).toString(), QStringLiteral("Tape, clear"));
    window->setFindText(QString());

    for (const QString format : {"csv", "json"}) {
        const QString path = fixture.writeFile("report." + format, "old report");
        QVERIFY(window->saveReport(path, format == QLatin1String("csv") ? Csv::ReportFormat::Csv
                                                                        : Csv::ReportFormat::Json));
        const QByteArray expected = cliReport(old, now, format);
        QVERIFY(!expected.isEmpty());
        QCOMPARE(fileBytes(path), expected);
    }
    QVERIFY(fixture.dialogs.messages.empty());

    // Other files, other columns: the window finds them a key of their own.
    QVERIFY(window->openFile(0, fixture.writeFile("a.csv", "note,code\nx,1\ny,1\nz,2\n")));
    QVERIFY(window->openFile(1, fixture.writeFile("b.csv", "code,note\n1,x\n2,w\n")));
    window->compare();
    QCOMPARE(window->optionsBar().options().key, QStringLiteral("\"note\""));
    QVERIFY(fixture.dialogs.messages.empty());
    window->close();
    // Remembered in a group of its own: size, splitter, choices, column widths.
    for (const char *key : {"Geometry", "Splitter", "Options", "Columns"})
        QVERIFY2(settings.entries.count(QStringLiteral("Quillfen/TableWindow/") + key), key);
    QVERIFY(settings.entries.at("Quillfen/TableWindow/Columns").startsWith("5 "));
}

// Ctrl+T over the panes: Enter on a row selects its lines there; a pane
// that changes afterwards leaves the table as it was.
void TableWindowTest::fromTheMainWindow()
{
    WindowFixture fixture;
    Form1 &form = *fixture.form;
    form.show();
    form.RichTextBox1->setText(QString::fromUtf8(kOld));
    form.RichTextBox2->setText(QString::fromUtf8(kNew));
    // From the menu of any pane.
    Tables::installTableEntries(form);
    form.RichTextBox4->setEditMenuEnabled(true); // as the window's start-up does
    const std::unique_ptr<QMenu> menu(form.RichTextBox4->createContextMenu());
    QAction *entry = nullptr;
    for (QAction *action : menu->actions()) {
        if (action->text() == QStringLiteral("Compare as Tables\u2026"))
            entry = action;
    }
    QVERIFY(entry);
    entry->trigger();
    TableWindow *window = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (auto *tables = qobject_cast<TableWindow *>(top))
            window = tables;
    }
    QVERIFY(window);
    QVERIFY(waitForCompare(*window));
    // No key was given: the first column unique in both files is proposed.
    QCOMPARE(window->summaryText(),
             QStringLiteral("1 removed, 1 added, 1 changed (of 4 / 4 rows)"));
    RowTableModel &model = window->model();
    QCOMPARE(model.data(model.index(1, 3)).toString(), QStringLiteral("A2"));

    emit window->view().activated(model.index(1, 3));
    const QString line1 = QStringLiteral("A2,Pad,5");
    const QString line2 = QStringLiteral("A2;7;Pad");
    QCOMPARE(form.RichTextBox1->selectedText(), line1);
    QCOMPARE(form.RichTextBox2->selectedText(), line2);

    form.RichTextBox1->setText(QStringLiteral("something else entirely\r\n"));
    form.RichTextBox2->setText(QString());
    QCOMPARE(model.data(model.index(1, 4)).toString(), QStringLiteral("7"));
    QCOMPARE(model.data(model.index(1, 4), RowTableModel::OldValueRole).toString(),
             QStringLiteral("5"));
    window->showStatus(Tables::Status::Unchanged, true); // reads every row again
    QCOMPARE(model.rowCount(), 5);
    emit window->view().activated(model.index(1, 3)); // no longer the panes' lines: nothing
    QCOMPARE(form.RichTextBox1->selectedText(), QString());
    window->close();
}

QTEST_MAIN(TableWindowTest)
#include "test_table_window.moc"
