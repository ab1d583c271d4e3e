#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

namespace Files {

// Decodes text in a Windows code page (as rich text names them: \ansicpg1251,
// \fcharset204). On Linux Qt's converters do it, through ICU; Qt on Windows
// has no ICU and reads only UTF-8, UTF-16 and Latin-1, so there Windows' own
// MultiByteToWideChar does, which knows every code page the system has. Either
// way only the code pages codePageName() lists are read. Stateless: each
// decode() is a whole run of bytes.
class CodePageDecoder
{
public:
    explicit CodePageDecoder(int codePage);

    // False for a code page not read here (nor by the system).
    bool isValid() const;
    QString decode(QByteArrayView bytes);

private:
#ifdef Q_OS_WIN
    int m_codePage;
    bool m_valid;
#else
    QStringDecoder m_decoder;
#endif
};

// The converter's name of a Windows code page; empty for one we do not read
// (which is then read as Windows-1252).
QByteArray codePageName(int codePage);

} // namespace Files
