#include "base/ArgumentText.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <QFile>

#include "text/Utf8.h"

#ifdef Q_OS_WIN
#include <qt_windows.h>
// after windows.h, which it needs
#include <shellapi.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace Args {

namespace {

constexpr char16_t escapeBase = 0xDC00;

struct Sequence
{
    qsizetype length = 0; // 0: no valid sequence
    char32_t code = 0;
};

// The valid UTF-8 sequence at `at` (no overlong forms, no surrogates, nothing
// above U+10FFFF), if there is one.
Sequence validSequence(const QByteArray &bytes, qsizetype at)
{
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.constData());
    Sequence sequence;
    sequence.length = Files::decodeUtf8Sequence(data + at, data + bytes.size(), sequence.code);
    return sequence;
}

void appendUtf8(QByteArray &out, char32_t code)
{
    const auto put = [&out](char32_t value) { out += static_cast<char>(value); };
    if (code < 0x80) {
        put(code);
    } else if (code < 0x800) {
        put(0xC0 | (code >> 6));
        put(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        put(0xE0 | (code >> 12));
        put(0x80 | ((code >> 6) & 0x3F));
        put(0x80 | (code & 0x3F));
    } else {
        put(0xF0 | (code >> 18));
        put(0x80 | ((code >> 12) & 0x3F));
        put(0x80 | ((code >> 6) & 0x3F));
        put(0x80 | (code & 0x3F));
    }
}

} // namespace

QString argumentText(const QByteArray &bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (qsizetype at = 0; at < bytes.size();) {
        const Sequence sequence = validSequence(bytes, at);
        if (sequence.length == 0) {
            const auto byte = static_cast<unsigned char>(bytes[at]);
            text += QChar(static_cast<char16_t>(escapeBase + byte));
            ++at;
            continue;
        }
        if (QChar::requiresSurrogates(sequence.code)) {
            text += QChar(QChar::highSurrogate(sequence.code));
            text += QChar(QChar::lowSurrogate(sequence.code));
        } else {
            text += QChar(static_cast<char16_t>(sequence.code));
        }
        at += sequence.length;
    }
    return text;
}

QByteArray argumentBytes(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype at = 0; at < text.size(); ++at) {
        const char16_t unit = text[at].unicode();
        if (QChar::isHighSurrogate(unit) && at + 1 < text.size()
            && QChar::isLowSurrogate(text[at + 1].unicode())) {
            appendUtf8(bytes, QChar::surrogateToUcs4(unit, text[at + 1].unicode()));
            ++at;
        } else if (unit >= escapeBase + 0x80 && unit <= escapeBase + 0xFF) {
            bytes += static_cast<char>(unit - escapeBase);
        } else if (QChar::isSurrogate(unit)) {
            appendUtf8(bytes, 0xFFFD);
        } else {
            appendUtf8(bytes, unit);
        }
    }
    return bytes;
}

bool holdsBytes(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) {
        return c.unicode() >= escapeBase + 0x80 && c.unicode() <= escapeBase + 0xFF;
    });
}

QStringList programArguments(int argc, char **argv)
{
    QStringList arguments;
#ifdef Q_OS_WIN
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    // argv holds the names in the ANSI code page, where most characters have no
    // byte: the wide command line has them all.
    int count = 0;
    if (LPWSTR *wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 0; i < count; ++i)
            arguments << QString::fromWCharArray(wide[i]);
        LocalFree(wide);
    }
#else
    for (int i = 0; i < argc; ++i)
        arguments << argumentText(QByteArray(argv[i]));
#endif
    return arguments;
}

QString openForReading(QFile &file)
{
#ifndef Q_OS_WIN
    // QFile names files in UTF-8: a name holding bytes that are not UTF-8 is
    // opened by those bytes, and QFile reads from there.
    const QString name = file.fileName();
    if (holdsBytes(name)) {
        int fd = -1;
        do {
            fd = ::open(argumentBytes(name).constData(), O_RDONLY | O_CLOEXEC);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0)
            return QString::fromLocal8Bit(std::strerror(errno));
        struct stat status
        {};
        if (::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
            ::close(fd); // open() takes a folder; reading it would fail
            return QStringLiteral("it is a folder, not a file");
        }
        if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
            ::close(fd);
            return file.errorString();
        }
        return QString();
    }
#endif
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    return QString();
}

} // namespace Args
