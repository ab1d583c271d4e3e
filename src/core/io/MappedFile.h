#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <QByteArray>
#include <QFile>
#include <QString>

namespace Files {

// A regular file's bytes mapped into memory rather than read into it, for a
// file larger than the memory a program may use: the system pages them in as
// they are read, and releasePages() gives them back. A UTF-8 byte-order mark
// is left out of bytes(), as every reader of a table drops it.
class MappedFile
{
public:
    // Maps the file `name` names (opened as base/ArgumentText.h says). Not
    // ok() when it cannot be: a pipe, a device, a folder, no such file.
    explicit MappedFile(const QString &name);
    ~MappedFile();
    MappedFile(const MappedFile &) = delete;
    MappedFile &operator=(const MappedFile &) = delete;

    bool ok() const { return m_error.isEmpty(); }
    // The file's name, ": " and the reason.
    QString error() const { return m_error; }
    // The bytes, not copied: valid while this object lives. A file cut short
    // meanwhile makes reading its lost end fail (SIGBUS on Linux).
    QByteArray bytes() const { return m_bytes; }
    // Drops the pages read so far from the process (not from the system's
    // cache): they are read again, from the cache or the disk, when next
    // needed. Safe while other threads read the bytes.
    void releasePages() const;

private:
    QFile m_file;
    uchar *m_map = nullptr;
    qint64 m_size = 0;
    QByteArray m_bytes;
    QString m_error;
};

// Releases the pages of some mapped files every `interval`, on a thread of
// its own, while it lives: a pass over a mapped file then holds only what
// it read last.
class PageReleaser
{
public:
    PageReleaser(std::vector<const MappedFile *> files, std::chrono::milliseconds interval);
    ~PageReleaser();
    PageReleaser(const PageReleaser &) = delete;
    PageReleaser &operator=(const PageReleaser &) = delete;

private:
    std::vector<const MappedFile *> m_files;
    std::chrono::milliseconds m_interval;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace Files
