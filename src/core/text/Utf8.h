#pragma once

namespace Files {

// Decodes one UTF-8 sequence starting at p (p < end). Returns its length and
// sets `codePoint`, or returns 0 when the bytes at p are not a valid,
// shortest-form sequence of a scalar value.
int decodeUtf8Sequence(const unsigned char *p, const unsigned char *end, char32_t &codePoint);

} // namespace Files
