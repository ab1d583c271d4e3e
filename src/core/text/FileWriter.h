#pragma once

#include <optional>

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

// What kind of thing a path names that is neither a file nor a folder
// ("a named pipe", "a device" ...), or nothing for a file, a folder or a
// path that does not exist. Follows symbolic links; opens nothing.
std::optional<QString> specialFileKind(const QString &path);

} // namespace Files
