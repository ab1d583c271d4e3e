#pragma once

#include <optional>

#include <QByteArray>
#include <QString>

#include "base/AppError.h"

class Form1;
class RichTextBox;

namespace RTB {

// Puts the file at `path` into the full pane of file #1 (#2), replacing its
// text, or shows "File not found". Read errors are thrown to the caller's trap.
void LoadFileIn1(Form1 &form, const QString &path);
void LoadFileIn2(Form1 &form, const QString &path);

// The message for a path the window does not load (a named pipe, a device, a
// socket), or nothing when it may be read.
std::optional<QString> notLoadable(const QString &path);

// A file as a pane shows it: its text (as pane bytes), and what the user is
// to be told of how its bytes were read (empty when there is nothing to say).
struct PaneFile
{
    QByteArray bytes;
    QString note;
};

// The pane text of the file at `path`; shows "File not found", or why it is
// not loaded, and gives nothing when there is no such file or it is no file.
// The file is read through the core's reader and decoded off the window's
// thread; a long read shows its progress with a Cancel button, and
// cancelling throws ReadCancelled.
std::optional<PaneFile> readFileForPane(Form1 &form, const QString &path);

// Shows a PaneFile's note, if it has one, over `pane` without stopping the user.
void showLoadNote(RichTextBox &pane, const QString &note);

// The user stopped a load; what was read is dropped and the pane keeps its text.
class ReadCancelled : public AppError
{
public:
    ReadCancelled() : AppError(QStringLiteral("Loading was cancelled")) {}
};

} // namespace RTB
