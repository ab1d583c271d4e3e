#pragma once

class Form1;

namespace Main {

// Gives the window the optional skin "x/o.cjs" from the program folder.
void ApplySkin(Form1 &form);

} // namespace Main
