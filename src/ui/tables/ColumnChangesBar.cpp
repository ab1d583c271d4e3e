#include "tables/ColumnChangesBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "csv/RowsReport.h"
#include "tables/PlainLabel.h"

namespace {

// Columns named; the rest are counted.
constexpr qsizetype kButtons = 12;

} // namespace

ColumnChangesBar::ColumnChangesBar(QWidget *parent)
    : QWidget(parent), m_layout(new QHBoxLayout(this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    setAccessibleName(tr("Changes by column"));
    hide();
}

void ColumnChangesBar::show(const Tables::TableData &table, qsizetype selected)
{
    m_buttons.clear();
    while (QLayoutItem *item = m_layout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    const std::vector<qsizetype> changed = Tables::columnsByChanges(table);
    setVisible(!changed.empty());
    if (changed.empty())
        return;
    m_layout->addWidget(Tables::plainLabel(tr("Changes by column:"), this));
    for (size_t i = 0; i < changed.size() && qsizetype(i) < kButtons; ++i) {
        const qsizetype column = changed[i];
        const QString label = table.comparison.mapping.label(column);
        auto *button = new QPushButton(
            QStringLiteral("%1 %2").arg(QString(label).replace(u'&', QLatin1String("&&")),
                                        Csv::withThousands(table.changesPerColumn[size_t(column)])),
            this);
        button->setFlat(true);
        button->setCheckable(true);
        button->setChecked(selected == column);
        button->setToolTip(tr("Show only the rows changed in %1").arg(label));
        connect(button, &QPushButton::clicked, this,
                [this, column](bool on) { emit chosen(on ? column : -1); });
        m_layout->addWidget(button);
        m_buttons.emplace_back(button, column);
    }
    if (qsizetype(changed.size()) > kButtons)
        m_layout->addWidget(
            Tables::plainLabel(tr("and %1 more").arg(qsizetype(changed.size()) - kButtons), this));
    m_layout->addStretch(1);
}

void ColumnChangesBar::select(qsizetype column)
{
    for (const auto &[button, shows] : m_buttons)
        button->setChecked(shows == column);
}
