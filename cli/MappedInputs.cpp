#include "MappedInputs.h"

#include <chrono>

#include <QFileInfo>

#include "MemoryOption.h"

#if !defined(Q_OS_WIN)
#include <signal.h>
#include <unistd.h>
#endif

namespace Cli {

namespace {

#if !defined(Q_OS_WIN)
// A mapped file cut short by another program while it is compared: its lost
// pages cannot be read. Said plainly, with the error status, instead of a crash.
void fileCutShort(int)
{
    static const char message[] =
        "corvantis-cli: a file was cut short by another program while it was compared\n";
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, message, sizeof message - 1);
    ::_exit(2);
}
#endif

qint64 regularFileSize(const QString &name)
{
    const QFileInfo info(name);
    return name != QLatin1String("-") && info.isFile() ? info.size() : 0;
}

} // namespace

MappedInputs::MappedInputs(const QString &file1, const QString &file2, qint64 memory)
{
    const qint64 size1 = regularFileSize(file1);
    const qint64 size2 = regularFileSize(file2);
    const bool bound = comparisonNeedsBound(size1, size2, memory);
    std::vector<const Files::MappedFile *> mapped;
    const std::array<std::pair<QString, qint64>, 2> files{{{file1, size1}, {file2, size2}}};
    for (size_t i = 0; i < files.size(); ++i) {
        if (files[i].second == 0)
            continue;
        auto file = std::make_unique<Files::MappedFile>(files[i].first);
        if (file->ok()) {
            mapped.push_back(file.get());
            m_files[i] = std::move(file);
        } else if (bound) {
            m_error = file->error();
            m_files = {};
            return;
        }
        // Within memory, a file that cannot be mapped is read as always.
    }
    if (mapped.empty())
        return;
#if !defined(Q_OS_WIN)
    struct sigaction action
    {};
    action.sa_handler = fileCutShort;
    ::sigaction(SIGBUS, &action, nullptr);
#endif
    // Often enough that even a pass at memory speed (a check of the bytes
    // as UTF-8) holds no more than some tens of megabytes of a file.
    if (bound)
        m_releaser =
            std::make_unique<Files::PageReleaser>(std::move(mapped), std::chrono::milliseconds(10));
}

MappedInputs::~MappedInputs() = default;

const Files::MappedFile *MappedInputs::file(int which) const
{
    return m_files[size_t(which - 1)].get();
}

} // namespace Cli
