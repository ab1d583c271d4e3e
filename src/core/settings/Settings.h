#pragma once

#include <QString>

#include "base/Product.h"

namespace Platform {
class SettingsBackend;
}

namespace Settings {

// The store keeps the program's entries under its publisher and its own name.
inline const QString &kAppName = Product::kPublisher;
inline const QString &kSection = Product::kName;

// The stored text, or the default in decimal digits when the entry is
// missing. Never creates an entry.
QString GetSetting(const Platform::SettingsBackend &store, const QString &app,
                   const QString &section, const QString &key, int defaultValue);
void SaveSetting(Platform::SettingsBackend &store, const QString &app, const QString &section,
                 const QString &key, const QString &value);

// Boolean conversion of a stored text: a number is false for 0 and true
// otherwise; the words True and False (any case) are themselves. Anything else
// throws AppError("Type mismatch").
bool CBool(const QString &text);
// "True" or "False".
QString boolText(bool value);

} // namespace Settings
