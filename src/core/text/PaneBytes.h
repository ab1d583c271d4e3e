#pragma once

#include <vector>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include "engine/ColourRange.h"

// A pane keeps its text as UTF-8 bytes. Every UTF-16 text has exactly one
// byte form and back: a surrogate that has no partner (possible in a UTF-16
// file) is written as the three bytes its code point would take, so even such
// a text reads back unchanged and two texts are equal exactly when their
// bytes are. Offsets into the text (selections, red ranges) are counted in
// UTF-16 code units by the commands and in bytes by the pane; these turn one
// into the other.
namespace PaneBytes {

QByteArray fromText(QStringView text);
QString toText(QByteArrayView bytes);

// True when the bytes hold no lone surrogate, so they are UTF-8 as any
// other program reads it.
bool isUtf8(QByteArrayView bytes);

// The number of UTF-16 code units of the text the bytes hold.
qsizetype utf16Length(QByteArrayView bytes);

// Byte offsets of UTF-16 offsets, and back. The offsets must be in ascending
// order; each is clamped to the text. An offset inside a character (between
// the halves of a surrogate pair, or inside a UTF-8 sequence) maps to the
// character's end.
std::vector<qsizetype> byteOffsets(QByteArrayView bytes, const std::vector<qsizetype> &utf16);
std::vector<qsizetype> utf16Offsets(QByteArrayView bytes,
                                    const std::vector<qsizetype> &byteOffsets);

// Ranges of one kind of offset as ranges of the other; the ranges may come in
// any order and keep theirs.
Compare::ColourRanges toByteRanges(QByteArrayView bytes, const Compare::ColourRanges &utf16);
Compare::ColourRanges toUtf16Ranges(QByteArrayView bytes, const Compare::ColourRanges &byteRanges);

} // namespace PaneBytes
