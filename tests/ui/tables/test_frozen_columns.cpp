#include <random>

#include <QScrollBar>
#include <QStandardItemModel>
#include <QTest>

#include "tables/FrozenColumnsView.h"

// Sideways scrolling under frozen columns: wherever it stops, no column is
// half hidden under them (the cells would show only their ends).
class FrozenColumnsTest : public QObject
{
    Q_OBJECT

private slots:
    void neverHalfUnderTheFrozenColumns_data();
    void neverHalfUnderTheFrozenColumns();
};

namespace {

enum class Move { Set, StepForth, StepBack, PageForth, Drag, ScrollToCell };

struct Stop
{
    int value;
    int maximum;
    int edge;     // where the frozen columns end, in the viewport
    int atEdge;   // the column at that edge
    int leftEdge; // where that column starts
};

Stop stopOf(FrozenColumnsView &view)
{
    const int edge = view.frozenWidth();
    const int column = view.columnAt(edge);
    return {view.horizontalScrollBar()->value(), view.horizontalScrollBar()->maximum(), edge,
            column, column < 0 ? edge : view.columnViewportPosition(column)};
}

} // namespace

void FrozenColumnsTest::neverHalfUnderTheFrozenColumns_data()
{
    QTest::addColumn<int>("seed");
    QTest::addColumn<int>("hiddenEvery"); // 0: none hidden
    for (int seed = 1; seed <= 4; ++seed) {
        QTest::addRow("seed %d", seed) << seed << 0;
        QTest::addRow("seed %d, some hidden", seed) << seed << 5;
    }
}

void FrozenColumnsTest::neverHalfUnderTheFrozenColumns()
{
    QFETCH(int, seed);
    QFETCH(int, hiddenEvery);
    std::mt19937 random(seed);
    QStandardItemModel model(30, 40);
    FrozenColumnsView view;
    view.setModel(&model);
    for (int c = 0; c < model.columnCount(); ++c) {
        view.setColumnWidth(c, 40 + int(random() % 140));
        if (hiddenEvery > 0 && c > 3 && c % hiddenEvery == 0)
            view.setColumnHidden(c, true);
    }
    view.setFrozenColumns(3);
    view.resize(700, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QVERIFY(view.frozenView().isVisible());
    QScrollBar &across = *view.horizontalScrollBar();
    QVERIFY(across.maximum() > 0);

    for (int step = 0; step < 300; ++step) {
        const auto move = Move(random() % 6);
        const int before = across.value();
        int asked = before;
        int cell = -1;
        switch (move) {
        case Move::Set:
            asked = int(random() % (across.maximum() + 1));
            across.setValue(asked);
            break;
        case Move::StepForth:
            across.triggerAction(QAbstractSlider::SliderSingleStepAdd);
            break;
        case Move::StepBack:
            across.triggerAction(QAbstractSlider::SliderSingleStepSub);
            break;
        case Move::PageForth:
            across.triggerAction(QAbstractSlider::SliderPageStepAdd);
            break;
        case Move::Drag:
            asked = int(random() % (across.maximum() + 1));
            across.setSliderDown(true);
            across.setSliderPosition(asked);
            across.setSliderDown(false);
            break;
        case Move::ScrollToCell:
            cell = 3 + int(random() % (model.columnCount() - 3));
            view.scrollTo(model.index(int(random() % 30), cell));
            break;
        }
        const Stop stop = stopOf(view);
        const QByteArray where = QByteArray::number(step) + ": move "
                                 + QByteArray::number(int(move)) + ", value "
                                 + QByteArray::number(stop.value);
        // Aligned, or at the very end, which must stay reachable.
        QVERIFY2(stop.leftEdge == stop.edge || stop.value == stop.maximum, where);
        // It never jumps past what was asked by more than the column there.
        if (move == Move::Set && stop.value != asked && stop.value != stop.maximum)
            QVERIFY2(qAbs(stop.value - asked) < 180, where);
        if (move == Move::Drag)
            QVERIFY2(stop.value <= asked, where);
        if (cell >= 0 && !view.isColumnHidden(cell)) {
            const int left = view.columnViewportPosition(cell);
            QVERIFY2(left >= stop.edge, where);
            QVERIFY2(left + view.columnWidth(cell) <= view.viewport()->width() || left == stop.edge,
                     where);
        }
    }
}

QTEST_MAIN(FrozenColumnsTest)
#include "test_frozen_columns.moc"
