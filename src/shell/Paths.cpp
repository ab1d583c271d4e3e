#include "shell/Main.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace Main {

namespace {

// Replaces, in one pass from left to right, every pair of adjacent backslashes
// by one backslash; pairs do not overlap, so 2 become 1, 3 become 2, 4 become 2.
QString collapseBackslashPairs(QStringView text)
{
    QString result;
    result.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        result.append(text[i]);
        if (text[i] == u'\\' && i + 1 < n && text[i + 1] == u'\\')
            ++i; // the second of the pair is dropped
    }
    return result;
}

QString &programFolderOverride()
{
    static QString folder;
    return folder;
}

bool &programFolderOverridden()
{
    static bool overridden = false;
    return overridden;
}

} // namespace

bool FileExists(const QString &path)
{
    // Every failure is "false"; nothing leaves this routine.
    try {
        if (path.isEmpty() || path.contains(QChar(u'\0')))
            return false;
        const QFileInfo info(path);
        return info.exists();
    } catch (...) {
        return false;
    }
}

QString CleanPath(const QString &path)
{
    const QStringView view(path);
    if (view.isEmpty() || view.front() != u'\\')
        return collapseBackslashPairs(view);
    qsizetype start = 1;
    while (start < view.size() && view[start] == u'\\')
        ++start;
    return QStringLiteral("\\\\") + collapseBackslashPairs(view.sliced(start));
}

QString programFolder()
{
    if (programFolderOverridden())
        return programFolderOverride();
    return QCoreApplication::applicationDirPath();
}

void setProgramFolder(const QString &folder)
{
    QString cleaned = folder;
    // "without a trailing separator" (a root such as "/" keeps its own)
    while (cleaned.size() > 1 && (cleaned.endsWith(u'/') || cleaned.endsWith(u'\\')))
        cleaned.chop(1);
    programFolderOverride() = cleaned;
    programFolderOverridden() = true;
}

QString programPath(const QString &backslashName)
{
    QString name = backslashName;
    name.replace(u'\\', u'/');
    QString folder = programFolder();
    if (folder.endsWith(u'/') && name.startsWith(u'/'))
        folder.chop(1); // the root folder: do not double the separator
    return folder + name;
}

} // namespace Main
