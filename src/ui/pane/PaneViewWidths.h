#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <vector>

#include <QFont>
#include <QObject>
#include <QThreadPool>

#include "text/TextBuffer.h"

// Where the characters of a pane's long lines lie along them, measured off
// the window's thread. A long line is cut into chunks of about 4 KB (at a
// character's start, after a space where one is near, so that a word is
// shaped whole); each chunk is laid out on its own, and the x at which each
// chunk starts is kept: 8 bytes of x and 8 of offset per 4 KB. The view lays
// out the same chunks to draw them, so a measured position is exact, and
// what is not measured yet is estimated from what is.
class QTextLayout;

class PaneViewWidths : public QObject
{
    Q_OBJECT

public:
    using Position = TextBuffer::Position;

    // Nominal chunk size, and how far past it a chunk looks for a space.
    static constexpr Position kChunk = 4096;
    static constexpr Position kSpaceReach = 256;

    struct Chunk
    {
        Position start; // from the line's start
        qreal x;
    };
    // A line's chunks measured so far: the first starts at 0, and the last
    // entry is the frontier, where measuring goes on (the line's length and
    // its whole width once it is complete).
    struct Line
    {
        Position length = 0;
        std::vector<Chunk> chunks{{0, 0}};
        bool complete = false;
        // Private to the measuring: which run of it is current, whether one
        // is under way, and how to stop it.
        quint64 generation = 0;
        bool running = false;
        std::shared_ptr<std::atomic<bool>> stop;
    };

    explicit PaneViewWidths(QObject *parent = nullptr);
    ~PaneViewWidths() override;

    // The measures of the line that starts at `lineStart`, if any were asked
    // for. request() starts measuring the line of `length` bytes in `buffer`
    // unless it is measured or under way.
    const Line *find(Position lineStart) const;
    const Line &request(Position lineStart, Position length, const TextBuffer &buffer);

    // The font and tab stops every chunk is laid out with; a change forgets
    // every measure.
    void setFont(const QFont &font, qreal tabStop);
    // The text changed: [from, from + removed) became `inserted` bytes.
    // Measures before the change are kept, and lines after it move.
    void edited(Position from, Position removed, Position inserted);
    void clear();
    // Waits until nothing is being measured (for tests and benchmarks).
    void waitForDone();

    // Lays out a chunk's text (or any slice of a line) as one line from
    // x = 0, as every chunk is laid out.
    static void layOut(QTextLayout &layout, const QFont &font, qreal tabStop);
    // The first chunk boundary at or after `nominal` (a multiple of kChunk),
    // where `bytes` hold the line from `bytesStart` on: after the first space
    // within kSpaceReach, else at the first character's start.
    static Position boundary(QByteArrayView bytes, Position bytesStart, Position nominal);

signals:
    // The line's measures are about to grow: what was estimated moves.
    void aboutToMeasure(Position lineStart);
    // More of the line that starts at `lineStart` is measured.
    void measured(Position lineStart);

private:
    struct Job;
    void start(Position lineStart, Line &line, const TextBuffer &buffer);
    void apply(Position lineStart, quint64 generation, std::vector<Chunk> chunks, bool complete);
    void stop(Line &line);

    QFont m_font;
    qreal m_tabStop = 64;
    std::map<Position, Line> m_lines;
    quint64 m_generation = 0;
    QThreadPool m_pool;
};
