#pragma once

#include <QMetaType>
#include <QString>
#include <QTest>

#include "engine/ColourRange.h"

Q_DECLARE_METATYPE(Compare::ColourRanges)

namespace Compare {

// Lets QCOMPARE print ranges as "[start,length] ..." when they differ.
inline char *toString(const ColourRanges &ranges)
{
    QString text;
    for (const ColourRange &r : ranges)
        text += QStringLiteral("[%1,%2] ").arg(r.start).arg(r.length);
    return qstrdup(text.toUtf8().constData());
}

} // namespace Compare
