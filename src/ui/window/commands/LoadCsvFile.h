#pragma once

#include <optional>

#include <QString>

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

// The pane text of the file at `path`; shows "File not found", or why it is
// not loaded, and gives nothing when there is no such file or it is no file.
std::optional<QString> readFileForPane(Form1 &form, const QString &path);

} // namespace RTB
