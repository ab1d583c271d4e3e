#include <random>
// The pane's text buffer against a plain byte array: random edits (some of
// them made ready elsewhere, as a large paste is), undo and redo, colour,
// and the lines as a reader counts them.
#include <memory>
#include <optional>
#include <vector>

#include <QRandomGenerator>
#include <QTest>

#include "engine/RunSet.h"
#include "text/LineIndex.h"
#include "text/ResultView.h"
#include "text/TextBuffer.h"

using Compare::ColourRange;
using Position = TextBuffer::Position;

class TextBufferTest : public QObject
{
    Q_OBJECT

private slots:
    void lineIndexAgreesWithPlainScan_data();
    void lineIndexAgreesWithPlainScan();
    void lineIndexKeepsHugeGaps();
    void agreesWithPlainModel_data();
    void agreesWithPlainModel();
    void newEditDropsRedo();
    void positionsOutsideTheTextAreClamped();
};

namespace {

// Line starts as a reader finds them, byte by byte: after an LF, or after a
// CR that no LF follows; a break at the very end starts an empty last line.
std::vector<Position> plainStarts(const QByteArray &text)
{
    std::vector<Position> starts{0};
    for (Position i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')))
            starts.push_back(i + 1);
    }
    return starts;
}

// The model: bytes, a red flag per byte, and the edits made, as a pane's
// user would describe undo: put back what the edit removed, red as it was.
struct Model
{
    struct Edit
    {
        Position at;
        QByteArray removed;
        std::vector<bool> removedRed;
        QByteArray inserted;
    };

    QByteArray text;
    std::vector<bool> red;
    std::vector<Edit> history;
    size_t done = 0;

    void apply(Position at, Position length, const QByteArray &inserted,
               const std::vector<bool> &insertedRed)
    {
        text.replace(at, length, inserted);
        red.erase(red.begin() + at, red.begin() + at + length);
        red.insert(red.begin() + at, insertedRed.begin(), insertedRed.end());
    }

    void replace(Position at, Position length, const QByteArray &inserted)
    {
        Edit edit{
            at, text.mid(at, length), {red.begin() + at, red.begin() + at + length}, inserted};
        apply(at, length, inserted, std::vector<bool>(size_t(inserted.size()), false));
        history.resize(done);
        history.push_back(edit);
        ++done;
    }

    // Typing: joins the last step when it only inserted, ending at `at`.
    void insertJoined(Position at, const QByteArray &inserted)
    {
        const bool joins = done > 0 && done == history.size() && history.back().removed.isEmpty()
                           && !history.back().inserted.isEmpty()
                           && history.back().at + history.back().inserted.size() == at;
        if (!joins) {
            replace(at, 0, inserted);
            return;
        }
        apply(at, 0, inserted, std::vector<bool>(size_t(inserted.size()), false));
        history.back().inserted += inserted;
    }

    void append(const QByteArray &more)
    {
        apply(text.size(), 0, more, std::vector<bool>(size_t(more.size()), false));
        history.clear();
        done = 0;
    }

    void undo()
    {
        const Edit &e = history[--done];
        apply(e.at, e.inserted.size(), e.removed, e.removedRed);
    }

    void redo()
    {
        const Edit &e = history[done++];
        apply(e.at, e.removed.size(), e.inserted,
              std::vector<bool>(size_t(e.inserted.size()), false));
    }

