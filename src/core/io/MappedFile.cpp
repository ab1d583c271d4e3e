#include "io/MappedFile.h"

#include "base/ArgumentText.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace Files {

MappedFile::MappedFile(const QString &name) : m_file(name)
{
    if (const QString why = Args::openForReading(m_file); !why.isEmpty()) {
        m_error = name + QStringLiteral(": ") + why;
        return;
    }
    if (m_file.isSequential()) {
        m_error = name + QStringLiteral(": not a regular file");
        return;
    }
    m_size = m_file.size();
    if (m_size == 0)
        return;
    m_map = m_file.map(0, m_size);
    if (!m_map) {
        m_error = name + QStringLiteral(": ") + m_file.errorString();
        return;
    }
    const char *text = reinterpret_cast<const char *>(m_map);
    const qint64 skip = m_size >= 3 && QByteArrayView(text, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    m_bytes = QByteArray::fromRawData(text + skip, m_size - skip);
}

MappedFile::~MappedFile()
{
    if (m_map)
        m_file.unmap(m_map);
}

void MappedFile::releasePages() const
{
#if defined(MADV_DONTNEED)
    if (m_map)
        madvise(m_map, size_t(m_size), MADV_DONTNEED);
#endif
}

PageReleaser::PageReleaser(std::vector<const MappedFile *> files,
                           std::chrono::milliseconds interval)
    : m_files(std::move(files)), m_interval(interval)
{
    m_thread = std::thread([this] {
        std::unique_lock lock(m_mutex);
        while (!m_wake.wait_for(lock, m_interval, [this] { return m_stop; })) {
            for (const MappedFile *file : m_files)
                file->releasePages();
        }
    });
}

PageReleaser::~PageReleaser()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

} // namespace Files
