#pragma once

#include <functional>

#include <QWidget>

#include "csv/RowsReport.h"
#include "tables/ComparedRowsView.h"
#include "tables/ReportSaver.h"
#include "tables/RowFinder.h"
#include "tables/SourceOpener.h"
#include "tables/TableComparing.h"
#include "tables/TableFilterBar.h"
#include "tables/TableFiltering.h"
#include "tables/TableResultBar.h"
#include "tables/TableSession.h"
#include "tables/TableSettings.h"
#include "tables/TableWork.h"

class QLabel;
class QListWidget;
class QSplitter;
class QTableView;
class RichTextBox;
class RowTableModel;
class TableOptionsBar;
class TableSidesBar;

namespace Platform {
class Dialogs;
class SettingsBackend;
} // namespace Platform

// "Compare as Tables": two CSV files (or the main window's panes) compared
// row by row, matched by key, in a resizable window of its own. What is
// compared and shown lives in a Tables::TableSession; this window shows it,
// runs its work off the window's thread and turns input into calls.
class TableWindow : public QWidget
{
    Q_OBJECT

public:
    TableWindow(Platform::Dialogs &dialogs, Platform::SettingsBackend &settings,
                QWidget *parent = nullptr);
    ~TableWindow() override;

    // A side (0 or 1) from a file, a workbook's sheet `sheet` (from 0); false
    // (and a message shown) when it cannot be read.
    bool openFile(int side, const QString &path, int sheet = 0)
    {
        return m_opener.openFile(side, path, sheet);
    }
    // A side from a pane of the main window, read where it lies; `path` the
    // file the pane was loaded from, when known (it names the side).
    void openPane(int side, RichTextBox &pane, const QString &name, const QString &path = {})
    {
        m_opener.openPane(side, pane, name, path);
    }
    // The key as the command line gives it (COLS), used by the next comparison.
    void setKeyColumns(const Csv::ColumnSelection &columns);
    // What Enter or a double click on a row does: the rows' records in each
    // file (-1 where the row is not in that file). Unset: nothing.
    std::function<void(const Csv::Table *table1, qint32 record1, const Csv::Table *table2,
                       qint32 record2)>
        onRowChosen;

    // Reads what needs reading, files changed on disk too, and compares
    // (Enter, F5, Compare, an option changed).
    void compare();
    // Writes the report as corvantis-cli rows --format text|csv|json would.
    bool saveReport(const QString &path, Csv::ReportFormat format)
    {
        return m_reports.save(path, format);
    }
    void showStatus(Tables::Status status, bool shown) { m_filtering->showStatus(status, shown); }
    // Filters at once (the find box, as typed, waits a moment first).
    void setFindText(const QString &text) { m_filtering->setFindText(text); }
    // Only rows changed in this mapping column; -1: all rows.
    void showChangesIn(qsizetype mappingColumn) { m_filtering->showChangesIn(mappingColumn); }
    // Only rows whose cell in a display column equals (or contains) `value`;
    // an empty value clears the filter.
    void filterByValue(int displayColumn, const QString &value, bool equals)
    {
        m_filtering->filterByValue(displayColumn, value, equals);
    }
    void setChangedColumnsOnly(bool only) { m_filtering->setChangedColumnsOnly(only); }
    // F7 / Shift+F7.
    void moveToChangedCell(bool forward);
    void copySelection();
    // Shows the "changed on disk" bar when a file read changed since.
    void checkFilesOnDisk();
    // Columns…: the dialog of renamed columns; the pairs it leaves in use
    // are compared as one column.
    void chooseColumnPairs();

    RowTableModel &model();
    QTableView &view();
    const Tables::TableSession &session() const { return m_session; }
    QString summaryText() const { return m_resultBar->summary(); }
    QStringList notes() const;
    const TableOptionsBar &optionsBar() const { return *m_options; }
    // What the bar above the table says; empty while it is hidden.
    QString changedOnDiskText() const { return m_resultBar->changedOnDisk(); }
    // "12 of 1,234" while finding; "Change 3 of 198" after F7.
    QString findCountText() const { return m_filterBar->findCount(); }
    QString moveNoteText() const { return m_rows->moveNote(); }

signals:
    void compared();
    // The find box's filter, run as typed, is shown.
    void found();

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void build();
    QWidget *buildTablePart(QWidget *parent);
    void buildShortcuts();
    void connectParts();
    void showComparison(const Tables::CompareRequest &request, Tables::CompareOutcome &outcome,
                        bool first);
    void showResult();
    void showNothingCompared(const QString &why);
    void watchFiles();
    void showError(const QString &message);
    void rowChosen(const QModelIndex &index);
    void storeSettings();
    void restoreColumnWidths();

    Platform::Dialogs &m_dialogs;
    Tables::TableSettings m_settings;
    Tables::TableSession m_session;
    TableWork m_work;
    Tables::RowFinder m_finder; // after m_work: it reads under m_work's lock
    SourceOpener m_opener;
    TableComparing m_comparing;
    ReportSaver m_reports;

    TableSidesBar *m_sides = nullptr;
    TableOptionsBar *m_options = nullptr;
    TableResultBar *m_resultBar = nullptr;
    QListWidget *m_notes = nullptr;
    TableFilterBar *m_filterBar = nullptr;
    TableFiltering *m_filtering = nullptr;
    QSplitter *m_splitter = nullptr;
    ComparedRowsView *m_rows = nullptr;
};
