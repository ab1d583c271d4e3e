#pragma once

#include <QByteArray>
#include <QXmlStreamReader>

#include "engine/Progress.h"
#include "workbook/ZipArchive.h"

namespace Workbook {

// One XML part of a workbook, parsed as it is inflated, a slice at a time,
// so that a part of any size costs a slice of memory. A document type
// declaration is refused (entities could expand without bound, or reach
// outside the file), as is anything that is not well-formed.
class XmlPart
{
public:
    // `progress`, when given, counts the part's inflated bytes and stops the
    // read once cancelled.
    XmlPart(const ZipArchive &zip, qint64 index, Compare::Progress *progress = nullptr);

    // The next token; EndDocument at the end, Invalid on an error or a
    // cancel (see error()).
    QXmlStreamReader::TokenType next();
    QXmlStreamReader &xml() { return m_xml; }
    // Why the part could not be read; empty after a cancel.
    const QString &error() const { return m_error; }
    bool cancelled() const { return m_cancelled; }

    // The text of the element just started, up to its end, its children's
    // text included: the reader stands on its end element after it.
    bool readText(QString &text);
    // Skips to the end of the element just started.
    bool skipElement();

private:
    QXmlStreamReader::TokenType fail(const QString &error);

    ZipArchive::Entry m_entry;
    Compare::Progress *m_progress;
    QXmlStreamReader m_xml;
    QByteArray m_slice;
    QString m_error;
    bool m_atEnd = false;
    bool m_cancelled = false;
};

} // namespace Workbook
