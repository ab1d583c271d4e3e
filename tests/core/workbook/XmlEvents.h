#pragma once

// Everything a part's parser hands its handler, written out in one text, so
// that two readings of a part can be compared: start tags with their
// attributes in order, end tags, and the text between them joined.
#include <QByteArray>

#include "workbook/XmlPart.h"

class XmlEvents : public Workbook::XmlPart::Handler
{
public:
    // Stops the part at event number `stopAt` (from 1), when given.
    explicit XmlEvents(Workbook::XmlPart &part, int stopAt = 0) : m_part(part), m_stopAt(stopAt) {}

    void start(QByteArrayView name, const Workbook::XmlPart::Attributes &attributes) override
    {
        event();
        log += '<' + name.toByteArray();
        for (qsizetype i = 0; i < attributes.count(); ++i)
            log += ' ' + attributes.name(i).toByteArray() + "=[" + attributes.value(i).toByteArray()
                   + ']';
        log += ">\n";
    }
    void end(QByteArrayView name) override
    {
        event();
        log += "</" + name.toByteArray() + ">\n";
    }
    void text(QByteArrayView text) override { m_text += text; }
    void restart() override
    {
        log.clear();
        m_text.clear();
        m_events = 0;
        ++restarts;
    }

    // The log, with any text after the last tag.
    QByteArray finish()
    {
        flush();
        return log;
    }

    QByteArray log;
    int restarts = 0;

private:
    void flush()
    {
        if (!m_text.isEmpty())
            log += "text[" + m_text + "]\n";
        m_text.clear();
    }
    void event()
    {
        flush();
        if (++m_events == m_stopAt)
            m_part.stop(QStringLiteral("stopped at event %1").arg(m_stopAt));
    }

    Workbook::XmlPart &m_part;
    int m_stopAt;
    int m_events = 0;
    QByteArray m_text;
};
