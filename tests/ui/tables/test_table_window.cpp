#include <zip.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QShortcut>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

#include "FakeDialogs.h"
#include "WindowFixture.h"
#include "core/workbook/WorkbookFixtures.h"
#include "runner/BackgroundRun.h"
#include "settings/SettingsBackend.h"
#include "tables/ColumnPairing.h"
#include "tables/ColumnsDialog.h"
#include "tables/OpenTables.h"
#include "tables/ReportFile.h"
#include "tables/RowTableModel.h"
#include "tables/SheetChooser.h"
#include "tables/TableOptionsBar.h"
#include "tables/TableWindow.h"
#include "window/commands/LoadCsvFile.h"

namespace {

// Columns as the options bar gets them, each at its own place in both files.
Csv::ColumnSelection labelled(const QStringList &labels)
{
    Csv::ColumnSelection columns;
    for (qsizetype c = 0; c < labels.size(); ++c)
        columns.push_back(Csv::ColumnChoice::placed(c, c, labels[c]));
    return columns;
}

const QByteArray kOld =
    "sku,name,qty\r\nA1,Pen,10\r\nA2,Pad,5\r\nA3,Ink,4\r\nA4,\"Tape, clear\",9\r\n";
const QByteArray kNew = "sku;qty;name\nA4;9;Tape, clear\nA2;7;Pad\nA1;10;Pen\nA5;2;Clip\n";

bool waitForCompare(TableWindow &window)
{
    QSignalSpy compared(&window, &TableWindow::compared);
    return compared.count() > 0 || compared.wait(20000);
}

QByteArray cliReport(const QString &a, const QString &b, const QString &format,
                     const QStringList &options = {"--key", "sku"},
                     const QString &output = QString())
{
    QProcess cli;
    QStringList arguments = QStringList{"rows", a, b, "--format", format} + options;
    if (!output.isEmpty())
        arguments << "--output" << output;
    cli.start(QStringLiteral(CORVANTIS_CLI), arguments);
    cli.waitForFinished(30000);
    return cli.readAllStandardOutput();
}

// A workbook's parts in the order its directory lists them, but the
// time it was made (docProps/core.xml).
QByteArray workbookParts(const QString &path)
{
    int error = 0;
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &error);
    if (!archive)
        return QByteArray();
    QByteArray parts;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t entry;
        zip_file_t *file = zip_stat_index(archive, zip_uint64_t(i), 0, &entry) == 0
                               ? zip_fopen_index(archive, zip_uint64_t(i), 0)
                               : nullptr;
        if (!file)
            continue;
        QByteArray bytes(qsizetype(entry.size), Qt::Uninitialized);
        const bool read = zip_fread(file, bytes.data(), entry.size) == zip_int64_t(entry.size);
        zip_fclose(file);
        if (read && QByteArrayView(entry.name) != "docProps/core.xml")
            parts += QByteArray(entry.name) + '\n' + bytes;
    }
    zip_discard(archive);
    return parts;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Keyed rows "id,a,b,c", every `changeEvery`th one changed in the second file.
QByteArray generatedRows(int rows, int changeEvery)
{
    QByteArray text = "id,a,b,c\n";
    text.reserve(rows * 32);
    for (int i = 0; i < rows; ++i) {
        const QByteArray id = QByteArray::number(i);
        const bool changed = changeEvery > 0 && i % changeEvery == 0;
        text += id + ",alpha" + id + ",beta," + id + (changed ? "x\n" : "\n");
    }
    return text;
}

QLineEdit *findBox(TableWindow &window)
{
    for (QLineEdit *box : window.findChildren<QLineEdit *>()) {
        if (box->accessibleName() == QLatin1String("Find"))
            return box;
    }
    return nullptr;
}

// A window over two files, compared.
TableWindow *comparedWindow(WindowFixture &fixture, Platform::SettingsBackend &settings,
                            const QString &old, const QString &now, const QString &key = "sku")
{
    TableWindow *window = Tables::openTablesWindow(fixture.dialogs, settings, old, now,
                                                   Csv::parseColumnList(key).columns);
    return waitForCompare(*window) ? window : nullptr;
}

// A file rewritten in place, or replaced under its name as editors do.
void rewrite(const QString &path, const QByteArray &bytes, bool replace)
{
    if (replace) {
        QFile::remove(path + ".new");
        QFile next(path + ".new");
        QVERIFY(next.open(QIODevice::WriteOnly) && next.write(bytes) == bytes.size());
        next.close();
        QVERIFY(QFile::remove(path) && QFile::rename(path + ".new", path));
        return;
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QVERIFY(file.write(bytes) == bytes.size());
}

} // namespace

class TableWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void fromTheCommandLine();
    void fromTheMainWindow();
    void choicesKeepTheirColumnsByName();
    void freshAfterAChangeOnDisk_data();
    void freshAfterAChangeOnDisk();
    void duplicateKeysAndPerColumnChanges();
    void keyboard_data();
    void keyboard();
    void noKeyIsBoundTwice();
    void findAsTyped();
    void namesAreText();
    void choicesRememberedPerPair();
    void renamedColumnsAndDecimalMarks();
    void columnsDialogEditsItsCopy();
    void sheetChosenInTheFileLine_data();
    void sheetChosenInTheFileLine();
    void cancelDuringCompare();
    void cancelAfterAChangeOnDisk();
};

