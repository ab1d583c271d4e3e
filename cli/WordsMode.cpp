// corvantis-cli words: line i of one file against line i of the other, word
// by word.

#include "TextMode.h"
#include "engine/WordComparison.h"

namespace Cli {

namespace {

Compare::LinePairResult compareWords(const QByteArray &text1, const QByteArray &text2,
                                     const Compare::RunBoth &both)
{
    Compare::LinePairResult results;
    both([&] { results.in1 = Compare::findWordDifferencesOf(text1, text2); },
         [&] { results.in2 = Compare::findWordDifferencesOf(text2, text1); });
    return results;
}

// The result pane puts CR LF before each word.
void forEachWord(QByteArrayView result, const std::function<void(QByteArrayView)> &entry)
{
    if (!result.startsWith("\r\n"))
        return;
    for (qsizetype at = 2; at <= result.size();) {
        qsizetype end = result.indexOf(QByteArrayView("\r\n"), at);
        if (end < 0)
            end = result.size();
        entry(result.sliced(at, end - at));
        at = end + 2;
    }
}

} // namespace

const TextComparison &wordComparison()
{
    static const TextComparison words{
        "words", "Words of %1 missing from their lines in %2:", compareWords, forEachWord};
    return words;
}

} // namespace Cli
