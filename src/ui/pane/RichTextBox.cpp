#include "pane/RichTextBox.h"

#include <algorithm>
#include <array>

#include <QContextMenuEvent>
#include <QMenu>
#include <QtConcurrent/QtConcurrentRun>

#include "pane/PaneAccessible.h"
#include "pane/PaneDocument.h"
#include "runner/BackgroundRun.h"
#include "text/PaneBytes.h"

namespace {

// The largest selection the program makes that is offered to X11's primary
// selection: a mark that is a whole file is shown, not offered, as Qt's own
// text boxes do with a selection the program makes.
constexpr qsizetype kOfferedSelection = qsizetype(1) << 20;

quint64 nextSerial()
{
    static quint64 serial = 0;
    return ++serial;
}

} // namespace

RichTextBox::RichTextBox(const QString &name, QWidget *parent) : PaneView(parent)
{
    static const bool factoryInstalled = [] {
        PaneAccessible::install();
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    setObjectName(name);
    connect(this, &PaneView::selectionMoved, this,
            [this] { PaneAccessible::announceCaret(*this); });
    m_serial = nextSerial();
}

RichTextBox::~RichTextBox()
{
    for (QFuture<void> &release : m_releases)
        release.waitForFinished();
}

void RichTextBox::textWillChange()
{
    if (m_sharing > 0)
        emit textAboutToChange();
}

QByteArray RichTextBox::shareBytes()
{
    ++m_sharing;
    const QByteArrayView view = bytes();
    return QByteArray::fromRawData(view.data(), view.size());
}

void RichTextBox::unshareBytes()
{
    if (m_sharing > 0)
        --m_sharing;
}

void RichTextBox::adopt(PaneDocument &&document)
{
    PaneDocument taken = std::move(document);
    TextBuffer text = taken.take();
    disconnect(m_sourceWatch);
    releaseLater(resetText(std::move(text), taken.takeUtf16Counts()));
    m_serial = nextSerial();
    emit textReplaced();
}

void RichTextBox::adoptResult(std::shared_ptr<const ResultView> result, RichTextBox *source)
{
    disconnect(m_sourceWatch);
    releaseLater(resetText(TextBuffer(std::move(result))));
    m_serial = nextSerial();
    // Queued: when the result is replaced in the same turn (Clear empties
    // every pane), nothing is copied.
    if (source)
        m_sourceWatch = connect(source, &RichTextBox::textReplaced, this,
                                &RichTextBox::ownResultBytes, Qt::QueuedConnection);
    emit textReplaced();
}

void RichTextBox::ownResultBytes()
{
    disconnect(m_sourceWatch);
    std::shared_ptr<const ResultView> view = buffer().result();
    if (!view)
        return;
    const auto copy = [](const std::shared_ptr<const ResultView> &result) {
        QByteArray whole = result->bytes(0, result->size());
        LineIndex::Starts starts = LineIndex::build(whole);
        return std::pair(std::move(whole), std::move(starts));
    };
    // About a millisecond a MiB: a small result is copied at once.
    if (view->size() < (qsizetype(4) << 20)) {
        auto [whole, starts] = copy(view);
        takeResultBytes(std::move(whole), std::move(starts));
        dropLater(std::move(view));
        return;
    }
    QFuture<std::pair<QByteArray, LineIndex::Starts>> copied =
        QtConcurrent::run(&workerPool(), copy, view);
    m_releases.push_back(QFuture<void>(copied)); // waited for when the pane goes
    copied.then(this, [this, view](std::pair<QByteArray, LineIndex::Starts> own) mutable {
        // Unless the pane has shown another text since.
        if (buffer().result() == view)
            takeResultBytes(std::move(own.first), std::move(own.second));
        dropLater(std::move(view));
    });
}

void RichTextBox::dropLater(std::shared_ptr<const ResultView> view)
{
    // The result may hold the last copy of a file of gigabytes.
    std::erase_if(m_releases, [](const QFuture<void> &release) { return release.isFinished(); });
    m_releases.push_back(QtConcurrent::run(
        &workerPool(), [dropped = std::move(view)]() mutable { dropped.reset(); }));
}

void RichTextBox::releaseLater(TextBuffer old)
{
    // Freeing a text of gigabytes takes the better part of a second; no one
    // else holds it now.
    if (old.size() < (qsizetype(1) << 20))
        return;
    std::erase_if(m_releases, [](const QFuture<void> &release) { return release.isFinished(); });
    m_releases.push_back(QtConcurrent::run(
        &workerPool(), [dropped = std::move(old)]() mutable { dropped = TextBuffer(); }));
}

QByteArrayView RichTextBox::bytes() const
{
    return flatBytes();
}

QString RichTextBox::text() const
{
    return PaneBytes::toText(bytes());
}

void RichTextBox::setBytes(QByteArrayView bytes)
{
    PaneDocument document(PaneDocument::Colours::Kept, bytes.size());
    document.append(bytes);
    adopt(std::move(document));
}

void RichTextBox::setText(const QString &text)
{
    setBytes(PaneBytes::fromText(text));
}

void RichTextBox::appendText(const QString &more)
{
    appendBytes(PaneBytes::fromText(more));
}

qsizetype RichTextBox::textLength() const
{
    return PaneBytes::utf16Length(bytes());
}

qsizetype RichTextBox::lineCount() const
{
    return qsizetype(buffer().lineCount());
}

void RichTextBox::select(qsizetype start, qsizetype length)
{
    start = std::max<qsizetype>(start, 0);
    const std::vector<qsizetype> at =
        PaneBytes::byteOffsets(bytes(), {start, start + std::max<qsizetype>(length, 0)});
    selectBytes(at[0], at[1] - at[0]);
}

void RichTextBox::selectBytes(qsizetype start, qsizetype length)
{
    const qsizetype size = buffer().size();
    start = std::clamp<qsizetype>(start, 0, size);
    const qsizetype end = std::clamp<qsizetype>(start + length, start, size);
    setSelection(start, end, end - start <= kOfferedSelection);
}

void RichTextBox::selectAll(bool select)
{
    const qsizetype size = buffer().size();
    if (!select)
        PaneView::selectAll(false);
    else // the caret at the start, the view where it was
        setSelection(size, 0, size <= kOfferedSelection, false);
}

void RichTextBox::colourRanges(const Compare::ColourRanges &ranges, Colour colour)
{
    const Compare::ColourRanges inBytes = PaneBytes::toByteRanges(bytes(), ranges);
    colourByteRanges(Compare::normalised(inBytes), colour);
}

void RichTextBox::colourByteRanges(std::span<const Compare::ColourRange> ranges, Colour colour)
{
    colourBytes(ranges, colour);
}

void RichTextBox::colourAll(Colour colour)
{
    colourEverything(colour);
}

Colour RichTextBox::colourAt(qsizetype offset) const
{
    const qsizetype at = PaneBytes::byteOffsets(bytes(), {std::max<qsizetype>(offset, 0)})[0];
    return colourOfByte(at);
}

std::optional<Compare::ColourRange> RichTextBox::redRunFrom(qsizetype from, bool forward)
{
    const Compare::RunSet &runs = redRuns();
    if (runs.count() == 0)
        return std::nullopt;
    const qsizetype at = runs.indexAtOrBefore(from);
    const bool inside = at >= 0 && from < runs.at(at).start + runs.at(at).length;
    if (forward) // the next run, or the first after the last
        return runs.at(at + 1 < runs.count() ? at + 1 : 0);
    const qsizetype before = inside ? at - 1 : at;
    return runs.at(before >= 0 ? before : runs.count() - 1);
}

std::optional<Compare::ColourRange> RichTextBox::firstRedRun()
{
    const Compare::RunSet &runs = redRuns();
    return runs.count() > 0 ? std::optional(runs.at(0)) : std::nullopt;
}

void RichTextBox::setLineNumbersShown(bool shown)
{
    m_lineNumbers = shown;
    setNumberMargin(shown);
}

// Tab and Shift+Tab move the focus on, as in every other control of the
// window, instead of typing a tab into the data.
bool RichTextBox::focusNextPrevChild(bool next)
{
    return QAbstractScrollArea::focusNextPrevChild(next);
}

void RichTextBox::setEditMenuEnabled(bool enabled)
{
    m_editMenu = enabled;
}

void RichTextBox::setMenuExtension(std::function<void(QMenu &)> extend)
{
    m_extendMenu = std::move(extend);
}

QMenu *RichTextBox::createContextMenu()
{
    if (!m_editMenu)
        return new QMenu(this);
    QMenu *menu = createStandardContextMenu();
    if (m_extendMenu)
        m_extendMenu(*menu);
    return menu;
}

void RichTextBox::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createContextMenu();
    if (menu->isEmpty()) {
        delete menu;
        event->ignore();
        return;
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}
