#include "tables/SourceOpener.h"

#include <mutex>

#include <QFileInfo>
#include <QUrl>

#include "dialogs/Dialogs.h"
#include "pane/RichTextBox.h"
#include "tables/RowFinder.h"
#include "tables/TableSession.h"
#include "tables/TableWork.h"

namespace Tables {

std::vector<DroppedFile> droppedFiles(const QList<QUrl> &urls, int sideDroppedOn)
{
    QStringList paths;
    for (const QUrl &url : urls) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    if (paths.isEmpty())
        return {};
    if (paths.size() == 1)
        return {{sideDroppedOn, paths[0]}};
    return {{0, paths[0]}, {1, paths[1]}};
}

} // namespace Tables

SourceOpener::SourceOpener(Tables::TableSession &session, TableWork &work,
                           Tables::RowFinder &finder, Platform::Dialogs &dialogs, QObject *parent)
    : QObject(parent), m_session(session), m_work(work), m_finder(finder), m_dialogs(dialogs)
{
}

bool SourceOpener::openFile(int side, const QString &path, int sheet)
{
    TableSource source;
    if (!m_work.run(tr("Reading %1…").arg(QFileInfo(path).fileName()),
                    [&] { source = TableSource::fromFile(path, sheet); }))
        return false;
    if (RichTextBox *pane = m_session.source(side).pane)
        pane->unshareBytes();
    m_session.setSource(side, std::move(source));
    emit sideOpened(true);
    return true;
}

void SourceOpener::openPane(int side, RichTextBox &pane, const QString &name, const QString &path)
{
    if (RichTextBox *old = m_session.source(side).pane)
        old->unshareBytes();
    TableSource source = TableSource::fromPane(pane, name);
    if (!path.isEmpty())
        source.name = QFileInfo(path).fileName();
    m_session.setSource(side, std::move(source));
    connect(&pane, &RichTextBox::textAboutToChange, this, &SourceOpener::paneAboutToChange,
            Qt::UniqueConnection);
    emit sideOpened(false);
}

bool SourceOpener::openDropped(const std::vector<Tables::DroppedFile> &files)
{
    for (const Tables::DroppedFile &file : files) {
        if (!openFile(file.side, file.path))
            return false;
    }
    return !files.empty();
}

void SourceOpener::chooseFile(int side)
{
    const QString path = m_dialogs.fileDialog(
        {tr("Open File #%1").arg(side + 1),
         QStringLiteral("CSV Files (*.csv)|*.csv|Text Files (*.txt)|*.txt|All Files (*.*)|*.*|"),
         false});
    if (!path.isEmpty() && openFile(side, path))
        emit compareAsked();
}

void SourceOpener::chooseSheet(int side, int sheet)
{
    const QString path = m_session.source(side).path;
    if (m_work.busy() || path.isEmpty())
        return;
    if (openFile(side, path, sheet))
        emit compareAsked();
    else
        emit sheetKept();
}

void SourceOpener::releasePanes()
{
    std::unique_lock lock(m_work.paneBytes());
    for (int side = 0; side < 2; ++side) {
        if (RichTextBox *pane = m_session.source(side).pane)
            pane->unshareBytes();
    }
}

// The main window's text is about to change under the tables read from it:
// once no work reads them, they get bytes of their own.
void SourceOpener::paneAboutToChange()
{
    m_finder.stop();
    std::unique_lock lock(m_work.paneBytes());
    for (int side = 0; side < 2; ++side) {
        if (RichTextBox *pane = m_session.source(side).pane)
            disconnect(pane, &RichTextBox::textAboutToChange, this,
                       &SourceOpener::paneAboutToChange);
    }
    m_session.copyPanes();
    emit panesCopied();
}
