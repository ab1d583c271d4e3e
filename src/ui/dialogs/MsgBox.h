#pragma once

#include "base/Main.h"
#include "dialogs/Dialogs.h"

// A notice or question with the application title and no icon.
inline Platform::Answer MsgBox(Platform::Dialogs &dialogs, const QString &text,
                               Platform::Buttons buttons = Platform::Buttons::Ok)
{
    return dialogs.messageBox({text, Main::appTitle(), buttons, Platform::Icon::None});
}
