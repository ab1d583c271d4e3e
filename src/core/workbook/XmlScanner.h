#pragma once

#include <string>
#include <vector>

#include <QByteArrayView>
#include <QString>

#include "workbook/XmlPart.h"

namespace Workbook {

// Reads the plain XML that spreadsheet writers produce several times faster
// than expat, and only that: UTF-8 with at most a standard XML declaration,
// ASCII names, attribute values and text with the five predefined entities
// and character references, no comments, processing instructions, CDATA
// sections, document types or carriage returns. Within that subset it hands
// the handler exactly the events expat would (text may come in other
// pieces). Whatever lies outside it, well-formed or not, makes it unsure:
// the caller then reads the part again with expat, which alone decides.
class XmlScanner
{
public:
    enum class State {
        Reading, // give it more
        Done,    // the document ended well-formed
        Stopped, // the handler stopped (`stop` was set)
        Unsure,  // beyond the subset: read the part with expat
    };

    // `stop` is looked at after every event; once it is set, the scanner
    // stops. Elements deeper than `maxDepth` make it unsure.
    XmlScanner(XmlPart::Handler &handler, const bool &stop, int maxDepth);

    // Room for `size` more bytes, to be written and then given to feed().
    char *room(qsizetype size);
    // Reads the `size` bytes written into room(); `last` once no more follow.
    State feed(qsizetype size, bool last);

private:
    State scan(const char *at, const char *to);
    State text(const char *from, const char *to);
    State tag(const char *&at, const char *to);
    State startTag(const char *&at, const char *to);
    State endTag(const char *&at, const char *to);
    bool declaration(const char *&at, const char *to) const;
    bool value(const char *from, const char *to, QByteArrayView &value);
    State stopped() const { return m_stop ? State::Stopped : State::Reading; }

    XmlPart::Handler &m_handler;
    const bool &m_stop;
    const int m_maxDepth;
    std::string m_buffer;
    qsizetype m_size = 0;         // bytes in m_buffer not read yet
    qint64 m_offset = 0;          // of m_buffer's start in the document
    std::string m_names;          // the open elements' names, one after another
    std::vector<size_t> m_starts; // where each open element's name starts
    bool m_rootEnded = false;
    std::vector<QByteArrayView> m_attributes; // name, value, name, value...
    std::string m_values;                     // attribute values with their references replaced
};

} // namespace Workbook
