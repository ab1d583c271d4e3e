#include "settings/SettingsBackend.h"

#include <QSettings>

#include "base/AppError.h"

namespace Platform {

namespace {

QString groupKey(const QString &section, const QString &key)
{
    return section + u'/' + key;
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
    if (store.status() != QSettings::NoError)
        throw AppError(QStringLiteral("Could not store the setting %1").arg(key));
}

std::optional<QString> MemorySettingsBackend::value(const QString &app, const QString &section,
                                                    const QString &key) const
{
    const auto it = entries.find(path(app, section, key));
    if (it == entries.end())
        return std::nullopt;
    return it->second;
}

void MemorySettingsBackend::setValue(const QString &app, const QString &section,
                                     const QString &key, const QString &value)
{
    entries[path(app, section, key)] = value;
}

} // namespace Platform
