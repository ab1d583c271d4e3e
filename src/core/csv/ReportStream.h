#pragma once

#include <string>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include "csv/RowsReport.h"

namespace Csv {

// Collects a report and hands it to its sink in large pieces; after the sink
// gives up, nothing more is handed on.
class ReportStream
{
public:
    explicit ReportStream(const ReportSink &sink) : m_sink(sink)
    {
        m_buffer.reserve(kPiece + 4096);
    }
    ~ReportStream() { flush(); }
    ReportStream(const ReportStream &) = delete;
    ReportStream &operator=(const ReportStream &) = delete;

    ReportStream &operator<<(QByteArrayView bytes)
    {
        m_buffer.append(bytes.data(), size_t(bytes.size()));
        if (m_buffer.size() >= kPiece)
            flush();
        return *this;
    }
    ReportStream &operator<<(const QByteArray &bytes) { return *this << QByteArrayView(bytes); }
    ReportStream &operator<<(const char *text) { return *this << QByteArrayView(text); }
    ReportStream &operator<<(char c)
    {
        m_buffer.push_back(c);
        return *this;
    }
    ReportStream &text(const QString &text) { return *this << QByteArrayView(text.toUtf8()); }
    ReportStream &number(qint64 value)
    {
        return *this << QByteArrayView(QByteArray::number(value));
    }
    bool flush()
    {
        if (m_ok && !m_buffer.empty())
            m_ok = m_sink(QByteArrayView(m_buffer.data(), qsizetype(m_buffer.size())));
        m_buffer.clear();
        return m_ok;
    }
    bool ok() const { return m_ok; }

private:
    static constexpr size_t kPiece = 1 << 16;
    const ReportSink &m_sink;
    std::string m_buffer;
    bool m_ok = true;
};

} // namespace Csv
