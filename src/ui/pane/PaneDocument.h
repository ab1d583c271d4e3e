#pragma once

#include <utility>
#include <vector>

#include <QByteArray>
#include <QByteArrayView>

#include "engine/Progress.h"
#include "text/LineIndex.h"

class RichTextBox;
class TextBuffer;

// A pane's text made ready off the window's thread: its bytes are added on
// any thread, and their lines are indexed as they come, so that the pane
// then takes the finished text in one cheap step.
class PaneDocument final
{
public:
    // Whether the text is to be coloured. A pane keeps its colours as runs
    // beside the text (see RunSet), never as a byte of style per byte, so a
    // document readies nothing for them: both give the same document.
    enum class Colours { Kept, None };

    // `room` bytes are claimed at once, so that a text added in pieces up to
    // that size is never moved; a large room is best claimed off the
    // window's thread. `colours` and `reach` (the most bytes the text may
    // come to hold) change nothing: any text can be coloured, and its
    // positions and line starts count in 64 bits whatever its size.
    explicit PaneDocument(Colours colours = Colours::Kept, qsizetype room = 0, qsizetype reach = 0);
    PaneDocument(PaneDocument &&other) noexcept = default;
    PaneDocument &operator=(PaneDocument &&other) noexcept = default;
    PaneDocument(const PaneDocument &) = delete;
    PaneDocument &operator=(const PaneDocument &) = delete;
    ~PaneDocument() = default;

    // Adds pane bytes (see PaneBytes) at the end; any thread, one at a time.
    // Adds bytes.size() to the done count of `progress`, and adds nothing,
    // returning false, when the progress is cancelled. Throws std::bad_alloc
    // when the text does not fit in memory.
    bool append(QByteArrayView bytes, Compare::Progress *progress = nullptr);
    // Takes `bytes` (pane bytes) as the whole text of a document that holds
    // none yet, without a copy when their array already has `room` bytes of
    // room; their lines are indexed on both cores. Otherwise as append().
    bool take(QByteArray bytes, qsizetype room, Compare::Progress *progress = nullptr);

private:
    friend class RichTextBox;
    // The finished text for the pane, and the UTF-16 units before each of
    // its blocks (see PaneView::utf16Offset()), counted as the bytes came.
    TextBuffer take();
    std::vector<qint64> takeUtf16Counts() { return std::exchange(m_utf16Before, {0}); }

    QByteArray m_bytes;
    LineIndex::Starts m_starts;
    std::vector<qint64> m_utf16Before{0};
};