// The dialog turns checks and clicks into the pairing's calls, on a copy:
// what it refuses is said, and the caller's pairing is left as it was.
void TableWindowTest::columnsDialogEditsItsCopy()
{
    const Csv::ReadResult a = Csv::readCsv("id,mail,fax\n1,x,2\n", 0);
    const Csv::ReadResult b = Csv::readCsv("id,email,phone\n1,x,3\n", 0);
    const Tables::ColumnPairing pairing = Tables::ColumnPairing::of(
        a.table, b.table, true, {}, Csv::parseColumnList("id").columns, {});
    ColumnsDialog dialog(pairing);
    auto *list = dialog.findChild<QListWidget *>();
    QCOMPARE(list->count(), 1);
    QVERIFY(list->item(0)->text().startsWith(QStringLiteral("mail \u2192 email")));
    list->item(0)->setCheckState(Qt::Checked);
    QVERIFY(dialog.pairing().pairs()[0].used);
    const QList<QComboBox *> boxes = dialog.findChildren<QComboBox *>();
    QCOMPARE(boxes.size(), 2);
    boxes[0]->setCurrentIndex(2); // fax
    boxes[1]->setCurrentIndex(1); // email: taken by mail
    QPushButton *pair = nullptr;
    QPushButton *remove = nullptr;
    for (QPushButton *button : dialog.findChildren<QPushButton *>()) {
        if (button->text() == QLatin1String("&Pair"))
            pair = button;
        if (button->text() == QLatin1String("&Remove"))
            remove = button;
    }
    pair->click();
    QCOMPARE(list->count(), 1);
    bool said = false;
    for (QLabel *label : dialog.findChildren<QLabel *>())
        said = said || label->text().contains(QLatin1String("paired already"));
    QVERIFY(said);
    boxes[1]->setCurrentIndex(2); // phone
    pair->click();
    QCOMPARE(Tables::renameText(dialog.pairing().renames()[1]),
             QStringLiteral("\"fax\"=\"phone\""));
    list->setCurrentRow(0);
    remove->click();
    QCOMPARE(list->count(), 1);
    QCOMPARE(dialog.pairing().renames().size(), size_t(1));
    QVERIFY(!pairing.pairs()[0].used);
}

// Columns…: a renamed column paired in the dialog compares as one; a decimal
// comma set by hand reads "1,234" as 1.234; the report equals the command
// line's with --map and --decimal-comma; both are offered again next time.
void TableWindowTest::sheetChosenInTheFileLine_data()
{
    QTest::addColumn<QString>("book");
    QTest::newRow("xlsx") << QStringLiteral("xlsxwriter-values.xlsx");
    QTest::newRow("ods") << QStringLiteral("libreoffice-values.ods");
}

// A workbook of two sheets: the chooser beside its name reads the other sheet
// and compares it; a change on disk reads the chosen sheet again.
void TableWindowTest::sheetChosenInTheFileLine()
{
    QFETCH(QString, book);
    WindowFixture fixture;
    const QString path = fixture.writeFile(book, fileBytes(workbookFixture(book)));
    const QString other = fixture.writeFile("people.csv", "id,name\n1,Ann\n2,Bo\n");
    Platform::MemorySettingsBackend settings;
    TableWindow *window = comparedWindow(fixture, settings, path, other, "");
    QVERIFY(window);
    const QList<SheetChooser *> choosers = window->findChildren<SheetChooser *>();
    QCOMPARE(choosers.size(), 2);
    SheetChooser *chooser = choosers[0]->count() > 0 ? choosers[0] : choosers[1];
    QCOMPARE(chooser->count(), 2);
    QCOMPARE(chooser->currentIndex(), 0);
    QVERIFY(!chooser->isHidden());
    QVERIFY((choosers[0] == chooser ? choosers[1] : choosers[0])->isHidden()); // a CSV file

    QSignalSpy compared(window, &TableWindow::compared);
    window->setKeyColumns(Csv::parseColumnList("id").columns);
    chooser->setCurrentIndex(1);
    emit chooser->activated(1);
    QVERIFY(compared.count() > 0 || compared.wait(20000));
    QCOMPARE(window->session().source(0).sheet, 1);
    QVERIFY2(window->session().describe(0).contains(QStringLiteral("sheet Second sheet")),
             qPrintable(window->session().describe(0)));
    QCOMPARE(window->summaryText(),
             QStringLiteral("0 removed, 0 added, 1 changed (of 2 / 2 rows)"));

    // Written again (replaced under its name): read again, the same sheet.
    rewrite(path, fileBytes(workbookFixture(book)), true);
    compared.clear();
    window->compare();
    QVERIFY(compared.count() > 0 || compared.wait(20000));
    QCOMPARE(window->session().source(0).sheet, 1);
    QCOMPARE(chooser->currentIndex(), 1);
    QCOMPARE(window->summaryText(),
             QStringLiteral("0 removed, 0 added, 1 changed (of 2 / 2 rows)"));
    QVERIFY(fixture.dialogs.messages.empty());
    window->close();
}

