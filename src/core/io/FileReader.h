#pragma once

#include <QByteArray>
#include <QString>

#include "engine/Progress.h"

namespace Files {

// What reading a whole file gave: its bytes, or why not (error: the file's
// name, ": " and the reason, as every message about a file starts), or
// nothing at all when the read was cancelled.
struct FileBytes
{
    QByteArray bytes;
    QString error;
    int errorNumber = 0; // the system's reason for the error, when it gave one
    bool cancelled = false;

    bool ok() const { return error.isEmpty() && !cancelled; }
};

// What a name that is no regular file is to give. Read: pipes, process
// substitution (/dev/fd/63), sockets and devices are read to their end, as a
// command-line program reads them. Refused: they are an error, said at once,
// without waiting for a writer (a window that must know a file's size, or
// would wait for ever on a FIFO nobody writes to).
enum class Streams { Read, Refused };

// How the bytes read will be used. A comparison by key reads the rows of one
// file in the other's order, and a large file's bytes in large memory pages
// save it a miss of the address cache a row. Text read from start to end
// gains nothing from them, and where fresh large pages are slow to clear
// (seen on a virtual machine: 400 MB took 2 s to load instead of 0.7 s) it
// loses.
enum class Access { InOrder, AtRandom };

// Reads the whole file `name` names. The name is opened by the bytes it was
// given as (see base/ArgumentText.h), or on Windows by its UTF-16 name. A
// folder is always an error. A regular file is read to the size it had when
// it was opened: what is added meanwhile is left out, and a file that shrinks
// is an error, never compared as if it were the whole. With a `progress`, its
// total is the file's size (0 for a stream), each chunk read is counted, and
// the read stops (cancelled, no bytes) once it is cancelled.
FileBytes readFileBytes(const QString &name, Streams streams = Streams::Read,
                        Compare::Progress *progress = nullptr, Access access = Access::InOrder);

// Reads standard input to its end, named "standard input" in errors.
FileBytes readStandardInput(Compare::Progress *progress = nullptr);

} // namespace Files
