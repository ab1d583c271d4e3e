#pragma once

#include <array>
#include <functional>
#include <memory>
#include <shared_mutex>

#include <QWidget>

#include "csv/RowsReport.h"
#include "tables/TableRows.h"
#include "tables/TableSource.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSplitter;
class QTableView;
class RichTextBox;
class RowTableModel;
class TableOptionsBar;

namespace Platform {
class Dialogs;
class SettingsBackend;
} // namespace Platform

// "Compare as Tables": two CSV files (or the main window's panes) compared
// row by row, matched by key, in a resizable window of its own. The work runs
// off the window's thread; the table is a model over the comparison.
class TableWindow : public QWidget
{
    Q_OBJECT

public:
    TableWindow(Platform::Dialogs &dialogs, Platform::SettingsBackend &settings,
                QWidget *parent = nullptr);
    ~TableWindow() override;

    // A side (0 or 1) from a file; false (and a message shown) when it cannot be read.
    bool openFile(int side, const QString &path);
    // A side from a pane of the main window, read where it lies.
    void openPane(int side, RichTextBox &pane, const QString &name);
    // The key as the command line gives it (COLS), used by the next comparison.
    void setKeyColumns(const QString &columns);
    // What Enter or a double click on a row does: the rows' records in each
    // file (-1 where the row is not in that file). Unset: nothing.
    std::function<void(const Csv::Table *table1, qint32 record1, const Csv::Table *table2,
                       qint32 record2)>
        onRowChosen;

    // Reads what needs reading and compares (Enter, F5, an option changed).
    void compare();
    // Writes the report as corvantis-cli rows --format csv|json would.
    bool saveReport(const QString &path, Csv::ReportFormat format);
    void showStatus(Tables::Status status, bool shown);
    void setFindText(const QString &text);
    // F7 / Shift+F7.
    void moveToChangedCell(bool forward);
    void copySelection();

    RowTableModel &model() { return *m_model; }
    QTableView &view() { return *m_view; }
    QString summaryText() const;
    QStringList notes() const;
    const TableOptionsBar &optionsBar() const { return *m_options; }

signals:
    void compared();

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void build();
    void buildShortcuts();
    void chooseFile(int side);
    void chooseReport();
    bool readSides();
    void showResult(std::shared_ptr<Tables::TableData> data);
    void refilter();
    void sortBy(int column, Qt::SortOrder order);
    void updateCounts();
    void updateSideLabels();
    void showError(const QString &message);
    void rowChosen(const QModelIndex &index);
    void paneAboutToChange();
    void restoreSettings();
    void storeSettings();
    void restoreColumnWidths();
    // Runs work off the window's thread, showing progress after a moment.
    bool inBackground(const QString &label, const std::function<void()> &work,
                      bool cancellable = false);

    Platform::Dialogs &m_dialogs;
    Platform::SettingsBackend &m_settings;
    std::array<TableSource, 2> m_sources;
    std::array<std::shared_ptr<const Csv::Table>, 2> m_tables; // read from m_sources
    std::array<char, 2> m_readWith{{0, 0}};                    // the delimiter each was read with
    std::array<bool, 2> m_readHeader{{true, true}};
    std::shared_ptr<Tables::TableData> m_data;
    QString m_requestedKey; // from the command line, until a comparison uses it
    bool m_keyPreset = false;
    bool m_shown[Tables::kStatusCount] = {true, true, true, false};
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    bool m_busy = false;
    bool m_compareAgain = false;
    // Taken shared by work that reads a pane's bytes, exclusively before the
    // pane's text changes.
    std::shared_mutex m_paneBytes;

    std::array<QLabel *, 2> m_sideLabels{};
    TableOptionsBar *m_options = nullptr;
    QLabel *m_summary = nullptr;
    QListWidget *m_notes = nullptr;
    std::array<QCheckBox *, Tables::kStatusCount> m_filters{};
    QLineEdit *m_find = nullptr;
    QPushButton *m_save = nullptr;
    QSplitter *m_splitter = nullptr;
    QTableView *m_view = nullptr;
    RowTableModel *m_model = nullptr;
};
