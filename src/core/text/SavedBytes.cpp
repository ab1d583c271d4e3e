#include "text/SavedBytes.h"

namespace Files {

QByteArray savedBytes(const QString &paneText)
{
    return (paneText + QStringLiteral("\r\n")).toUtf8();
}

} // namespace Files
