#pragma once

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

// Appends to a result text, or tells a sink where each entry lies in the
// examined text instead.
template <typename Text>
class ResultWriter
{
public:
    ResultWriter(Text &text, ResultSink *sink) : m_text(text), m_sink(sink) {}
    ResultWriter(const ResultWriter &) = delete;
    ResultWriter &operator=(const ResultWriter &) = delete;

    // A differing line of `source` at `start`, and the CR after it.
    template <typename View>
    void line(View source, qsizetype start, qsizetype length, bool crFollows)
    {
        if (m_sink) {
            m_sink->line(start, length, crFollows);
            return;
        }
        m_text.append(source.sliced(start, length));
        m_text.append(TextUnits<View>::cr);
    }

    // A CR LF and a differing word of `source` at `start`.
    template <typename View>
    void word(View source, qsizetype start, qsizetype length)
    {
        if (m_sink) {
            m_sink->word(start, length);
            return;
        }
        m_text.append(TextUnits<View>::cr);
        m_text.append(TextUnits<View>::lf);
        m_text.append(source.sliced(start, length));
    }

private:
    Text &m_text;
    ResultSink *m_sink;
};

} // namespace Compare
