// The line comparison on two texts made of the input: red ranges lie inside
// the text, and the result equals a plain set difference of the lines.
#include <QSet>
#include <QString>
#include <QStringList>

#include "FuzzCheck.h"
#include "FuzzTexts.h"
#include "engine/LineComparison.h"

namespace {

QString lineOf(QString piece)
{
    if (piece.startsWith(u'\n'))
        piece.remove(0, 1);
    return piece;
}

// The end of a text that ends with a CR: the empty piece after that CR and
// an empty line just before it. It is no line; it equals only another end.
bool isEndPiece(const QStringList &pieces, qsizetype i)
{
    const qsizetype n = pieces.size();
    if (n < 2 || !pieces.last().isEmpty())
        return false;
    return i == n - 1 || (i == n - 2 && lineOf(pieces[i]).isEmpty());
}

void checkSide(const QString &source, const QString &other)
{
    const Compare::SideResult actual = Compare::findLineDifferences(source, other);
    for (const Compare::ColourRange &r : actual.red)
        fuzzCheck(r.start >= 0 && r.length > 0 && r.start + r.length <= source.size(),
                  "a red range outside the text");

    const QStringList a = source.isEmpty() ? QStringList() : source.split(u'\r');
    QSet<QString> b;
    bool otherHasEnd = false;
    const QStringList otherPieces = other.isEmpty() ? QStringList() : other.split(u'\r');
    for (qsizetype j = 0; j < otherPieces.size(); ++j) {
        if (isEndPiece(otherPieces, j))
            otherHasEnd = true;
        else
            b.insert(lineOf(otherPieces[j]));
    }
    QString expectedText;
    Compare::ColourRanges expectedRed;
    qsizetype differences = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i < a.size(); ++i) {
        const qsizetype withCr = a[i].size() + (i + 1 < a.size() ? 1 : 0);
        if (!(isEndPiece(a, i) ? otherHasEnd : b.contains(lineOf(a[i])))) {
            expectedText += a[i] + u'\r';
            if (withCr > 0)
                expectedRed.push_back({start, withCr});
            ++differences;
        }
        start += withCr;
    }
    fuzzCheck(actual.resultText == expectedText, "result text is not the set difference");
    fuzzCheck(Compare::normalised(actual.red) == Compare::normalised(expectedRed),
              "red ranges are not the lines of the set difference");
    fuzzCheck(actual.differences == differences, "difference count");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const auto [text1, text2] = Fuzz::twoTexts(data, size);
    checkSide(text1, text2);
    checkSide(text2, text1);
    return 0;
}
