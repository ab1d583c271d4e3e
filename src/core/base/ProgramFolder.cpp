#include "base/ProgramFolder.h"

ProgramFolder::ProgramFolder(const QString &folder) : m_folder(folder)
{
    while (m_folder.size() > 1 && (m_folder.endsWith(u'/') || m_folder.endsWith(u'\\')))
        m_folder.chop(1);
}

QString ProgramFolder::file(const QString &backslashName) const
{
    QString name = backslashName;
    name.replace(u'\\', u'/');
    QString folder = m_folder;
    if (folder.endsWith(u'/') && name.startsWith(u'/'))
        folder.chop(1); // the root folder: do not double the separator
    return folder + name;
}
