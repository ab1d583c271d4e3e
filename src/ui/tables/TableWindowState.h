#pragma once

class QSplitter;
class QWidget;
class TableOptionsBar;

namespace Tables {

class TableSettings;

// What the table window keeps between runs: its place and size, where the
// notes and the table meet, and the reading and comparing options.
void restoreWindowState(const TableSettings &settings, QWidget &window, QSplitter &splitter,
                        TableOptionsBar &options);
void storeWindowState(TableSettings &settings, const QWidget &window, const QSplitter &splitter,
                      const TableOptionsBar &options);

} // namespace Tables