// Cancel while a large pair is compared: the comparison stops, the window is
// as before with no message, and compares again afterwards.
void TableWindowTest::cancelDuringCompare()
{
    WindowFixture fixture;
    const int rows = 1000000;
    const QString old = fixture.writeFile("big-old.csv", generatedRows(rows, 0));
    const QString now = fixture.writeFile("big-new.csv", generatedRows(rows, 1000));
    Platform::MemorySettingsBackend settings;
    auto *window = new TableWindow(fixture.dialogs, settings);
    window->setProperty(kProgressDelayProperty, 0);
    window->show();
    QVERIFY(window->openFile(0, old));
    QVERIFY(window->openFile(1, now));
    window->setKeyColumns(Csv::parseColumnList("id").columns);
    const QString before = window->summaryText();

    // Cancel once the comparison has shown how far it got.
    int progressSeen = -1;
    QElapsedTimer cancelled;
    QTimer watch;
    watch.setInterval(5);
    connect(&watch, &QTimer::timeout, [&] {
        auto *box = window->findChild<QProgressDialog *>();
        if (progressSeen >= 0 || !box || box->value() <= 0)
            return;
        progressSeen = box->value();
        cancelled.start();
        for (QPushButton *button : box->findChildren<QPushButton *>())
            button->click();
    });
    watch.start();
    QSignalSpy compared(window, &TableWindow::compared);
    window->compare(); // returns once the work has stopped
    watch.stop();
    if (cancelled.isValid()) // a figure to read, not a bound
        qInfo("idle %lld ms after Cancel at %d%%", cancelled.elapsed(), progressSeen);
    QVERIFY2(progressSeen > 0 && progressSeen < 100, qPrintable(QString::number(progressSeen)));
    QCOMPARE(compared.count(), 0);
    QCOMPARE(window->summaryText(), before);
    QVERIFY(!window->session().data());
    QCOMPARE(window->model().rowCount(), 0);
    QVERIFY(fixture.dialogs.messages.empty());

    window->compare();
    QVERIFY(compared.count() > 0 || compared.wait(60000));
    QCOMPARE(window->summaryText(),
             QStringLiteral("0 removed, 0 added, 1,000 changed (of 1,000,000 / 1,000,000 rows)"));
    QVERIFY(fixture.dialogs.messages.empty());
    QVERIFY(window->close()); // not busy
}

// Cancel while a file changed on disk is read again: its old rows are gone,
// and the window says that nothing is compared rather than showing an empty
// table as a result; the bar still offers to compare again.
void TableWindowTest::cancelAfterAChangeOnDisk()
{
    WindowFixture fixture;
    const QString old = fixture.writeFile("big-old.csv", generatedRows(1000000, 0));
    const QString now = fixture.writeFile("big-new.csv", generatedRows(1000000, 1000));
    Platform::MemorySettingsBackend settings;
    TableWindow *window = comparedWindow(fixture, settings, old, now, "id");
    QVERIFY(window);
    window->setProperty(kProgressDelayProperty, 0);
    QTest::qWait(1100); // a file system of coarse times sees the change
    rewrite(now, generatedRows(1000000, 500), true);
    window->checkFilesOnDisk();
    QCOMPARE(window->changedOnDiskText(), QStringLiteral("big-new.csv changed on disk \u2014"));

    QTimer watch;
    watch.setInterval(5);
    bool clicked = false;
    connect(&watch, &QTimer::timeout, [&] {
        auto *box = window->findChild<QProgressDialog *>();
        if (clicked || !box || !box->isVisible())
            return;
        clicked = true;
        for (QPushButton *button : box->findChildren<QPushButton *>())
            button->click();
    });
    watch.start();
    QSignalSpy compared(window, &TableWindow::compared);
    window->compare();
    watch.stop();
    QVERIFY(clicked);
    QCOMPARE(compared.count(), 0);
    QCOMPARE(window->model().rowCount(), 0);
    QCOMPARE(window->summaryText(), QStringLiteral("Nothing compared: Cancel was pressed."));
    QCOMPARE(window->changedOnDiskText(), QStringLiteral("big-new.csv changed on disk \u2014"));
    QVERIFY(window->notes().isEmpty());
    const QString report = fixture.writeFile("report.csv", "untouched");
    QVERIFY(!window->saveReport(report, Csv::ReportFormat::Csv));
    QCOMPARE(fileBytes(report), QByteArray("untouched"));
    QVERIFY(fixture.dialogs.messages.empty());

    window->compare();
    QVERIFY(compared.count() > 0 || compared.wait(60000));
    QCOMPARE(window->summaryText(),
             QStringLiteral("0 removed, 0 added, 2,000 changed (of 1,000,000 / 1,000,000 rows)"));
    QVERIFY(window->changedOnDiskText().isEmpty());
    QVERIFY(window->close());
}

