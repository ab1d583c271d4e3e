// The scanner that reads plain parts must never change what a part reads
// as: every part, read by it (with expat taking over where it is unsure)
// and by expat alone, gives the same events, the same error or the same
// stop. Checked on every part of the committed workbooks, on parts built to
// sit on the subset's edges, and on random sheets, plain and damaged, some
// larger than the parser's slice so that tokens fall across slices.
#include <random>

#include <QDir>
#include <QTest>

#include "WorkbookBytes.h"
#include "XmlEvents.h"
#include "workbook/XmlPart.h"
#include "workbook/ZipArchive.h"

using Workbook::XmlPart;
using Workbook::ZipArchive;

namespace {

struct Reading
{
    QByteArray events;
    QString error;
    bool ok = false;
    bool scanned = false;
};

Reading read(const ZipArchive &zip, qint64 index, XmlPart::Reading how, int stopAt = 0)
{
    XmlPart part(zip, index, nullptr, how);
    XmlEvents events(part, stopAt);
    Reading reading;
    reading.ok = part.parse(events);
    reading.events = events.finish();
    reading.error = part.error();
    reading.scanned = part.scanned();
    return reading;
}

// Compares the two readings of every part of `zip`; the parts the scanner
// read alone are counted into `scanned`.
void compareParts(const QByteArray &zipBytes, const QList<QByteArray> &names, int &scanned,
                  int stopAt = 0)
{
    const ZipArchive zip(zipBytes);
    QVERIFY2(zip.error().isEmpty(), qPrintable(zip.error()));
    for (const QByteArray &name : names) {
        const qint64 index = zip.find(QString::fromUtf8(name));
        QVERIFY(index >= 0);
        const Reading fast = read(zip, index, XmlPart::Reading::Scanner, stopAt);
        const Reading expat = read(zip, index, XmlPart::Reading::ExpatOnly, stopAt);
        QCOMPARE(fast.ok, expat.ok);
        QCOMPARE(fast.error, expat.error);
        if (fast.events != expat.events)
            QFAIL(qPrintable("part " + name + " reads differently:\n" + fast.events.left(2000)
                             + "\nagainst expat's\n" + expat.events.left(2000)));
        scanned += fast.scanned;
    }
}

QList<QByteArray> entryNames(const QByteArray &zipBytes)
{
    QList<QByteArray> names;
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *source =
        zip_source_buffer_create(zipBytes.constData(), zip_uint64_t(zipBytes.size()), 0, &error);
    zip_t *zip = zip_open_from_source(source, ZIP_RDONLY, &error);
    for (zip_int64_t i = 0; zip && i < zip_get_num_entries(zip, 0); ++i) {
        const QByteArray name = zip_get_name(zip, zip_uint64_t(i), 0);
        if (name.endsWith(".xml") || name.endsWith(".rels"))
            names << name;
    }
    if (zip)
        zip_discard(zip);
    zip_error_fini(&error);
    return names;
}

// Random sheets: elements, attributes, text and references, from the
// subset alone when `plain`, else with what lies beyond it too.
class SheetMaker
{
public:
    SheetMaker(quint32 seed, bool plain) : m_random(seed), m_plain(plain) {}

    QByteArray make(int rows)
    {
        QByteArray xml =
            pick({"", "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n",
                  "<?xml version='1.0'?>"});
        xml += "<worksheet xmlns=\"urn:s\" xmlns:r=\"urn:r\"><sheetData>";
        for (int r = 1; r <= rows; ++r) {
            xml += "<row r=\"" + QByteArray::number(r) + "\">";
            const int cells = int(m_random() % 6);
            for (int c = 0; c < cells; ++c)
                xml += element(0);
            xml += "</row>" + pick({"", "\n", "\n  "});
        }
        xml += "</sheetData></worksheet>" + pick({"", "\n", " \t\n"});
        return m_plain ? xml : m_random() % 2 ? withFault(xml) : damage(xml);
    }

private:
    QByteArray pick(std::initializer_list<QByteArray> choices)
    {
        return *(choices.begin() + m_random() % choices.size());
    }

