#include "tables/PairChoices.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>

namespace Tables {

QString PairChoices::toText() const
{
    const QJsonObject object{{QStringLiteral("key"), key},
                             {QStringLiteral("noKey"), noKey},
                             {QStringLiteral("ignore"), ignoreColumns}};
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

std::optional<PairChoices> PairChoices::fromText(const QString &text)
{
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8());
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const QJsonValue key = object.value(QStringLiteral("key"));
    const QJsonValue noKey = object.value(QStringLiteral("noKey"));
    const QJsonValue ignore = object.value(QStringLiteral("ignore"));
    if (!key.isString() || !noKey.isBool() || !ignore.isString())
        return std::nullopt;
    return PairChoices{key.toString(), noKey.toBool(), ignore.toString()};
}

QString pairEntry(const QString &name1, const QString &name2)
{
    // A hash: names may hold what a settings key cannot ("/", "=", line breaks).
    const QByteArray names = name1.toUtf8() + '\0' + name2.toUtf8();
    return QStringLiteral("Pair ")
           + QString::fromLatin1(
               QCryptographicHash::hash(names, QCryptographicHash::Sha256).toHex().left(32));
}

} // namespace Tables
