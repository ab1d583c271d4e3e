#pragma once

#include <atomic>
#include <memory>
#include <shared_mutex>
#include <vector>

#include <QFuture>
#include <QObject>

#include "tables/RowFilter.h"

namespace Tables {

// Runs the table's filter as the find box is typed into: a small table at
// once, a large one on a worker thread, each newer find dropping the one
// before. Needs no widget.
class RowFinder : public QObject
{
    Q_OBJECT

public:
    // `bytes` is taken shared while a worker reads the tables (see TableWork).
    explicit RowFinder(std::shared_mutex &bytes, QObject *parent = nullptr);
    // Waits for a find still running: it reads the tables and the lock.
    ~RowFinder() override;

    // found() comes with the rows of `data` that pass `filter` (at once for
    // a small table); a find not yet answered never will be.
    void find(std::shared_ptr<const TableData> data, const RowFilter &filter);
    // The find running, if any, ends without an answer.
    void stop();
    // Stops it and waits until no worker reads the tables any more.
    void finish();

signals:
    void found(std::vector<qint32> visible);
    // The last find was stopped, answered or not: no answer is coming.
    void dropped();

private:
    std::shared_mutex &m_bytes;
    std::shared_ptr<std::atomic_bool> m_stop;
    QFuture<std::vector<qint32>> m_task;
};

} // namespace Tables