    std::vector<ColourRange> runs() const
    {
        std::vector<ColourRange> out;
        for (size_t i = 0; i < red.size(); ++i) {
            if (!red[i])
                continue;
            if (!out.empty() && out.back().start + out.back().length == qsizetype(i))
                ++out.back().length;
            else
                out.push_back({qsizetype(i), 1});
        }
        return out;
    }
};

QByteArray randomBytes(QRandomGenerator &random, int most)
{
    static const char pool[] = {'a', 'b', '\r', '\n', '\r', '\n', ' ', '\xC3', '\xA9'};
    QByteArray bytes;
    const int count = random.bounded(most + 1);
    for (int i = 0; i < count; ++i)
        bytes += pool[random.bounded(int(sizeof pool))];
    return bytes;
}

// Every line's start and end, and the line of every position, as the model
// says; the text and its red runs.
bool sameAsModel(const TextBuffer &buffer, const Model &model, QByteArray &why)
{
    if (buffer.text() != model.text) {
        why = "text";
        return false;
    }
    if (buffer.red().runs() != model.runs()) {
        why = "red runs";
        return false;
    }
    const std::vector<Position> starts = plainStarts(model.text);
    if (buffer.lineCount() != Position(starts.size())) {
        why = "line count " + QByteArray::number(buffer.lineCount());
        return false;
    }
    size_t line = 0;
    for (Position p = 0; p <= model.text.size(); ++p) {
        while (line + 1 < starts.size() && starts[line + 1] <= p)
            ++line;
        if (buffer.lineOf(p) != Position(line)) {
            why = "line of " + QByteArray::number(p);
            return false;
        }
    }
    for (size_t i = 0; i < starts.size(); ++i) {
        Position end = i + 1 < starts.size() ? starts[i + 1] - 1 : model.text.size();
        if (i + 1 < starts.size() && end > 0 && model.text[end] == '\n'
            && model.text[end - 1] == '\r')
            --end;
        if (buffer.lineStart(Position(i)) != starts[i] || buffer.lineEnd(Position(i)) != end) {
            why = "line " + QByteArray::number(qsizetype(i));
            return false;
        }
    }
    return true;
}

// A result that shows `source` as one line (its text is the source and a
// CR), or as its words (a CR LF before each word), without a copy of it.
std::shared_ptr<const ResultView> resultOf(const QByteArray &source, bool words)
{
    auto view = std::make_shared<ResultView>(source, source);
    if (!words) {
        view->line(0, source.size(), false);
    } else {
        for (qsizetype from = 0; from <= source.size();) {
            const qsizetype space = source.indexOf(' ', from);
            const qsizetype end = space < 0 ? source.size() : space;
            view->word(from, end - from);
            from = end + 1;
        }
    }
    view->finish();
    return view;
}

QByteArray shown(const QByteArray &text)
{
    return text.toPercentEncoding("", "");
}

} // namespace

void TextBufferTest::lineIndexAgreesWithPlainScan_data()
{
    QTest::addColumn<QByteArray>("text");
    const qsizetype slice = qsizetype(4) << 20; // the index reads in slices this size
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("breaks of every kind") << QByteArray("a\r\nb\rc\nd\n\r\r\n\n");
    QTest::newRow("ends with a CR") << QByteArray("a\r");
    QTest::newRow("ends with CR LF") << QByteArray("a\r\n");
    QTest::newRow("CR LF across slices") << QByteArray(slice - 1, 'x') + "\r\nz";
    QTest::newRow("CR at a slice's end, no LF") << QByteArray(slice - 1, 'x') + "\rz";
    QTest::newRow("LF first in a slice") << QByteArray(slice, 'x') + "\nz";
    // A large text is indexed in two halves, cut at its middle.
    const qsizetype halves = qsizetype(16) << 20;
    QTest::newRow("CR LF across the halves")
        << QByteArray(halves / 2 - 1, 'x') + "\r\n" + QByteArray(halves / 2 - 1, 'y');
    QByteArray dense(halves + 77, 'a');
    quint32 state = 20261210;
    for (char &c : dense) {
        state = state * 1664525u + 1013904223u;
        c = "ab\r\n"[state >> 30];
    }
    QTest::newRow("random breaks in halves") << dense;
}

// The index in slices and grown at its end, against a byte-by-byte scan.
void TextBufferTest::lineIndexAgreesWithPlainScan()
{
    QFETCH(QByteArray, text);
    std::vector<Position> expected = plainStarts(text);
    expected.erase(expected.begin()); // 0 is no break
    if (!expected.empty() && expected.back() == text.size())
        expected.pop_back(); // undecided at the end
    QCOMPARE(LineIndex::build(text), LineIndex::Starts(expected));

    for (const qsizetype cut : {qsizetype(0), text.size() / 2, text.size() - 1, text.size()}) {
        if (cut < 0)
            continue;
        LineIndex::Starts grown = LineIndex::build(text.left(cut));
        LineIndex::extend(grown, text, cut);
        QCOMPARE(grown, LineIndex::Starts(expected));
    }
}

// Offsets past 4 GiB, and blocks whose lines span more than 4-byte offsets
// reach, read back as they went in; a search finds each start.
void TextBufferTest::lineIndexKeepsHugeGaps()
{
    std::vector<qint64> starts;
    qint64 at = 0;
    std::mt19937_64 random(3);
    for (int i = 0; i < 20000; ++i) {
        // Mostly short lines; now and then a line of several GiB, mid-block.
        at += (i % 5000 == 2500) ? (qint64(5) << 30) + qint64(random() % 1000)
                                 : 1 + qint64(random() % 80);
        starts.push_back(at);
    }
    const LineIndex::Starts index(starts);
    QCOMPARE(index.size(), qint64(starts.size()));
    for (size_t i = 0; i < starts.size(); ++i) {
        QCOMPARE(index[qint64(i)], starts[i]);
        QCOMPARE(index.upperBound(starts[i]), qint64(i + 1));
        QCOMPARE(index.upperBound(starts[i] - 1), qint64(i));
    }
}

