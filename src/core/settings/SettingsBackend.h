#pragma once

#include <map>
#include <optional>

#include <QString>

namespace Platform {

// A per-user store of text values under application name, section and key.
class SettingsBackend
{
public:
    virtual ~SettingsBackend() = default;
    virtual std::optional<QString> value(const QString &app, const QString &section,
                                         const QString &key) const = 0;
    virtual void setValue(const QString &app, const QString &section, const QString &key,
                          const QString &value) = 0;
};

// The user's configuration folder, one file per application name
// (e.g. ~/.config/Quillfen/Quillfen.conf, one group per section); on Windows
// the user's part of the registry (HKEY_CURRENT_USER\Software\Quillfen\Quillfen,
// one key per section).
class QSettingsBackend final : public SettingsBackend
{
public:
    std::optional<QString> value(const QString &app, const QString &section,
                                 const QString &key) const override;
    void setValue(const QString &app, const QString &section, const QString &key,
                  const QString &value) override;
};

// Kept in memory; for tests and tools.
class MemorySettingsBackend final : public SettingsBackend
{
public:
    std::optional<QString> value(const QString &app, const QString &section,
                                 const QString &key) const override;
    void setValue(const QString &app, const QString &section, const QString &key,
                  const QString &value) override;

    std::map<QString, QString> entries; // "app/section/key" -> value

private:
    static QString path(const QString &app, const QString &section, const QString &key)
    {
        return app + u'/' + section + u'/' + key;
    }
};

} // namespace Platform
