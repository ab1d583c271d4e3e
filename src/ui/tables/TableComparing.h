#pragma once

#include <QObject>

class TableWork;

namespace Platform {
class Dialogs;
}

namespace Tables {
struct CompareOutcome;
struct CompareRequest;
class RowFinder;
class TableSession;
class TableSettings;
} // namespace Tables

// The steps of a comparison as the table window runs them, one at a time:
// whether one can start, the run off the window's thread (a result that went
// with a file changed on disk freed first), and what a failure or Cancel
// leaves. Needs no widget: the window shows what it sends.
class TableComparing : public QObject
{
    Q_OBJECT

public:
    TableComparing(Tables::TableSession &session, TableWork &work, Tables::RowFinder &finder,
                   Tables::TableSettings &settings, Platform::Dialogs &dialogs,
                   QObject *parent = nullptr);

    // False when no comparison starts now: one runs (this one then runs once
    // it is done), or a side is missing (`whyNot` says so). True: the pair's
    // remembered choices are offered and the find runs no more.
    bool start(QString &whyNot);
    // False: nothing new to show.
    bool run(const Tables::CompareRequest &request, Tables::CompareOutcome &outcome);
    // The result accepted: its choices remembered for the pair.
    void remember();
    // A comparison was asked for while this one ran or was shown.
    bool compareAgain() const { return m_compareAgain; }
    // Columns…: the pairs of renamed columns, suggested from a sample of the
    // rows (off the window's thread) and edited in the dialog; true when
    // they changed and the files are to be compared again.
    bool chooseColumnPairs();

signals:
    // The old result went with a file changed on disk.
    void resultDropped();
    // ...and no new one came.
    void nothingCompared(const QString &why);
    void failed(const QString &error);

private:
    Tables::TableSession &m_session;
    TableWork &m_work;
    Tables::RowFinder &m_finder;
    Tables::TableSettings &m_settings;
    Platform::Dialogs &m_dialogs;
    bool m_compareAgain = false;
};
