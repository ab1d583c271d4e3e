#include "settings/SettingsBackend.h"

#include <cerrno>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryFile>

#include "base/AppError.h"

namespace Platform {

namespace {

QString groupKey(const QString &section, const QString &key)
{
    return section + u'/' + key;
}

// Why the settings file cannot be written: QSettings only says that it could
// not, so the file and then its folder are tried the way QSettings uses them.
QString writeFailureReason(const QString &fileName)
{
#ifdef Q_OS_WIN
    // The native store there is the registry; its "file name" is the key.
    Q_UNUSED(fileName);
    return QStringLiteral("the registry did not take the value");
#endif
    const QFileInfo info(fileName);
    if (info.isDir())
        return qt_error_string(EISDIR);
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return file.errorString();
    file.close();
    QTemporaryFile probe(info.absolutePath() + QStringLiteral("/.probe-XXXXXX"));
    if (!probe.open())
        return QStringLiteral("cannot create a file in %1: %2")
            .arg(QDir::toNativeSeparators(info.absolutePath()), probe.errorString());
    return QStringLiteral("the file could not be written");
}

} // namespace

std::optional<QString> QSettingsBackend::value(const QString &app, const QString &section,
                                               const QString &key) const
{
    const QSettings store(QSettings::NativeFormat, QSettings::UserScope, app, app);
    const QVariant v = store.value(groupKey(section, key));
    if (!v.isValid())
        return std::nullopt;
    return v.toString();
}

void QSettingsBackend::setValue(const QString &app, const QString &section, const QString &key,
                                const QString &value)
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, app, app);
    store.setValue(groupKey(section, key), value);
    store.sync();
    // A FormatError says that the old file could not be read; the new
    // contents usually replaced it all the same. QSettings keeps only its
    // first error, so whether they did is read back.
    bool failed = store.status() == QSettings::AccessError;
    if (store.status() == QSettings::FormatError) {
        const QSettings check(QSettings::NativeFormat, QSettings::UserScope, app, app);
        failed = check.status() != QSettings::NoError
                 || check.value(groupKey(section, key)).toString() != value;
    }
    if (failed)
        throw AppError(QStringLiteral("Could not store the setting %1 in %2: %3")
                           .arg(key, QDir::toNativeSeparators(store.fileName()),
                                writeFailureReason(store.fileName())));
}

std::optional<QString> MemorySettingsBackend::value(const QString &app, const QString &section,
                                                    const QString &key) const
{
    const auto it = entries.find(path(app, section, key));
    if (it == entries.end())
        return std::nullopt;
    return it->second;
}

void MemorySettingsBackend::setValue(const QString &app, const QString &section, const QString &key,
                                     const QString &value)
{
    entries[path(app, section, key)] = value;
}

} // namespace Platform
