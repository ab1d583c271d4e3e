#pragma once

#include <QDir>
#include <QFile>
#include <QString>

// While it lives, the settings file's name is taken by a folder, so that no
// setting can be stored there.
class UnwritableSettingsFile
{
public:
    explicit UnwritableSettingsFile(const QString &path) : m_path(path)
    {
        QFile::remove(m_path);
        m_made = QDir().mkpath(m_path);
    }
    ~UnwritableSettingsFile() { QDir(m_path).removeRecursively(); }
    UnwritableSettingsFile(const UnwritableSettingsFile &) = delete;
    UnwritableSettingsFile &operator=(const UnwritableSettingsFile &) = delete;

    bool made() const { return m_made; }
    const QString &path() const { return m_path; }

private:
    QString m_path;
    bool m_made = false;
};
