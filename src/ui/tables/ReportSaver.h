#pragma once

#include <functional>

#include <QObject>

#include "csv/RowsReport.h"

class TableWork;

namespace Platform {
class Dialogs;
}

namespace Tables {
class TableSession;
}

// Save Report: the session's result written (off the window's thread) in
// the format the file's name asks for, as corvantis-cli rows would.
class ReportSaver : public QObject
{
    Q_OBJECT

public:
    ReportSaver(const Tables::TableSession &session, TableWork &work, Platform::Dialogs &dialogs,
                std::function<void(const QString &)> showError, QObject *parent = nullptr);

    // Asks where, then saves; nothing without a result.
    void choose();
    // False (and the error shown) when it could not be written.
    bool save(const QString &path, Csv::ReportFormat format);

private:
    const Tables::TableSession &m_session;
    TableWork &m_work;
    Platform::Dialogs &m_dialogs;
    std::function<void(const QString &)> m_showError;
};
