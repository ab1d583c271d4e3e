#include "tables/RowFinder.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

#include "base/BackgroundThreads.h"
#include "runner/BackgroundRun.h"

namespace Tables {

namespace {

// Below this many rows a find runs at once; above, on a worker thread.
constexpr size_t kRowsFoundAtOnce = 20000;

} // namespace

RowFinder::RowFinder(std::shared_mutex &bytes, QObject *parent) : QObject(parent), m_bytes(bytes) {}

RowFinder::~RowFinder()
{
    finish();
}

void RowFinder::finish()
{
    stop();
    m_task.waitForFinished();
}

void RowFinder::stop()
{
    if (m_stop && !m_stop->exchange(true))
        emit dropped();
}

void RowFinder::find(std::shared_ptr<const TableData> data, const RowFilter &filter)
{
    stop();
    if (data->rows.size() <= kRowsFoundAtOnce) {
        emit found(visibleRows(*data, filter));
        return;
    }
    auto stopped = std::make_shared<std::atomic_bool>(false);
    m_stop = stopped;
    auto *watcher = new QFutureWatcher<std::vector<qint32>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, stopped] {
        watcher->deleteLater();
        if (!*stopped) // else a newer find, a comparison or a filter came since
            emit found(watcher->result());
    });
    m_task = QtConcurrent::run(&workerPool(), [this, data, filter, stopped] {
        asBackgroundThread();
        std::shared_lock lock(m_bytes);
        return visibleRows(*data, filter, stopped.get());
    });
    watcher->setFuture(m_task);
}

} // namespace Tables
