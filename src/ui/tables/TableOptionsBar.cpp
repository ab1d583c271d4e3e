#include "tables/TableOptionsBar.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QToolButton>

namespace {

const char *const kMarkNames[] = {QT_TRANSLATE_NOOP("TableOptionsBar", "Detected"),
                                  QT_TRANSLATE_NOOP("TableOptionsBar", "Decimal point: 1,234.5"),
                                  QT_TRANSLATE_NOOP("TableOptionsBar", "Decimal comma: 1.234,5")};
const char *const kMarkShort[] = {"auto", ".", ","};

QCheckBox *checkBox(const QString &text, QWidget *parent)
{
    auto *box = new QCheckBox(text, parent);
    box->setAccessibleName(QString(text).remove(u'&'));
    return box;
}

} // namespace

TableOptionsBar::TableOptionsBar(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    const auto menuButton = [this](const QString &text) {
        auto *button = new QToolButton(this);
        button->setText(text);
        button->setAccessibleName(QString(text).remove(u'&'));
        button->setPopupMode(QToolButton::InstantPopup);
        button->setMenu(new QMenu(button));
        return button;
    };
    m_key = menuButton(tr("&Key"));
    m_ignored = menuButton(tr("I&gnore Columns"));
    m_ignoreCase = checkBox(tr("Ignore &case"), this);
    m_ignoreBlanks = checkBox(tr("Ignore &blanks"), this);
    m_numbers = checkBox(tr("&Numbers by value"), this);
    m_tolerance = new QDoubleSpinBox(this);
    m_tolerance->setDecimals(6);
    m_tolerance->setRange(0, 1e12);
    m_tolerance->setPrefix(tr("± "));
    m_tolerance->setAccessibleName(tr("Tolerance"));
    m_tolerance->setToolTip(tr("Numbers within this of each other are equal"));
    // As wide as a small tolerance needs, not as 1e12 with six decimals.
    m_tolerance->setMaximumWidth(m_tolerance->fontMetrics().horizontalAdvance(
                                     m_tolerance->prefix() + QStringLiteral("0.000000"))
                                 + 40);
    m_decimals = menuButton(QString());
    m_decimals->setAccessibleName(tr("Decimal marks"));
    m_decimals->setToolTip(tr("How each file writes numbers (Numbers by value)"));
    fillDecimalMenu(m_decimals->menu());
    setDecimalMarks(Csv::DecimalMark::Auto, Csv::DecimalMark::Auto);
    m_delimiter = new QComboBox(this);
    m_delimiter->addItem(tr("Detected"), 0);
    for (const char c : {',', ';', '\t', '|'})
        m_delimiter->addItem(c == '\t' ? tr("Tab") : QString(QChar(c)), int(c));
    m_delimiter->setAccessibleName(tr("Delimiter"));
    m_header = checkBox(tr("&Header row"), this);
    m_header->setChecked(true);
    auto *delimiterLabel = new QLabel(tr("&Delimiter:"), this);
    delimiterLabel->setBuddy(m_delimiter);
    for (QWidget *w : std::initializer_list<QWidget *>{
             m_key, m_ignored, m_ignoreCase, m_ignoreBlanks, m_numbers, m_tolerance, m_decimals,
             delimiterLabel, m_delimiter, m_header})
        layout->addWidget(w);
    layout->addStretch();

    for (QCheckBox *box : {m_ignoreCase, m_ignoreBlanks, m_numbers})
        connect(box, &QCheckBox::toggled, this, &TableOptionsBar::changed);
    connect(m_numbers, &QCheckBox::toggled, m_tolerance, &QWidget::setEnabled);
    m_tolerance->setEnabled(false);
    connect(m_tolerance, &QDoubleSpinBox::editingFinished, this, &TableOptionsBar::changed);
    connect(m_header, &QCheckBox::toggled, this, &TableOptionsBar::readingChanged);
    connect(m_delimiter, &QComboBox::currentIndexChanged, this, &TableOptionsBar::readingChanged);
}

