#include "csv/CellRules.h"

#include <QHashFunctions>

namespace Csv {

QStringView normalisedCell(QStringView cell, const CellRules &rules, QString &scratch)
{
    if (rules.ignoreSpace)
        cell = cell.trimmed();
    if (!rules.ignoreCase)
        return cell;
    bool ascii = true;
    bool upper = false;
    for (const QChar c : cell) {
        const char16_t u = c.unicode();
        if (u >= 0x80) {
            ascii = false;
            break;
        }
        upper = upper || (u >= u'A' && u <= u'Z');
    }
    if (ascii && !upper)
        return cell;
    if (ascii) { // the common case, without the Unicode tables
        scratch.resize(cell.size());
        char16_t *out = reinterpret_cast<char16_t *>(scratch.data());
        for (const QChar c : cell) {
            const char16_t u = c.unicode();
            *out++ = (u >= u'A' && u <= u'Z') ? char16_t(u + 32) : u;
        }
        return scratch;
    }
    scratch = cell.toString().toCaseFolded();
    return scratch;
}

bool normalisedCellsEqual(QStringView a, QStringView b, const CellRules &rules)
{
    QString scratchA;
    QString scratchB;
    return normalisedCell(a, rules, scratchA) == normalisedCell(b, rules, scratchB);
}

size_t cellHash(QStringView cell, const CellRules &rules)
{
    QString scratch;
    return qHash(normalisedCell(cell, rules, scratch), size_t(0x5EED));
}

} // namespace Csv
