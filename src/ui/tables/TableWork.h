#pragma once

#include <functional>
#include <shared_mutex>

#include <QString>

class QWidget;

namespace Csv {
class WorkControl;
}

// How the table window runs its long work: off the window's thread, with a
// progress box after a moment, one run at a time. A run's errors go to
// `showError`; a cancel is not one.
class TableWork
{
public:
    TableWork(QWidget &window, std::function<void(const QString &)> showError);
    TableWork(const TableWork &) = delete;
    TableWork &operator=(const TableWork &) = delete;

    bool busy() const { return m_busy; }
    // Taken shared by work that reads a pane's bytes, exclusively before the
    // pane's text changes.
    std::shared_mutex &paneBytes() { return m_paneBytes; }

    // False when the work failed.
    bool run(const QString &label, const std::function<void()> &work);
    // With a Cancel button: the work gets a control whose phases fill the
    // bar a quarter each and that hears of the Cancel. False when the work
    // failed or was cancelled (cancelled() tells which).
    bool runCancellable(const QString &label, const std::function<void(Csv::WorkControl &)> &work);
    // The last run ended by its Cancel.
    bool cancelled() const { return m_cancelled; }

private:
    bool guarded(const std::function<bool()> &run);

    QWidget &m_window;
    std::function<void(const QString &)> m_showError;
    std::shared_mutex m_paneBytes;
    bool m_busy = false;
    bool m_cancelled = false;
};
