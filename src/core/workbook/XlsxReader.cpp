// Office Open XML workbooks: the workbook part names the sheets and finds
// their parts through its relationships; styles give each cell's number
// format; shared strings are read once, before the sheet.
#include <vector>

#include "workbook/NumberFormat.h"
#include "workbook/Readers.h"
#include "workbook/SheetCsv.h"
#include "workbook/XmlPart.h"

namespace Workbook::Xlsx {

namespace {

// A part's path from a relationship's target, relative to the folder of the
// part that holds the relationship ("xl/").
QString resolve(const QString &folder, QStringView target)
{
    QStringList parts;
    const QString full =
        target.startsWith(u'/') ? target.sliced(1).toString() : folder + target.toString();
    for (const QString &part : full.split(u'/', Qt::SkipEmptyParts)) {
        if (part == u"..") {
            if (!parts.isEmpty())
                parts.removeLast();
        } else if (part != u".") {
            parts << part;
        }
    }
    return parts.join(u'/');
}

QString folderOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? QString() : path.first(slash + 1);
}

struct Relationship
{
    QString id;
    QString type;
    QString target; // resolved
};

// The relationships of the part at `path`, from its .rels part.
std::vector<Relationship> relationships(const ZipArchive &zip, const QString &path, QString &error)
{
    std::vector<Relationship> found;
    const QString folder = folderOf(path);
    const QString rels =
        folder + QStringLiteral("_rels/") + path.sliced(folder.size()) + QStringLiteral(".rels");
    const qint64 index = zip.find(rels);
    if (index < 0)
        return found;
    XmlPart part(zip, index);
    error = part.forEachElement([&](QByteArrayView name) {
        if (name == "Relationship")
            found.push_back({part.attribute("Id"), part.attribute("Type"),
                             resolve(folder, part.attribute("Target"))});
        return true;
    });
    return found;
}

struct Sheet
{
    QString name;
    QString part;
};

struct Book
{
    QString path; // of the workbook part
    std::vector<Sheet> sheets;
    std::vector<Relationship> relations;
    DateSystem dates = DateSystem::From1900;
    QString error;
};

QString officeDocument(const ZipArchive &zip, QString &error)
{
    for (const Relationship &r : relationships(zip, QStringLiteral(""), error))
        if (r.type.endsWith(u"/officeDocument"))
            return r.target;
    return QStringLiteral("xl/workbook.xml");
}

Book readBook(const ZipArchive &zip)
{
    Book book;
    book.path = officeDocument(zip, book.error);
    if (!book.error.isEmpty())
        return book;
    const qint64 index = zip.find(book.path);
    if (index < 0) {
        book.error = QStringLiteral("the workbook is damaged: it has no workbook part");
        return book;
    }
    book.relations = relationships(zip, book.path, book.error);
    std::vector<std::pair<QString, QString>> named; // name, relationship id
    XmlPart part(zip, index);
    const QString error = part.forEachElement([&](QByteArrayView name) {
        if (name == "workbookPr") {
            const QByteArrayView date1904 = part.attributeBytes("date1904");
            if (date1904 == "1" || date1904 == "true")
                book.dates = DateSystem::From1904;
        } else if (name == "sheet") {
            named.emplace_back(part.attribute("name"), part.attribute("id"));
        }
        return true;
    });
    if (!error.isEmpty()) {
        book.error = error;
        return book;
    }
    for (const auto &[name, id] : named) {
        QString target;
        for (const Relationship &r : book.relations)
            if (r.id == id)
                target = r.target;
        book.sheets.push_back({name, target});
    }
    return book;
}

QString partOfType(const Book &book, QStringView type, const QString &fallback)
{
    for (const Relationship &r : book.relations)
        if (r.type.endsWith(type))
            return r.target;
    return fallback;
}

// Each cell style's number format, by the style's index.
std::vector<NumberFormat> readStyles(const ZipArchive &zip, const QString &path, QString &error)
{
    std::vector<NumberFormat> styles;
    const qint64 index = zip.find(path);
    if (index < 0)
        return styles;
    std::vector<std::pair<int, QString>> codes;
    XmlPart part(zip, index);
    error = part.forEachElement([&](QByteArrayView name) {
        if (name == "numFmt") {
            codes.emplace_back(part.attribute("numFmtId").toInt(), part.attribute("formatCode"));
        } else if (name == "cellXfs") {
            return part.forEachChild([&](QByteArrayView child) {
                if (child == "xf") {
                    const int id = part.attribute("numFmtId").toInt();
                    NumberFormat format = NumberFormat::builtIn(id);
                    for (const auto &[codeId, code] : codes)
                        if (codeId == id)
                            format = NumberFormat::fromCode(code);
                    styles.push_back(format);
                }
                return part.skipElement();
            });
        }
        return true;
    });
    return styles;
}

// The shared strings, one after another in one text, rich runs joined and
// phonetic hints left out.
struct SharedStrings
{
    QByteArray text; // UTF-8
    std::vector<qsizetype> starts{0};

