#pragma once

#include <QByteArray>
#include <QString>

namespace Files {

// The bytes "Save Results" writes for a pane's text: the text followed by
// CR LF, in UTF-8 without a byte-order mark, so no character is lost.
QByteArray savedBytes(const QString &paneText);

} // namespace Files
