// The pane's colour runs against a plain colour-per-character model.
#include <QRandomGenerator>
#include <QTest>

#include "pane/ColourSpans.h"

namespace {

constexpr Colour kNone = 0xFFFFFFFF;

std::vector<Colour> expand(const ColourSpans &spans, int length)
{
    std::vector<Colour> chars(size_t(length), kNone);
    for (const ColourSpans::Span &s : spans.spans())
        for (int i = s.from; i < s.to && i < length; ++i)
            chars[size_t(i)] = s.colour;
    return chars;
}

} // namespace

class TestColourSpans : public QObject
{
    Q_OBJECT

private slots:
    void paintAndEditMatchAModelOfCharacters();
    void typingAfterColouredTextTakesItsColour();
    void runsStaySortedAndJoined();
};

void TestColourSpans::paintAndEditMatchAModelOfCharacters()
{
    QRandomGenerator random(20261208);
    for (int round = 0; round < 2000; ++round) {
        int length = random.bounded(1, 60);
        ColourSpans spans;
        std::vector<Colour> model(size_t(length), kNone);
        for (int step = 0; step < 12; ++step) {
            if (random.bounded(3) > 0) {
                // Paint a few sorted, separate runs in one colour.
                const Colour colour = random.bounded(3) == 0 ? kBlack : Colour(random.bounded(1, 4));
                std::vector<std::pair<int, int>> runs;
                for (int at = random.bounded(length); at < length; at += random.bounded(1, 20)) {
                    const int to = std::min(length, at + random.bounded(1, 8));
                    runs.emplace_back(at, to);
                    for (int i = at; i < to; ++i)
                        model[size_t(i)] = colour == kBlack ? kNone : colour;
                    at = to;
                }
                spans.paint(runs, colour);
            } else {
                // Replace some text.
                const int position = random.bounded(length + 1);
                const int removed = random.bounded(length - position + 1);
                const int added = random.bounded(6);
                const Colour inherited = position > 0 ? model[size_t(position - 1)] : kNone;
                model.erase(model.begin() + position, model.begin() + position + removed);
                model.insert(model.begin() + position, size_t(added), inherited);
                length = int(model.size());
                spans.textChanged(position, removed, added);
            }
            QCOMPARE(expand(spans, length), model);
            for (int i = 0; i < length; ++i)
                QCOMPARE(spans.colourAt(i).value_or(kNone), model[size_t(i)]);
        }
    }
}

void TestColourSpans::typingAfterColouredTextTakesItsColour()
{
    ColourSpans spans;
    spans.paint({{2, 5}}, kRed);
    spans.textChanged(5, 0, 3); // typed at the end of the red word
    QCOMPARE(spans.spans(), (std::vector<ColourSpans::Span>{{2, 8, kRed}}));
    spans.textChanged(2, 0, 1); // typed before it: the run moves on
    QCOMPARE(spans.spans(), (std::vector<ColourSpans::Span>{{3, 9, kRed}}));
    spans.textChanged(0, 9, 0); // all of it deleted
    QVERIFY(spans.spans().empty());
}

void TestColourSpans::runsStaySortedAndJoined()
{
    ColourSpans spans;
    spans.paint({{0, 2}, {4, 6}}, kRed);
    spans.paint({{2, 4}}, kRed);
    QCOMPARE(spans.spans(), (std::vector<ColourSpans::Span>{{0, 6, kRed}}));
    spans.paint({{1, 3}}, kBlack);
    QCOMPARE(spans.spans(), (std::vector<ColourSpans::Span>{{0, 1, kRed}, {3, 6, kRed}}));
    QCOMPARE(spans.within(0, 4).size(), size_t(2));
    QCOMPARE(spans.within(0, 4).back(), (ColourSpans::Span{3, 4, kRed}));
}

QTEST_APPLESS_MAIN(TestColourSpans)
#include "test_colour_spans.moc"
