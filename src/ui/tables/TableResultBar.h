#pragma once

#include <QWidget>

class ColumnChangesBar;
class DiskChangeBar;
class QLabel;

namespace Tables {
class TableSession;
}

// What the window says of its result above the table: the bar of files
// changed on disk since, the summary line and the changes per column.
class TableResultBar : public QWidget
{
    Q_OBJECT

public:
    explicit TableResultBar(QWidget *parent = nullptr);

    // The session's result, the column chosen in the summary selected.
    void showResult(const Tables::TableSession &session);
    // No result: why, in the summary's place.
    void showNoResult(const QString &why);
    // The column whose changed rows are shown alone; -1: none.
    void selectColumn(qsizetype mappingColumn);
    // Watches the session's files; the bar names those changed since they
    // were read, once something was compared.
    void watchFiles(const Tables::TableSession &session);
    void showChangedOnDisk(const Tables::TableSession &session);

    QString summary() const;
    QString changedOnDisk() const;

signals:
    void compareAgain();
    // A watched file changed, moved or went: time to check.
    void fileTouched();
    void columnChosen(qsizetype mappingColumn);

private:
    DiskChangeBar *m_changedBar;
    QLabel *m_summary;
    ColumnChangesBar *m_changes;
};
