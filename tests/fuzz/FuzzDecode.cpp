// Any bytes to pane text: never crashes, and every line break comes out CR LF.
#include <QByteArray>
#include <QString>

#include "FuzzCheck.h"
#include "text/TextDecoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = Files::decodeToPaneText(bytes);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r')
            fuzzCheck(i + 1 < text.size() && text[i + 1] == u'\n', "a CR without its LF");
        if (text[i] == u'\n')
            fuzzCheck(i > 0 && text[i - 1] == u'\r', "an LF without its CR");
    }
    // Plain bytes never give more characters than they have.
    if (!bytes.startsWith("{\\rtf") && !bytes.startsWith("\xEF\xBB\xBF{\\rtf"))
        fuzzCheck(text.size() <= 2 * bytes.size(), "more text than line breaks explain");
    return 0;
}