    QByteArrayView at(qsizetype i) const
    {
        if (i < 0 || i + 1 >= qsizetype(starts.size()))
            return {};
        return QByteArrayView(text).sliced(starts[size_t(i)],
                                           starts[size_t(i) + 1] - starts[size_t(i)]);
    }
};

// Appends to `into` the text of the <t> elements inside the element just
// started (<si>), leaving phonetic runs out.
bool readRichText(XmlPart &part, QByteArray &into, bool inText = false)
{
    return part.forEachChild(
        [&](QByteArrayView name) {
            return name == "rPh" ? part.skipElement()
                                 : readRichText(part, into, inText || name == "t");
        },
        [&](QByteArrayView text) {
            if (inText)
                into.append(text);
        });
}

SharedStrings readSharedStrings(const ZipArchive &zip, const QString &path, QString &error)
{
    SharedStrings strings;
    const qint64 index = zip.find(path);
    if (index < 0)
        return strings;
    XmlPart part(zip, index);
    error = part.forEachElement([&](QByteArrayView name) {
        if (name != "si")
            return true;
        if (!readRichText(part, strings.text))
            return false;
        strings.starts.push_back(strings.text.size());
        return true;
    });
    return strings;
}

// "BC12" as column 54 (from 0) and row 11; false when it is no reference.
bool parseReference(QByteArrayView ref, qint64 &column, qint64 &row)
{
    qsizetype i = 0;
    qint64 c = 0;
    for (; i < ref.size() && ref[i] >= 'A' && ref[i] <= 'Z' && c < (qint64(1) << 40); ++i)
        c = c * 26 + (ref[i] - 'A' + 1);
    qint64 r = 0;
    const qsizetype digits = i;
    for (; i < ref.size() && ref[i] >= '0' && ref[i] <= '9' && r < (qint64(1) << 40); ++i)
        r = r * 10 + (ref[i] - '0');
    if (digits == 0 || i != ref.size() || i == digits || r == 0)
        return false;
    column = c - 1;
    row = r - 1;
    return true;
}

qint64 parseCount(QByteArrayView text)
{
    qint64 n = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return -1;
        n = std::min<qint64>(n * 10 + (c - '0'), qint64(1) << 40);
    }
    return text.isEmpty() ? -1 : n;
}

// Reads a sheet's cells as the parser meets them: a cell's value is its
// <v> or its inline <is> (their direct children only), put when the cell ends.
class SheetReader : public XmlPart::Handler
{
public:
    SheetReader(XmlPart &part, SheetCsv &csv, const SharedStrings &strings,
                const std::vector<NumberFormat> &styles, DateSystem dates)
        : m_part(part), m_csv(csv), m_strings(strings), m_styles(styles), m_dates(dates)
    {
    }