void TableWindowTest::renamedColumnsAndDecimalMarks()
{
    WindowFixture fixture;
    const QString jan = fixture.writeFile(
        "customers_jan.csv", "id;name;email;amount\n1;Ann;a@x;1,234\n2;Bob;b@x;2\n3;Cy;c@x;7\n");
    const QString feb = fixture.writeFile(
        "customers_feb.csv",
        "id,name,email_address,amount\n1,Ann,a@x,1.234\n2,Bob,b@y,2\n3,Cy,c@x,7\n");
    Platform::MemorySettingsBackend settings;
    TableWindow *window = comparedWindow(fixture, settings, jan, feb, "");
    QVERIFY(window);
    QCOMPARE(window->summaryText(),
             QStringLiteral("0 removed, 0 added, 1 changed (of 3 / 3 rows)"));
    QPushButton *columns = nullptr;
    for (QPushButton *button : window->findChildren<QPushButton *>()) {
        if (button->text() == QStringLiteral("Col&umns\u2026"))
            columns = button;
    }
    QVERIFY(columns);

    // Cancelled: nothing changes.
    columns->click();
    QCOMPARE(fixture.dialogs.pairColumnsShown, 1);
    QCOMPARE(window->summaryText(),
             QStringLiteral("0 removed, 0 added, 1 changed (of 3 / 3 rows)"));

    QStringList offered;
    fixture.dialogs.onPairColumns = [&](Tables::ColumnPairing &pairing) {
        for (const Tables::ColumnPair &pair : pairing.pairs())
            offered << pairing.label(pair);
        return pairing.setUsed(0, true).isEmpty();
    };
    QSignalSpy compared(window, &TableWindow::compared);
    columns->click();
    QVERIFY(compared.count() > 0 || compared.wait(20000));
    QCOMPARE(offered, QStringList{"email \u2192 email_address"});
    QCOMPARE(window->summaryText(),
             QStringLiteral("0 removed, 0 added, 2 changed (of 3 / 3 rows)"));

    QToolButton *marks = nullptr;
    for (QToolButton *button : window->findChildren<QToolButton *>()) {
        if (button->accessibleName() == QLatin1String("Decimal marks"))
            marks = button;
    }
    QVERIFY(marks);
    compared.clear();
    for (QAction *action : marks->menu()->actions()) {
        if (action->data().toInt() == 10 + int(Csv::DecimalMark::Comma)) // file 1
            action->trigger();
    }
    QVERIFY(compared.count() > 0 || compared.wait(20000));
    QCOMPARE(window->summaryText(),
             QStringLiteral("0 removed, 0 added, 1 changed (of 3 / 3 rows)"));
    QVERIFY(window->optionsBar().options().rules.numbers);

    const QStringList options{"--key",           "id", "--map", "email=email_address",
                              "--decimal-comma", "1"};
    for (const auto &[format, ending] :
         {std::pair{Csv::ReportFormat::Csv, "csv"}, std::pair{Csv::ReportFormat::Text, "txt"},
          std::pair{Csv::ReportFormat::Html, "html"}}) {
        const QString path = fixture.writeFile(QStringLiteral("report.") + ending, "");
        QVERIFY(window->saveReport(path, format));
        const QByteArray expected =
            cliReport(jan, feb, ending == QLatin1String("txt") ? "text" : ending, options);
        QVERIFY(expected.contains("email"));
        QCOMPARE(fileBytes(path), expected);
    }

    // Ignore case: the html report's rules say so, as the command line's do.
    QCheckBox *ignoreCase = nullptr;
    for (QCheckBox *box : window->findChildren<QCheckBox *>()) {
        if (box->text() == QStringLiteral("Ignore &case"))
            ignoreCase = box;
    }
    QVERIFY(ignoreCase);
    compared.clear();
    ignoreCase->setChecked(true);
    QVERIFY(compared.count() > 0 || compared.wait(20000));
    const QString html = fixture.writeFile("case.html", "");
    QVERIFY(window->saveReport(html, Csv::ReportFormat::Html));
    const QByteArray expected = cliReport(jan, feb, "html", options + QStringList{"--ignore-case"});
    QVERIFY(expected != cliReport(jan, feb, "html", options));
    QCOMPARE(fileBytes(html), expected);
    window->close();

    TableWindow *again = comparedWindow(fixture, settings, jan, feb, "");
    QVERIFY(again);
    QCOMPARE(again->summaryText(), QStringLiteral("0 removed, 0 added, 1 changed (of 3 / 3 rows)"));
    QCOMPARE(int(again->optionsBar().options().decimalMark1), int(Csv::DecimalMark::Comma));
    QCOMPARE(again->session().renames().size(), size_t(1));
    QVERIFY(fixture.dialogs.messages.empty());
    again->close();
}

