#pragma once

#include <QString>

// The folder that holds the program file, where its optional resources and
// the sample files live. Given to the window at start; tests give their own.
class ProgramFolder
{
public:
    // Kept without a trailing separator (a root such as "/" keeps its own).
    explicit ProgramFolder(const QString &folder);

    const QString &path() const { return m_folder; }

    // The folder joined with a resource name given as in "\Samples\a.csv".
    QString file(const QString &backslashName) const;

private:
    QString m_folder;
};
