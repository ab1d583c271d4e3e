// Times the pane's text buffer on a text made in memory: building the line
// index, finding lines, a key typed in the middle, a large paste and its
// undo, and a key typed into a text with many red runs.
//
// Usage: bench_text_buffer [LINES]   (default 1,000,000 lines of 40 bytes)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <vector>

#include <QByteArray>
#include <QRandomGenerator>

#include "BenchSupport.h"
#include "text/LineIndex.h"
#include "text/TextBuffer.h"

namespace {

using Position = TextBuffer::Position;

QByteArray makeText(qint64 lines)
{
    QByteArray text;
    text.reserve(lines * 40);
    char line[64];
    for (qint64 i = 0; i < lines; ++i) {
        const int n =
            std::snprintf(line, sizeof line, "%07lld,Name %05lld,Town,%04lld.%02lld,A\r\n", i,
                          i % 99991, i % 9973, i % 97);
        text.append(line, n);
    }
    text.append('\r');
    return text;
}

double msSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// The slowest and the median of `count` keys typed at `at`, one after another.
void typeKeys(TextBuffer &buffer, Position at, int count, const char *label)
{
    std::vector<double> times;
    for (int i = 0; i < count; ++i) {
        const auto start = std::chrono::steady_clock::now();
        buffer.insert(at + i, "x");
        times.push_back(msSince(start));
    }
    std::sort(times.begin(), times.end());
    std::printf("%-44s median %8.3f ms, slowest %8.3f ms\n", label, times[times.size() / 2],
                times.back());
}

} // namespace

int main(int argc, char **argv)
{
    const qint64 lines = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1000000;
    const QByteArray text = makeText(lines);
    std::printf("Text: %lld lines, %lld bytes\n", lines, qint64(text.size()));

    LineIndex::Starts starts;
    const std::clock_t cpuStart = std::clock();
    const double indexMs = Bench::medianMs([&] { starts = LineIndex::build(text); }, 3);
    const double indexCpuMs = double(std::clock() - cpuStart) * 1000.0 / CLOCKS_PER_SEC / 3;
    std::printf("%-44s %8.1f ms (%.1f ms of processor time), %.1f bytes a line\n",
                "line index built", indexMs, indexCpuMs,
                double(starts.bytes()) / double(lines + 1));

    TextBuffer buffer(text, std::move(starts));
    QRandomGenerator random(7);
    const int queries = 1000000;
    auto start = std::chrono::steady_clock::now();
    Position sum = 0;
    for (int i = 0; i < queries; ++i)
        sum += buffer.lineStart(Position(random.bounded(int(buffer.lineCount()))));
    std::printf("%-44s %8.3f us each\n", "lineStart of a random line",
                msSince(start) * 1000.0 / queries);
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < queries; ++i)
        sum += buffer.lineOf(Position(random.bounded(int(buffer.size()))));
    std::printf("%-44s %8.3f us each\n", "lineOf a random position",
                msSince(start) * 1000.0 / queries);

    typeKeys(buffer, buffer.size() / 2, 1000, "1,000 keys typed in the middle");
    for (int i = 0; i < 2000; ++i) // edits all over the text: many pieces
        buffer.replace(Position(random.bounded(int(buffer.size()))), 3, "yz");
    typeKeys(buffer, buffer.size() / 3, 200, "keys typed after 2,000 scattered edits");
    while (buffer.canUndo())
        buffer.undo();
    std::printf("%-44s %s\n", "all undone",
                buffer.text() == text ? "text as loaded" : "TEXT DIFFERS");

    const QByteArray paste = text.left(std::min<qint64>(text.size(), qint64(100) << 20));
    start = std::chrono::steady_clock::now();
    buffer.insert(buffer.size() / 2, paste);
    std::printf("%-44s %8.1f ms (%lld bytes)\n", "paste", msSince(start), qint64(paste.size()));
    start = std::chrono::steady_clock::now();
    buffer.undo();
    std::printf("%-44s %8.1f ms\n", "undo of the paste", msSince(start));
    start = std::chrono::steady_clock::now();
    buffer.redo();
    std::printf("%-44s %8.1f ms\n", "redo of the paste", msSince(start));
    buffer.undo();

    std::vector<Compare::ColourRange> red;
    for (Position line = 0; line + 1 < buffer.lineCount(); line += 2)
        red.push_back({buffer.lineStart(line), buffer.lineEnd(line) - buffer.lineStart(line) + 2});
    buffer.colour(red);
    std::printf("Red runs: %lld\n", qint64(buffer.red().count()));
    typeKeys(buffer, buffer.size() / 2, 20, "keys typed in the middle of red runs");
    typeKeys(buffer, buffer.size() - 2, 20, "keys typed at the end of red runs");

    std::printf("Peak resident memory: %.0f MiB (text %lld MiB)\n", Bench::peakRssMiB(),
                qint64(text.size() >> 20));
    return sum == 42 ? 1 : 0; // keeps the lookups from being optimised away
}
