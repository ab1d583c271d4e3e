#pragma once

#include <array>

#include <QByteArray>
#include <QByteArrayView>

namespace Tables {

// A text to find in cells, ignoring ASCII case. Sixteen places are tried at
// once by their first and last bytes; only where both match are the bytes
// between compared. Without SSE2, Horspool's search does the same work.
class FoldedNeedle
{
public:
    // `text` as typed; it is kept in lower case.
    explicit FoldedNeedle(const QByteArray &text);

    bool isEmpty() const { return m_needle.isEmpty(); }
    const QByteArray &text() const { return m_needle; }

    // Whether the needle occurs in `haystack`, ignoring ASCII case.
    bool in(QByteArrayView haystack) const;

private:
    bool matchesAt(const uchar *at) const;
    qsizetype scalarFind(const uchar *hay, qsizetype from, qsizetype size) const;

    QByteArray m_needle; // in lower case
    std::array<uchar, 256> m_fold{};
    std::array<qsizetype, 256> m_skip{};
};

} // namespace Tables