    QByteArray text()
    {
        QByteArray t;
        const int n = int(m_random() % 4);
        for (int i = 0; i < n; ++i) {
            t += pick({"12.5", "x", " ", "\t", "\n", "&amp;", "&lt;b&gt;", "&quot;&apos;", "&#65;",
                       "&#x20AC;", "&#x1F600;", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80",
                       "]]", "a>b", "&#9;&#10;&#13;"});
        }
        return t;
    }

    QByteArray attributes()
    {
        QByteArray a;
        const int n = int(m_random() % 4);
        for (int i = 0; i < n; ++i) {
            const QByteArray name =
                pick({"r", "s", "t", "x:y", "a-b.c", "_z"}) + QByteArray::number(i);
            const QByteArray value = pick({"1", "A1", "", "inlineStr", "&amp;&#38;", "a&gt;b",
                                           "\xC3\xA9", "x'y", "q\"q", "&#x9;"});
            const char quote = value.contains('"')    ? '\''
                               : value.contains('\'') ? '"'
                               : m_random() % 2       ? '\''
                                                      : '"';
            a += pick({" ", "\n", "  \t"}) + name + '=' + quote + value + quote;
        }
        return a;
    }

    QByteArray element(int depth)
    {
        const QByteArray name = pick({"c", "v", "is", "t", "r", "rPh", "x:f", "a.b-c"});
        const QByteArray open = "<" + name + attributes();
        if (depth > 3 || m_random() % 4 == 0)
            return open + pick({"/>", " />"});
        QByteArray inner = text();
        const int children = int(m_random() % 3);
        for (int i = 0; i < children; ++i)
            inner += element(depth + 1) + text();
        const QByteArray close = "</" + name + pick({">", " >", "\n>"});
        return open + ">" + inner + close;
    }

    // One thing beyond the subset, well-formed or not, in the prolog, in
    // text, among attributes or in an end tag.
    QByteArray withFault(QByteArray xml)
    {
        const auto somewhere = [&](char after) {
            const qsizetype from = qsizetype(m_random() % quint32(xml.size()));
            const qsizetype at = xml.indexOf(after, from);
            return at < 0 ? xml.indexOf(after) : at;
        };
        switch (m_random() % 4) {
        case 0:
            return pick({"\xEF\xBB\xBF", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>",
                         " <?xml version=\"1.0\"?>", "<!DOCTYPE w>", "<!-- c -->", "<?pi x?>", "x",
                         "\x01"})
                   + xml;
        case 1:
            return xml.insert(somewhere('>') + 1,
                              pick({"\r",           "\r\n",       "]]>",
                                    "]]]>",         "&bogus;",    "&#0;",
                                    "&#xD800;",     "&#1;",       "&#xFFFE;",
                                    "\xFF",         "\xC0\x80",   "\xED\xA0\x80",
                                    "\xEF\xBF\xBF", "\x01",       "<![CDATA[<x>]]>",
                                    "<!-- n -->",   "<?p q?>",    "&",
                                    "&#;",          "&#x110000;", "&#00000065;",
                                    "<w/>",         "</w>",       "<\xC3\xA9/>"}));
        case 2: {
            const qsizetype at = xml.indexOf("<c");
            return at < 0 ? xml
                          : xml.insert(at + 2, pick({" r=\"1\" r=\"2\"", " b = \"1\"", " c=\"<\"",
                                                     " d=\"\t\"", " e=\"&bogus;\"", "f=\"1\"",
                                                     " g=\"\r\n\"", " h=\"\xFF\"", " i=\"&#0;\""}));
        }
        default: {
            const qsizetype at = xml.indexOf("</", somewhere('<'));
            return at < 0 ? xml : xml.insert(at + 2, pick({"x", "/", " ", "1"}));
        }
        }
    }

    // Up to three bytes changed, put in or taken out, anywhere.
    QByteArray damage(QByteArray xml)
    {
        static const char interesting[] = "<>/&;#\"'= \r\n\t]x\x80\xC3\xFF";
        const int edits = int(m_random() % 4);
        for (int i = 0; i < edits && !xml.isEmpty(); ++i) {
            const qsizetype at = qsizetype(m_random() % quint32(xml.size()));
            const char c = interesting[m_random() % (sizeof interesting - 1)];
            switch (m_random() % 3) {
            case 0:
                xml[at] = c;
                break;
            case 1:
                xml.insert(at, c);
                break;
            default:
                xml.remove(at, 1);
            }
        }
        return xml;
    }

