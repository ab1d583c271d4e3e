#pragma once

#include <QString>
#include <QStringList>

#include "csv/ColumnSelection.h"

class Form1;

// What the window program is asked for on its command line:
//   corvantis [FILE1 [FILE2]] [--lines | --words]
//   corvantis --tables [FILE1 FILE2] [--key COLS]
struct WindowArguments
{
    enum class Compare { None, Lines, Words };

    // As given: the first loads into "CSV File #1", the second into "CSV
    // File #2"; more (a file manager's "Open With" on several) are only counted.
    QStringList files;
    Compare compare = Compare::None;
    bool tables = false;      // the table window alone
    Csv::ColumnSelection key; // its key columns

    // Set when the program must not open its window: the text to print
    // (help, version or what is wrong) and the exit status.
    QString message;
    int exitStatus = 0;
    bool exitsAtOnce() const { return !message.isEmpty(); }
};

// Reads the arguments, the program's name first (as QCoreApplication gives them).
WindowArguments parseWindowArguments(const QStringList &arguments);

// Loads the files into their panes as the load commands load them, says when
// more than two were given, then runs the comparison asked for. A load the
// user cancels ends the start there.
void openFromCommandLine(Form1 &form, const WindowArguments &arguments);
