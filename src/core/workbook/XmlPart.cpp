#include "workbook/XmlPart.h"

#include <cstring>
#include <expat.h>

#include "workbook/XmlScanner.h"

namespace Workbook {

namespace {

constexpr int kSlice = 256 * 1024;
// Far deeper than any workbook nests; readers may walk nested elements by
// recursion, so a deeper part is refused rather than followed.
constexpr int kMaxDepth = 256;

// Names are short: a loop costs less than a search.
QByteArrayView afterPrefix(QByteArrayView qualified)
{
    for (qsizetype i = 0; i < qualified.size(); ++i)
        if (qualified[i] == ':')
            return qualified.sliced(i + 1);
    return qualified;
}

} // namespace

XmlPart::XmlPart(const ZipArchive &zip, qint64 index, Compare::Progress *progress, Reading reading)
    : m_zip(zip), m_index(index), m_entry(zip.open(index)), m_progress(progress), m_reading(reading)
{
    if (!m_entry.error().isEmpty()) {
        m_error = m_entry.error();
        return;
    }
    if (m_progress)
        m_progress->total += m_entry.size();
    // No namespace processing: parts name their elements with whatever
    // prefix their writer chose, and the readers look past it.
    m_parser = XML_ParserCreate(nullptr); // the encoding the part declares
    if (!m_parser) {
        m_error = QStringLiteral("out of memory");
        return;
    }
    XML_SetUserData(m_parser, this);
    XML_SetElementHandler(m_parser, onStart, onEnd);
    XML_SetCharacterDataHandler(m_parser, onText);
    XML_SetStartDoctypeDeclHandler(m_parser, onDocumentType);
    XML_SetEntityDeclHandler(m_parser, onEntity);
    // Never read anything outside the part.
    XML_SetParamEntityParsing(m_parser, XML_PARAM_ENTITY_PARSING_NEVER);
    m_arena.reserve(2 * kSlice);
}

XmlPart::~XmlPart()
{
    if (m_parser)
        XML_ParserFree(m_parser);
}

qsizetype XmlPart::store(const char *bytes, qsizetype size)
{
    const qsizetype at = m_arena.size();
    m_arena.append(bytes, size);
    return at;
}

void XmlPart::queueElement(Token token, const char *name)
{
    const QByteArrayView local = afterPrefix(QByteArrayView(name, qsizetype(std::strlen(name))));
    m_events.push_back({token, store(local.data(), local.size()), local.size(),
                        qsizetype(m_attributes.size()), 0, 0, 0});
}

QByteArrayView XmlPart::Attributes::value(QByteArrayView local) const
{
    for (qsizetype i = 0; i + 1 < m_size; i += 2)
        if (sameName(afterPrefix(m_list[i]), local))
            return m_list[i + 1];
    return {};
}

// False (the parser stopped) when an element nests too deep.
bool XmlPart::enter()
{
    if (++m_depth <= kMaxDepth)
        return true;
    refuse(QStringLiteral("the workbook is refused: its XML nests deeper than %1 elements")
               .arg(kMaxDepth));
    return false;
}

void XmlPart::onStart(void *self, const char *name, const char **attributes)
{
    auto *part = static_cast<XmlPart *>(self);
    if (!part->enter())
        return;
    if (part->m_handler) {
        // The parser may still call after a stop; the handler has done.
        if (part->m_stopped)
            return;
        std::vector<QByteArrayView> &list = part->m_startAttributes;
        list.clear();
        for (const char **a = attributes; *a; ++a)
            list.emplace_back(*a, qsizetype(std::strlen(*a)));
        part->m_handler->start(afterPrefix(QByteArrayView(name, qsizetype(std::strlen(name)))),
                               Attributes(list.data(), qsizetype(list.size())));
        return;
    }
    part->queueElement(StartElement, name);
    Event &event = part->m_events.back();
    for (const char **a = attributes; *a; a += 2) {
        const qsizetype nameSize = qsizetype(std::strlen(a[0]));
        const qsizetype valueSize = qsizetype(std::strlen(a[1]));
        const qsizetype nameAt = part->store(a[0], nameSize);
        part->m_attributes.push_back({nameAt, nameSize, part->store(a[1], valueSize), valueSize});
        ++event.count;
    }
}

void XmlPart::onEnd(void *self, const char *name)
{
    auto *part = static_cast<XmlPart *>(self);
    --part->m_depth;
    if (!part->m_handler)
        part->queueElement(EndElement, name);
    else if (!part->m_stopped)
        part->m_handler->end(afterPrefix(QByteArrayView(name, qsizetype(std::strlen(name)))));
}

// Text comes in pieces (at line ends, at references); pieces in a row join.
void XmlPart::onText(void *self, const char *text, int size)
{
    auto *part = static_cast<XmlPart *>(self);
    if (part->m_handler) {
        if (!part->m_stopped)
            part->m_handler->text(QByteArrayView(text, size));
        return;
    }
    if (!part->m_events.empty() && part->m_events.back().token == Characters) {
        part->m_arena.append(text, size);
        part->m_events.back().textSize += size;
        return;
    }
    part->m_events.push_back({Characters, 0, 0, 0, 0, part->store(text, size), size});
}

void XmlPart::refuse(const QString &error)
{
    if (m_pending.isEmpty() && !m_stopped)
        m_pending = error;
    m_stopped = true;
    XML_StopParser(m_parser, XML_FALSE);
}

void XmlPart::finish()
{
    m_stopped = true;
    XML_StopParser(m_parser, XML_FALSE);
}

void XmlPart::onDocumentType(void *self, const char *, const char *, const char *, int)
{
    static_cast<XmlPart *>(self)->refuse(QStringLiteral(
        "the workbook is refused: its XML declares a document type (entities are not allowed)"));
}

void XmlPart::onEntity(void *self, const char *, int, const char *, int, const char *, const char *,
                       const char *, const char *)
{
    static_cast<XmlPart *>(self)->refuse(
        QStringLiteral("the workbook is refused: its XML uses an entity"));
}

XmlPart::Token XmlPart::fail(const QString &error)
{
    if (m_error.isEmpty() && !m_cancelled)
        m_error = error;
    return Invalid;
}

// Parses the next slice into the queue; false once the part is done.
bool XmlPart::refill()
{
    m_events.clear();
    m_attributes.clear();
    m_arena.clear();
    m_next = 0;
    if (m_atEnd || m_stopped || !m_pending.isEmpty())
        return false;
    if (m_progress && m_progress->cancelled.load(std::memory_order_relaxed)) {
        m_cancelled = true;
        return false;
    }
    void *buffer = XML_GetBuffer(m_parser, kSlice);
    if (!buffer) {
        m_pending = QStringLiteral("out of memory");
        return false;
    }
    const qint64 got = m_entry.read(static_cast<char *>(buffer), kSlice);
    if (got < 0) {
        m_pending = m_entry.error();
        return false;
    }
    if (m_progress)
        m_progress->add(got);
    m_atEnd = got == 0;
    if (XML_ParseBuffer(m_parser, int(got), m_atEnd) != XML_STATUS_OK && !m_stopped)
        m_pending = QStringLiteral("the workbook is damaged: %1 (line %2)")
                        .arg(QString::fromUtf8(XML_ErrorString(XML_GetErrorCode(m_parser))))
                        .arg(XML_GetCurrentLineNumber(m_parser));
    return true;
}

bool XmlPart::parse(Handler &handler)
{
    if (!m_error.isEmpty() || m_cancelled || !m_parser)
        return false;
    m_handler = &handler;
    if (m_reading == Reading::Scanner) {
        switch (scan(handler)) {
        case Scan::Done:
            m_scanned = true;
            m_handler = nullptr;
            return true;
        case Scan::Stopped:
            m_scanned = !m_cancelled;
            break;
        case Scan::Unsure:
            // Read again from the start, by expat alone.
            m_entry = m_zip.open(m_index);
            if (!m_entry.error().isEmpty()) {
                m_pending = m_entry.error();
                break;
            }
            if (m_progress)
                m_progress->total += m_entry.size();
            handler.restart();
            while (refill()) {
            }
            break;
        }
    } else {
        while (refill()) {
        }
    }
    m_handler = nullptr;
    if (m_cancelled)
        return false;
    if (!m_pending.isEmpty()) {
        fail(m_pending);
        return false;
    }
    return true;
}

// Reads the part with the scanner. A fault of the zip is left to the
// expat reading too, so that whatever is wrong is told as expat tells it.
XmlPart::Scan XmlPart::scan(Handler &handler)
{
    XmlScanner scanner(handler, m_stopped, kMaxDepth);
    for (;;) {
        if (m_progress && m_progress->cancelled.load(std::memory_order_relaxed)) {
            m_cancelled = true;
            return Scan::Stopped;
        }
        char *room = scanner.room(kSlice);
        const qint64 got = m_entry.read(room, kSlice);
        if (got < 0)
            return Scan::Unsure;
        if (m_progress)
            m_progress->add(got);
        switch (scanner.feed(got, got == 0)) {
        case XmlScanner::State::Reading:
            break;
        case XmlScanner::State::Done:
            return Scan::Done;
        case XmlScanner::State::Stopped:
            return Scan::Stopped;
        case XmlScanner::State::Unsure:
            return Scan::Unsure;
        }
    }
}

XmlPart::Token XmlPart::next()
{
    if (!m_error.isEmpty() || m_cancelled || !m_parser)
        return Invalid;
    // The tokens parsed before an error are handed out first, so that the
    // reader meets whatever it would refuse in the order the part holds it.
    while (m_next >= m_events.size()) {
        if (!refill()) {
            if (m_cancelled)
                return Invalid;
            if (!m_pending.isEmpty())
                return fail(m_pending);
            return EndDocument;
        }
    }
    return m_events[m_next++].token;
}

QByteArrayView XmlPart::name() const
{
    const Event &event = m_events[m_next - 1];
    return bytes(event.name, event.nameSize);
}

QByteArrayView XmlPart::attributeBytes(QByteArrayView local) const
{
    const Event &event = m_events[m_next - 1];
    for (qsizetype i = event.attributes; i < event.attributes + event.count; ++i) {
        const Attribute &a = m_attributes[size_t(i)];
        if (afterPrefix(bytes(a.name, a.nameSize)) == local)
            return bytes(a.value, a.valueSize);
    }
    return {};
}

QByteArrayView XmlPart::qualifiedAttribute(QByteArrayView qualified) const
{
    const Event &event = m_events[m_next - 1];
    for (qsizetype i = event.attributes; i < event.attributes + event.count; ++i) {
        const Attribute &a = m_attributes[size_t(i)];
        if (bytes(a.name, a.nameSize) == qualified)
            return bytes(a.value, a.valueSize);
    }
    return {};
}

QByteArrayView XmlPart::text() const
{
    const Event &event = m_events[m_next - 1];
    return bytes(event.text, event.textSize);
}

bool XmlPart::readText(QByteArray &text)
{
    text.resize(0);
    return readToEnd(&text);
}

bool XmlPart::skipElement()
{
    return readToEnd(nullptr);
}

bool XmlPart::readToEnd(QByteArray *text)
{
    int depth = 1;
    while (depth > 0) {
        switch (next()) {
        case StartElement:
            ++depth;
            break;
        case EndElement:
            --depth;
            break;
        case Characters:
            if (text)
                text->append(this->text());
            break;
        case Invalid:
        case EndDocument:
            return false;
        }
    }
    return true;
}

} // namespace Workbook