// The key and the ignored columns chosen for two files are offered again the
// next time files of those names are compared, and only then.
void TableWindowTest::choicesRememberedPerPair()
{
    WindowFixture fixture;
    const QString old = fixture.writeFile("old.csv", kOld);
    const QString now = fixture.writeFile("new.csv", kNew);
    Platform::MemorySettingsBackend settings;
    TableWindow *first = comparedWindow(fixture, settings, old, now, "name");
    QVERIFY(first);
    QToolButton *ignore = first->findChildren<QToolButton *>()[1];
    QSignalSpy compared(first, &TableWindow::compared);
    for (QAction *action : ignore->menu()->actions()) {
        if (action->text() == QLatin1String("qty"))
            action->trigger();
    }
    QVERIFY(compared.count() > 0 || compared.wait(20000));
    QCOMPARE(Csv::columnListText(first->optionsBar().options().ignoreColumns),
             QStringLiteral("\"qty\""));
    first->close();

    TableWindow *again = comparedWindow(fixture, settings, old, now, "");
    QVERIFY(again);
    QCOMPARE(Csv::columnListText(again->optionsBar().options().key), QStringLiteral("\"name\""));
    QCOMPARE(Csv::columnListText(again->optionsBar().options().ignoreColumns),
             QStringLiteral("\"qty\""));
    QCOMPARE(again->summaryText(), QStringLiteral("1 removed, 1 added, 0 changed (of 4 / 4 rows)"));
    again->close();

    // Other names, a guess of their own.
    TableWindow *other = comparedWindow(fixture, settings, fixture.writeFile("x.csv", kOld),
                                        fixture.writeFile("y.csv", kNew), {});
    QVERIFY(other);
    QCOMPARE(Csv::columnListText(other->optionsBar().options().key), QStringLiteral("\"sku\""));
    QCOMPARE(Csv::columnListText(other->optionsBar().options().ignoreColumns), QString());
    other->close();

    // No column is unique alone: the smallest set of columns that is.
    TableWindow *lines = comparedWindow(
        fixture, settings,
        fixture.writeFile("lines1.csv", "order_id,line_no,qty\n1,1,5\n1,2,5\n2,1,5\n"),
        fixture.writeFile("lines2.csv", "order_id,line_no,qty\n1,1,5\n1,2,6\n3,1,6\n"), "");
    QVERIFY(lines);
    QCOMPARE(Csv::columnListText(lines->optionsBar().options().key),
             QStringLiteral("\"order_id\",\"line_no\""));
    QCOMPARE(lines->summaryText(), QStringLiteral("1 removed, 1 added, 1 changed (of 3 / 3 rows)"));
    lines->close();
}

void TableWindowTest::freshAfterAChangeOnDisk_data()
{
    QTest::addColumn<bool>("replace");
    QTest::addColumn<bool>("sameSize");
    QTest::newRow("rewritten in place") << false << false;
    QTest::newRow("replaced under its name") << true << false;
    QTest::newRow("same size, new bytes") << false << true;
}

// F5 after a file changed on disk counts what the file holds now, and the
// window said so before it was asked.
void TableWindowTest::freshAfterAChangeOnDisk()
{
    QFETCH(bool, replace);
    QFETCH(bool, sameSize);
    WindowFixture fixture;
    const QString old = fixture.writeFile("old.csv", kOld);
    const QString now = fixture.writeFile("rows2.csv", kNew);
    Platform::MemorySettingsBackend settings;
    TableWindow *window = comparedWindow(fixture, settings, old, now);
    QVERIFY(window);
    QCOMPARE(window->summaryText(),
             QStringLiteral("1 removed, 1 added, 1 changed (of 4 / 4 rows)"));
    QVERIFY(window->changedOnDiskText().isEmpty());

    // A second apart at least, so that a file system of coarse times sees it.
    QTest::qWait(1100);
    QByteArray changed = kNew;
    changed.replace(sameSize ? "A1;10;Pen" : "A1;10;Pen\n",
                    sameSize ? "A1;11;Pen" : "A1;11;Pens\n");
    rewrite(now, changed, replace);
    window->checkFilesOnDisk();
    QCOMPARE(window->changedOnDiskText(), QStringLiteral("rows2.csv changed on disk \u2014"));
    QCOMPARE(window->summaryText(), // never compared again by itself
             QStringLiteral("1 removed, 1 added, 1 changed (of 4 / 4 rows)"));

    QTest::keyClick(window, Qt::Key_F5);
    QTRY_COMPARE(window->summaryText(),
                 QStringLiteral("1 removed, 1 added, 2 changed (of 4 / 4 rows)"));
    QVERIFY(window->changedOnDiskText().isEmpty());
    const QString report = fixture.writeFile("report.csv", "");
    QVERIFY(window->saveReport(report, Csv::ReportFormat::Csv));
    QCOMPARE(fileBytes(report), cliReport(old, now, "csv"));
    QVERIFY(fixture.dialogs.messages.empty());
    window->close();
}

// Rows of a duplicated key have a status and a filter of their own; the
// per-column summary filters to the rows changed in a column.
void TableWindowTest::duplicateKeysAndPerColumnChanges()
{
    WindowFixture fixture;
    const QString old =
        fixture.writeFile("a.csv", "sku,qty,city\nA1,1,x\nA2,2,y\nA2,3,z\nA3,4,w\nA4,5,v\n");
    const QString now =
        fixture.writeFile("b.csv", "sku,qty,city\nA1,9,q\nA2,2,y\nA3,7,w\nA4,5,v\n");
    Platform::MemorySettingsBackend settings;
    TableWindow *window = comparedWindow(fixture, settings, old, now);
    QVERIFY(window);
    RowTableModel &model = window->model();
    QStringList statuses;
    for (int r = 0; r < model.rowCount(); ++r)
        statuses << model.data(model.index(r, 0)).toString()
                        + model.data(model.index(r, 3)).toString();
    QCOMPARE(statuses, (QStringList{"~A1", "~A3", "!A2", "!A2", "!A2"}));
    window->showStatus(Tables::Status::Duplicate, false);
    QCOMPARE(model.rowCount(), 2);

    QStringList buttons;
    for (QPushButton *button : window->findChildren<QPushButton *>()) {
        if (button->isFlat())
            buttons << button->text();
    }
    QCOMPARE(buttons, (QStringList{"qty 2", "city 1"}));
    window->showChangesIn(2); // city
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.data(model.index(0, 3)).toString(), QStringLiteral("A1"));
    window->showChangesIn(-1);
    window->setChangedColumnsOnly(true);
    window->filterByValue(4, "7", true);
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.data(model.index(0, 3)).toString(), QStringLiteral("A3"));

    // Copy: what the view shows, old and new values, the report's marks.
    window->view().selectAll();
    window->copySelection();
    QCOMPARE(
        QApplication::clipboard()->text(),
        QStringLiteral("Status\tLine 1\tLine 2\tsku\tqty\tcity\n~\t5\t4\tA3\t4 \u2192 7\tw\n"));
    window->close();
}

