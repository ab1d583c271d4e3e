#include "tables/TableSettings.h"

#include "base/AppError.h"
#include "settings/Settings.h"
#include "settings/SettingsBackend.h"

namespace Tables {

namespace {

const QString kSection = QStringLiteral("TableWindow");
const QString kColumns = QStringLiteral("Columns");

} // namespace

QString TableSettings::value(const QString &key) const
{
    return m_backend.value(Settings::kAppName, kSection, key).value_or(QString());
}

void TableSettings::store(const QString &key, const QString &text)
{
    try {
        m_backend.setValue(Settings::kAppName, kSection, key, text);
    } catch (const AppError &) {
        // Not stored: the next run starts from its defaults or a guess.
    }
}

QByteArray TableSettings::bytes(const QString &key) const
{
    return QByteArray::fromBase64(value(key).toLatin1());
}

void TableSettings::storeBytes(const QString &key, const QByteArray &bytes)
{
    store(key, QString::fromLatin1(bytes.toBase64()));
}

// Stored as "COUNT BASE64".
QByteArray TableSettings::columnsState(int columns) const
{
    const QString stored = value(kColumns);
    if (stored.section(u' ', 0, 0).toInt() != columns || columns <= 0)
        return {};
    return QByteArray::fromBase64(stored.section(u' ', 1).toLatin1());
}

void TableSettings::storeColumnsState(int columns, const QByteArray &state)
{
    store(kColumns, QStringLiteral("%1 ").arg(columns) + QString::fromLatin1(state.toBase64()));
}

std::optional<PairChoices> TableSettings::choicesFor(const QString &pairEntry) const
{
    return PairChoices::fromText(value(pairEntry));
}

void TableSettings::remember(const QString &pairEntry, const PairChoices &choices)
{
    store(pairEntry, choices.toText());
}

} // namespace Tables
