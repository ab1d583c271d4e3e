#pragma once

#include <vector>

#include <QList>
#include <QObject>
#include <QString>

class QUrl;
class RichTextBox;
class TableWork;

namespace Platform {
class Dialogs;
}

namespace Tables {

class RowFinder;
class TableSession;

// A file dropped on the table window and the side it opens on.
struct DroppedFile
{
    int side = 0;
    QString path;
};

// Two or more local files: the first two, one a side; one: the side it was
// dropped on (0 or 1). Anything else dropped is left out.
std::vector<DroppedFile> droppedFiles(const QList<QUrl> &urls, int sideDroppedOn);

} // namespace Tables

// How a side of the table comparison is opened: a file or a workbook's sheet
// (read off the window's thread), or a pane of the main window read where it
// lies. A pane's text about to change gives both sides bytes of their own.
class SourceOpener : public QObject
{
    Q_OBJECT

public:
    SourceOpener(Tables::TableSession &session, TableWork &work, Tables::RowFinder &finder,
                 Platform::Dialogs &dialogs, QObject *parent = nullptr);

    // False (and a message shown) when the file cannot be read.
    bool openFile(int side, const QString &path, int sheet = 0);
    // `path`: the file the pane was loaded from, when known (it names the side).
    void openPane(int side, RichTextBox &pane, const QString &name, const QString &path);
    // Opens each in turn; false at the first that cannot be read.
    bool openDropped(const std::vector<Tables::DroppedFile> &files);
    // Open File #N: the file asked for, then compared.
    void chooseFile(int side);
    // Another sheet of a side's workbook: read again with it, then compared.
    void chooseSheet(int side, int sheet);
    // The panes read from stop sharing their bytes (the window is closing).
    void releasePanes();

signals:
    // A side now reads something else (`fromFile`: a file on disk).
    void sideOpened(bool fromFile);
    // A sheet could not be read: the side still shows the one read before.
    void sheetKept();
    void compareAsked();
    // The sides now hold copies of the panes' bytes; sent while no work
    // reads them, so the rows shown can be split anew from the copies.
    void panesCopied();

private:
    void paneAboutToChange();

    Tables::TableSession &m_session;
    TableWork &m_work;
    Tables::RowFinder &m_finder;
    Platform::Dialogs &m_dialogs;
};
