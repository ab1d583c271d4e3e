#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include "engine/Progress.h"
#include "workbook/ZipArchive.h"

struct XML_ParserStruct;

namespace Workbook {

// Whether two names are the same, with no call: names are a few bytes, and a
// sheet compares some for every cell.
inline bool sameName(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (a[i] != b[i])
            return false;
    return true;
}

// One XML part of a workbook, parsed as it is inflated, a slice at a time,
// so that a part of any size costs a slice of memory. A document type
// declaration is refused (entities could expand without bound, or reach
// outside the file), as is anything that is not well-formed.
//
// Expat parses each slice into a queue of tokens that next() hands out one
// at a time; names, attributes and text stay UTF-8, as the part holds them.
// What a token gives (name(), attribute(), text()) lasts until next().
class XmlPart
{
public:
    enum Token { StartElement, EndElement, Characters, EndDocument, Invalid };

    // The attributes of a start tag, as the parser hands them over; they
    // last as long as the call they come with.
    class Attributes
    {
    public:
        // `list` holds `size` views: name, value, name, value...
        Attributes(const QByteArrayView *list, qsizetype size) : m_list(list), m_size(size) {}
        // The value of the attribute named `local` after its prefix, or empty.
        QByteArrayView value(QByteArrayView local) const;
        // The attributes in the order the tag gives them.
        qsizetype count() const { return m_size / 2; }
        QByteArrayView name(qsizetype i) const { return m_list[2 * i]; }
        QByteArrayView value(qsizetype i) const { return m_list[2 * i + 1]; }
        // The attribute whose whole name is `qualified`.
        QByteArrayView qualified(QByteArrayView qualified) const
        {
            for (qsizetype i = 0; i + 1 < m_size; i += 2)
                if (sameName(m_list[i], qualified))
                    return m_list[i + 1];
            return {};
        }

    private:
        const QByteArrayView *m_list;
        qsizetype m_size;
    };

    // Takes the tokens of a part as they are parsed, with nothing queued or
    // copied between: the way to read a sheet, where every cell counts.
    // Names are local (after their prefix); text comes in pieces.
    class Handler
    {
    public:
        virtual ~Handler() = default;
        virtual void start(QByteArrayView name, const Attributes &attributes) = 0;
        virtual void end(QByteArrayView name) = 0;
        virtual void text(QByteArrayView text) = 0;
        // Forgets every token taken: the part is read again from its start.
        virtual void restart() = 0;
    };

    // How parse() reads: first with the scanner that reads plain parts
    // several times faster, handing the part to expat when it holds more
    // (see XmlScanner), or with expat alone.
    enum class Reading { Scanner, ExpatOnly };

    // `progress`, when given, counts the part's inflated bytes and stops the
    // read once cancelled.
    XmlPart(const ZipArchive &zip, qint64 index, Compare::Progress *progress = nullptr,
            Reading reading = Reading::Scanner);
    ~XmlPart();
    XmlPart(const XmlPart &) = delete;
    XmlPart &operator=(const XmlPart &) = delete;

    // The next token; EndDocument at the end, Invalid on an error or a
    // cancel (see error()). Text between two tags comes as one token.
    Token next();
    // The element's name after its prefix ("x:row" is "row"), of the element
    // just started or ended.
    QByteArrayView name() const;
    // The value of the element's attribute named `local` after its prefix,
    // or empty; attribute() decodes it.
    QByteArrayView attributeBytes(QByteArrayView local) const;
    QString attribute(QByteArrayView local) const
    {
        return QString::fromUtf8(attributeBytes(local));
    }
    // The attribute whose whole name is `qualified` (no prefix).
    QByteArrayView qualifiedAttribute(QByteArrayView qualified) const;
    // The text of a Characters token.
    QByteArrayView text() const;

    // Parses the whole part into `handler`, on a part nothing was read from
    // yet; false on an error (see error()) or a cancel. The handler is told
    // to restart when the scanner hands the part to expat.
    bool parse(Handler &handler);
    // Whether parse() read the part with the scanner alone.
    bool scanned() const { return m_scanned; }
    // Ends parse() early, with `error` as the part's error; from a handler.
    void stop(const QString &error) { refuse(error); }
    // Ends parse() early as if the part ended there; from a handler that
    // has read all it wants.
    void finish();

