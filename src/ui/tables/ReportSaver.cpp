#include "tables/ReportSaver.h"

#include "dialogs/Dialogs.h"
#include "tables/ReportFile.h"
#include "tables/TableSession.h"
#include "tables/TableWork.h"

ReportSaver::ReportSaver(const Tables::TableSession &session, TableWork &work,
                         Platform::Dialogs &dialogs, std::function<void(const QString &)> showError,
                         QObject *parent)
    : QObject(parent), m_session(session), m_work(work), m_dialogs(dialogs),
      m_showError(std::move(showError))
{
}

void ReportSaver::choose()
{
    if (!m_session.data())
        return;
    const QString path =
        m_dialogs.fileDialog({tr("Save Report"), Tables::reportFileFilter(), true});
    if (!path.isEmpty())
        save(path, Tables::reportFormatFor(path));
}

bool ReportSaver::save(const QString &path, Csv::ReportFormat format)
{
    const std::shared_ptr<const Tables::TableData> content = m_session.data();
    if (!content)
        return false;
    Csv::ReportOptions options = m_session.reportOptions();
    QString error;
    const bool done =
        m_work.runCancellable(tr("Saving the report…"), [&](Csv::WorkControl &control) {
            options.control = &control;
            error = Tables::writeReportFile(path, content->comparison, format, options);
        });
    // Cancelled: the file is as it was, and a cancel is not a fault.
    if (!error.isEmpty() && !m_work.cancelled())
        m_showError(tr("Cannot save %1: %2").arg(path, error));
    return done && error.isEmpty();
}