    std::mt19937 m_random;
    bool m_plain;
};

} // namespace

class TestXmlScanner : public QObject
{
    Q_OBJECT

private slots:
    void fixtures();
    void edges_data();
    void edges();
    void randomSheets_data();
    void randomSheets();
};

// Every part of the committed workbooks reads the same, and their sheets
// are read by the scanner alone: real writers' parts lie in its subset.
void TestXmlScanner::fixtures()
{
    const QDir dir(QStringLiteral(CORVANTIS_SOURCE_DIR "/tests/core/workbook/fixtures"));
    const QStringList books = dir.entryList({QStringLiteral("*.xlsx"), QStringLiteral("*.ods")});
    QVERIFY(books.size() >= 6);
    for (const QString &book : books) {
        QFile file(dir.filePath(book));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QList<QByteArray> sheets;
        for (const QByteArray &name : entryNames(bytes))
            if (name.startsWith("xl/worksheets/") || name == "content.xml")
                sheets << name;
        QVERIFY(!sheets.isEmpty());
        int scanned = 0;
        compareParts(bytes, entryNames(bytes), scanned);
        int sheetsScanned = 0;
        compareParts(bytes, sheets, sheetsScanned);
        QVERIFY2(sheetsScanned == sheets.size(), qPrintable(book));
    }
}

void TestXmlScanner::edges_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<bool>("scanned"); // whether the scanner reads it alone
    const QByteArray root = "<w a=\"1\"><c r='A1' t=\"s\">x</c><e/></w>";
    QTest::newRow("plain") << root << true;
    QTest::newRow("declaration")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n" + root << true;
    QTest::newRow("references") << QByteArray("<w a=\"&lt;&#x41;&#66;\">&amp;&#x1F600;&#13;</w>")
                                << true;
    QTest::newRow("]] and > apart") << QByteArray("<w>]] ]>a>b]</w>") << true;
    QTest::newRow("end tag with space") << QByteArray("<w><c></c \n></w>") << true;
    QTest::newRow("UTF-8 text and value")
        << QByteArray("<w a=\"\xC3\xA9\">\xF0\x9F\x98\x80</w>") << true;
    // Beyond the subset: expat decides, whether it reads or refuses.
    QTest::newRow("]]> in text") << QByteArray("<w>a]]>b</w>") << false;
    QTest::newRow("carriage return") << QByteArray("<w>a\r\nb\rc</w>") << false;
    QTest::newRow("white space in a value") << QByteArray("<w a=\"x\ty\nz\"/>") << false;
    QTest::newRow("repeated attribute") << QByteArray("<w a=\"1\" a=\"2\"/>") << false;
    QTest::newRow("spaces around =") << QByteArray("<w a = \"1\"/>") << false;
    QTest::newRow("no space between attributes") << QByteArray("<w a=\"1\"b=\"2\"/>") << false;
    QTest::newRow("< in a value") << QByteArray("<w a=\"<\"/>") << false;
    QTest::newRow("mismatched end") << QByteArray("<w><c></d></w>") << false;
    QTest::newRow("unclosed") << QByteArray("<w><c>") << false;
    QTest::newRow("two roots") << QByteArray("<w/><w/>") << false;
    QTest::newRow("junk after root") << QByteArray("<w/>x") << false;
    QTest::newRow("text before root") << QByteArray("x<w/>") << false;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("comment") << QByteArray("<w><!-- c --></w>") << false;
    QTest::newRow("CDATA") << QByteArray("<w><![CDATA[<x>]]></w>") << false;
    QTest::newRow("processing instruction") << QByteArray("<w><?p x?></w>") << false;
    QTest::newRow("document type") << "<!DOCTYPE w [<!ENTITY e \"x\">]>" + root << false;
    QTest::newRow("byte order mark") << "\xEF\xBB\xBF" + root << false;
    QTest::newRow("Latin-1 declared")
        << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><w>\xE9</w>") << false;
    QTest::newRow("declaration not first") << " <?xml version=\"1.0\"?>" + root << false;
    QTest::newRow("undefined entity") << QByteArray("<w>&nbsp;</w>") << false;
    QTest::newRow("reference to NUL") << QByteArray("<w>&#0;</w>") << false;
    QTest::newRow("reference to a surrogate") << QByteArray("<w>&#xD800;</w>") << false;
    QTest::newRow("reference past U+10FFFF") << QByteArray("<w>&#x110000;</w>") << false;
    QTest::newRow("control character") << QByteArray("<w>\x01</w>") << false;
    QTest::newRow("invalid UTF-8") << QByteArray("<w>\xFF</w>") << false;
    QTest::newRow("overlong UTF-8") << QByteArray("<w>\xC0\x80</w>") << false;
    QTest::newRow("encoded surrogate") << QByteArray("<w>\xED\xA0\x80</w>") << false;
    QTest::newRow("U+FFFF") << QByteArray("<w>\xEF\xBF\xBF</w>") << false;
    QTest::newRow("non-ASCII name") << QByteArray("<w><\xC3\xA9/></w>") << false;
    QByteArray deep;
    for (int i = 0; i < 256; ++i)
        deep += "<d>";
    for (int i = 0; i < 256; ++i)
        deep += "</d>";
    QTest::newRow("as deep as allowed") << deep << true;
    QByteArray tooDeep = "<d>" + deep + "</d>";
    QTest::newRow("one deeper") << tooDeep << false;
}