    // Why the part could not be read; empty after a cancel.
    const QString &error() const { return m_error; }
    bool cancelled() const { return m_cancelled; }
    // The part's inflated size, as its zip states it.
    qint64 size() const { return m_entry.size(); }

    // Calls `element(name)` for each element of the part as it starts, in
    // document order: it may read the element to its end or leave its
    // children to the walk, and returns false to end the walk. The part's
    // error after, empty when the walk ended or reached the end (or on a
    // cancel: see cancelled()).
    template <typename Element>
    QString forEachElement(Element &&element);

    // Walks the children of the element just started, up to its end (the
    // reader stands on that end after it). `child(name)` is called as each
    // child starts; it reads the child to its end (skipElement(), readText(),
    // forEachChild()) and returns false to stop the walk. Text between the
    // children goes to `text(bytes)`. False on a stop, an error or a cancel.
    template <typename Child, typename Text>
    bool forEachChild(Child &&child, Text &&text);
    template <typename Child>
    bool forEachChild(Child &&child)
    {
        return forEachChild(child, [](QByteArrayView) {});
    }

    // The text of the element just started, up to its end, its children's
    // text included: the reader stands on its end element after it.
    bool readText(QByteArray &text);
    // Skips to the end of the element just started.
    bool skipElement();

private:
    // Reads to the end of the element just started, keeping its text when asked.
    bool readToEnd(QByteArray *text);
    struct Event
    {
        Token token;
        qsizetype name, nameSize;    // the local name, in m_arena
        qsizetype attributes, count; // in m_attributes
        qsizetype text, textSize;    // in m_arena
    };
    struct Attribute
    {
        qsizetype name, nameSize; // qualified
        qsizetype value, valueSize;
    };

    static void onStart(void *self, const char *name, const char **attributes);
    static void onEnd(void *self, const char *name);
    static void onText(void *self, const char *text, int size);
    static void onDocumentType(void *self, const char *, const char *, const char *, int);
    static void onEntity(void *self, const char *, int, const char *, int, const char *,
                         const char *, const char *, const char *);

    bool enter();
    enum class Scan { Done, Stopped, Unsure };
    Scan scan(Handler &handler);
    bool parseWithExpat();
    qsizetype store(const char *bytes, qsizetype size);
    void queueElement(Token token, const char *name);
    void refuse(const QString &error);
    bool refill();
    Token fail(const QString &error);
    QByteArrayView bytes(qsizetype at, qsizetype size) const
    {
        return QByteArrayView(m_arena.data() + at, size);
    }

    const ZipArchive &m_zip;
    qint64 m_index;
    ZipArchive::Entry m_entry;
    Compare::Progress *m_progress;
    Reading m_reading;
    bool m_scanned = false;
    std::vector<QByteArrayView> m_startAttributes; // of the tag expat is at
    Handler *m_handler = nullptr;                  // while parse() runs
    XML_ParserStruct *m_parser = nullptr;
    std::string m_arena;
    std::vector<Event> m_events;
    std::vector<Attribute> m_attributes;
    size_t m_next = 0;      // the event after the current one
    int m_depth = 0;        // of the element the parser is in
    QString m_pending;      // an error found past the queued tokens
    bool m_stopped = false; // by refuse() or finish(): no more tokens to the handler
    QString m_error;
    bool m_atEnd = false;
    bool m_cancelled = false;
};

template <typename Element>
QString XmlPart::forEachElement(Element &&element)
{
    for (;;) {
        switch (next()) {
        case StartElement:
            if (!element(name()))
                return m_error;
            break;
        case EndElement:
        case Characters:
            break;
        case EndDocument:
            return QString();
        case Invalid:
            return m_error;
        }
    }
}

template <typename Child, typename Text>
bool XmlPart::forEachChild(Child &&child, Text &&text)
{
    for (;;) {
        switch (next()) {
        case StartElement:
            if (!child(name()))
                return false;
            break;
        case EndElement:
            return true;
        case Characters:
            text(this->text());
            break;
        case EndDocument:
        case Invalid:
            return false;
        }
    }
}

} // namespace Workbook
