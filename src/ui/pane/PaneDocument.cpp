#include "pane/PaneDocument.h"

#include <algorithm>
#include <cstddef>
#include <mutex>
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
// our own takes that; it lives as long as the program. It is made on the
// window's thread; after that any thread may ask it for a loader, one at a
// time (the message touches the editor only in that reset).
QsciScintillaBase &documentMaker()
{
    static QsciScintillaBase *const maker = new QsciScintillaBase();
    return *maker;
}

std::mutex &makerLock()
{
    static std::mutex lock;
    return lock;
}

// Through the component's direct function, whose answer holds a pointer on
// every system: SendScintilla() answers in a long, 32 bits on Windows.
void *createLoader(QsciScintillaBase &maker, qsizetype room, long options)
{
    using Direct = qintptr (*)(qintptr, unsigned int, quintptr, qintptr);
    const auto direct = reinterpret_cast<Direct>(
        maker.SendScintillaPtrResult(QsciScintillaBase::SCI_GETDIRECTFUNCTION));
    const auto self = reinterpret_cast<qintptr>(
        maker.SendScintillaPtrResult(QsciScintillaBase::SCI_GETDIRECTPOINTER));
    const std::lock_guard hold(makerLock());
    return reinterpret_cast<void *>(
        direct(self, QsciScintillaBase::SCI_CREATELOADER, quintptr(room), options));
}

// Texts that may reach this size count in 64 bits, which costs four more
// bytes a line; the margin leaves room for the user's typing and pasting.
constexpr qsizetype kLargeTextFrom = qsizetype(1) << 30;
// A gathered text comes in pieces of this size: above the largest size the C
// library serves from its heaps, so that each goes back to the system when
// freed instead of staying with the process.
constexpr qsizetype kGatherPiece = qsizetype(64) << 20;
// The first piece is smaller: most results are a few lines.
constexpr qsizetype kFirstGatherPiece = qsizetype(1) << 20;
// The room a settled text is given beyond its own size.
constexpr qsizetype kSpareRoom = 4096;

} // namespace

void PaneDocument::prepareMaker()
{
    documentMaker();
}

PaneDocument::PaneDocument(Colours colours, qsizetype room, qsizetype reach)
{
    long options = 0;
    if (colours == Colours::None)
        options |= QsciScintillaBase::SC_DOCUMENTOPTION_STYLES_NONE;
    if (std::max(room, reach) >= kLargeTextFrom)
        options |= QsciScintillaBase::SC_DOCUMENTOPTION_TEXT_LARGE;
    m_loader = static_cast<Loader *>(createLoader(documentMaker(), room, options));
    if (!m_loader)
        throw std::bad_alloc();
}

PaneDocument PaneDocument::forResultOf(qsizetype sourceBytes)
{
    // A result lists lines or words of its source, each after a break of at
    // most two bytes, and in the source each word is followed by at least
    // one byte: the result is at most twice the source.
    return PaneDocument(Gathered{{}, 0, 2 * sourceBytes + 2});
}

PaneDocument::PaneDocument(PaneDocument &&other) noexcept
    : m_loader(std::exchange(other.m_loader, nullptr)),
      m_gathered(std::exchange(other.m_gathered, std::nullopt))
{
}

PaneDocument &PaneDocument::operator=(PaneDocument &&other) noexcept
{
    if (this != &other) {
        release();
        m_loader = std::exchange(other.m_loader, nullptr);
        m_gathered = std::exchange(other.m_gathered, std::nullopt);
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
    if (m_gathered)
        gather(bytes);
    else if (!bytes.isEmpty()
             && m_loader->AddData(bytes.data(), bytes.size()) != QsciScintillaBase::SC_STATUS_OK)
        throw std::bad_alloc();
    if (progress)
        progress->add(bytes.size());
    return true;
}

void PaneDocument::gather(QByteArrayView bytes)
{
    std::vector<QByteArray> &pieces = m_gathered->pieces;
    if (pieces.empty() || pieces.back().size() + bytes.size() > pieces.back().capacity()) {
        const qsizetype piece = pieces.empty() ? kFirstGatherPiece : kGatherPiece;
        pieces.emplace_back();
        pieces.back().reserve(std::max(piece, bytes.size()));
    }
    pieces.back().append(bytes);
    m_gathered->size += bytes.size();
}

void PaneDocument::settle(const Compare::Progress *progress)
{
    if (!m_gathered)
        return;
    Gathered gathered = std::exchange(m_gathered, std::nullopt).value();
    // One text at a time: while it is put into its room, a text is held
    // twice.
    static std::mutex oneAtATime;
    const std::lock_guard hold(oneAtATime);
    // Some room beyond the text for the user's typing: a full room is moved
    // to a larger one when the pane first reads it.
    *this = PaneDocument(Colours::None, gathered.size + kSpareRoom, gathered.reach);
    for (QByteArray &piece : gathered.pieces) {
        if (progress && progress->cancelled.load(std::memory_order_relaxed)) {
            release();
            return;
        }
        append(piece);
        piece = QByteArray();
    }
}

NO_VPTR_CHECK void *PaneDocument::take()
{
    settle();
    if (!m_loader) // its text was dropped
        *this = PaneDocument(Colours::None);
    void *document = m_loader->ConvertToDocument();
    m_loader = nullptr;
    return document;
}
