#include "tables/TableResultBar.h"

#include <QLabel>
#include <QVBoxLayout>

#include "csv/RowsReport.h"
#include "tables/ColumnChangesBar.h"
#include "tables/DiskChangeBar.h"
#include "tables/PlainLabel.h"
#include "tables/TableSession.h"

TableResultBar::TableResultBar(QWidget *parent)
    : QWidget(parent), m_changedBar(new DiskChangeBar(this)),
      m_summary(Tables::plainLabel(tr("Open two files to compare."), this)),
      m_changes(new ColumnChangesBar(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_changedBar);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_summary->setAccessibleName(tr("Summary"));
    layout->addWidget(m_summary);
    layout->addWidget(m_changes);
    connect(m_changedBar, &DiskChangeBar::compareAgain, this, &TableResultBar::compareAgain);
    connect(m_changedBar, &DiskChangeBar::fileTouched, this, &TableResultBar::fileTouched);
    connect(m_changes, &ColumnChangesBar::chosen, this, &TableResultBar::columnChosen);
}

void TableResultBar::showResult(const Tables::TableSession &session)
{
    m_summary->setText(Csv::summaryLine(session.data()->comparison));
    m_changedBar->hide();
    m_changes->show(*session.data(), session.filter.changedIn);
}

void TableResultBar::showNoResult(const QString &why)
{
    m_summary->setText(why);
    m_changes->hide();
}

void TableResultBar::selectColumn(qsizetype mappingColumn)
{
    m_changes->select(mappingColumn);
}

void TableResultBar::watchFiles(const Tables::TableSession &session)
{
    m_changedBar->watch({session.source(0).path, session.source(1).path});
}

void TableResultBar::showChangedOnDisk(const Tables::TableSession &session)
{
    const bool compared = session.data() || !session.newPair();
    m_changedBar->showChanged(compared ? session.changedOnDisk() : QStringList());
}

QString TableResultBar::summary() const
{
    return m_summary->text();
}

QString TableResultBar::changedOnDisk() const
{
    return m_changedBar->text();
}
