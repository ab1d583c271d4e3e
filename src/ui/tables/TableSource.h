#pragma once

#include <memory>

#include <QByteArray>
#include <QDateTime>
#include <QPointer>
#include <QString>
#include <QStringList>

#include "csv/CsvReader.h"

class RichTextBox;

// One side of a table comparison: a file's bytes decoded to UTF-8, or a pane
// of the main window, whose bytes are read where they lie (no copy) until
// the pane's text is about to change.
// What tells a file on disk from the one that was read: its size, when it
// was written, and when its entry last changed (a file replaced under the
// same name, as editors and sed -i do, has a new one).
struct FileStamp
{
    qint64 size = -1;
    QDateTime modified;
    QDateTime metadataChanged;

    static FileStamp of(const QString &path);
    bool operator==(const FileStamp &) const = default;
};

struct TableSource
{
    QString name;     // as shown: the file's name, or the pane's caption
    QString path;     // the file's; empty for a pane
    QByteArray bytes; // UTF-8, line breaks as the file has them
    QString encoding;
    qsizetype invalidLine = 0; // the first byte that was not UTF-8, when read as Windows-1252
    QPointer<RichTextBox> pane;
    FileStamp stamp;    // the file's when it was read
    QStringList sheets; // a workbook's sheets; empty for a text file
    int sheet = 0;      // the one read, from 0

    bool isEmpty() const { return name.isEmpty(); }
    bool fromPane() const { return !pane.isNull(); }

    // Reads and decodes a file; throws AppError naming it when it cannot be
    // read. A workbook gives the CSV text of its sheet `sheet` (from 0).
    static TableSource fromFile(const QString &path, int sheet = 0);
    // Shares the pane's bytes (see RichTextBox::shareBytes).
    static TableSource fromPane(RichTextBox &pane, const QString &name);
    // True when the file is no longer the one read (changed, replaced, gone).
    bool changedOnDisk() const;
    // Stops sharing a pane's bytes, keeping a copy of them.
    void takeOwnCopy();

    // "old.csv · 1,000,000 rows · delimiter , · UTF-8"; rows < 0: not read yet.
    QString describe(qsizetype rows, char delimiter) const;
};

// The delimiter as the window names it: ",", ";", "Tab", "|".
QString delimiterName(char delimiter);
