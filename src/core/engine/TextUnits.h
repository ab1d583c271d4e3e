#pragma once

#include <type_traits>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include "engine/ResultSink.h"

namespace Compare {

// The code units the engines cut texts at, for UTF-16 texts and for the
// panes' UTF-8 bytes: CR, LF and the space are one unit in both, and never
// part of a longer character.
template <typename View>
struct TextUnits;

template <>
struct TextUnits<QStringView>
{
    using Text = QString;
    static constexpr char16_t cr = u'\r';
    static constexpr char16_t lf = u'\n';
    static constexpr char16_t space = u' ';
};

template <>
struct TextUnits<QByteArrayView>
{
    using Text = QByteArray;
    static constexpr char cr = '\r';
    static constexpr char lf = '\n';
    static constexpr char space = ' ';
};

// The position of the next CR LF at or after `from`, or -1.
template <typename View>
qsizetype indexOfCrLf(View text, qsizetype from)
{
    using U = TextUnits<View>;
    for (;;) {
        const qsizetype cr = text.indexOf(U::cr, from);
        if (cr < 0 || cr + 1 >= text.size())
            return -1;
        if (text[cr + 1] == U::lf)
            return cr;
        from = cr + 1;
    }
}

// Appends to a result text, or hands it to a sink in pieces of about 64 KiB.
template <typename Text>
class ResultWriter
{
public:
    ResultWriter(Text &text, ResultSink *sink) : m_text(sink ? m_buffer : text), m_sink(sink) {}
    ResultWriter(const ResultWriter &) = delete;
    ResultWriter &operator=(const ResultWriter &) = delete;
    ~ResultWriter() { flush(); }

    template <typename Piece>
    void append(Piece piece)
    {
        m_text.append(piece);
        if (m_sink && m_buffer.size() >= kPiece)
            flush();
    }

    void flush()
    {
        if constexpr (std::is_same_v<Text, QByteArray>) {
            if (m_sink && !m_buffer.isEmpty()) {
                m_sink->write(m_buffer);
                m_buffer.clear();
            }
        }
    }

private:
    static constexpr qsizetype kPiece = qsizetype(64) << 10;
    Text m_buffer;
    Text &m_text;
    ResultSink *m_sink;
};

} // namespace Compare
