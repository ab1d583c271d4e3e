#include "tables/ColumnsDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "tables/PlainLabel.h"

namespace {

// A list of a million columns would freeze the dialog: the first ones only.
constexpr qsizetype kColumnsListed = 1000;

QComboBox *columnBox(const QStringList &names, const QString &name, QWidget *parent)
{
    auto *box = new QComboBox(parent);
    box->setAccessibleName(name);
    box->addItems(names.mid(0, kColumnsListed));
    box->setMinimumContentsLength(12);
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    return box;
}

} // namespace

ColumnsDialog::ColumnsDialog(const Tables::ColumnPairing &pairing, QWidget *parent)
    : QDialog(parent), m_pairing(pairing)
{
    setWindowTitle(tr("Columns"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Tables::plainLabel(
        tr("Columns renamed between the files: a checked pair is compared as one column."), this));
    m_pairs = new QListWidget(this);
    m_pairs->setAccessibleName(tr("Paired columns"));
    layout->addWidget(m_pairs, 1);

    auto *grid = new QGridLayout;
    auto *label1 = new QLabel(tr("File #&1:"), this);
    auto *label2 = new QLabel(tr("File #&2:"), this);
    m_column1 = columnBox(m_pairing.columns(1), tr("Column of file #1"), this);
    m_column2 = columnBox(m_pairing.columns(2), tr("Column of file #2"), this);
    label1->setBuddy(m_column1);
    label2->setBuddy(m_column2);
    auto *add = new QPushButton(tr("&Pair"), this);
    auto *remove = new QPushButton(tr("&Remove"), this);
    grid->addWidget(label1, 0, 0);
    grid->addWidget(m_column1, 0, 1);
    grid->addWidget(label2, 0, 2);
    grid->addWidget(m_column2, 0, 3);
    grid->addWidget(add, 0, 4);
    grid->addWidget(remove, 0, 5);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    layout->addLayout(grid);
    m_message = Tables::plainLabel(QString(), this);
    m_message->setAccessibleName(tr("Message"));
    layout->addWidget(m_message);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);

    connect(add, &QPushButton::clicked, this, &ColumnsDialog::addPair);
    connect(remove, &QPushButton::clicked, this, &ColumnsDialog::removePair);
    connect(m_pairs, &QListWidget::itemChanged, this, &ColumnsDialog::pairChecked);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    showPairs();
    resize(640, 360);
}

void ColumnsDialog::showPairs()
{
    const QSignalBlocker blocker(m_pairs);
    const int current = m_pairs->currentRow();
    m_pairs->clear();
    for (const Tables::ColumnPair &pair : m_pairing.pairs()) {
        auto *item = new QListWidgetItem(
            QStringLiteral("%1 (%2)").arg(m_pairing.label(pair), pair.why), m_pairs);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(pair.used ? Qt::Checked : Qt::Unchecked);
    }
    m_pairs->setCurrentRow(std::min(current, m_pairs->count() - 1));
}

void ColumnsDialog::pairChecked(QListWidgetItem *item)
{
    const int row = m_pairs->row(item);
    m_message->setText(m_pairing.setUsed(size_t(row), item->checkState() == Qt::Checked));
    showPairs();
}

void ColumnsDialog::addPair()
{
    m_message->setText(m_pairing.add(m_column1->currentIndex(), m_column2->currentIndex()));
    showPairs();
}

void ColumnsDialog::removePair()
{
    const int row = m_pairs->currentRow();
    if (row < 0)
        return;
    m_pairing.remove(size_t(row));
    m_message->clear();
    showPairs();
}
