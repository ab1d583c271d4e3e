#include "text/CodePageDecoder.h"

#include <algorithm>
#include <iterator>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

namespace Files {

QByteArray codePageName(int codePage)
{
    switch (codePage) {
    case 932:
        return "windows-31j";
    case 10000:
        return "macintosh";
    case 10006:
        return "x-mac-greek";
    case 10007:
        return "x-mac-cyrillic";
    case 10029:
        return "x-mac-centraleurroman";
    case 10081:
        return "x-mac-turkish";
    case 20866:
        return "koi8-r";
    case 21866:
        return "koi8-u";
    case 65001:
        return "UTF-8";
    default:
        break;
    }
    if (codePage == 874 || codePage == 936 || codePage == 949 || codePage == 950
        || (codePage >= 1250 && codePage <= 1258))
        return "windows-" + QByteArray::number(codePage);
    if (codePage >= 28591 && codePage <= 28605 && codePage != 28600 && codePage != 28602)
        return "iso-8859-" + QByteArray::number(codePage - 28590);
    static constexpr int kOem[] = {437, 737, 775, 850, 852, 855, 857, 860,
                                   861, 862, 863, 864, 865, 866, 869};
    if (std::find(std::begin(kOem), std::end(kOem), codePage) != std::end(kOem))
        return "ibm-" + QByteArray::number(codePage);
    return {};
}

#ifdef Q_OS_WIN

CodePageDecoder::CodePageDecoder(int codePage)
    : m_codePage(codePage),
      m_valid(!codePageName(codePage).isEmpty() && IsValidCodePage(UINT(codePage)))
{
}

bool CodePageDecoder::isValid() const
{
    return m_valid;
}

QString CodePageDecoder::decode(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return QString();
    // At most one UTF-16 unit per byte, in every code page.
    QString text(bytes.size(), Qt::Uninitialized);
    const int length =
        MultiByteToWideChar(UINT(m_codePage), 0, bytes.data(), int(bytes.size()),
                            reinterpret_cast<wchar_t *>(text.data()), int(text.size()));
    text.truncate(std::max(length, 0));
    return text;
}

#else

CodePageDecoder::CodePageDecoder(int codePage)
{
    const QByteArray name = codePageName(codePage);
    if (!name.isEmpty())
        m_decoder = QStringDecoder(name.constData(), QStringConverter::Flag::Stateless);
}

bool CodePageDecoder::isValid() const
{
    return m_decoder.isValid();
}

QString CodePageDecoder::decode(QByteArrayView bytes)
{
    return m_decoder.decode(bytes);
}

#endif

} // namespace Files
