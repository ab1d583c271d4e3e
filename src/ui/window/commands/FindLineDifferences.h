#pragma once

class Form1;

namespace RTB {

// Colours red each line of file #1 (#2) that the other file lacks, and lists
// those lines in its result pane.
void FindDifferencesIn1(Form1 &form);
void FindDifferencesIn2(Form1 &form);

} // namespace RTB