    void start(QByteArrayView name, const XmlPart::Attributes &attributes) override
    {
        if (m_depth > 0) {
            ++m_depth;
            if (m_depth == 2 && sameName(name, "v"))
                m_in = In::Value;
            else if (m_depth == 2 && sameName(name, "is"))
                m_in = In::Inline;
            else if (m_in == In::Inline)
                startRich(name);
        } else if (sameName(name, "row")) {
            const qint64 r = parseCount(attributes.qualified("r"));
            m_row = r > 0 ? r - 1 : m_row + 1;
            m_column = -1;
        } else if (sameName(name, "c")) {
            startCell(attributes);
        }
    }

    void end(QByteArrayView name) override
    {
        if (m_depth == 0)
            return;
        --m_depth;
        if (m_depth == 0) {
            endCell();
        } else if (m_depth == 1) {
            m_in = In::Other;
        } else if (m_in == In::Inline) {
            m_inText -= sameName(name, "t");
            m_inPhonetic -= sameName(name, "rPh");
        }
    }

    void restart() override
    {
        m_csv.restart();
        m_row = m_column = -1;
        m_depth = 0;
    }

    void text(QByteArrayView text) override
    {
        if (m_in == In::Value)
            m_raw.append(text);
        else if (m_in == In::Inline && m_inText > 0 && m_inPhonetic == 0)
            m_inline.append(text);
    }

private:
    // Rich text runs are joined; phonetic hints are left out.
    void startRich(QByteArrayView name)
    {
        m_inText += sameName(name, "t");
        m_inPhonetic += sameName(name, "rPh");
    }

    void startCell(const XmlPart::Attributes &attributes)
    {
        qint64 column = m_column + 1;
        qint64 row = m_row;
        const QByteArrayView ref = attributes.qualified("r");
        if (!ref.isEmpty() && !parseReference(ref, column, row))
            return m_part.stop(QStringLiteral("the workbook is damaged: a cell's reference is %1")
                                   .arg(QString::fromUtf8(ref)));
        if (row != m_row)
            return m_part.stop(
                QStringLiteral("the workbook is damaged: cell %1 lies outside its row")
                    .arg(QString::fromUtf8(ref)));
        m_column = column;
        m_type = typeOf(attributes.qualified("t"));
        m_style = parseCount(attributes.qualified("s"));
        m_raw.resize(0);
        m_inline.resize(0);
        m_depth = 1;
        m_in = In::Other;
        m_inText = m_inPhonetic = 0;
    }

    void endCell()
    {
        if (!m_csv.put(m_row, m_column, value(m_type, m_style)))
            m_part.stop(m_csv.error());
    }

    enum class Type { Number, Shared, Inline, Boolean, Text, Date };

    static Type typeOf(QByteArrayView t)
    {
        if (sameName(t, "s"))
            return Type::Shared;
        if (sameName(t, "inlineStr"))
            return Type::Inline;
        if (sameName(t, "b"))
            return Type::Boolean;
        if (sameName(t, "str") || sameName(t, "e"))
            return Type::Text;
        if (sameName(t, "d"))
            return Type::Date;
        return Type::Number;
    }

    // The cell's value as UTF-8, from m_raw (<v>) and m_inline (<is>).
    QByteArrayView value(Type type, qint64 style)
    {
        switch (type) {
        case Type::Shared: {
            bool ok = false;
            const qsizetype i = m_raw.toLongLong(&ok);
            return ok ? m_strings.at(i) : QByteArrayView();
        }
        case Type::Inline:
            return m_inline.isEmpty() ? m_raw : m_inline;
        case Type::Boolean:
            if (m_raw.isEmpty())
                return {};
            return m_raw == "0" ? QByteArrayView("FALSE") : QByteArrayView("TRUE");
        case Type::Text:
            return m_raw;
        case Type::Date:
            return m_raw.replace('T', ' ');
        case Type::Number:
            break;
        }
        if (m_raw.isEmpty())
            return m_raw;
        static const NumberFormat general;
        const NumberFormat &format =
            style >= 0 && style < qint64(m_styles.size()) ? m_styles[size_t(style)] : general;
        if (format.kind == NumberFormat::Kind::General && generalShowsAsWritten(m_raw))
            return m_raw;
        if (format.kind == NumberFormat::Kind::Date && formatWholeDay(m_raw, m_dates, m_formatted))
            return m_formatted;
        m_formatted = formatNumber(QString::fromUtf8(m_raw), format, m_dates).toUtf8();
        return m_formatted;
    }