void TableWindowTest::keyboard_data()
{
    QTest::addColumn<QString>("from"); // the control that has the focus: "find", "table"
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("expected"); // "table", "not table", "closed", "Change n of m"

    QTest::newRow("F7 from the find box") << "find" << int(Qt::Key_F7) << "Change 1 of 2";
    QTest::newRow("Shift+F7 from the find box")
        << "find" << (Qt::SHIFT | Qt::Key_F7).toCombined() << "Change 2 of 2";
    QTest::newRow("Tab leaves the table") << "table" << int(Qt::Key_Tab) << "not table";
    QTest::newRow("Shift+Tab leaves the table")
        << "table" << (Qt::SHIFT | Qt::Key_Backtab).toCombined() << "not table";
    QTest::newRow("Esc closes") << "table" << int(Qt::Key_Escape) << "closed";
    QTest::newRow("Ctrl+W closes") << "find" << (Qt::CTRL | Qt::Key_W).toCombined() << "closed";
    QTest::newRow("Esc in a find box with text clears it")
        << "find with text" << int(Qt::Key_Escape) << "find cleared";
}

void TableWindowTest::keyboard()
{
    QFETCH(QString, from);
    QFETCH(int, key);
    QFETCH(QString, expected);
    WindowFixture fixture;
    // Wide: the key column stays in sight while the rest scrolls.
    QByteArray a = "sku";
    QByteArray b = "sku";
    for (int c = 0; c < 60; ++c) {
        a += ",c" + QByteArray::number(c);
        b += ",c" + QByteArray::number(c);
    }
    a += "\n";
    b += "\n";
    for (int r = 0; r < 300; ++r) {
        QByteArray row = "K" + QByteArray::number(r);
        for (int c = 0; c < 60; ++c)
            row += ",v";
        a += row + "\n";
        if (r == 150 || r == 250)
            row.replace(row.size() - 1, 1, "w");
        b += row + "\n";
    }
    Platform::MemorySettingsBackend settings;
    QPointer<TableWindow> window = comparedWindow(fixture, settings, fixture.writeFile("a.csv", a),
                                                  fixture.writeFile("b.csv", b));
    QVERIFY(window);
    window->showStatus(Tables::Status::Unchanged, true);
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QLineEdit *find = findBox(*window);
    QTableView &table = window->view();
    if (from.startsWith(QLatin1String("find"))) {
        if (from == QLatin1String("find with text"))
            find->setText(QStringLiteral("K1"));
        find->setFocus();
    } else {
        table.setFocus();
        table.setCurrentIndex(window->model().index(3, 5));
    }
    QTRY_VERIFY(
        QApplication::focusWidget()
        == (from.startsWith(QLatin1String("find")) ? static_cast<QWidget *>(find) : &table));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key & ~Qt::KeyboardModifierMask),
                    Qt::KeyboardModifiers(key & Qt::KeyboardModifierMask));
    if (expected == QLatin1String("closed")) {
        QTRY_VERIFY(window.isNull());
        return;
    }
    if (expected == QLatin1String("find cleared")) {
        QVERIFY(!window.isNull());
        QCOMPARE(find->text(), QString());
        window->close();
        return;
    }
    if (expected == QLatin1String("not table")) {
        QVERIFY(QApplication::focusWidget() != &table);
        QCOMPARE(table.currentIndex(), window->model().index(3, 5));
    } else {
        QCOMPARE(QApplication::focusWidget(), &table);
        QCOMPARE(window->moveNoteText(), expected);
        const QModelIndex current = table.currentIndex();
        QCOMPARE(current.column(), 63); // the last column, scrolled into sight
        const QRect cell = table.visualRect(current);
        QVERIFY(table.viewport()->rect().contains(cell.center()));
        QVERIFY(qAbs(cell.center().y() - table.viewport()->height() / 2) <= cell.height());
        // The status, lines and key columns are still on screen, over the rest.
        auto &frozen = static_cast<QTableView &>(*table.findChild<QTableView *>());
        QVERIFY(frozen.isVisible());
        QCOMPARE(frozen.columnWidth(3), table.columnWidth(3));
        const QRect keyCell = frozen.visualRect(frozen.model()->index(current.row(), 3));
        QVERIFY(frozen.viewport()->rect().contains(keyCell.center()));
        QCOMPARE(frozen.viewport()->mapTo(&table, keyCell.topLeft()).x(),
                 table.viewport()->mapTo(&table, QPoint(0, 0)).x() + table.columnWidth(0)
                     + table.columnWidth(1) + table.columnWidth(2));
    }
    window->close();
}