// A choice per file; one other than Detected compares numbers by value, as
// --decimal-comma does.
void TableOptionsBar::fillDecimalMenu(QMenu *menu)
{
    for (int file = 1; file <= 2; ++file) {
        menu->addSection(tr("File #%1").arg(file));
        auto *group = new QActionGroup(menu);
        for (int m = 0; m < 3; ++m) {
            QAction *action = menu->addAction(tr(kMarkNames[m]));
            action->setCheckable(true);
            action->setChecked(m == 0);
            action->setData(file * 10 + m);
            group->addAction(action);
            connect(action, &QAction::triggered, this, [this] {
                setDecimalMarks(decimalMark(1), decimalMark(2));
                emit changed();
            });
        }
    }
}

Csv::DecimalMark TableOptionsBar::decimalMark(int file) const
{
    for (const QAction *action : m_decimals->menu()->actions()) {
        if (action->isChecked() && action->data().toInt() / 10 == file)
            return Csv::DecimalMark(action->data().toInt() % 10);
    }
    return Csv::DecimalMark::Auto;
}

void TableOptionsBar::setDecimalMarks(Csv::DecimalMark file1, Csv::DecimalMark file2)
{
    if ((file1 != Csv::DecimalMark::Auto || file2 != Csv::DecimalMark::Auto)
        && !m_numbers->isChecked()) {
        const QSignalBlocker blocker(m_numbers);
        m_numbers->setChecked(true);
        m_tolerance->setEnabled(true);
    }
    for (QAction *action : m_decimals->menu()->actions()) {
        const int code = action->data().toInt(); // file * 10 + mark
        if (code >= 10)
            action->setChecked(code % 10 == int(code / 10 == 1 ? file1 : file2));
    }
    m_decimals->setText(file1 == Csv::DecimalMark::Auto && file2 == Csv::DecimalMark::Auto
                            ? tr("D&ecimals")
                            : tr("D&ecimals: %1 / %2")
                                  .arg(QLatin1String(kMarkShort[int(file1)]),
                                       QLatin1String(kMarkShort[int(file2)])));
}

void TableOptionsBar::fillMenu(QMenu *menu, bool withNoKey)
{
    menu->clear();
    if (withNoKey) {
        QAction *none = menu->addAction(tr("No key: whole rows"));
        none->setCheckable(true);
        none->setData(-1);
        connect(none, &QAction::triggered, this, [this] {
            setKey({});
            m_keyChosen = true;
            emit changed();
        });
        menu->addSeparator();
    }
    for (qsizetype c = 0; c < qsizetype(m_columns.size()); ++c) {
        QAction *action = menu->addAction(m_columns[size_t(c)].text);
        action->setCheckable(true);
        action->setData(qlonglong(c));
        connect(action, &QAction::triggered, this, [this, withNoKey] {
            if (withNoKey)
                m_keyChosen = true;
            updateButtons();
            emit changed();
        });
    }
}

namespace {

void checkByLabel(QMenu *menu, const Csv::ColumnSelection &columns)
{
    QStringList labels;
    for (const Csv::ColumnChoice &choice : columns)
        labels << choice.text;
    for (QAction *action : menu->actions()) {
        if (action->data().toLongLong() >= 0 && !action->isSeparator())
            action->setChecked(labels.contains(action->text()));
    }
}

} // namespace

void TableOptionsBar::setColumns(const Csv::ColumnSelection &columns)
{
    if (columns == m_columns)
        return;
    const Csv::ColumnSelection key = checked(m_key->menu());
    const Csv::ColumnSelection ignored = checked(m_ignored->menu());
    m_columns = columns;
    fillMenu(m_key->menu(), true);
    fillMenu(m_ignored->menu(), false);
    // Keep what was checked under the same labels.
    checkByLabel(m_key->menu(), key);
    checkByLabel(m_ignored->menu(), ignored);
    updateButtons();
}

void TableOptionsBar::setKey(const std::vector<qsizetype> &columns)
{
    for (QAction *action : m_key->menu()->actions()) {
        const qlonglong c = action->data().toLongLong();
        if (!action->isSeparator())
            action->setChecked(c < 0
                                   ? columns.empty()
                                   : std::find(columns.begin(), columns.end(), c) != columns.end());
    }
    updateButtons();
}

void TableOptionsBar::setIgnored(const Csv::ColumnSelection &columns)
{
    checkByLabel(m_ignored->menu(), columns);
    updateButtons();
}

