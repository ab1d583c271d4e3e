#pragma once

#include <QString>

class Form1;

namespace RTB {

// Colours every occurrence of `text` red in the full pane of file #1 (#2),
// leaving the last one selected; the pane's text is not changed.
void HighlightTextIn1(Form1 &form, const QString &text);
void HighlightTextIn2(Form1 &form, const QString &text);

} // namespace RTB
