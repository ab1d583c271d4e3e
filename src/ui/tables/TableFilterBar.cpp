#include "tables/TableFilterBar.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "csv/RowsReport.h"
#include "tables/PlainLabel.h"

using Tables::Status;

namespace {

const char *const kStatusNames[] = {QT_TRANSLATE_NOOP("TableFilterBar", "Removed"),
                                    QT_TRANSLATE_NOOP("TableFilterBar", "Added"),
                                    QT_TRANSLATE_NOOP("TableFilterBar", "Changed"),
                                    QT_TRANSLATE_NOOP("TableFilterBar", "Unchanged"),
                                    QT_TRANSLATE_NOOP("TableFilterBar", "Duplicate keys")};
// Typing waits this long before the rows are filtered.
constexpr int kFindDelayMs = 150;

} // namespace

TableFilterBar::TableFilterBar(const Tables::RowFilter &filter, QWidget *parent) : QWidget(parent)
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    for (int s = 0; s < Tables::kStatusCount; ++s) {
        auto *box = new QCheckBox(this);
        box->setChecked(filter.shown[size_t(s)]);
        m_filters[size_t(s)] = box;
        row->addWidget(box);
        connect(box, &QCheckBox::toggled, this,
                [this, s](bool on) { emit statusToggled(Status(s), on); });
    }
    m_changedOnly = new QCheckBox(tr("C&hanged columns only"), this);
    row->addWidget(m_changedOnly);
    connect(m_changedOnly, &QCheckBox::toggled, this, &TableFilterBar::changedColumnsOnlyToggled);
    m_find = new QLineEdit(this);
    m_find->setPlaceholderText(tr("Find (Ctrl+F)"));
    m_find->setAccessibleName(tr("Find"));
    m_find->setClearButtonEnabled(true);
    row->addWidget(m_find, 1);
    m_findCount = Tables::plainLabel(QString(), this);
    row->addWidget(m_findCount);
    auto *save = new QPushButton(tr("&Save Report…"), this);
    row->addWidget(save);
    connect(save, &QPushButton::clicked, this, &TableFilterBar::saveClicked);
    m_findTimer = new QTimer(this);
    m_findTimer->setSingleShot(true);
    m_findTimer->setInterval(kFindDelayMs);
    connect(m_findTimer, &QTimer::timeout, this, [this] { emit findTyped(m_find->text()); });
    connect(m_find, &QLineEdit::textEdited, m_findTimer, qOverload<>(&QTimer::start));
    connect(m_find, &QLineEdit::returnPressed, this, [this] {
        m_findTimer->stop();
        emit findEntered(m_find->text());
    });
    showCounts(nullptr);
}

void TableFilterBar::showCounts(const Tables::TableData *table)
{
    for (int s = 0; s < Tables::kStatusCount; ++s) {
        const qsizetype count = table ? table->counts.of[s] : 0;
        const QString name = tr(kStatusNames[s]);
        QCheckBox *box = m_filters[size_t(s)];
        box->setText(QStringLiteral("%1 %2 (%3)")
                         .arg(Tables::statusMark(Status(s)), name, Csv::withThousands(count))
                         .trimmed());
        box->setAccessibleName(
            tr("Show %1 rows, %2 of them").arg(name.toLower(), Csv::withThousands(count)));
        // No duplicated key, no box for them.
        if (Status(s) == Status::Duplicate)
            box->setVisible(count > 0);
    }
}

void TableFilterBar::setShown(Status status, bool shown)
{
    const QSignalBlocker blocker(m_filters[size_t(status)]);
    m_filters[size_t(status)]->setChecked(shown);
}

void TableFilterBar::setChangedColumnsOnly(bool only)
{
    const QSignalBlocker blocker(m_changedOnly);
    m_changedOnly->setChecked(only);
}

QString TableFilterBar::findText() const
{
    return m_find->text();
}

void TableFilterBar::setFindText(const QString &text)
{
    m_findTimer->stop();
    if (m_find->text() != text)
        m_find->setText(text);
}

void TableFilterBar::focusFind()
{
    m_find->setFocus();
    m_find->selectAll();
}

bool TableFilterBar::clearFindInFocus()
{
    if (!m_find->hasFocus() || m_find->text().isEmpty())
        return false;
    // clear() is no edit: the rows the text hid must come back at once.
    m_find->clear();
    m_findTimer->stop();
    emit findTyped(QString());
    return true;
}

void TableFilterBar::setFindCount(const QString &text)
{
    m_findCount->setText(text);
}

QString TableFilterBar::findCount() const
{
    return m_findCount->text();
}
