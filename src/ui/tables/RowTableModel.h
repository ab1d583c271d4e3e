#pragma once

#include <memory>
#include <vector>

#include <QAbstractTableModel>
#include <QColor>
#include <QTimer>

#include "tables/TableRows.h"

// The table window's model: a view of the comparison's rows, one model row a
// visible display row, its cells split from the files' bytes when painted
// (no item per cell, so a million rows cost what ten do).
class RowTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Role {
        OldValueRole = Qt::UserRole + 1, // a changed cell's old value
        StatusRole,                      // the row's Tables::Status, as an int
    };

    explicit RowTableModel(QObject *parent = nullptr);

    // Shows `visible` (indices into data's rows) of `data`. Rows past the
    // first 65,536 come in steps, one an event-loop turn (see
    // kRowsAddedAtOnce); rowCount() counts those in so far.
    void show(std::shared_ptr<const Tables::TableData> data, std::vector<qint32> visible);
    void clear();
    // Every row of `visible` in at once (a row past them is asked for).
    void showAllNow();
    // Rows still to come in wait while a new filter is worked out, which
    // would replace them (at ten million rows each step costs the window
    // 13-50 ms), and come in again if it is given up.
    void holdSteps();
    void resumeSteps();
    const std::shared_ptr<const Tables::TableData> &tableData() const { return m_data; }
    // All the rows shown, those still to come in included.
    const std::vector<qint32> &visible() const { return m_visible; }
    const Tables::DisplayRow &displayRow(int row) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    void addRows(qsizetype upTo);
    // The cells of one row, kept while the view paints it.
    void split(int row) const;
    QVariant cellData(int row, int column, int role) const;

    std::shared_ptr<const Tables::TableData> m_data;
    std::vector<qint32> m_visible;
    int m_rows = 0;    // of m_visible, those the views know of
    QTimer m_moreRows; // adds the next step
    // The status colours, made again when the palette changes.
    QColor statusColour(Tables::Status status) const;
    mutable qint64 m_paletteKey = -1;
    mutable QColor m_statusColours[Tables::kStatusCount];

    mutable int m_splitRow = -1;
    mutable Csv::Row m_row1;
    mutable Csv::Row m_row2;
};
