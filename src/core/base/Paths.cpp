#include <QFileInfo>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

#include "base/ArgumentText.h"
#include "base/Main.h"

namespace Main {

namespace {

// Replaces, in one pass from left to right, every pair of adjacent backslashes
// by one backslash; pairs do not overlap, so 2 become 1, 3 become 2, 4 become 2.
QString collapseBackslashPairs(QStringView text)
{
    QString result;
    result.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        result.append(text[i]);
        if (text[i] == u'\\' && i + 1 < n && text[i + 1] == u'\\')
            ++i; // the second of the pair is dropped
    }
    return result;
}

} // namespace

bool FileExists(const QString &path)
{
    // Every failure is "false"; nothing leaves this routine.
    try {
        if (path.isEmpty() || path.contains(QChar(u'\0')))
            return false;
#ifndef Q_OS_WIN
        // A name from the command line that is not UTF-8: by its bytes.
        struct stat status
        {};
        if (Args::holdsBytes(path))
            return ::stat(Args::argumentBytes(path).constData(), &status) == 0;
#endif
        const QFileInfo info(path);
        return info.exists();
    } catch (...) {
        return false;
    }
}

QString CleanPath(const QString &path)
{
    const QStringView view(path);
    if (view.isEmpty() || view.front() != u'\\')
        return collapseBackslashPairs(view);
    qsizetype start = 1;
    while (start < view.size() && view[start] == u'\\')
        ++start;
    return QStringLiteral("\\\\") + collapseBackslashPairs(view.sliced(start));
}

} // namespace Main
