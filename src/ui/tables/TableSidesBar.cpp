#include "tables/TableSidesBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "tables/PlainLabel.h"
#include "tables/SheetChooser.h"
#include "tables/TableSession.h"

TableSidesBar::TableSidesBar(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    for (int side = 0; side < 2; ++side) {
        auto *row = new QHBoxLayout;
        auto *open = new QPushButton(side == 0 ? tr("Open File #&1…") : tr("Open File #&2…"), this);
        QLabel *label = Tables::plainLabel(QString(), this);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        label->setMinimumWidth(1); // a long name never widens the window
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        m_labels[size_t(side)] = label;
        m_sheets[size_t(side)] = new SheetChooser(this);
        row->addWidget(open);
        row->addWidget(label, 1);
        row->addWidget(m_sheets[size_t(side)]);
        connect(m_sheets[size_t(side)], &SheetChooser::sheetChosen, this,
                [this, side](int sheet) { emit sheetChosen(side, sheet); });
        if (side == 1) { // how the two files' columns pair, beside their names
            auto *columns = new QPushButton(tr("Col&umns\u2026"), this);
            columns->setToolTip(tr("Pair columns renamed between the files"));
            row->addWidget(columns);
            connect(columns, &QPushButton::clicked, this, &TableSidesBar::columnsClicked);
        }
        layout->addLayout(row);
        connect(open, &QPushButton::clicked, this, [this, side] { emit openClicked(side); });
    }
}

void TableSidesBar::showSides(const Tables::TableSession &session)
{
    for (int side = 0; side < 2; ++side) {
        const TableSource &source = session.source(side);
        const QString text = session.describe(side);
        m_labels[size_t(side)]->setText(text);
        m_labels[size_t(side)]->setToolTip(source.path.isEmpty() ? text : source.path);
        m_sheets[size_t(side)]->showSheets(source);
    }
}
