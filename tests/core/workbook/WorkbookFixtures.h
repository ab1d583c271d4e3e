#pragma once

#include <QString>

// A workbook the tests share, from tests/core/workbook/fixtures.
inline QString workbookFixture(const QString &name)
{
    return QStringLiteral(CORVANTIS_SOURCE_DIR "/tests/core/workbook/fixtures/") + name;
}
