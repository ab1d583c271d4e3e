#include "pane/PaneDocument.h"

#include <cstddef>
#include <new>
#include <utility>

#include <Qsci/qsciscintillabase.h>

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

// The sanitizer's type check cannot know that the component's document
// implements our copy of its interface; the calls go through the same table.
#if defined(__clang__)
#define NO_VPTR_CHECK __attribute__((no_sanitize("vptr")))
#else
#define NO_VPTR_CHECK
#endif

namespace {

// The editor that makes the documents. The component's message for a new
// loader also resets which lines the editor it is sent to shows: a pane that
// asked for its next text would show its current one cut to a line until the
// next text came, and for good if the load was cancelled. A hidden editor of
// our own takes that; it lives as long as the program.
QsciScintillaBase &documentMaker()
{
    static QsciScintillaBase *const maker = new QsciScintillaBase();
    return *maker;
}

} // namespace

PaneDocument::PaneDocument(Colours colours)
{
    // No room is claimed here, on the window's thread: the first bytes added
    // claim what they need on the worker's (the component sets new memory
    // to zero, which takes a while for a large text).
    const long options =
        colours == Colours::None ? long(QsciScintillaBase::SC_DOCUMENTOPTION_STYLES_NONE) : 0;
    const long loader =
        documentMaker().SendScintilla(QsciScintillaBase::SCI_CREATELOADER, 0UL, options);
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

NO_VPTR_CHECK void PaneDocument::release()
{
    // The document is the loader: one reference, dropped either way.
    if (m_loader)
        std::exchange(m_loader, nullptr)->Release();
}

NO_VPTR_CHECK bool PaneDocument::append(QByteArrayView bytes, Compare::Progress *progress)
{
    if (progress && progress->cancelled.load(std::memory_order_relaxed))
        return false;
    if (!bytes.isEmpty()
        && m_loader->AddData(bytes.data(), bytes.size()) != QsciScintillaBase::SC_STATUS_OK)
        throw std::bad_alloc();
    if (progress)
        progress->add(bytes.size());
    return true;
}

NO_VPTR_CHECK void *PaneDocument::take()
{
    void *document = m_loader->ConvertToDocument();
    m_loader = nullptr;
    return document;
}
