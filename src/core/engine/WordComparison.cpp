#include "engine/WordComparison.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "engine/TextUnits.h"
#include "engine/WordGroups.h"

namespace Compare {
namespace {

// Progress is told, and Cancel looked at, every so many lines, and every so
// many words within a long line: a few milliseconds apart.
constexpr qsizetype linesPerReport = 4096;
constexpr qsizetype wordsPerReport = 65536;

// Up to this many candidates a plain scan beats looking the word up.
constexpr qsizetype scanLimit = 32;

// The search window as a size: (n + 1) / 2, a half rounded to the even neighbour.
qsizetype windowFor(qsizetype wordCount)
{
    if (wordCount <= 0)
        return 0;
    const qsizetype half = wordCount / 2;
    if (wordCount % 2 == 1)
        return half + 1; // (n + 1) / 2 is whole
    return half % 2 == 0 ? half : half + 1;
}

// Walks the lines of a pane text, cut at CR LF, one after the other. The
// lone CR that loading appends ends the last line rather than sticking to its
// last word. A text with no lines has no current line.
template <typename View>
class LineCursor
{
public:
    explicit LineCursor(View text) : m_text(text)
    {
        if (m_text.endsWith(TextUnits<View>::cr))
            m_text.chop(1);
        if (!m_text.isEmpty())
            find();
    }

    bool hasLine() const { return !m_text.isEmpty(); }
    View line() const { return m_text.sliced(m_start, m_end - m_start); }
    qsizetype start() const { return m_start; }
    // True when a CR LF ends the current line, so another line follows.
    bool hasNext() const { return m_end < m_text.size(); }
    void next()
    {
        m_start = m_end + 2;
        find();
    }

private:
    void find()
    {
        const qsizetype brk = indexOfCrLf(m_text, m_start);
        m_end = brk < 0 ? m_text.size() : brk;
    }

    View m_text;
    qsizetype m_start = 0;
    qsizetype m_end = 0;
};

// Cuts a line at every single space into `words` (reused between lines).
// Two spaces in a row give an empty word; an empty line has no words.
template <typename View>
void splitWords(View line, std::vector<View> &words)
{
    words.clear();
    if (line.isEmpty())
        return;
    qsizetype start = 0;
    for (;;) {
        const qsizetype space = line.indexOf(TextUnits<View>::space, start);
        if (space < 0)
            break;
        words.push_back(line.sliced(start, space - start));
        start = space + 1;
    }
    words.push_back(line.sliced(start));
}

// The words of the partner line, kept while several examined lines share
// that partner. A long window is searched through an index of where each
// word stands, so a line of many words costs about its length, not its square.
template <typename View>
class PartnerWords
{
public:
    void set(View line)
    {
        splitWords(line, m_words);
        m_indexed = false;
    }

