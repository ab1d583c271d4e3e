#include "tables/OpenTables.h"

#include <QFileInfo>
#include <QShortcut>
#include <QTimer>

#include "csv/CsvReader.h"
#include "pane/RichTextBox.h"
#include "tables/TableWindow.h"
#include "window/Form1.h"
#include "window/PaneMenu.h"

namespace Tables {

namespace {

// Selects a record's line in a pane that shows the bytes the table was read from.
void selectRecord(RichTextBox &pane, const Csv::Table *table, qint32 record)
{
    if (!table || record < 0)
        return;
    const QByteArrayView bytes = pane.bytes();
    const qint64 start = table->recordStart(record);
    if (start >= bytes.size())
        return;
    qint64 end = start;
    while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n')
        ++end;
    pane.selectBytes(start, end - start);
    pane.ensureLineVisible(pane.buffer().lineOf(start));
}

// A pane's caption when no file was loaded into it.
QString paneName(int file)
{
    return QObject::tr("CSV File #%1").arg(file);
}

} // namespace

TableWindow *openTablesFromMain(Form1 &form)
{
    auto *window = new TableWindow(form.dialogs(), form.settings());
    window->openPane(0, *form.RichTextBox1, paneName(1), form.loadedFile(1));
    window->openPane(1, *form.RichTextBox2, paneName(2), form.loadedFile(2));
    QPointer<Form1> main(&form);
    window->onRowChosen = [main](const Csv::Table *table1, qint32 record1, const Csv::Table *table2,
                                 qint32 record2) {
        if (!main)
            return;
        // The full files show in the panes of "Display all lines".
        if (!main->RichTextBox1->isVisible())
            main->setOptionValue(main->Option1, true);
        selectRecord(*main->RichTextBox1, table1, record1);
        selectRecord(*main->RichTextBox2, table2, record2);
        main->activateWindow();
        main->raise();
        (record1 >= 0 ? main->RichTextBox1 : main->RichTextBox2)->setFocus();
    };
    window->show();
    QTimer::singleShot(0, window, &TableWindow::compare);
    return window;
}

void installTableEntries(Form1 &form)
{
    auto *shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_T), &form);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, &form, [&form] { openTablesFromMain(form); });
    form.paneMenu().addEntry(QObject::tr("Compare as Tables\u2026"),
                             [&form](RichTextBox &) { openTablesFromMain(form); });
}

TableWindow *openTablesWindow(Platform::Dialogs &dialogs, Platform::SettingsBackend &settings,
                              const QString &file1, const QString &file2,
                              const Csv::ColumnSelection &key)
{
    auto *window = new TableWindow(dialogs, settings);
    window->show();
    if (!key.empty())
        window->setKeyColumns(key);
    QTimer::singleShot(0, window, [window, file1, file2] {
        // Each side that can be read is opened, whatever the other gives.
        const bool first = !file1.isEmpty() && window->openFile(0, file1);
        const bool second = !file2.isEmpty() && window->openFile(1, file2);
        if (first && second)
            window->compare();
    });
    return window;
}

} // namespace Tables
