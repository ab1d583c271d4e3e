#pragma once

#include <QString>

class Form1;
class RichTextBox;

namespace RTB {

// Writes the pane's text and CR LF to `path`, asking first when the file
// exists (see Files::writeWholeFile for how). Failures are thrown to the
// caller's trap.
void SaveRTB(Form1 &form, RichTextBox &pane, const QString &path);

} // namespace RTB
