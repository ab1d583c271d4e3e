#include "tables/PairChoices.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "tables/ColumnPairing.h"

namespace Tables {

namespace {

const char *const kMarkNames[] = {"auto", "point", "comma"};

QString markName(Csv::DecimalMark mark)
{
    return QLatin1String(kMarkNames[int(mark)]);
}

std::optional<Csv::DecimalMark> markFrom(const QJsonValue &value)
{
    if (value.isUndefined())
        return Csv::DecimalMark::Auto;
    for (int m = 0; m < 3; ++m) {
        if (value.toString() == QLatin1String(kMarkNames[m]))
            return Csv::DecimalMark(m);
    }
    return std::nullopt;
}

// A column list as the settings hold it: nothing for a list that is not one.
std::optional<Csv::ColumnSelection> columnsFrom(const QJsonValue &value)
{
    if (!value.isString())
        return std::nullopt;
    Csv::ColumnListParse parse = Csv::parseColumnList(value.toString());
    if (!parse.error.isEmpty())
        return std::nullopt;
    return std::move(parse.columns);
}

} // namespace

bool PairChoices::operator==(const PairChoices &other) const
{
    const auto sameRenames = [&] {
        if (renames.size() != other.renames.size())
            return false;
        for (size_t r = 0; r < renames.size(); ++r) {
            if (renameText(renames[r]) != renameText(other.renames[r]))
                return false;
        }
        return true;
    };
    return Csv::columnListText(key) == Csv::columnListText(other.key) && noKey == other.noKey
           && Csv::columnListText(ignoreColumns) == Csv::columnListText(other.ignoreColumns)
           && decimalMark1 == other.decimalMark1 && decimalMark2 == other.decimalMark2
           && sameRenames();
}

QString PairChoices::toText() const
{
    QJsonArray map;
    for (const Csv::ColumnRename &rename : renames)
        map.append(renameText(rename));
    const QJsonObject object{{QStringLiteral("key"), Csv::columnListText(key)},
                             {QStringLiteral("noKey"), noKey},
                             {QStringLiteral("ignore"), Csv::columnListText(ignoreColumns)},
                             {QStringLiteral("map"), map},
                             {QStringLiteral("decimal1"), markName(decimalMark1)},
                             {QStringLiteral("decimal2"), markName(decimalMark2)}};
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

std::optional<PairChoices> PairChoices::fromText(const QString &text)
{
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8());
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const std::optional<Csv::ColumnSelection> key =
        columnsFrom(object.value(QStringLiteral("key")));
    const QJsonValue noKey = object.value(QStringLiteral("noKey"));
    const std::optional<Csv::ColumnSelection> ignore =
        columnsFrom(object.value(QStringLiteral("ignore")));
    const QJsonValue map = object.value(QStringLiteral("map"));
    const std::optional<Csv::DecimalMark> mark1 =
        markFrom(object.value(QStringLiteral("decimal1")));
    const std::optional<Csv::DecimalMark> mark2 =
        markFrom(object.value(QStringLiteral("decimal2")));
    if (!key || !noKey.isBool() || !ignore || !mark1 || !mark2
        || !(map.isUndefined() || map.isArray()))
        return std::nullopt;
    PairChoices choices{*key, noKey.toBool(), *ignore, {}, *mark1, *mark2};
    for (const QJsonValue &entry : map.toArray()) {
        const Csv::RenameParse parse = Csv::parseRename(entry.toString());
        if (!entry.isString() || !parse.error.isEmpty())
            return std::nullopt;
        choices.renames.push_back(parse.rename);
    }
    return choices;
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
