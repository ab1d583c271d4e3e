#include "InputFile.h"

#include <sys/stat.h>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

#include "base/ArgumentText.h"

namespace Cli {

namespace {

#ifndef Q_OS_WIN
// The file an argument names, as stat() sees it through links; false when
// there is none to see.
bool statusOf(const QString &argument, struct stat &status)
{
    if (argument == QLatin1String("-"))
        return ::fstat(STDIN_FILENO, &status) == 0;
    return ::stat(Args::argumentBytes(argument).constData(), &status) == 0;
}
#endif

} // namespace

InputFile readInputFile(const QString &argument)
{
    if (argument == QLatin1String("-"))
        return Files::readStandardInput();
    return Files::readFileBytes(argument, Files::Streams::Read);
}

QString sameInputTwice(const QString &argument1, const QString &argument2)
{
    if (argument1 == QLatin1String("-") && argument2 == QLatin1String("-"))
        return QStringLiteral("Standard input (-) can stand for one file only");
#ifdef Q_OS_WIN
    // Windows numbers no files (st_ino is 0) and names no pipes on the command
    // line: there is no other way to give one pipe twice.
    return QString();
#else
    struct stat status1
    {};
    struct stat status2
    {};
    if (!statusOf(argument1, status1) || !statusOf(argument2, status2))
        return QString(); // reading it will say what is wrong
    const bool stream = S_ISFIFO(status1.st_mode) || S_ISSOCK(status1.st_mode);
    if (!stream || status1.st_dev != status2.st_dev || status1.st_ino != status2.st_ino)
        return QString();
    return QStringLiteral("%1: The same pipe is given as both files; it can be read once only")
        .arg(argument2 == QLatin1String("-") ? argument1 : argument2);
#endif
}

} // namespace Cli
