#pragma once

#include <QByteArrayView>

#include "engine/Progress.h"
#include "engine/ResultSink.h"

class RichTextBox;

// A pane's text made ready off the window's thread: the editing component
// lays out (counts the lines of) a document of its own while bytes are added
// on any thread, and the pane then takes the finished document in one cheap
// step. A document never taken is freed with this object. A comparison can
// write its result text straight into one (as a ResultSink).
class PaneDocument final : public Compare::ResultSink
{
public:
    enum class Colours { Kept, None };

    // Made on the window's thread. A text that will never be coloured (a
    // result pane's) needs no colour per byte.
    explicit PaneDocument(Colours colours = Colours::Kept);
    PaneDocument(PaneDocument &&other) noexcept;
    PaneDocument &operator=(PaneDocument &&other) noexcept;
    PaneDocument(const PaneDocument &) = delete;
    PaneDocument &operator=(const PaneDocument &) = delete;
    ~PaneDocument();

    // Adds pane bytes (see PaneBytes) at the end; any thread, one at a time.
    // The first call claims the memory for its bytes, so a whole text is best
    // added at once. Adds bytes.size() to the done count of `progress`, and
    // adds nothing, returning false, when the progress is cancelled. Throws
    // std::bad_alloc when the text does not fit in memory.
    bool append(QByteArrayView bytes, Compare::Progress *progress = nullptr);
    void write(QByteArrayView bytes) override { append(bytes); }

private:
    friend class RichTextBox;
    // The finished document for the pane, which takes over the reference.
    void *take();
    void release();

    class Loader;
    Loader *m_loader = nullptr;
};