    // Where the parser stands inside a cell.
    enum class In { Other, Value, Inline };

    XmlPart &m_part;
    SheetCsv &m_csv;
    const SharedStrings &m_strings;
    const std::vector<NumberFormat> &m_styles;
    DateSystem m_dates;
    qint64 m_row = -1;
    qint64 m_column = -1;
    // The cell being read: its elements' depth (0 outside a cell), type and
    // style, and its text, kept to keep their room from cell to cell.
    int m_depth = 0;
    In m_in = In::Other;
    int m_inText = 0;
    int m_inPhonetic = 0;
    Type m_type = Type::Number;
    qint64 m_style = -1;
    QByteArray m_raw;
    QByteArray m_inline;
    QByteArray m_formatted;
};

} // namespace

SheetList sheetNames(const ZipArchive &zip)
{
    SheetList list;
    const Book book = readBook(zip);
    list.error = book.error;
    for (const Sheet &sheet : book.sheets)
        list.names << sheet.name;
    if (list.error.isEmpty() && list.names.isEmpty())
        list.error = QStringLiteral("the workbook has no sheet");
    return list;
}

SheetText readSheet(const ZipArchive &zip, const Wanted &wanted, qint64 byteLimit,
                    Compare::Progress *progress, Listing listing)
{
    SheetText text;
    const Book book = readBook(zip);
    text.error = book.error;
    if (!text.ok())
        return text;
    if (listing == Listing::WithNames) {
        for (const Sheet &sheet : book.sheets)
            text.sheets << sheet.name;
    }
    // The names are in the workbook's own part: a name is found before
    // any sheet is read.
    int index = wanted.index;
    if (wanted.named() && !book.sheets.empty()) {
        QStringList names;
        for (const Sheet &sheet : book.sheets)
            names << sheet.name;
        index = findSheet(names, wanted.name, text.error);
        if (!text.ok())
            return text;
    }
    if (index < 0 || index >= int(book.sheets.size())) {
        text.error = listing == Listing::WithNames && book.sheets.empty()
                         ? QStringLiteral("the workbook has no sheet")
                         : QStringLiteral("the workbook has no sheet %1").arg(index + 1);
        return text;
    }
    const Sheet &sheet = book.sheets[size_t(index)];
    text.sheet = sheet.name;
    const qint64 sheetIndex = zip.find(sheet.part);
    if (sheetIndex < 0) {
        text.error =
            QStringLiteral("the workbook is damaged: sheet \"%1\" has no part").arg(sheet.name);
        return text;
    }
    const std::vector<NumberFormat> styles = readStyles(
        zip, partOfType(book, u"/styles", folderOf(book.path) + QStringLiteral("styles.xml")),
        text.error);
    if (!text.ok())
        return text;
    const SharedStrings strings =
        readSharedStrings(zip,
                          partOfType(book, u"/sharedStrings",
                                     folderOf(book.path) + QStringLiteral("sharedStrings.xml")),
                          text.error);
    if (!text.ok())
        return text;
    XmlPart part(zip, sheetIndex, progress);
    SheetCsv csv(byteLimit);
    csv.reserveFor(part.size());
    SheetReader reader(part, csv, strings, styles, book.dates);
    if (part.parse(reader)) {
        text.csv = csv.finish();
    } else {
        text.cancelled = part.cancelled();
        text.error = part.error();
    }
    return text;
}

} // namespace Workbook::Xlsx
