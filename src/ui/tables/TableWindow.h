#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <shared_mutex>

#include <QFuture>
#include <QWidget>

#include "csv/RowsReport.h"
#include "tables/TableSession.h"

class ColumnChangesBar;
class DiskChangeBar;
class FrozenColumnsView;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSplitter;
class QTableView;
class QTimer;
class RichTextBox;
class RowTableModel;
class SheetChooser;
class TableOptionsBar;

namespace Compare {
struct Progress;
}
namespace Csv {
class WorkControl;
}
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
    bool openFile(int side, const QString &path, int sheet = 0);
    // A side from a pane of the main window, read where it lies; `path` the
    // file the pane was loaded from, when known (it names the side).
    void openPane(int side, RichTextBox &pane, const QString &name, const QString &path = {});
    // The key as the command line gives it (COLS), used by the next comparison.
    void setKeyColumns(const QString &columns);
    // What Enter or a double click on a row does: the rows' records in each
    // file (-1 where the row is not in that file). Unset: nothing.
    std::function<void(const Csv::Table *table1, qint32 record1, const Csv::Table *table2,
                       qint32 record2)>
        onRowChosen;

    // Reads what needs reading, files changed on disk too, and compares
    // (Enter, F5, Compare, an option changed).
    void compare();
    // Writes the report as corvantis-cli rows --format text|csv|json would.
    bool saveReport(const QString &path, Csv::ReportFormat format);
    void showStatus(Tables::Status status, bool shown);
    // Filters at once (the find box, as typed, waits a moment first).
    void setFindText(const QString &text);
    // Only rows changed in this mapping column; -1: all rows.
    void showChangesIn(qsizetype mappingColumn);
    // Only rows whose cell in a display column equals (or contains) `value`;
    // an empty value clears the filter.
    void filterByValue(int displayColumn, const QString &value, bool equals);
    void setChangedColumnsOnly(bool only);
    // F7 / Shift+F7.
    void moveToChangedCell(bool forward);
    void copySelection();
    // Shows the "changed on disk" bar when a file read changed since.
    void checkFilesOnDisk();
    // Columns…: the dialog of renamed columns; the pairs it leaves in use
    // are compared as one column.
    void chooseColumnPairs();

    RowTableModel &model() { return *m_model; }
    QTableView &view();
    const Tables::TableSession &session() const { return m_session; }
    QString summaryText() const;
    QStringList notes() const;
    const TableOptionsBar &optionsBar() const { return *m_options; }
    // What the bar above the table says; empty while it is hidden.
    QString changedOnDiskText() const;
    // "12 of 1,234" while finding; "Change 3 of 198" after F7.
    QString findCountText() const;
    QString moveNoteText() const;

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
    void chooseFile(int side);
    void chooseSheet(int side, int sheet);
    void chooseReport();
    void showResult();
    void showNothingCompared(const QString &why);
    void rememberChoices();
    // Runs the session's filter and sort and shows its rows (the one path
    // for status filters, find, column filters and sort).
    void refilter();
    void findAsTyped();
    void showVisible(std::vector<qint32> visible);
    void sortBy(int column);
    void updateCounts();
    void updateFindCount();
    void updateSideLabels();
    void updateHiddenColumns();
    void watchFiles();
    void headerMenu(int column, const QPoint &where);
    void showMoveNote(const QString &text);
    void showError(const QString &message);
    void rowChosen(const QModelIndex &index);
    void paneAboutToChange();
    void restoreSettings();
    void storeSettings();
    void restoreColumnWidths();
    // Runs work off the window's thread, showing progress after a moment
    // (`progress`'s, when given). With `control`, Cancel cancels it.
    bool inBackground(const QString &label, const std::function<void()> &work,
                      bool cancellable = false, Compare::Progress *progress = nullptr,
                      Csv::WorkControl *control = nullptr);

    Platform::Dialogs &m_dialogs;
    Platform::SettingsBackend &m_settings;
    Tables::TableSession m_session;
    bool m_busy = false;
    bool m_compareAgain = false;
    bool m_changedColumnsOnly = false;
    // Taken shared by work that reads a pane's bytes, exclusively before the
    // pane's text changes.
    std::shared_mutex m_paneBytes;
    // The find run in the background, if any, stops when this turns true.
    std::shared_ptr<std::atomic_bool> m_findStop;
    QFuture<std::vector<qint32>> m_findTask; // the find as typed on a worker, if any

    std::array<QLabel *, 2> m_sideLabels{};
    std::array<SheetChooser *, 2> m_sheetChoosers{};
    TableOptionsBar *m_options = nullptr;
    DiskChangeBar *m_changedBar = nullptr;
    QLabel *m_summary = nullptr;
    ColumnChangesBar *m_changes = nullptr;
    QCheckBox *m_changedOnly = nullptr;
    QListWidget *m_notes = nullptr;
    std::array<QCheckBox *, Tables::kStatusCount> m_filters{};
    QLineEdit *m_find = nullptr;
    QLabel *m_findCount = nullptr;
    QTimer *m_findTimer = nullptr;
    QPushButton *m_save = nullptr;
    QSplitter *m_splitter = nullptr;
    FrozenColumnsView *m_view = nullptr;
    RowTableModel *m_model = nullptr;
    QLabel *m_moveNote = nullptr;
    QTimer *m_moveNoteTimer = nullptr;
};
