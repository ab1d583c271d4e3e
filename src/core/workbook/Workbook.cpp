#include "workbook/Workbook.h"

#include <cstring>

#include "workbook/Readers.h"

namespace Workbook {

namespace {

const QByteArray kZipStart("PK\x03\x04", 4);
// An Office file saved with a password is a compound file holding the
// encrypted package.
const QByteArray kCompoundStart("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
const QByteArray kOdsType("application/vnd.oasis.opendocument.spreadsheet");

bool holdsUtf16Name(QByteArrayView bytes, const char *name)
{
    QByteArray wide;
    for (const char *c = name; *c; ++c)
        wide.append(*c).append('\0');
    return bytes.indexOf(wide) >= 0;
}

// A sheet's text may be this much larger than its workbook's bytes: a
// workbook packs its text some 5 to 20 times; past this it is a bomb.
qint64 textLimit(QByteArrayView bytes)
{
    return (qint64(64) << 20) + qint64(bytes.size()) * 64;
}

bool encryptedOds(const ZipArchive &zip)
{
    const qint64 manifest = zip.find(QStringLiteral("META-INF/manifest.xml"));
    if (manifest < 0)
        return false;
    QString error;
    const QByteArray bytes = zip.readAll(manifest, qint64(16) << 20, error);
    return bytes.contains("encryption-data");
}

// The opened workbook, or the error that stops it.
QString openError(const ZipArchive &zip, Format format)
{
    if (format == Format::Encrypted)
        return QStringLiteral("password-protected workbooks are not supported");
    if (!zip.error().isEmpty())
        return zip.error();
    if (format == Format::Ods && encryptedOds(zip))
        return QStringLiteral("password-protected workbooks are not supported");
    return QString();
}

} // namespace

Format recognise(QByteArrayView bytes)
{
    if (bytes.startsWith(kCompoundStart))
        return holdsUtf16Name(bytes, "EncryptedPackage") ? Format::Encrypted : Format::None;
    if (!bytes.startsWith(kZipStart))
        return Format::None;
    // OpenDocument stores its type first, uncompressed, named "mimetype".
    const auto le16 = [&](qsizetype at) {
        return qsizetype(uchar(bytes[at])) | qsizetype(uchar(bytes[at + 1])) << 8;
    };
    if (bytes.size() > 30) {
        const qsizetype data = 30 + le16(26) + le16(28);
        if (le16(26) == 8 && bytes.sliced(30, 8) == "mimetype" && data < bytes.size()
            && bytes.sliced(data).startsWith(kOdsType))
            return Format::Ods;
    }
    // Part names are stored as they are, in each part's header.
    if (bytes.indexOf("xl/workbook.xml") >= 0)
        return Format::Xlsx;
    // A zip that opens and is no workbook is any other file; one that does
    // not open is a damaged workbook more likely than text.
    return ZipArchive(bytes).error().isEmpty() ? Format::None : Format::Damaged;
}

SheetList sheetNames(QByteArrayView bytes)
{
    const Format format = recognise(bytes);
    SheetList list;
    if (format == Format::None) {
        list.error = QStringLiteral("it is not a workbook");
        return list;
    }
    const ZipArchive zip(format == Format::Encrypted ? QByteArrayView() : bytes);
    list.error = openError(zip, format);
    if (!list.error.isEmpty())
        return list;
    return format == Format::Xlsx ? Xlsx::sheetNames(zip) : Ods::sheetNames(zip);
}

namespace {

SheetText readWanted(QByteArrayView bytes, const Wanted &wanted, Compare::Progress *progress,
                     Listing listing)
{
    const Format format = recognise(bytes);
    SheetText text;
    if (format == Format::None) {
        text.error = QStringLiteral("it is not a workbook");
        return text;
    }
    const ZipArchive zip(format == Format::Encrypted ? QByteArrayView() : bytes);
    text.error = openError(zip, format);
    if (!text.error.isEmpty())
        return text;
    try {
        return format == Format::Xlsx
                   ? Xlsx::readSheet(zip, wanted, textLimit(bytes), progress, listing)
                   : Ods::readSheet(zip, wanted, textLimit(bytes), progress, listing);
    } catch (const std::bad_alloc &) {
        text.error = QStringLiteral("the sheet is too large to read: out of memory");
        return text;
    }
}

} // namespace

SheetText readSheet(QByteArrayView bytes, int index, Compare::Progress *progress, Listing listing)
{
    return readWanted(bytes, Wanted{index, QString()}, progress, listing);
}

SheetText readSheet(QByteArrayView bytes, const QString &wanted, Compare::Progress *progress,
                    Listing listing)
{
    if (wanted.isEmpty())
        return readSheet(bytes, 0, progress, listing);
    bool number = false;
    const int n = wanted.toInt(&number);
    return readWanted(bytes, Wanted{number && n >= 1 ? n - 1 : -1, wanted}, progress, listing);
}

int findSheet(const QStringList &names, const QString &wanted, QString &error)
{
    const qsizetype named = names.indexOf(wanted);
    if (named >= 0)
        return int(named);
    bool number = false;
    const int n = wanted.toInt(&number);
    if (number && n >= 1 && n <= names.size())
        return n - 1;
    error = QStringLiteral("the workbook has no sheet \"%1\" (its sheets: %2)")
                .arg(wanted, names.join(QStringLiteral(", ")));
    return -1;
}

QString fileError(const QString &file, const QString &error)
{
    return file + QStringLiteral(": ") + error;
}

} // namespace Workbook