void TextBufferTest::agreesWithPlainModel_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<QByteArray>("loaded");
    QTest::addColumn<int>("longest"); // the most bytes an edit inserts
    QTest::addColumn<int>("result");  // 0: loaded as is; 1: a result's line; 2: its words
    QTest::newRow("empty, short edits") << 1u << QByteArray() << 4 << 0;
    QTest::newRow("CR LF lines, short edits")
        << 20210831u << QByteArray("a,1\r\nb,2\r\nc,3\r") << 3 << 0;
    QTest::newRow("lone breaks, longer edits") << 7u << QByteArray("\r\r\n\n\nab\r") << 24 << 0;
    QTest::newRow("one long line") << 99u << QByteArray(300, 'w') << 12 << 0;
    QTest::newRow("another seed") << 123456u << QByteArray("x\r\ny\r\n") << 6 << 0;
    QTest::newRow("a result's lines") << 5u << QByteArray("a,1\r\nb\rc\n\r\n") << 6 << 1;
    QTest::newRow("a result's words") << 17u << QByteArray("one two  three\r\nx") << 6 << 2;
    // Words longer than the stretches a result keeps in one entry.
    QTest::newRow("a result's long words") << 31u << QByteArray(8200, 'w') + " v  z" << 9 << 2;
}

// Random edits, undo, redo and colour on the buffer and on the model; after
// every step both hold the same text, red and lines.
void TextBufferTest::agreesWithPlainModel()
{
    QFETCH(quint32, seed);
    QFETCH(QByteArray, loaded);
    QFETCH(int, longest);
    QFETCH(int, result);

    QRandomGenerator random(seed);
    TextBuffer buffer =
        result == 0 ? TextBuffer(loaded) : TextBuffer(resultOf(loaded, result == 2));
    // Half way, a result takes its own copy of its text, as when its source
    // is replaced: edits, undo and colour go on as before, and the examined
    // bytes are let go.
    const std::weak_ptr<const ResultView> examined = buffer.result();
    const QByteArray start = buffer.text();
    Model model{start, std::vector<bool>(size_t(start.size()), false), {}, 0};
    QByteArray why;
    QVERIFY2(sameAsModel(buffer, model, why), why.constData());
    // Every step checks every position: fewer steps for a long text.
    const int steps = model.text.size() > 1000 ? 12 : 1500;
    std::optional<TextBuffer::Addition> pending;
    for (int step = 0; step < steps; ++step) {
        if (!pending && random.bounded(8) == 0)
            pending = buffer.beginAddition();
        const int choice = random.bounded(10);
        const Position size = model.text.size();
        const QByteArray typed = randomBytes(random, std::min(longest, 3));
        QByteArray what;
        if (step == steps / 2 && buffer.result()) {
            const std::shared_ptr<const ResultView> view = buffer.result();
            const QByteArray whole = view->bytes(0, view->size());
            buffer.ownResultBytes(whole, LineIndex::build(whole));
            QVERIFY(!buffer.result());
            // Every step made before reads the copy when undone and redone.
            const auto done = model.done;
            for (; model.done > 0; model.undo())
                buffer.undo();
            QVERIFY2(sameAsModel(buffer, model, why), why.constData());
            for (; model.done < done; model.redo())
                buffer.redo();
            what = "own the result's bytes";
        } else if (choice < 2 && model.done > 0) {
            const Position end = buffer.undo();
            model.undo();
            const Model::Edit &e = model.history[model.done];
            QCOMPARE(end, e.at + e.removed.size());
            what = "undo";
        } else if (choice < 3 && model.done < model.history.size()) {
            const Position end = buffer.redo();
            model.redo();
            const Model::Edit &e = model.history[model.done - 1];
            QCOMPARE(end, e.at + e.inserted.size());
            what = "redo";
        } else if (choice < 4 && size > 0) {
            const Position at = random.bounded(int(size));
            const Position length = 1 + random.bounded(int(size - at));
            buffer.colour(std::vector<ColourRange>{{at, length}});
            std::fill(model.red.begin() + at, model.red.begin() + at + length, true);
            what = "colour " + QByteArray::number(at) + "+" + QByteArray::number(length);
        } else if (choice == 4 && random.bounded(4) == 0) {
            const QByteArray more = randomBytes(random, longest);
            buffer.append(more);
            model.append(more);
            what = "append " + shown(more);
        } else if (choice == 5 && !typed.isEmpty()) {
            // Typing on after the last insertion, or somewhere else.
            const Model::Edit *last = model.done > 0 ? &model.history[model.done - 1] : nullptr;
            const Position at = last && random.bounded(3) > 0
                                    ? std::min<Position>(last->at + last->inserted.size(), size)
                                    : random.bounded(int(size + 1));
            buffer.insertJoined(at, typed);
            model.insertJoined(at, typed);
            what = "type " + QByteArray::number(at) + " " + shown(typed);
        } else {
            const Position at = random.bounded(int(size + 1));
            const Position length = random.bounded(int(std::min<Position>(size - at, 8) + 1));
            const QByteArray inserted = randomBytes(random, longest);
            if (length == 0 && inserted.isEmpty())
                continue; // no edit, and no step to undo
            if (random.bounded(3) == 0) {
                // Made ready elsewhere, as a large paste is: begun now, or
                // before the steps since (the buffer may have changed).
                TextBuffer::Addition addition =
                    pending ? std::move(*pending) : buffer.beginAddition();
                pending.reset();
                const qsizetype half = inserted.size() / 2;
                addition.add(QByteArrayView(inserted).first(half));
                addition.add(QByteArrayView(inserted).sliced(half));
                QCOMPARE(addition.size(), Position(inserted.size()));
                buffer.replace(at, length, std::move(addition));
                what = "paste ";
            } else {
                buffer.replace(at, length, inserted);
                what = "replace ";
            }
            model.replace(at, length, inserted);
            what += QByteArray::number(at) + "+" + QByteArray::number(length) + " by "
                    + shown(inserted);
        }
        QCOMPARE(buffer.canUndo(), model.done > 0);
        QCOMPARE(buffer.canRedo(), model.done < model.history.size());
        const QByteArray where =
            "step " + QByteArray::number(step) + " (" + what + "), text " + shown(model.text);
        QVERIFY2(sameAsModel(buffer, model, why), (why + " differs at " + where).constData());
        // The text in one stretch, where it is one, and parts of it.
        if (const std::optional<QByteArrayView> whole = buffer.contiguous())
            QVERIFY2(*whole == QByteArrayView(model.text), where.constData());
        const Position from = random.bounded(int(model.text.size() + 1));
        const Position length = random.bounded(int(model.text.size() - from + 1));
        QByteArray joined;
        for (const TextBuffer::Part &part : buffer.parts(from, length))
            part.forEachSlice([&joined](QByteArrayView slice) { joined += slice; });
        QVERIFY2(joined == model.text.mid(from, length), where.constData());
    }
    if (result != 0)
        QVERIFY(examined.expired());
}

