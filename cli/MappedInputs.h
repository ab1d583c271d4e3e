#pragma once

#include <array>
#include <memory>

#include <QString>

#include "io/MappedFile.h"

namespace Cli {

// The files of a comparison, mapped rather than read into memory: a large
// file's bytes are then the system's cached pages, not a copy of them in
// fresh memory that the system must first clear (seconds of the system's
// time for two files of 700 MB). When the comparison
// must stay within --memory, the pages passed over are handed back as it
// goes. Only regular files are mapped; standard input and pipes are read as
// always.
class MappedInputs
{
public:
    // Maps the files. When a comparison of their sizes needs bounding under
    // `memory`, a file that cannot be mapped is an error(); else it is read.
    MappedInputs(const QString &file1, const QString &file2, qint64 memory);
    ~MappedInputs();
    MappedInputs(const MappedInputs &) = delete;
    MappedInputs &operator=(const MappedInputs &) = delete;

    // File 1 or 2, or null when it is read as always.
    const Files::MappedFile *file(int which) const;
    // Why a file could not be mapped (then none is), or empty.
    QString error() const { return m_error; }

private:
    std::array<std::unique_ptr<Files::MappedFile>, 2> m_files;
    std::unique_ptr<Files::PageReleaser> m_releaser;
    QString m_error;
};

} // namespace Cli
