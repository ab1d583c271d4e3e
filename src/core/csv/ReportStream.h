#pragma once

#include <charconv>
#include <string>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include "csv/RowsReport.h"
#include "csv/WorkControl.h"

namespace Csv {

// Collects a report and hands it to its sink in large pieces; after the sink
// gives up, or `control` (which may be null) is cancelled, nothing more is
// handed on and ok() is false, so that the writer stops at its next finding.
class ReportStream
{
public:
    explicit ReportStream(const ReportSink &sink, WorkControl *control = nullptr)
        : m_sink(sink), m_control(control)
    {
        m_buffer.reserve(kPiece + 4096);
    }
    ~ReportStream() { flush(); }
    ReportStream(const ReportStream &) = delete;
    ReportStream &operator=(const ReportStream &) = delete;

    // Bytes of any length go on in pieces of kPiece, so that the sink never
    // holds more than a piece at once and a Cancel stops them within one.
    ReportStream &operator<<(QByteArrayView bytes)
    {
        while (m_ok && m_buffer.size() + size_t(bytes.size()) >= kPiece) {
            const qsizetype room = qsizetype(kPiece - m_buffer.size());
            m_buffer.append(bytes.data(), size_t(room));
            bytes = bytes.sliced(room);
            flush();
        }
        if (m_ok)
            m_buffer.append(bytes.data(), size_t(bytes.size()));
        return *this;
    }
    ReportStream &operator<<(const QByteArray &bytes) { return *this << QByteArrayView(bytes); }
    ReportStream &operator<<(const char *text) { return *this << QByteArrayView(text); }
    ReportStream &operator<<(char c)
    {
        m_buffer.push_back(c);
        if (m_buffer.size() >= kPiece) // a long cell escaped a character at a time
            flush();
        return *this;
    }
    ReportStream &text(const QString &text) { return *this << QByteArrayView(text.toUtf8()); }
    ReportStream &number(qint64 value)
    {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        return *this << QByteArrayView(digits, end - digits);
    }
    bool flush()
    {
        if (m_control && m_control->cancelled())
            m_ok = false;
        if (m_ok && !m_buffer.empty())
            m_ok = m_sink(QByteArrayView(m_buffer.data(), qsizetype(m_buffer.size())));
        m_buffer.clear();
        return m_ok;
    }
    bool ok() const { return m_ok; }
    // Counts one finding (a row, a key, a note) about to be written, and
    // checks for Cancel every few hundred; false once the writing stops.
    bool finding() { return findings(1); }
    // The same for `count` findings written elsewhere (see csvReport).
    bool findings(qint64 count)
    {
        m_findings += count;
        if (m_ok && m_control && m_findings >= kFindingsPerCheck) {
            m_ok = m_control->proceed(m_findings);
            m_findings = 0;
        }
        return m_ok;
    }

private:
    static constexpr size_t kPiece = 1 << 16;
    static constexpr qint64 kFindingsPerCheck = 256;
    const ReportSink &m_sink;
    WorkControl *m_control;
    qint64 m_findings = 0;
    std::string m_buffer;
    bool m_ok = true;
};

} // namespace Csv
