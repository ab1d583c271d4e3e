#pragma once

#include <QByteArrayView>
#include <QString>

namespace Files {

// True when the bytes start a rich text document ("{\rtf").
bool looksLikeRtf(QByteArrayView bytes);

// The plain text of a rich text document: paragraphs and line breaks become
// CR LF; \'hh (in the code page of the font or the document) and \uN escapes
// are decoded; font and colour tables, style sheets, pictures and other
// destinations are skipped. Damaged input gives whatever text could be read;
// only running out of memory throws (std::bad_alloc).
QString rtfToPlainText(QByteArrayView rtf);

} // namespace Files
