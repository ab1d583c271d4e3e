// The rich text reader on any bytes after "{\rtf1": never crashes nor hangs.
// And the text of the input (its printable bytes without RTF's specials)
// comes back unchanged from a document that holds it plainly or as \'hh.
#include <QByteArray>
#include <QString>

#include "FuzzCheck.h"
#include "text/RtfReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    QByteArray rtf(reinterpret_cast<const char *>(data), qsizetype(size));
    if (!Files::looksLikeRtf(rtf))
        rtf.prepend("{\\rtf1");
    Files::rtfToPlainText(rtf);

    QByteArray plain;   // printable ASCII as it is
    QByteArray escaped; // Latin-1 letters as \'hh
    QString latin1;
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char c = data[i];
        if (c >= 0x20 && c < 0x7F && c != '\\' && c != '{' && c != '}')
            plain.append(char(c));
        if (c >= 0xA0) {
            escaped += "\\'" + QByteArray::number(c, 16);
            latin1 += QChar(c);
        }
    }
    fuzzCheck(Files::rtfToPlainText("{\\rtf1 " + plain + "}") == QString::fromLatin1(plain),
              "plain text changed");
    fuzzCheck(Files::rtfToPlainText("{\\rtf1\\ansi\\ansicpg1252 " + escaped + "}") == latin1,
              "\\'hh in code page 1252 changed");
    return 0;
}
