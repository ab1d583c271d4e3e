#pragma once

#include <QString>

// The small routines the whole program shares.
namespace Main {

// True when `path` names an existing file or folder. Never throws.
bool FileExists(const QString &path);

// Collapses the doubled backslashes of a joined path; a path that starts with
// a backslash keeps exactly two at its start.
QString CleanPath(const QString &path);

// The product name cut back by whole words to at most 40 characters.
QString shortTitle(const QString &productName);

// Sets the application title (shown by message boxes without a title).
void SetAppTitle();
const QString &appTitle();

} // namespace Main
