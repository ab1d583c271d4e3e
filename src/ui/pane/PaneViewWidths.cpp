#include "pane/PaneViewWidths.h"

#include <algorithm>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextLayout>
#include <QTextOption>
#include <QThread>

#include "base/BackgroundThreads.h"
#include "text/PaneBytes.h"

namespace {

using Position = PaneViewWidths::Position;
using Chunk = PaneViewWidths::Chunk;

constexpr qreal kLineWidth = qreal(1 << 24); // no wrapping
// How often a measuring run hands over what it has.
constexpr qint64 kBatchMs = 50;

bool isContinuation(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

} // namespace

// One run of measuring over a line, from a chunk boundary on.
struct PaneViewWidths::Job
{
    PaneViewWidths *owner;
    Position lineStart;
    quint64 generation;
    std::shared_ptr<std::atomic<bool>> stop;
    std::vector<TextBuffer::Part> parts; // the line from `from` on
    Position from;
    Position length;
    qreal x;
    QFont font;
    qreal tabStop;

    QByteArray pending; // the bytes from `from` not measured yet
    std::vector<Chunk> batch;
    QElapsedTimer sinceSent;

    void run()
    {
        sinceSent.start();
        for (const TextBuffer::Part &part : parts)
            part.forEachSlice([this](QByteArrayView slice) { feed(slice); });
        measureReady(true);
        send(!stop->load());
    }

    // Bytes up to where the next boundary is sure: its nominal place and
    // the reach after it.
    Position needed() const
    {
        const Position nominal = (from / kChunk + 1) * kChunk;
        return std::min(nominal + kSpaceReach, length) - from;
    }

    void feed(QByteArrayView slice)
    {
        while (!slice.isEmpty() && !stop->load()) {
            const qsizetype take = qsizetype(
                std::min<Position>(slice.size(), std::max<Position>(needed() - pending.size(), 1)));
            pending.append(slice.first(take));
            slice = slice.sliced(take);
            measureReady(false);
        }
    }

    void measureReady(bool last)
    {
        while (from < length && !stop->load()) {
            if (!last && pending.size() < needed())
                return;
            const Position nominal = (from / kChunk + 1) * kChunk;
            const Position end =
                nominal >= length ? length : std::min(boundary(pending, from, nominal), length);
            const qsizetype n = qsizetype(std::min<Position>(end - from, pending.size()));
            QTextLayout layout(PaneBytes::toText(QByteArrayView(pending).first(n)));
            layOut(layout, font, tabStop);
            x += layout.lineAt(0).horizontalAdvance();
            from += n;
            pending.remove(0, n);
            batch.push_back({from, x});
            if (sinceSent.elapsed() >= kBatchMs)
                send(false);
            if (n == 0)
                break; // the parts ended early: nothing more to measure
        }
    }

