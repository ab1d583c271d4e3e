#pragma once

#include <optional>

#include <QByteArray>
#include <QString>

#include "tables/PairChoices.h"

namespace Platform {
class SettingsBackend;
}

namespace Tables {

// What the table window keeps between runs, in its own section of the
// settings: its layout, its options, and the choices made per pair of
// files. The window works the same when they cannot be stored: a failed
// write is dropped.
class TableSettings
{
public:
    explicit TableSettings(Platform::SettingsBackend &backend) : m_backend(backend) {}

    QString value(const QString &key) const;
    void store(const QString &key, const QString &text);
    // Binary state (a geometry, a splitter's sizes), kept as Base64.
    QByteArray bytes(const QString &key) const;
    void storeBytes(const QString &key, const QByteArray &bytes);
    // A table header's state, only for a table of as many columns as when it
    // was stored; empty otherwise.
    QByteArray columnsState(int columns) const;
    void storeColumnsState(int columns, const QByteArray &state);
    // What was chosen last time for files of these names (see pairEntry()).
    std::optional<PairChoices> choicesFor(const QString &pairEntry) const;
    void remember(const QString &pairEntry, const PairChoices &choices);

private:
    Platform::SettingsBackend &m_backend;
};

} // namespace Tables