void TestXmlScanner::edges()
{
    QFETCH(QByteArray, xml);
    QFETCH(bool, scanned);
    const QByteArray zip = WorkbookBytes::zipOf({{"p.xml", xml}});
    const ZipArchive archive(zip);
    const Reading fast =
        read(archive, archive.find(QStringLiteral("p.xml")), XmlPart::Reading::Scanner);
    int count = 0;
    compareParts(zip, {"p.xml"}, count);
    QCOMPARE(fast.scanned, scanned);
    // A stop by the reader at each event ends both readings alike.
    for (int stopAt = 1; stopAt <= 4; ++stopAt)
        compareParts(zip, {"p.xml"}, count, stopAt);
}

void TestXmlScanner::randomSheets_data()
{
    QTest::addColumn<bool>("plain");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("count");
    QTest::newRow("small plain sheets") << true << 6 << 400;
    QTest::newRow("small damaged sheets") << false << 6 << 1000;
    // Past the 256 KB slice: tokens and references fall across slices.
    QTest::newRow("large plain sheets") << true << 3000 << 4;
    QTest::newRow("large damaged sheets") << false << 3000 << 6;
}

void TestXmlScanner::randomSheets()
{
    QFETCH(bool, plain);
    QFETCH(int, rows);
    QFETCH(int, count);
    SheetMaker maker(quint32(rows * 7919 + count + plain), plain);
    WorkbookBytes::Parts parts;
    QList<QByteArray> names;
    for (int i = 0; i < count; ++i) {
        names << "s" + QByteArray::number(i) + ".xml";
        parts.emplace_back(names.back(), maker.make(rows));
    }
    if (rows > 1000)
        QVERIFY(parts.front().second.size() > 300 * 1024);
    int scanned = 0;
    compareParts(WorkbookBytes::zipOf(parts), names, scanned);
    // A stop by the reader somewhere in the part ends both readings alike.
    std::mt19937 stops(7);
    int stopped = 0;
    for (int i = 0; i < 3; ++i) {
        const auto &part = parts[stops() % parts.size()];
        compareParts(WorkbookBytes::zipOf({part}), {part.first}, stopped, int(stops() % 200) + 1);
    }
    // Plain sheets never need expat; damaged ones mostly do.
    if (plain)
        QCOMPARE(scanned, count);
    else
        QVERIFY(scanned < count);
}

QTEST_APPLESS_MAIN(TestXmlScanner)
#include "test_xml_scanner.moc"