    void send(bool complete)
    {
        sinceSent.restart();
        if (batch.empty() && !complete)
            return;
        QMetaObject::invokeMethod(
            owner,
            [owner = owner, lineStart = lineStart, generation = generation,
             chunks = std::exchange(batch, {}),
             complete] { owner->apply(lineStart, generation, chunks, complete); },
            Qt::QueuedConnection);
    }
};

PaneViewWidths::PaneViewWidths(QObject *parent) : QObject(parent)
{
    // One line at a time, below the window's and the comparisons' work.
    m_pool.setMaxThreadCount(1);
    m_pool.setThreadPriority(QThread::LowPriority);
}

PaneViewWidths::~PaneViewWidths()
{
    clear();
    m_pool.waitForDone();
}

void PaneViewWidths::layOut(QTextLayout &layout, const QFont &font, qreal tabStop)
{
    layout.setFont(font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTextDirection(Qt::LeftToRight);
    option.setTabStopDistance(tabStop);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid())
        line.setLineWidth(kLineWidth);
    layout.endLayout();
}

Position PaneViewWidths::boundary(QByteArrayView bytes, Position bytesStart, Position nominal)
{
    const qsizetype at = qsizetype(nominal - bytesStart);
    const qsizetype reach = std::min<qsizetype>(bytes.size(), at + kSpaceReach);
    for (qsizetype i = at; i < reach; ++i)
        if (bytes[i] == ' ')
            return bytesStart + i + 1;
    qsizetype i = at;
    while (i < bytes.size() && isContinuation(bytes[i]))
        ++i;
    return bytesStart + i;
}

const PaneViewWidths::Line *PaneViewWidths::find(Position lineStart) const
{
    const auto it = m_lines.find(lineStart);
    return it == m_lines.end() ? nullptr : &it->second;
}

const PaneViewWidths::Line &PaneViewWidths::request(Position lineStart, Position length,
                                                    const TextBuffer &buffer)
{
    Line &line = m_lines[lineStart];
    if (line.length != length) {
        // Only an edit at the line's end changes its length without telling
        // edited() of a change inside it: the last chunk may end elsewhere now.
        stop(line);
        while (line.chunks.size() > 1 && line.chunks.back().start + kSpaceReach > length)
            line.chunks.pop_back();
        line.length = length;
        line.complete = false;
    }
    if (!line.complete && !line.running)
        start(lineStart, line, buffer);
    return line;
}

void PaneViewWidths::start(Position lineStart, Line &line, const TextBuffer &buffer)
{
    line.running = true;
    line.stop = std::make_shared<std::atomic<bool>>(false);
    auto job = std::make_shared<Job>();
    job->owner = this;
    job->lineStart = lineStart;
    job->generation = line.generation;
    job->stop = line.stop;
    job->from = line.chunks.back().start;
    job->x = line.chunks.back().x;
    job->length = line.length;
    job->parts = buffer.parts(lineStart + job->from, line.length - job->from);
    job->font = m_font;
    job->tabStop = m_tabStop;
    m_pool.start([job] {
        asBackgroundThread();
        job->run();
    });
}

void PaneViewWidths::apply(Position lineStart, quint64 generation, std::vector<Chunk> chunks,
                           bool complete)
{
    const auto it = m_lines.find(lineStart);
    if (it == m_lines.end() || it->second.generation != generation)
        return;
    Line &line = it->second;
    emit aboutToMeasure(lineStart);
    line.chunks.insert(line.chunks.end(), chunks.begin(), chunks.end());
    if (complete) {
        line.running = false;
        line.complete = line.chunks.back().start >= line.length;
    }
    emit measured(lineStart);
}

void PaneViewWidths::stop(Line &line)
{
    if (line.stop)
        line.stop->store(true);
    line.running = false;
    ++line.generation;
}

void PaneViewWidths::setFont(const QFont &font, qreal tabStop)
{
    if (font == m_font && tabStop == m_tabStop)
        return;
    clear();
    m_font = font;
    m_tabStop = tabStop;
}

void PaneViewWidths::edited(Position from, Position removed, Position inserted)
{
    std::map<Position, Line> kept;
    for (auto &[start, line] : m_lines) {
        if (start + line.length < from) {
            kept.emplace(start, std::move(line));
        } else if (start > from + removed) {
            // Unchanged, and moved: a run under way stops, and goes on from
            // where it was when the line is asked for again.
            stop(line);
            kept.emplace(start + inserted - removed, std::move(line));
        } else if (start <= from) {
            // Chunks before the change hold, and so does a boundary whose
            // reach for a space lies before it.
            stop(line);
            const Position within = from - start;
            while (line.chunks.size() > 1 && line.chunks.back().start + kSpaceReach > within)
                line.chunks.pop_back();
            line.complete = false;
            kept.emplace(start, std::move(line));
        } else {
            stop(line);
        }
    }
    m_lines = std::move(kept);
}

void PaneViewWidths::clear()
{
    for (auto &[start, line] : m_lines)
        stop(line);
    m_lines.clear();
}

void PaneViewWidths::waitForDone()
{
    m_pool.waitForDone();
    QCoreApplication::sendPostedEvents(this);
}