    // The first index at or after `from`, and before `from + window`, that
    // holds `word`; -1 when there is none.
    qsizetype find(View word, qsizetype from, qsizetype window)
    {
        const qsizetype size = qsizetype(m_words.size());
        const qsizetype end = from + std::min(window, std::max<qsizetype>(size - from, 0));
        if (end - from <= scanLimit) {
            for (qsizetype at = from; at < end; ++at) {
                if (m_words[size_t(at)] == word)
                    return at;
            }
            return -1;
        }
        if (!m_indexed) {
            m_wide = !m_narrowGroups.fits(m_words.size());
            m_wide ? m_wideGroups.build(m_words) : m_narrowGroups.build(m_words);
            m_indexed = true;
        }
        return m_wide ? m_wideGroups.find(m_words, word, from, end)
                      : m_narrowGroups.find(m_words, word, from, end);
    }

private:
    std::vector<View> m_words;
    bool m_indexed = false;
    bool m_wide = false; // too many words for four-byte places
    WordGroups<View, quint32> m_narrowGroups;
    WordGroups<View, quint64> m_wideGroups;
};

// The number of words of a line: one more than its spaces, none when empty.
template <typename View>
qsizetype wordCount(View line)
{
    if (line.isEmpty())
        return 0;
    const auto *data = line.data();
    return 1 + qsizetype(std::count(data, data + line.size(), TextUnits<View>::space));
}

// One pass: every line of `source` against its partner line of `other`.
template <typename View, typename Text = typename TextUnits<View>::Text>
BasicSideResult<Text> comparePass(View source, View other, Progress *progress,
                                  ResultSink *sink = nullptr)
{
    using U = TextUnits<View>;
    BasicSideResult<Text> result;
    ResultWriter<Text> text(result.resultText, sink);
    LineCursor<View> lines(source);
    LineCursor<View> partnerLines(other);
    PartnerWords<View> partner;
    bool partnerSet = false;

    qsizetype lineStart = 0; // 0-based start of the examined line in `source`
    qsizetype lineCount = 0;
    qsizetype wordsSeen = 0;
    PassProgress passProgress(progress);
    for (bool more = lines.hasLine(); more; more = lines.hasNext(), more ? lines.next() : void()) {
        const View line = lines.line();
        // With no lines in the other text every line meets an empty partner.
        if (!partnerSet) {
            partner.set(partnerLines.hasLine() ? partnerLines.line() : View());
            partnerSet = true;
        }

        // Words are cut one by one; only their number is needed up front.
        const qsizetype window = windowFor(wordCount(line));
        qsizetype k = 0;
        qsizetype offset = 0;
        for (qsizetype from = 0; from <= line.size() && !line.isEmpty();) {
            if (progress && ++wordsSeen % wordsPerReport == 0
                && passProgress.cancelledAt(lineStart + offset))
                return result; // incomplete: what it found goes unused
            const qsizetype space = line.indexOf(U::space, from);
            const qsizetype end = space < 0 ? line.size() : space;
            const View word = line.sliced(from, end - from);
            const qsizetype at = partner.find(word, k, window);
            if (at >= 0) {
                k = at + 1;
            } else {
                text.word(source, word.data() - source.data(), word.size());
                ++result.differences;
                const ColourRange red{lineStart + offset, word.size()};
                if (!word.isEmpty() && !(sink && sink->takeRed(red)))
                    result.red.push_back(red);
            }
            offset += word.size() + 1;
            from = end + 1;
        }

        lineStart += line.size() + 2;
        // The partner moves on only while something follows its line break in
        // the other text as it stands.
        if (partnerLines.hasLine()) {
            const qsizetype next = partnerLines.start() + partnerLines.line().size() + 2;
            if (next < other.size() && partnerLines.hasNext()) {
                partnerLines.next();
                partnerSet = false;
            }
        }

        if (progress && ++lineCount % linesPerReport == 0
            && passProgress.cancelledAt(std::min(lineStart, source.size())))
            return result;
    }
    passProgress.cancelledAt(source.size());
    return result;
}

template <typename View, typename Result>
Result compareBoth(View text1, View text2, Progress *progress)
{
    if (progress)
        progress->total.fetch_add(text1.size() + text2.size(), std::memory_order_relaxed);
    Result comparison;
    comparison.file1 = comparePass(text1, text2, progress);
    comparison.file2 = comparePass(text2, text1, progress);
    return comparison;
}

} // namespace

WordComparison findWordDifferences(QStringView text1, QStringView text2, Progress *progress)
{
    return compareBoth<QStringView, WordComparison>(text1, text2, progress);
}

ByteWordComparison findWordDifferences(QByteArrayView text1, QByteArrayView text2,
                                       Progress *progress)
{
    return compareBoth<QByteArrayView, ByteWordComparison>(text1, text2, progress);
}

ByteSideResult findWordDifferencesOf(QByteArrayView source, QByteArrayView other,
                                     Progress *progress, ResultSink *sink)
{
    if (progress)
        progress->total.fetch_add(source.size(), std::memory_order_relaxed);
    return comparePass(source, other, progress, sink);
}

} // namespace Compare
