#include "settings/Settings.h"

#include <cmath>

#include "base/AppError.h"
#include "settings/SettingsBackend.h"

namespace Settings {

QString GetSetting(const Platform::SettingsBackend &store, const QString &app,
                   const QString &section, const QString &key, int defaultValue)
{
    return store.value(app, section, key).value_or(QString::number(defaultValue));
}

void SaveSetting(Platform::SettingsBackend &store, const QString &app, const QString &section,
                 const QString &key, const QString &value)
{
    store.setValue(app, section, key, value);
}

bool CBool(const QString &text)
{
    const QString t = text.trimmed();
    if (t.compare(u"True", Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(u"False", Qt::CaseInsensitive) == 0)
        return false;
    bool isNumber = false;
    const double number = t.toDouble(&isNumber);
    // nan and inf read as numbers here, but nobody writes them as one.
    if (!isNumber || !std::isfinite(number))
        throw AppError(QStringLiteral("Type mismatch"));
    return number != 0.0;
}

QString boolText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

} // namespace Settings
