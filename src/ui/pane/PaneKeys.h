#pragma once

#include <Qsci/qscicommand.h>

class QsciCommandSet;

// The keys a pane answers are those of a rich text box: typing, Delete and
// Backspace, the arrows (with Ctrl, and Shift to select), Home, End and the
// page keys, Ctrl+A, the clipboard, undo and redo. The editing component's
// other commands (change case, duplicate, transpose or delete lines, zoom,
// ...) would change or hide the data behind the user's back.
bool isRichTextCommand(QsciCommand::Command command);

// Unbinds every key of `commands` whose command a rich text box lacks.
void keepRichTextKeys(QsciCommandSet &commands);
