#include "tables/TableComparing.h"

#include "dialogs/Dialogs.h"
#include "tables/RowFinder.h"
#include "tables/TableSession.h"
#include "tables/TableSettings.h"
#include "tables/TableWork.h"

TableComparing::TableComparing(Tables::TableSession &session, TableWork &work,
                               Tables::RowFinder &finder, Tables::TableSettings &settings,
                               Platform::Dialogs &dialogs, QObject *parent)
    : QObject(parent), m_session(session), m_work(work), m_finder(finder), m_settings(settings),
      m_dialogs(dialogs)
{
}

bool TableComparing::start(QString &whyNot)
{
    if (m_work.busy()) { // a choice made meanwhile: compare again once this is done
        m_compareAgain = true;
        return false;
    }
    m_compareAgain = false;
    if (!m_session.ready()) {
        whyNot = tr("Open two files to compare.");
        return false;
    }
    m_finder.stop();
    if (m_session.newPair()) {
        if (const auto choices = m_settings.choicesFor(m_session.pairEntry()))
            m_session.offer(*choices);
    }
    return true;
}

bool TableComparing::run(const Tables::CompareRequest &request, Tables::CompareOutcome &outcome)
{
    // A file changed on disk: its old bytes and the old result go before the
    // new are read, and are freed off the window's thread.
    std::vector<std::shared_ptr<const void>> stale = m_session.dropStale();
    const bool dropped = !stale.empty();
    if (dropped)
        emit resultDropped();
    const bool done =
        m_work.runCancellable(tr("Comparing the tables…"), [&](Csv::WorkControl &control) {
            if (!stale.empty()) {
                stale.clear();
                Tables::returnFreedMemory();
            }
            outcome = m_session.run(request, &control);
        });
    // Cancelled: the window stays as it was, unless the old result went with
    // a file changed on disk.
    if (!done || outcome.cancelled) {
        if (dropped)
            emit nothingCompared(m_work.cancelled() || outcome.cancelled
                                     ? tr("Nothing compared: Cancel was pressed.")
                                     : tr("Nothing compared."));
        return false;
    }
    if (!m_session.accept(outcome)) {
        if (dropped)
            emit nothingCompared(tr("Nothing compared."));
        emit failed(outcome.error);
        return false;
    }
    return true;
}

void TableComparing::remember()
{
    m_settings.remember(m_session.pairEntry(), m_session.choices());
}

bool TableComparing::chooseColumnPairs()
{
    if (!m_session.data() || m_work.busy())
        return false;
    Tables::ColumnPairing pairing;
    if (!m_work.run(tr("Looking for renamed columns\u2026"),
                    [&] { pairing = m_session.columnPairing(); }))
        return false;
    if (!m_dialogs.pairColumns(pairing))
        return false;
    m_session.setRenames(pairing.renames());
    return true;
}
