#pragma once

#include <QString>

#include "dialogs/Dialogs.h"

// The window's one file dialog: the commands set its properties, then show it;
// FileName holds the answer ("" when cancelled).
class CommonDialog
{
public:
    explicit CommonDialog(Platform::Dialogs &dialogs) : m_dialogs(dialogs) {}

    QString FileName;
    QString DialogTitle;
    QString Filter;

    void ShowOpen() { show(false); }
    void ShowSave() { show(true); }

private:
    void show(bool save) { FileName = m_dialogs.fileDialog({DialogTitle, Filter, save}); }

    Platform::Dialogs &m_dialogs;
};