// Typing filters after a moment, the first match in sight and counted.
// A key bound by two shortcuts of one window is ambiguous and fires neither;
// the platform's own Close key (Ctrl+W under X11; the offscreen platform's
// is Ctrl+F4 alone, so only an X11 run of this test sees that clash) is bound once.
void TableWindowTest::noKeyIsBoundTwice()
{
    WindowFixture fixture;
    Platform::MemorySettingsBackend settings;
    QPointer<TableWindow> window = comparedWindow(
        fixture, settings, fixture.writeFile("old.csv", kOld), fixture.writeFile("new.csv", kNew));
    QVERIFY(window);
    QMultiHash<QKeySequence, const QWidget *> bound;
    for (const QShortcut *shortcut : window->findChildren<QShortcut *>()) {
        for (const QKeySequence &key : shortcut->keys()) {
            const QWidget *on = qobject_cast<const QWidget *>(shortcut->parent());
            QVERIFY2(!bound.contains(key, on), qPrintable(key.toString()));
            bound.insert(key, on);
        }
    }
    for (const QKeySequence &key :
         QKeySequence::keyBindings(QKeySequence::Close) + QList{QKeySequence(Qt::CTRL | Qt::Key_W)})
        QVERIFY2(bound.contains(key), qPrintable(key.toString()));
    window->close();
}

void TableWindowTest::findAsTyped()
{
    WindowFixture fixture;
    Platform::MemorySettingsBackend settings;
    TableWindow *window = comparedWindow(fixture, settings, fixture.writeFile("old.csv", kOld),
                                         fixture.writeFile("new.csv", kNew));
    QVERIFY(window);
    window->showStatus(Tables::Status::Unchanged, true);
    QLineEdit *find = findBox(*window);
    QSignalSpy found(window, &TableWindow::found);
    QTest::keyClicks(find, "pe");
    QCOMPARE(window->model().rowCount(), 5); // not yet
    QVERIFY(found.wait(2000));
    QCOMPARE(window->model().rowCount(), 2); // Pen, Tape
    QCOMPARE(window->findCountText(), QStringLiteral("2 of 5"));
    QTest::keyClick(find, Qt::Key_Backspace);
    QTest::keyClick(find, Qt::Key_Backspace);
    QVERIFY(found.wait(2000));
    QCOMPARE(window->model().rowCount(), 5);
    QCOMPARE(window->findCountText(), QString());
    // Esc empties the box: the rows it hid come back with it.
    QTest::keyClicks(find, "pe");
    QVERIFY(found.wait(2000));
    QCOMPARE(window->model().rowCount(), 2);
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    find->setFocus();
    QTest::keyClick(find, Qt::Key_Escape);
    QCOMPARE(find->text(), QString());
    QTRY_COMPARE(window->model().rowCount(), 5);
    QCOMPARE(window->findCountText(), QString());
    window->close();
}

// Names and cells are text: markup in a file name shows as written, a
// right-to-left override in a cell is marked, not obeyed.
void TableWindowTest::namesAreText()
{
    WindowFixture fixture;
#ifdef Q_OS_WIN
    // Windows' names hold no < or >; an entity shows how it is read as well.
    const QString name = "new.csv &middot; 999 rows &amp; more";
#else
    const QString name = "<b>new.csv \u00b7 999 rows \u00b7 delimiter ; \u00b7 UTF-16<!--";
#endif
    Platform::MemorySettingsBackend settings;
    TableWindow *window =
        comparedWindow(fixture, settings, fixture.writeFile("old.csv", "sku,v\nA1,x\n"),
                       fixture.writeFile(name, "sku,v\nA1,a\u202ecba\n"));
    QVERIFY(window);
    bool shown = false;
    for (QLabel *label : window->findChildren<QLabel *>()) {
        if (label->text().contains(name)) {
            shown = true;
            QCOMPARE(label->textFormat(), Qt::PlainText);
        }
    }
    QVERIFY(shown);
    const QModelIndex cell = window->model().index(0, 4);
    QCOMPARE(window->model().data(cell).toString(), QStringLiteral("a\\u202ecba"));
    window->close();

    // A folder and a missing file: both are said.
    fixture.dialogs.messages.clear();
    TableWindow *failed = Tables::openTablesWindow(fixture.dialogs, settings, QDir::tempPath(),
                                                   fixture.writeFile("x", "") + "-missing", {});
    QTRY_COMPARE(fixture.dialogs.messages.size(), size_t(2));
    QVERIFY(fixture.dialogs.messages[0].text.contains("folder"));
    QVERIFY(fixture.dialogs.messages[1].text.contains("-missing"));
    failed->close();

#ifndef Q_OS_WIN
    // A FIFO nobody writes to is refused at once, not waited on for ever.
    fixture.dialogs.messages.clear();
    const QString fifo = fixture.writeFile("fifo", "") + "-pipe";
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    TableWindow *piped = Tables::openTablesWindow(fixture.dialogs, settings, fifo,
                                                  fixture.writeFile("y.csv", kNew), {});
    QTRY_COMPARE(fixture.dialogs.messages.size(), size_t(1));
    QVERIFY(fixture.dialogs.messages[0].text.contains("pipe or a device"));
    piped->close();
#endif
}

