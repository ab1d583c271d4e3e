#include "workbook/XmlScanner.h"

#include <cstring>

#include "base/LastByte.h"

namespace Workbook {

namespace {

using State = XmlScanner::State;

// Past this, a token that has not ended (a text run, a tag) is left to expat.
constexpr qsizetype kMaxKept = qsizetype(16) << 20;
// More attributes than this on one element are left to expat, so that the
// check for a repeated name stays short.
constexpr qsizetype kMaxAttributes = 64;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isNameStart(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool isNameChar(char c)
{
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == ':';
}

// The end of the ASCII name at `at`, or null when none starts there.
const char *nameEnd(const char *at, const char *to)
{
    if (at >= to || !isNameStart(*at))
        return nullptr;
    while (++at < to && isNameChar(*at)) {
    }
    return at;
}

const char *skipSpace(const char *at, const char *to)
{
    while (at < to && isSpace(*at))
        ++at;
    return at;
}

// Names are short: a loop costs less than a search.
QByteArrayView afterPrefix(QByteArrayView qualified)
{
    for (qsizetype i = 0; i < qualified.size(); ++i)
        if (qualified[i] == ':')
            return qualified.sliced(i + 1);
    return qualified;
}

// The length of the UTF-8 character at `at` that XML allows (not U+FFFE or
// U+FFFF), or 0.
int characterLength(const uchar *at, const uchar *to)
{
    const uchar c = at[0];
    const auto tail = [&](int i) { return at + i < to && (at[i] & 0xC0) == 0x80; };
    if (c >= 0xC2 && c <= 0xDF)
        return tail(1) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        if (!tail(1) || !tail(2))
            return 0;
        if ((c == 0xE0 && at[1] < 0xA0) || (c == 0xED && at[1] >= 0xA0))
            return 0; // overlong, or a surrogate
        if (c == 0xEF && at[1] == 0xBF && at[2] >= 0xBE)
            return 0; // U+FFFE, U+FFFF
        return 3;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        if (!tail(1) || !tail(2) || !tail(3))
            return 0;
        if ((c == 0xF0 && at[1] < 0x90) || (c == 0xF4 && at[1] >= 0x90))
            return 0; // overlong, or past U+10FFFF
        return 4;
    }
    return 0;
}

// A code point XML allows as a character reference.
bool isXmlChar(quint32 c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF)
           || (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

int encodeUtf8(quint32 c, char *into)
{
    if (c < 0x80) {
        into[0] = char(c);
        return 1;
    }
    if (c < 0x800) {
        into[0] = char(0xC0 | (c >> 6));
        into[1] = char(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        into[0] = char(0xE0 | (c >> 12));
        into[1] = char(0x80 | ((c >> 6) & 0x3F));
        into[2] = char(0x80 | (c & 0x3F));
        return 3;
    }
    into[0] = char(0xF0 | (c >> 18));
    into[1] = char(0x80 | ((c >> 12) & 0x3F));
    into[2] = char(0x80 | ((c >> 6) & 0x3F));
    into[3] = char(0x80 | (c & 0x3F));
    return 4;
}

// The reference at `at` ('&') as UTF-8 into `into`: its length, or 0 when it
// is not one of the predefined entities or a character reference to a
// character XML allows. `end` is set past its ';'.
int reference(const char *at, const char *to, char *into, const char *&end)
{
    const char *semicolon =
        static_cast<const char *>(std::memchr(at, ';', size_t(std::min<qsizetype>(to - at, 12))));
    if (!semicolon)
        return 0;
    end = semicolon + 1;
    const QByteArrayView name(at + 1, semicolon - at - 1);
    static const struct
    {
        const char *name;
        char c;
    } predefined[] = {{"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
    for (const auto &entity : predefined) {
        if (name == entity.name) {
            into[0] = entity.c;
            return 1;
        }
    }
    if (name.size() < 2 || name[0] != '#')
        return 0;
    const bool hex = name[1] == 'x';
    const QByteArrayView digits = name.sliced(hex ? 2 : 1);
    if (digits.isEmpty() || digits.size() > 7)
        return 0;
    quint32 c = 0;
    for (const char d : digits) {
        int v = -1;
        if (d >= '0' && d <= '9')
            v = d - '0';
        else if (hex && d >= 'a' && d <= 'f')
            v = d - 'a' + 10;
        else if (hex && d >= 'A' && d <= 'F')
            v = d - 'A' + 10;
        if (v < 0)
            return 0;
        c = c * (hex ? 16 : 10) + quint32(v);
    }
    return isXmlChar(c) ? encodeUtf8(c, into) : 0;
}

} // namespace

XmlScanner::XmlScanner(XmlPart::Handler &handler, const bool &stop, int maxDepth)
    : m_handler(handler), m_stop(stop), m_maxDepth(maxDepth)
{
}

char *XmlScanner::room(qsizetype size)
{
    if (qsizetype(m_buffer.size()) < m_size + size)
        m_buffer.resize(size_t(m_size + size));
    return m_buffer.data() + m_size;
}

XmlScanner::State XmlScanner::feed(qsizetype size, bool last)
{
    m_size += size;
    const char *begin = m_buffer.data();
    const char *end = begin + m_size;
    // Every tag before the last '<' has ended (a '<' inside a tag is not
    // well-formed), and so has the text before it.
    const char *to = end;
    if (!last) {
        const char *lastOpen = lastByte(begin, size_t(m_size), '<');
        to = lastOpen ? lastOpen : begin;
    }
    const State state = scan(begin, to);
    if (state != State::Reading)
        return state;
    if (last)
        return m_rootEnded && m_starts.empty() ? State::Done : State::Unsure;
    const qsizetype kept = end - to;
    if (kept > kMaxKept)
        return State::Unsure;
    std::memmove(m_buffer.data(), to, size_t(kept));
    m_offset += to - begin;
    m_size = kept;
    return State::Reading;
}

XmlScanner::State XmlScanner::scan(const char *at, const char *to)
{
    while (at < to) {
        if (*at != '<') {
            const char *open = static_cast<const char *>(std::memchr(at, '<', size_t(to - at)));
            const char *end = open ? open : to;
            if (const State state = text(at, end); state != State::Reading)
                return state;
            at = end;
            continue;
        }
        if (const State state = tag(at, to); state != State::Reading)
            return state;
    }
    return State::Reading;
}

XmlScanner::State XmlScanner::text(const char *from, const char *to)
{
    if (m_starts.empty()) {
        // Outside the document element only white space is read here.
        for (const char *at = from; at < to; ++at)
            if (!isSpace(*at))
                return State::Unsure;
        return State::Reading;
    }
    const char *piece = from;
    const auto give = [&](const char *end) {
        if (end > piece)
            m_handler.text(QByteArrayView(piece, end - piece));
    };
    for (const char *at = from; at < to;) {
        const uchar c = uchar(*at);
        if (c >= 0x20 && c < 0x80 && c != '&' && c != '>') {
            ++at;
        } else if (c == '>') {
            // "]]>" may not stand in text.
            if (at - from >= 2 && at[-1] == ']' && at[-2] == ']')
                return State::Unsure;
            ++at;
        } else if (c == '\t' || c == '\n') {
            ++at;
        } else if (c == '&') {
            char bytes[4];
            const char *end = nullptr;
            const int length = reference(at, to, bytes, end);
            if (length == 0)
                return State::Unsure;
            give(at);
            m_handler.text(QByteArrayView(bytes, length));
            if (m_stop)
                return State::Stopped;
            at = piece = end;
        } else if (c >= 0x80) {
            const int length = characterLength(reinterpret_cast<const uchar *>(at),
                                               reinterpret_cast<const uchar *>(to));
            if (length == 0)
                return State::Unsure;
            at += length;
        } else {
            return State::Unsure; // a control character or a carriage return
        }
    }
    give(to);
    return stopped();
}

XmlScanner::State XmlScanner::tag(const char *&at, const char *to)
{
    if (at + 1 >= to)
        return State::Unsure;
    if (at[1] == '/')
        return endTag(at, to);
    if (at[1] == '?' && m_offset + (at - m_buffer.data()) == 0)
        return declaration(at, to) ? State::Reading : State::Unsure;
    return startTag(at, to);
}

// The XML declaration, in the forms spreadsheet writers use, standing first.
bool XmlScanner::declaration(const char *&at, const char *to) const
{
    const char *p = at;
    const auto literal = [&](const char *text) {
        const size_t n = std::strlen(text);
        if (to - p < qsizetype(n) || std::memcmp(p, text, n) != 0)
            return false;
        p += n;
        return true;
    };
    const auto quoted = [&](std::initializer_list<const char *> values) {
        for (const char quote : {'"', '\''}) {
            for (const char *value : values) {
                const std::string text = quote + std::string(value) + quote;
                if (literal(text.c_str()))
                    return true;
            }
        }
        return false;
    };
    const auto space = [&] {
        const char *after = skipSpace(p, to);
        const bool any = after > p;
        p = after;
        return any;
    };
    if (!literal("<?xml") || !space() || !literal("version=") || !quoted({"1.0"}))
        return false;
    const char *mark = p;
    if (!(space() && literal("encoding=") && quoted({"UTF-8", "utf-8"})))
        p = mark;
    mark = p;
    if (!(space() && literal("standalone=") && quoted({"yes", "no"})))
        p = mark;
    space();
    if (!literal("?>"))
        return false;
    at = p;
    return true;
}

// An attribute's value between its quotes, references replaced (into
// m_values, whose room was reserved for the whole tag, so that the values
// given before stay where they are).
bool XmlScanner::value(const char *from, const char *to, QByteArrayView &value)
{
    const size_t start = m_values.size();
    const char *plain = from; // the bytes not copied yet
    bool replaced = false;
    for (const char *at = from; at < to;) {
        const uchar c = uchar(*at);
        if (c >= 0x20 && c < 0x80 && c != '&' && c != '<') {
            ++at;
        } else if (c == '&') {
            char bytes[4];
            const char *end = nullptr;
            const int length = reference(at, to, bytes, end);
            if (length == 0)
                return false;
            m_values.append(plain, size_t(at - plain));
            m_values.append(bytes, size_t(length));
            replaced = true;
            at = plain = end;
        } else if (c >= 0x80) {
            const int length = characterLength(reinterpret_cast<const uchar *>(at),
                                               reinterpret_cast<const uchar *>(to));
            if (length == 0)
                return false;
            at += length;
        } else {
            // '<', a control character, or white space expat would make a space.
            return false;
        }
    }
    if (!replaced) {
        value = QByteArrayView(from, to - from);
        return true;
    }
    m_values.append(plain, size_t(to - plain));
    value = QByteArrayView(m_values.data() + start, qsizetype(m_values.size() - start));
    return true;
}

XmlScanner::State XmlScanner::startTag(const char *&at, const char *to)
{
    const char *nameFrom = at + 1;
    const char *p = nameEnd(nameFrom, to);
    if (!p || m_rootEnded || qsizetype(m_starts.size()) >= m_maxDepth)
        return State::Unsure;
    const QByteArrayView name(nameFrom, p - nameFrom);
    m_attributes.clear();
    m_values.clear();
    m_values.reserve(size_t(to - at));
    bool empty = false;
    for (;;) {
        const char *after = skipSpace(p, to);
        if (after >= to)
            return State::Unsure;
        if (*after == '>') {
            p = after + 1;
            break;
        }
        if (*after == '/') {
            if (after + 1 >= to || after[1] != '>')
                return State::Unsure;
            p = after + 2;
            empty = true;
            break;
        }
        if (after == p)
            return State::Unsure; // attributes are set apart by white space
        const char *attributeEnd = nameEnd(after, to);
        if (!attributeEnd || attributeEnd + 1 >= to || *attributeEnd != '=')
            return State::Unsure;
        const char quote = attributeEnd[1];
        if (quote != '"' && quote != '\'')
            return State::Unsure;
        const char *valueFrom = attributeEnd + 2;
        const char *close = static_cast<const char *>(
            std::memchr(valueFrom, quote, size_t(std::max<qsizetype>(0, to - valueFrom))));
        if (!close)
            return State::Unsure;
        const QByteArrayView attribute(after, attributeEnd - after);
        for (size_t i = 0; i < m_attributes.size(); i += 2)
            if (m_attributes[i] == attribute)
                return State::Unsure; // expat refuses a repeated attribute
        QByteArrayView text;
        if (qsizetype(m_attributes.size()) >= 2 * kMaxAttributes || !value(valueFrom, close, text))
            return State::Unsure;
        m_attributes.push_back(attribute);
        m_attributes.push_back(text);
        p = close + 1;
    }
    at = p;
    const QByteArrayView local = afterPrefix(name);
    m_handler.start(local,
                    XmlPart::Attributes(m_attributes.data(), qsizetype(m_attributes.size())));
    if (m_stop)
        return State::Stopped;
    if (empty) {
        m_handler.end(local);
        m_rootEnded = m_starts.empty();
        return stopped();
    }
    m_starts.push_back(m_names.size());
    m_names.append(name.data(), size_t(name.size()));
    return State::Reading;
}

XmlScanner::State XmlScanner::endTag(const char *&at, const char *to)
{
    const char *nameFrom = at + 2;
    const char *nameStop = nameEnd(nameFrom, to);
    if (!nameStop || m_starts.empty())
        return State::Unsure;
    const char *p = skipSpace(nameStop, to);
    if (p >= to || *p != '>')
        return State::Unsure;
    const QByteArrayView name(nameFrom, nameStop - nameFrom);
    const size_t start = m_starts.back();
    if (name != QByteArrayView(m_names.data() + start, qsizetype(m_names.size() - start)))
        return State::Unsure;
    at = p + 1;
    m_handler.end(afterPrefix(name));
    m_starts.pop_back();
    m_names.resize(start);
    m_rootEnded = m_starts.empty();
    return stopped();
}

} // namespace Workbook
