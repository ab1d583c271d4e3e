#include "pane/PaneDocument.h"

#include <algorithm>
#include <cstddef>
#include <new>
#include <utility>

#include <Qsci/qsciscintillabase.h>

#include "pane/RichTextBox.h"

// The editing component's interface for filling a document without a view
// (its ILoader); it is not among the headers the component installs. It must
// keep external linkage: the compiler may not assume it knows every class
// that implements it.
class PaneDocument::Loader
{
public:
    virtual int Release() = 0;
    virtual int AddData(const char *data, std::ptrdiff_t length) = 0;
    virtual void *ConvertToDocument() = 0;

protected:
    ~Loader() = default;
};

namespace {

// Bytes added in one go: small enough to notice a cancel at once, large
// enough to cost nothing.
constexpr qsizetype kSliceBytes = qsizetype(4) << 20;
constexpr qsizetype kSpareBytes = 256;

} // namespace

PaneDocument::PaneDocument(const RichTextBox &pane, qsizetype expectedBytes, Colours colours)
{
    // A little more than expected: a full buffer grows by a sixth (all of it
    // copied and written) when the next byte comes, such as the CR a load
    // appends or the first key typed at the end.
    const qsizetype room = std::max<qsizetype>(expectedBytes, 0) + kSpareBytes;
    const long options =
        colours == Colours::None ? long(QsciScintillaBase::SC_DOCUMENTOPTION_STYLES_NONE) : 0;
    const long loader = pane.SendScintilla(QsciScintillaBase::SCI_CREATELOADER,
                                           static_cast<unsigned long>(room), options);
    m_loader = reinterpret_cast<Loader *>(loader);
    if (!m_loader)
        throw std::bad_alloc();
}

PaneDocument::PaneDocument(PaneDocument &&other) noexcept
    : m_loader(std::exchange(other.m_loader, nullptr))
{
}

PaneDocument &PaneDocument::operator=(PaneDocument &&other) noexcept
{
    if (this != &other) {
        release();
        m_loader = std::exchange(other.m_loader, nullptr);
    }
    return *this;
}

PaneDocument::~PaneDocument()
{
    release();
}

void PaneDocument::release()
{
    // The document is the loader: one reference, dropped either way.
    if (m_loader)
        std::exchange(m_loader, nullptr)->Release();
}

bool PaneDocument::append(QByteArrayView bytes, Compare::Progress *progress)
{
    for (qsizetype done = 0; done < bytes.size();) {
        if (progress && progress->cancelled.load(std::memory_order_relaxed))
            return false;
        const qsizetype slice = std::min(kSliceBytes, bytes.size() - done);
        if (m_loader->AddData(bytes.data() + done, slice) != QsciScintillaBase::SC_STATUS_OK)
            throw std::bad_alloc();
        done += slice;
        if (progress)
            progress->add(slice);
    }
    return true;
}

void *PaneDocument::take()
{
    void *document = m_loader->ConvertToDocument();
    m_loader = nullptr;
    return document;
}
