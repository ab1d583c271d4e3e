#include "workbook/XmlPart.h"

namespace Workbook {

namespace {

constexpr qint64 kSlice = 256 * 1024;

} // namespace

XmlPart::XmlPart(const ZipArchive &zip, qint64 index, Compare::Progress *progress)
    : m_entry(zip.open(index)), m_progress(progress), m_slice(kSlice, Qt::Uninitialized)
{
    m_xml.setNamespaceProcessing(false);
    if (!m_entry.error().isEmpty())
        m_error = m_entry.error();
    else if (m_progress)
        m_progress->total += m_entry.size();
}

QXmlStreamReader::TokenType XmlPart::fail(const QString &error)
{
    if (m_error.isEmpty() && !m_cancelled)
        m_error = error;
    return QXmlStreamReader::Invalid;
}

QXmlStreamReader::TokenType XmlPart::next()
{
    if (!m_error.isEmpty() || m_cancelled)
        return QXmlStreamReader::Invalid;
    for (;;) {
        const QXmlStreamReader::TokenType token = m_xml.readNext();
        if (token == QXmlStreamReader::DTD)
            return fail(QStringLiteral("the workbook is refused: its XML declares a document type "
                                       "(entities are not allowed)"));
        if (token == QXmlStreamReader::EntityReference)
            return fail(QStringLiteral("the workbook is refused: its XML uses an entity"));
        if (token != QXmlStreamReader::Invalid)
            return token;
        if (m_xml.error() != QXmlStreamReader::PrematureEndOfDocumentError || m_atEnd)
            return fail(QStringLiteral("the workbook is damaged: %1 (line %2)")
                            .arg(m_xml.errorString())
                            .arg(m_xml.lineNumber()));
        if (m_progress && m_progress->cancelled.load(std::memory_order_relaxed)) {
            m_cancelled = true;
            return QXmlStreamReader::Invalid;
        }
        const qint64 got = m_entry.read(m_slice.data(), m_slice.size());
        if (got < 0)
            return fail(m_entry.error());
        if (got == 0) {
            m_atEnd = true;
            continue; // the reader now reports the premature end as final
        }
        if (m_progress)
            m_progress->add(got);
        m_xml.addData(QByteArray(m_slice.constData(), got));
    }
}

bool XmlPart::readText(QString &text)
{
    text.clear();
    int depth = 1;
    while (depth > 0) {
        switch (next()) {
        case QXmlStreamReader::StartElement:
            ++depth;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        case QXmlStreamReader::Characters:
            text += m_xml.text();
            break;
        case QXmlStreamReader::Invalid:
        case QXmlStreamReader::EndDocument:
            return false;
        default:
            break;
        }
    }
    return true;
}

bool XmlPart::skipElement()
{
    int depth = 1;
    while (depth > 0) {
        switch (next()) {
        case QXmlStreamReader::StartElement:
            ++depth;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        case QXmlStreamReader::Invalid:
        case QXmlStreamReader::EndDocument:
            return false;
        default:
            break;
        }
    }
    return true;
}

} // namespace Workbook
