// Any workbook: the zip and XML readers never crash, hang or grow without
// bound, and a sheet that reads is a rectangle of valid UTF-8 CSV records.
// Every part reads the same with the scanner as with expat alone, and a
// sheet read with its workbook's list is the same sheet.
// The input: a raw workbook (it starts with "PK" or is a compound file), or a
// kind byte (0 a sheet, 1 shared strings, 2 styles, 3 OpenDocument content)
// and that part's XML, stored in the smallest workbook around it, so that the
// fuzzer reaches the XML without having to make zips.
#include <cstring>
#include <vector>
#include <zlib.h>

#include <QByteArray>
#include <QByteArrayView>

#include "../core/workbook/XmlEvents.h"
#include "FuzzCheck.h"
#include "workbook/Workbook.h"
#include "workbook/XmlPart.h"
#include "workbook/ZipArchive.h"

namespace {

void putLe(QByteArray &out, quint32 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += char((value >> (8 * i)) & 0xFF);
}

// A zip of stored (uncompressed) parts.
QByteArray storedZip(const std::vector<std::pair<QByteArray, QByteArray>> &parts)
{
    QByteArray zip;
    QByteArray central;
    for (const auto &part : parts) {
        const auto &name = part.first; // clang 14 captures no structured binding in a lambda
        const auto &data = part.second;
        const quint32 crc =
            quint32(crc32(0, reinterpret_cast<const Bytef *>(data.constData()), uInt(data.size())));
        const quint32 offset = quint32(zip.size());
        const auto header = [&](QByteArray &out, bool inCentral) {
            out += inCentral ? QByteArray("PK\x01\x02", 4) : QByteArray("PK\x03\x04", 4);
            if (inCentral)
                putLe(out, 20, 2); // made by
            putLe(out, 20, 2);     // needed
            putLe(out, 0, 2);      // flags
            putLe(out, 0, 2);      // stored
            putLe(out, 0, 4);      // time and date
            putLe(out, crc, 4);
            putLe(out, quint32(data.size()), 4);
            putLe(out, quint32(data.size()), 4);
            putLe(out, quint32(name.size()), 2);
            putLe(out, 0, 2); // extra
            if (inCentral) {
                putLe(out, 0, 2); // comment
                putLe(out, 0, 2); // disk
                putLe(out, 0, 2); // internal attributes
                putLe(out, 0, 4); // external attributes
                putLe(out, offset, 4);
            }
            out += name;
        };
        header(zip, false);
        zip += data;
        header(central, true);
    }
    const quint32 at = quint32(zip.size());
    zip += central;
    zip += QByteArray("PK\x05\x06", 4);
    putLe(zip, 0, 4);
    putLe(zip, quint32(parts.size()), 2);
    putLe(zip, quint32(parts.size()), 2);
    putLe(zip, quint32(central.size()), 4);
    putLe(zip, at, 4);
    putLe(zip, 0, 2);
    return zip;
}

QByteArray workbookAround(std::uint8_t kind, const QByteArray &xml)
{
    if (kind % 4 == 3)
        return storedZip(
            {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"}, {"content.xml", xml}});
    const QByteArray sheet = "<worksheet><sheetData><row><c t=\"s\" s=\"1\"><v>0</v></c><c s=\"1\">"
                             "<v>45351.5</v></c></row></sheetData></worksheet>";
    return storedZip(
        {{"xl/workbook.xml", "<workbook><workbookPr date1904=\"1\"/><sheets><sheet name=\"S\" "
                             "r:id=\"rId1\"/></sheets></workbook>"},
         {"xl/_rels/workbook.xml.rels",
          "<Relationships><Relationship Id=\"rId1\" Type=\"w/worksheet\" Target=\"s.xml\"/>"
          "</Relationships>"},
         {"xl/s.xml", kind % 4 == 0 ? xml : sheet},
         {"xl/sharedStrings.xml", kind % 4 == 1 ? xml : "<sst><si><t>a</t></si></sst>"},
         {"xl/styles.xml", kind % 4 == 2 ? xml
                                         : "<styleSheet><cellXfs><xf/><xf numFmtId=\"22\"/>"
                                           "</cellXfs></styleSheet>"}});
}

// The fields of each record, counted outside quotes.
std::vector<int> fieldCounts(const QByteArray &csv)
{
    std::vector<int> counts;
    int fields = 1;
    bool quoted = false;
    for (qsizetype i = 0; i < csv.size(); ++i) {
        const char c = csv[i];
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && c == ',')
            ++fields;
        else if (!quoted && c == '\r') {
            fuzzCheck(i + 1 < csv.size() && csv[i + 1] == '\n', "a record without CR LF");
            counts.push_back(fields);
            fields = 1;
            ++i;
        }
    }
    fuzzCheck(!quoted, "a quote left open");
    return counts;
}

// The parts a workbook's sheet is read from, read by the scanner (expat
// taking over where it is unsure) and by expat alone: the same events, the
// same error.
void compareReadings(const QByteArray &book)
{
    const Workbook::ZipArchive zip(book);
    if (!zip.error().isEmpty())
        return;
    for (const char *name : {"content.xml", "xl/s.xml", "xl/worksheets/sheet1.xml",
                             "xl/sharedStrings.xml", "xl/styles.xml", "xl/workbook.xml"}) {
        const qint64 index = zip.find(QString::fromLatin1(name));
        if (index < 0)
            continue;
        using Workbook::XmlPart;
        XmlPart scanned(zip, index, nullptr, XmlPart::Reading::Scanner);
        XmlPart expat(zip, index, nullptr, XmlPart::Reading::ExpatOnly);
        XmlEvents byScanner(scanned);
        XmlEvents byExpat(expat);
        const bool ok = scanned.parse(byScanner);
        fuzzCheck(ok == expat.parse(byExpat) && scanned.error() == expat.error()
                      && byScanner.finish() == byExpat.finish(),
                  "the scanner reads a part otherwise than expat");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const bool raw = input.startsWith("PK") || input.startsWith("\xD0\xCF");
    const QByteArray book =
        raw || input.isEmpty() ? input : workbookAround(std::uint8_t(input[0]), input.mid(1));
    const Workbook::SheetList names = Workbook::sheetNames(book);
    const Workbook::SheetText text = Workbook::readSheet(book, 0);
    // A sheet that reads is one the list names.
    fuzzCheck(!text.ok() || (names.error.isEmpty() && names.names.value(0) == text.sheet),
              "a sheet read that the list does not name");
    fuzzCheck(text.ok() || !text.error.isEmpty(), "a failure without a reason");
    const Workbook::SheetText listed =
        Workbook::readSheet(book, 0, nullptr, Workbook::Listing::WithNames);
    fuzzCheck(listed.ok() == text.ok() && listed.csv == text.csv,
              "listing the sheets changes the sheet read");
    fuzzCheck(!listed.ok() || listed.sheets == names.names, "a list unlike the workbook's");
    fuzzCheck(listed.ok() || !names.names.isEmpty() || listed.error == names.error,
              "a workbook with no sheet told otherwise than by its list");
    if (names.error.isEmpty() && !names.names.isEmpty()) {
        // The last sheet by its name, matched as the workbook is read, is
        // the sheet the list finds by that name.
        // No name at all asks for the first sheet, as --sheet always has,
        // even where a sheet is named "".
        const QString wanted = names.names.last();
        QString error;
        const int index = wanted.isEmpty() ? 0 : Workbook::findSheet(names.names, wanted, error);
        const Workbook::SheetText byName = Workbook::readSheet(book, wanted);
        const Workbook::SheetText byIndex = Workbook::readSheet(book, index);
        fuzzCheck(byName.ok() == byIndex.ok() && byName.csv == byIndex.csv
                      && byName.sheet == byIndex.sheet,
                  "a sheet read by its name unlike the same sheet found in the list");
    }
    compareReadings(book);
    if (!text.ok())
        return 0;
    fuzzCheck(QByteArrayView(text.csv).isValidUtf8(), "text that is not UTF-8");
    fuzzCheck(text.csv.size() <= (qint64(64) << 20) + qint64(book.size()) * 64,
              "text past the size limit");
    const std::vector<int> counts = fieldCounts(text.csv);
    for (const int n : counts)
        fuzzCheck(n == counts.front(), "records of different widths");
    return 0;
}
