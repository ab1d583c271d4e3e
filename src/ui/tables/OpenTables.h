#pragma once

#include <QString>

#include "csv/ColumnSelection.h"

class Form1;
class TableWindow;

namespace Platform {
class Dialogs;
class SettingsBackend;
} // namespace Platform

// The ways into "Compare as Tables".
namespace Tables {

// Ctrl+T in the main window: a table window over the two full panes' text.
void installTableEntries(Form1 &form);
TableWindow *openTablesFromMain(Form1 &form);

// corvantis --tables [FILE1 FILE2] [--key COLS]: a table window on its own.
TableWindow *openTablesWindow(Platform::Dialogs &dialogs, Platform::SettingsBackend &settings,
                              const QString &file1, const QString &file2,
                              const Csv::ColumnSelection &key);

} // namespace Tables