// Columns come and go with the files; a column left checked stays checked by
// its name, a comma in it too.
void TableWindowTest::choicesKeepTheirColumnsByName()
{
    TableOptionsBar bar;
    bar.setColumns(labelled({"id", "last, first", "2"}));
    const QList<QToolButton *> buttons = bar.findChildren<QToolButton *>();
    QCOMPARE(buttons.size(), 3); // the key, the columns to ignore, the decimal marks
    for (QAction *action : buttons[1]->menu()->actions()) {
        if (action->text() != QLatin1String("id"))
            action->trigger();
    }
    QCOMPARE(Csv::columnListText(bar.options().ignoreColumns),
             QStringLiteral("\"last, first\",\"2\""));
    bar.setColumns(labelled({"2", "id", "last, first", "new"}));
    QCOMPARE(Csv::columnListText(bar.options().ignoreColumns),
             QStringLiteral("\"2\",\"last, first\""));

    // Seven long key columns: the button stays narrow, the tooltip names them all.
    QStringList names;
    std::vector<qsizetype> key;
    for (int c = 0; c < 7; ++c) {
        names << QStringLiteral("customer_reference_column_%1").arg(c);
        key.push_back(c);
    }
    bar.setColumns(labelled(names));
    const int before = buttons[0]->sizeHint().width();
    bar.setKey(key);
    QVERIFY(buttons[0]->sizeHint().width() <= before + 300);
    QVERIFY(buttons[0]->sizeHint().width() < 400);
    for (const QString &name : names)
        QVERIFY(buttons[0]->toolTip().contains(name));
}

// corvantis --tables old.csv new.csv --key sku: compare, count, filter, save.
void TableWindowTest::fromTheCommandLine()
{
    WindowFixture fixture;
    const QString old = fixture.writeFile("old.csv", kOld);
    const QString now = fixture.writeFile("new.csv", kNew);
    Platform::MemorySettingsBackend settings;
    TableWindow *window = Tables::openTablesWindow(fixture.dialogs, settings, old, now,
                                                   Csv::parseColumnList("sku").columns);
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

    for (const QString format : {"csv", "json", "html", "xlsx"}) {
        const QString path = fixture.writeFile("report." + format, "old report");
        QVERIFY(window->saveReport(path, Tables::reportFormatFor(path)));
        if (format == QLatin1String("xlsx")) {
            const QString cliPath = fixture.writeFile("cli.xlsx", "");
            cliReport(old, now, format, {"--key", "sku"}, cliPath);
            const QByteArray parts = workbookParts(path);
            QVERIFY(parts.contains("xl/worksheets/sheet1.xml\n<?xml"));
            QCOMPARE(parts, workbookParts(cliPath));
            continue;
        }
        const QByteArray expected = cliReport(old, now, format);
        QVERIFY(!expected.isEmpty());
        QCOMPARE(fileBytes(path), expected);
    }
    QVERIFY(fixture.dialogs.messages.empty());

    // Save Report…: every format is offered; the name's ending chooses one.
    QPushButton *save = nullptr;
    for (QPushButton *button : window->findChildren<QPushButton *>()) {
        if (button->text() == QStringLiteral("&Save Report…"))
            save = button;
    }
    QVERIFY(save);
    const QString chosen = fixture.writeFile("chosen.html", "");
    fixture.dialogs.fileNames.push_back(chosen);
    save->click();
    QVERIFY(!fixture.dialogs.fileDialogs.empty());
    const QString filter = fixture.dialogs.fileDialogs.back().filter;
    QCOMPARE(filter, Tables::reportFileFilter());
    QVERIFY(filter.contains("*.html") && filter.contains("*.xlsx"));
    QCOMPARE(fileBytes(chosen), cliReport(old, now, "html"));

    // Other files, other columns: the window finds them a key of their own.
    QVERIFY(window->openFile(0, fixture.writeFile("a.csv", "note,code\nx,1\ny,1\nz,2\n")));
    QVERIFY(window->openFile(1, fixture.writeFile("b.csv", "code,note\n1,x\n2,w\n")));
    window->compare();
    QCOMPARE(Csv::columnListText(window->optionsBar().options().key), QStringLiteral("\"note\""));
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

    // Panes loaded from files: the window names the files, until a pane's
    // text comes from elsewhere.
    RTB::LoadFileIn1(form, fixture.writeFile("old.csv", kOld));
    RTB::LoadFileIn2(form, fixture.writeFile("new.csv", kNew));
    TableWindow *named = Tables::openTablesFromMain(form);
    QVERIFY(waitForCompare(*named));
    QCOMPARE(named->notes(), QStringList{"Columns in another order in new.csv"});
    QVERIFY(named->session().describe(0).startsWith("File #1: old.csv"));
    named->close();
    form.RichTextBox2->setText(QString::fromUtf8(kNew));
    TableWindow *typed = Tables::openTablesFromMain(form);
    QVERIFY(waitForCompare(*typed));
    QCOMPARE(typed->notes(), QStringList{"Columns in another order in CSV File #2"});
    typed->close();
}

QTEST_MAIN(TableWindowTest)
#include "test_table_window.moc"