// Undo then a new edit: what was undone can no longer be redone.
void TextBufferTest::newEditDropsRedo()
{
    TextBuffer buffer(QByteArray("abc"));
    buffer.insert(3, "d");
    QCOMPARE(buffer.undo(), Position(3));
    buffer.remove(0, 1);
    QVERIFY(!buffer.canRedo());
    QCOMPARE(buffer.redo(), Position(-1));
    QCOMPARE(buffer.text(), QByteArray("bc"));
    QCOMPARE(buffer.undo(), Position(1));
    QCOMPARE(buffer.text(), QByteArray("abc"));
    QVERIFY(!buffer.canUndo());
}

// A caller's position past either end reads and edits at that end; nothing
// outside the text is read.
void TextBufferTest::positionsOutsideTheTextAreClamped()
{
    TextBuffer buffer(QByteArray("ab\r\ncd"));
    QCOMPARE(buffer.bytes(-5, 4), QByteArray("ab\r\n").left(4));
    QCOMPARE(buffer.bytes(4, 100), QByteArray("cd"));
    QCOMPARE(buffer.bytes(9, 1), QByteArray());
    QCOMPARE(buffer.at(-1), '\0');
    QCOMPARE(buffer.at(6), '\0');
    QCOMPARE(buffer.lineStart(-2), Position(0));
    QCOMPARE(buffer.lineStart(7), Position(4));
    QCOMPARE(buffer.lineEnd(7), Position(6));
    QCOMPARE(buffer.lineOf(-3), Position(0));
    QCOMPARE(buffer.lineOf(60), Position(1));
    buffer.replace(5, 10, "Z");
    QCOMPARE(buffer.text(), QByteArray("ab\r\ncZ"));
    buffer.replace(-4, 1, "Y");
    QCOMPARE(buffer.text(), QByteArray("Yb\r\ncZ"));
    buffer.remove(0, 100);
    QVERIFY(buffer.isEmpty());
    QCOMPARE(buffer.lineCount(), Position(1));
    QCOMPARE(buffer.lineEnd(0), Position(0));
    QCOMPARE(buffer.undo(), Position(6));
    QCOMPARE(buffer.text(), QByteArray("Yb\r\ncZ"));
}

QTEST_APPLESS_MAIN(TextBufferTest)
#include "test_text_buffer.moc"
