#include "engine/WordComparison.h"

#include <algorithm>
#include <limits>
#include <vector>

#include <QHash>

namespace Compare {
namespace {

constexpr qsizetype linesPerReport = 4096;

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

// The lines of a pane text, cut at CR LF. The lone CR that loading appends
// ends the last line rather than sticking to its last word.
std::vector<QStringView> linesOf(QStringView text)
{
    std::vector<QStringView> lines;
    if (text.endsWith(u'\r'))
        text.chop(1);
    if (text.isEmpty())
        return lines;
    qsizetype start = 0;
    for (;;) {
        const qsizetype brk = text.indexOf(u"\r\n", start);
        if (brk < 0)
            break;
        lines.push_back(text.sliced(start, brk - start));
        start = brk + 2;
    }
    lines.push_back(text.sliced(start));
    return lines;
}

// Cuts a line at every single space into `words` (reused between lines).
// Two spaces in a row give an empty word; an empty line has no words.
void splitWords(QStringView line, std::vector<QStringView> &words)
{
    words.clear();
    if (line.isEmpty())
        return;
    qsizetype start = 0;
    for (;;) {
        const qsizetype space = line.indexOf(u' ', start);
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
class PartnerWords
{
public:
    void set(QStringView line)
    {
        splitWords(line, m_words);
        m_indexed = false;
    }

    // The first index at or after `from`, and before `from + window`, that
    // holds `word`; -1 when there is none.
    qsizetype find(QStringView word, qsizetype from, qsizetype window)
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
        if (!m_indexed)
            buildIndex();
        const auto group = m_groupOf.constFind(word);
        if (group == m_groupOf.constEnd())
            return -1;
        const auto first = m_positions.begin() + m_groupStart[size_t(*group)];
        const auto last = m_positions.begin() + m_groupStart[size_t(*group) + 1];
        const auto hit = std::lower_bound(first, last, from);
        return hit != last && *hit < end ? *hit : -1;
    }

private:
    // Groups the word positions by word, each group in ascending order.
    void buildIndex()
    {
        m_groupOf.clear();
        m_groupStart.clear();
        std::vector<qsizetype> groupOfWord(m_words.size());
        for (size_t at = 0; at < m_words.size(); ++at) {
            auto group = m_groupOf.find(m_words[at]);
            if (group == m_groupOf.end()) {
                group = m_groupOf.insert(m_words[at], qsizetype(m_groupStart.size()));
                m_groupStart.push_back(0);
            }
            groupOfWord[at] = *group;
            ++m_groupStart[size_t(*group)];
        }
        // Counts to starting offsets, then fill each group in order.
        qsizetype offset = 0;
        for (qsizetype &start : m_groupStart) {
            const qsizetype count = start;
            start = offset;
            offset += count;
        }
        m_groupStart.push_back(offset);
        std::vector<qsizetype> next(m_groupStart.begin(), m_groupStart.end() - 1);
        m_positions.assign(m_words.size(), 0);
        for (size_t at = 0; at < m_words.size(); ++at)
            m_positions[size_t(next[size_t(groupOfWord[at])]++)] = qsizetype(at);
        m_indexed = true;
    }

    std::vector<QStringView> m_words;
    bool m_indexed = false;
    QHash<QStringView, qsizetype> m_groupOf;
    std::vector<qsizetype> m_groupStart;
    std::vector<qsizetype> m_positions;
};

// One pass: every line of `source` against its partner line of `other`.
SideResult comparePass(QStringView source, QStringView other, Progress *progress)
{
    const std::vector<QStringView> sourceLines = linesOf(source);
    const std::vector<QStringView> otherLines = linesOf(other);

    SideResult result;
    std::vector<QStringView> unmatched;
    qsizetype resultLength = 0;

    PartnerWords partner;
    qsizetype partnerLine = -1;
    std::vector<QStringView> words;

    qsizetype lineStart = 0;  // 0-based start of the examined line in `source`
    qsizetype otherStart = 0; // 0-based start of partner line j in `other`
    qsizetype j = 0;
    qsizetype reported = 0;
    for (size_t i = 0; i < sourceLines.size(); ++i) {
        const QStringView line = sourceLines[i];
        // With no lines in the other text every line meets an empty partner.
        const QStringView otherLine = otherLines.empty() ? QStringView() : otherLines[size_t(j)];
        if (partnerLine != j) {
            partner.set(otherLine);
            partnerLine = j;
        }

        splitWords(line, words);
        const qsizetype window = windowFor(qsizetype(words.size()));
        qsizetype k = 0;
        qsizetype offset = 0;
        for (QStringView word : words) {
            const qsizetype at = partner.find(word, k, window);
            if (at >= 0) {
                k = at + 1;
            } else {
                unmatched.push_back(word);
                resultLength += 2 + word.size();
                if (!word.isEmpty())
                    result.red.push_back({lineStart + offset, word.size()});
            }
            offset += word.size() + 1;
        }

        lineStart += line.size() + 2;
        // The partner moves on only while something follows its line break in
        // the other text as it stands. Lines cut from `other` never let j run
        // past its last line; the bound only guards the index.
        if (!otherLines.empty()) {
            const qsizetype next = otherStart + otherLines[size_t(j)].size() + 2;
            if (next < other.size() && size_t(j) + 1 < otherLines.size()) {
                otherStart = next;
                ++j;
            }
        }

        if (progress && (i + 1) % linesPerReport == 0) {
            const qsizetype done = std::min(lineStart, source.size());
            progress->add(done - reported);
            reported = done;
        }
    }
    if (progress)
        progress->add(source.size() - reported);

    result.resultText.reserve(resultLength);
    for (QStringView word : unmatched) {
        result.resultText.append(u"\r\n");
        result.resultText.append(word);
    }
    result.differences = qsizetype(unmatched.size());
    return result;
}

} // namespace

WordComparison findWordDifferences(QStringView text1, QStringView text2, Progress *progress)
{
    if (progress)
        progress->total.fetch_add(text1.size() + text2.size(), std::memory_order_relaxed);
    WordComparison comparison;
    comparison.file1 = comparePass(text1, text2, progress);
    comparison.file2 = comparePass(text2, text1, progress);
    return comparison;
}

} // namespace Compare
