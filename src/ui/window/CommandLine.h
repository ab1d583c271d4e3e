#pragma once

#include <QString>
#include <QStringList>

class Form1;

// What the window program is asked for on its command line:
//   corvantis [FILE1 [FILE2]] [--lines | --words]
struct WindowArguments
{
    enum class Compare { None, Lines, Words };

    QStringList files; // at most two: "CSV File #1", then "CSV File #2"
    Compare compare = Compare::None;

    // Set when the program must not open its window: the text to print
    // (help, version or what is wrong) and the exit status.
    QString message;
    int exitStatus = 0;
    bool exitsAtOnce() const { return !message.isEmpty(); }
};

// Reads the arguments, the program's name first (as QCoreApplication gives them).
WindowArguments parseWindowArguments(const QStringList &arguments);

// Loads the files into their panes as the load commands load them, then runs
// the comparison asked for.
void openFromCommandLine(Form1 &form, const WindowArguments &arguments);