Csv::ColumnSelection TableOptionsBar::checked(const QMenu *menu) const
{
    Csv::ColumnSelection columns;
    for (const QAction *action : menu->actions()) {
        const qlonglong c = action->data().toLongLong();
        if (action->isCheckable() && action->isChecked() && c >= 0)
            columns.push_back(m_columns[size_t(c)]);
    }
    return columns;
}

void TableOptionsBar::updateButtons()
{
    const Csv::ColumnSelection key = checked(m_key->menu());
    for (QAction *action : m_key->menu()->actions()) {
        if (action->data().toLongLong() < 0 && !action->isSeparator())
            action->setChecked(key.empty());
    }
    setElided(m_key, key.empty() ? tr("&Key: none") : tr("&Key: %1"), key);
    const Csv::ColumnSelection ignored = checked(m_ignored->menu());
    setElided(m_ignored, ignored.empty() ? tr("I&gnore Columns") : tr("I&gnore: %1"), ignored);
}

// A button's text cut to a width that never widens the window; the whole
// list in its tooltip. A name's "&" is no shortcut.
void TableOptionsBar::setElided(QToolButton *button, const QString &pattern,
                                const Csv::ColumnSelection &columns)
{
    QStringList labels;
    for (const Csv::ColumnChoice &choice : columns)
        labels << choice.text;
    const QString names = labels.join(u',');
    const QString text = pattern.contains(QLatin1String("%1"))
                             ? pattern.arg(QString(names).replace(u'&', QLatin1String("&&")))
                             : pattern;
    constexpr int kWidest = 260;
    button->setText(
        button->fontMetrics().elidedText(text, Qt::ElideRight, kWidest, Qt::TextShowMnemonic));
    button->setToolTip(names.isEmpty() ? QString() : names);
}

Csv::RowOptions TableOptionsBar::options() const
{
    Csv::RowOptions options;
    options.key = checked(m_key->menu());
    options.ignoreColumns = checked(m_ignored->menu());
    options.rules.ignoreCase = m_ignoreCase->isChecked();
    options.rules.ignoreSpace = m_ignoreBlanks->isChecked();
    options.rules.numbers = m_numbers->isChecked();
    options.rules.tolerance = m_numbers->isChecked() ? m_tolerance->value() : 0;
    options.header = m_header->isChecked();
    options.keepPairs = true;
    options.decimalMark1 = decimalMark(1);
    options.decimalMark2 = decimalMark(2);
    return options;
}

char TableOptionsBar::delimiter() const
{
    return char(m_delimiter->currentData().toInt());
}

bool TableOptionsBar::header() const
{
    return m_header->isChecked();
}

QString TableOptionsBar::saved() const
{
    return QStringList{QString::number(m_ignoreCase->isChecked()),
                       QString::number(m_ignoreBlanks->isChecked()),
                       QString::number(m_numbers->isChecked()),
                       QString::number(m_tolerance->value(), 'g', 17),
                       QString::number(m_delimiter->currentIndex()),
                       QString::number(m_header->isChecked())}
        .join(u' ');
}

void TableOptionsBar::restore(const QString &saved)
{
    const QStringList parts = saved.split(u' ');
    if (parts.size() != 6)
        return;
    const QSignalBlocker blockers[] = {QSignalBlocker(m_ignoreCase), QSignalBlocker(m_ignoreBlanks),
                                       QSignalBlocker(m_numbers),    QSignalBlocker(m_tolerance),
                                       QSignalBlocker(m_delimiter),  QSignalBlocker(m_header)};
    m_ignoreCase->setChecked(parts[0] == QLatin1String("1"));
    m_ignoreBlanks->setChecked(parts[1] == QLatin1String("1"));
    m_numbers->setChecked(parts[2] == QLatin1String("1"));
    m_tolerance->setEnabled(m_numbers->isChecked());
    m_tolerance->setValue(parts[3].toDouble());
    m_delimiter->setCurrentIndex(std::clamp(parts[4].toInt(), 0, m_delimiter->count() - 1));
    m_header->setChecked(parts[5] != QLatin1String("0"));
}

void TableOptionsBar::showCompared(const Csv::ColumnSelection &columns,
                                   const std::vector<qsizetype> &key, const Csv::RowOptions &used)
{
    const QSignalBlocker blocker(this);
    setColumns(columns);
    setKey(key);
    setIgnored(used.ignoreColumns);
    setDecimalMarks(used.decimalMark1, used.decimalMark2);
}
