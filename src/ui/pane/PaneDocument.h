#pragma once

#include <optional>
#include <utility>
#include <vector>

#include <QByteArray>
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

    // A text that will never be coloured (a result pane's) needs no colour
    // per byte. `room` bytes are claimed at once, so that a text added in
    // pieces up to that size is never moved; the component sets them to
    // zero, which takes a while for a large text, so a large room is best
    // claimed off the window's thread. `reach` is the most bytes the text
    // may come to hold (at least `room`): the component counts a text's bytes
    // in 32 bits unless told that it may grow large, and past 2 GiB its lines
    // would start at the wrong places. Any thread, once prepareMaker() has
    // run on the window's.
    explicit PaneDocument(Colours colours = Colours::Kept, qsizetype room = 0, qsizetype reach = 0);
    // A result pane's next document, for a comparison of a source text of
    // `sourceBytes` bytes. Its text is gathered as it comes and put into a
    // room of just its size by settle(): a text that grows by a sixth at a
    // time is moved, and its new room cleared, a dozen times over.
    static PaneDocument forResultOf(qsizetype sourceBytes);
    PaneDocument(PaneDocument &&other) noexcept;
    PaneDocument &operator=(PaneDocument &&other) noexcept;
    PaneDocument(const PaneDocument &) = delete;
    PaneDocument &operator=(const PaneDocument &) = delete;
    ~PaneDocument();

    // Adds pane bytes (see PaneBytes) at the end; any thread, one at a time.
    // Past the room claimed, the text grows by a sixth at a time, each time
    // moving what it holds. Adds bytes.size() to the done count of `progress`, and
    // adds nothing, returning false, when the progress is cancelled. Throws
    // std::bad_alloc when the text does not fit in memory.
    bool append(QByteArrayView bytes, Compare::Progress *progress = nullptr);
    void write(QByteArrayView bytes) override { append(bytes); }

    // Puts a gathered text into its document; any thread, and best not the
    // window's for a large text. A text whose `progress` is cancelled
    // meanwhile is dropped instead. Taking the document settles it too.
    void settle(const Compare::Progress *progress = nullptr);

    // Makes, on the window's thread, the hidden editor that every document
    // comes from.
    static void prepareMaker();

private:
    friend class RichTextBox;
    // The finished document for the pane, which takes over the reference.
    void *take();
    void release();
    void gather(QByteArrayView bytes);

    class Loader;
    Loader *m_loader = nullptr;
    // A gathered text not yet in a document (see forResultOf()).
    struct Gathered
    {
        std::vector<QByteArray> pieces;
        qsizetype size = 0;
        qsizetype reach = 0;
    };
    std::optional<Gathered> m_gathered;

    // A document that gathers its text first, without a loader yet.
    explicit PaneDocument(Gathered gathered) : m_gathered(std::move(gathered)) {}
};
