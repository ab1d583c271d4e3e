// The word comparison on two texts made of the input: every red range lies
// inside its text, in order and apart, and marks a word the result lists.
#include <QString>

#include "FuzzCheck.h"
#include "FuzzTexts.h"
#include "engine/WordComparison.h"

namespace {

void checkSide(const Compare::SideResult &side, const QString &text)
{
    qsizetype end = 0;
    qsizetype listed = 0;
    for (const Compare::ColourRange &r : side.red) {
        fuzzCheck(r.start >= end && r.length > 0 && r.start + r.length <= text.size(),
                  "a red range outside the text or out of order");
        end = r.start + r.length;
        const QString word = text.mid(r.start, r.length);
        fuzzCheck(!word.contains(u' '), "a red range across a blank");
        const qsizetype at = side.resultText.indexOf(QStringLiteral("\r\n") + word, listed);
        fuzzCheck(at >= 0, "a red word the result does not list");
        listed = at + 2 + word.size();
    }
    fuzzCheck(side.differences >= qsizetype(side.red.size()), "more red words than differences");
    fuzzCheck(side.resultText.count(QStringLiteral("\r\n")) >= side.differences,
              "a difference the result does not list");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const auto [text1, text2] = Fuzz::twoTexts(data, size);
    const Compare::WordComparison result = Compare::findWordDifferences(text1, text2);
    checkSide(result.file1, text1);
    checkSide(result.file2, text2);
    return 0;
}
