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

// The pane text of the file at `path`; shows "File not found" and gives
// nothing when there is no such file.
std::optional<QString> readFileForPane(Form1 &form, const QString &path);

} // namespace RTB
