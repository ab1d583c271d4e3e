#pragma once

#include <functional>
#include <optional>
#include <span>

#include <QByteArrayView>
#include <QString>

namespace Files {

// Writes `bytes` as the whole contents of the file at `path`. Gives nothing
// on success, or the reason it failed, naming the file.
//
// A new file, or one only we use, is replaced atomically: the old contents
// stay whole until every byte of the new ones is on disk. A file that has
// other hard links or another owner, or whose folder takes no new file, is
// written in place instead, as a text editor does, so that its links, owner
// and group stay. Either way the file keeps its permission bits. A named
// pipe, device or socket is refused without being opened (opening a pipe
// waits for a reader).
[[nodiscard]] std::optional<QString> writeWholeFile(const QString &path, QByteArrayView bytes);

// Told how many more bytes were written (0 before the first); false stops.
using WriteProgress = std::function<bool(qint64 written)>;

struct WriteResult
{
    enum class Status { Written, Stopped, Failed };
    Status status = Status::Written;
    QString error; // when Failed
};

// The same for the pieces one after another, a slice at a time, telling
// `progress` after each. A stop leaves the old file as it was (no new file is
// left behind): the new copy is dropped. A file that must be written in
// place (see above) can only be stopped before its first byte: after it the
// write goes on to the end, as the old contents are gone by then.
[[nodiscard]] WriteResult writeWholeFile(const QString &path,
                                         std::span<const QByteArrayView> pieces,
                                         const WriteProgress &progress);

// Hands the bytes of a file to `write`, in order, each time it is called:
// for a text that is not in memory in one piece.
using Pieces = std::function<void(const std::function<void(QByteArrayView)> &write)>;

// The same for bytes made as they are written.
[[nodiscard]] WriteResult writeWholeFile(const QString &path, const Pieces &pieces,
                                         const WriteProgress &progress);

// What kind of thing a path names that is neither a file nor a folder
// ("a named pipe", "a device" ...), or nothing for a file, a folder or a
// path that does not exist. Follows symbolic links; opens nothing.
std::optional<QString> specialFileKind(const QString &path);

} // namespace Files
