#include "tables/TableWindow.h"

#include <future>
#include <mutex>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QSaveFile>
#include <QShortcut>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "base/AppError.h"
#include "base/Main.h"
#include "dialogs/Dialogs.h"
#include "pane/RichTextBox.h"
#include "runner/BackgroundRun.h"
#include "settings/Settings.h"
#include "settings/SettingsBackend.h"
#include "tables/ChangedCellDelegate.h"
#include "tables/RowTableModel.h"
#include "tables/TableNotes.h"
#include "tables/TableOptionsBar.h"

using Tables::Status;

namespace {

const QString kSection = QStringLiteral("TableWindow");
const char *const kStatusNames[] = {
    QT_TRANSLATE_NOOP("TableWindow", "Removed"), QT_TRANSLATE_NOOP("TableWindow", "Added"),
    QT_TRANSLATE_NOOP("TableWindow", "Changed"), QT_TRANSLATE_NOOP("TableWindow", "Unchanged")};
// A menu of a million columns would freeze the window: the first ones only.
constexpr qsizetype kColumnsInMenus = 1000;

} // namespace

TableWindow::TableWindow(Platform::Dialogs &dialogs, Platform::SettingsBackend &settings,
                         QWidget *parent)
    : QWidget(parent), m_dialogs(dialogs), m_settings(settings)
{
    setWindowTitle(tr("Compare as Tables"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAcceptDrops(true);
    build();
    buildShortcuts();
    restoreSettings();
    updateSideLabels();
}

TableWindow::~TableWindow()
{
    for (TableSource &source : m_sources) {
        if (source.pane)
            source.pane->unshareBytes();
    }
}

void TableWindow::build()
{
    auto *layout = new QVBoxLayout(this);
    for (int side = 0; side < 2; ++side) {
        auto *row = new QHBoxLayout;
        auto *open = new QPushButton(side == 0 ? tr("Open File #&1…") : tr("Open File #&2…"), this);
        m_sideLabels[size_t(side)] = new QLabel(this);
        m_sideLabels[size_t(side)]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        row->addWidget(open);
        row->addWidget(m_sideLabels[size_t(side)], 1);
        layout->addLayout(row);
        connect(open, &QPushButton::clicked, this, [this, side] { chooseFile(side); });
    }
    auto *optionsRow = new QHBoxLayout;
    m_options = new TableOptionsBar(this);
    auto *compareButton = new QPushButton(tr("Co&mpare"), this);
    compareButton->setToolTip(tr("Compare again (F5)"));
    optionsRow->addWidget(m_options, 1);
    optionsRow->addWidget(compareButton);
    layout->addLayout(optionsRow);
    connect(compareButton, &QPushButton::clicked, this, &TableWindow::compare);
    connect(m_options, &TableOptionsBar::changed, this, &TableWindow::compare);
    connect(m_options, &TableOptionsBar::readingChanged, this, &TableWindow::compare);

    m_summary = new QLabel(tr("Open two files to compare."), this);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_summary->setAccessibleName(tr("Summary"));
    layout->addWidget(m_summary);

    m_splitter = new QSplitter(Qt::Vertical, this);
    m_notes = new QListWidget(m_splitter);
    m_notes->setAccessibleName(tr("Column changes, duplicate keys and ragged rows"));
    m_notes->hide(); // until a comparison has something to say
    auto *tablePart = new QWidget(m_splitter);
    auto *tableLayout = new QVBoxLayout(tablePart);
    tableLayout->setContentsMargins(0, 0, 0, 0);
    auto *filterRow = new QHBoxLayout;
    for (int s = 0; s < Tables::kStatusCount; ++s) {
        auto *box = new QCheckBox(this);
        box->setChecked(m_shown[s]);
        m_filters[size_t(s)] = box;
        filterRow->addWidget(box);
        connect(box, &QCheckBox::toggled, this, [this, s](bool on) { showStatus(Status(s), on); });
    }
    m_find = new QLineEdit(this);
    m_find->setPlaceholderText(tr("Find (Ctrl+F)"));
    m_find->setAccessibleName(tr("Find"));
    m_find->setClearButtonEnabled(true);
    filterRow->addWidget(m_find, 1);
    m_save = new QPushButton(tr("&Save Report…"), this);
    filterRow->addWidget(m_save);
    tableLayout->addLayout(filterRow);
    connect(m_find, &QLineEdit::returnPressed, this, [this] { setFindText(m_find->text()); });
    connect(m_find, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (text.isEmpty())
            setFindText(text);
    });
    connect(m_save, &QPushButton::clicked, this, &TableWindow::chooseReport);

    m_model = new RowTableModel(this);
    m_view = new QTableView(tablePart);
    m_view->setModel(m_model);
    m_view->setItemDelegate(new ChangedCellDelegate(m_view));
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setAccessibleName(tr("Compared rows"));
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 6);
    m_view->verticalHeader()->hide();
    m_view->horizontalHeader()->setSectionsClickable(true);
    m_view->horizontalHeader()->setSortIndicatorShown(true);
    m_view->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    tableLayout->addWidget(m_view, 1);
    connect(m_view->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
        const Qt::SortOrder order = column == m_sortColumn && m_sortOrder == Qt::AscendingOrder
                                        ? Qt::DescendingOrder
                                        : Qt::AscendingOrder;
        sortBy(column, order);
    });
    connect(m_view, &QTableView::activated, this, &TableWindow::rowChosen);
    m_splitter->addWidget(m_notes);
    m_splitter->addWidget(tablePart);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({60, 500});
    layout->addWidget(m_splitter, 1);
    updateCounts();
    resize(1000, 700);
}

void TableWindow::buildShortcuts()
{
    const auto shortcut = [this](const QKeySequence &keys, QWidget *on, auto slot,
                                 Qt::ShortcutContext context = Qt::WindowShortcut) {
        auto *s = new QShortcut(keys, on);
        s->setContext(context);
        connect(s, &QShortcut::activated, this, slot);
    };
    shortcut(Qt::Key_F5, this, [this] { compare(); });
    shortcut(
        Qt::Key_Return, m_options, [this] { compare(); }, Qt::WidgetWithChildrenShortcut);
    shortcut(
        Qt::Key_Enter, m_options, [this] { compare(); }, Qt::WidgetWithChildrenShortcut);
    shortcut(QKeySequence::Find, this, [this] {
        m_find->setFocus();
        m_find->selectAll();
    });
    shortcut(Qt::Key_F7, this, [this] { moveToChangedCell(true); });
    shortcut(Qt::SHIFT | Qt::Key_F7, this, [this] { moveToChangedCell(false); });
    shortcut(
        QKeySequence::Copy, m_view, [this] { copySelection(); }, Qt::WidgetShortcut);
}

bool TableWindow::inBackground(const QString &label, const std::function<void()> &work,
                               bool cancellable)
{
    Compare::Progress progress;
    m_busy = true;
    bool done = false;
    try {
        done = runInBackground(
            this, label, progress,
            [this, &work] {
                std::shared_lock lock(m_paneBytes);
                work();
            },
            cancellable ? Cancel::Offered : Cancel::NotOffered);
    } catch (const AppError &error) {
        m_busy = false;
        showError(error.description());
        return false;
    } catch (const std::bad_alloc &) {
        m_busy = false;
        showError(tr("Out of memory: the tables are too large to compare here"));
        return false;
    }
    m_busy = false;
    return done;
}

bool TableWindow::openFile(int side, const QString &path)
{
    TableSource source;
    if (!inBackground(tr("Reading %1…").arg(QFileInfo(path).fileName()),
                      [&] { source = TableSource::fromFile(path); }))
        return false;
    if (m_sources[size_t(side)].pane)
        m_sources[size_t(side)].pane->unshareBytes();
    m_sources[size_t(side)] = std::move(source);
    m_tables[size_t(side)].reset();
    m_keyPreset = false; // other files may want another key
    updateSideLabels();
    return true;
}

void TableWindow::openPane(int side, RichTextBox &pane, const QString &name)
{
    if (m_sources[size_t(side)].pane)
        m_sources[size_t(side)].pane->unshareBytes();
    m_sources[size_t(side)] = TableSource::fromPane(pane, name);
    m_tables[size_t(side)].reset();
    connect(&pane, &RichTextBox::textAboutToChange, this, &TableWindow::paneAboutToChange,
            Qt::UniqueConnection);
    updateSideLabels();
}

void TableWindow::setKeyColumns(const QString &columns)
{
    m_requestedKey = columns;
}

// The main window's text is about to change under the tables read from it:
// once no work reads them, they get bytes of their own.
void TableWindow::paneAboutToChange()
{
    std::unique_lock lock(m_paneBytes);
    for (size_t side = 0; side < 2; ++side) {
        TableSource &source = m_sources[side];
        if (!source.pane)
            continue;
        disconnect(source.pane, &RichTextBox::textAboutToChange, this,
                   &TableWindow::paneAboutToChange);
        source.takeOwnCopy();
        if (!m_tables[side])
            continue;
        auto moved = std::make_shared<const Csv::Table>(m_tables[side]->over(source.bytes));
        if (m_data) {
            std::shared_ptr<const Csv::Table> &held =
                side == 0 ? m_data->comparison.table1 : m_data->comparison.table2;
            if (held == m_tables[side])
                held = moved;
        }
        m_tables[side] = std::move(moved);
    }
    onRowChosen = nullptr; // its lines are no longer the panes'
    if (m_data)            // the rows the model keeps split point into the old bytes
        m_model->show(m_data, std::vector<qint32>(m_model->visible()));
}

bool TableWindow::readSides()
{
    const char delimiter = m_options->delimiter();
    const bool header = m_options->header();
    for (size_t side = 0; side < 2; ++side) {
        if (m_tables[side] && m_readWith[side] == delimiter && m_readHeader[side] == header)
            continue;
        Csv::ReadResult read;
        const QByteArray bytes = m_sources[side].bytes;
        if (!inBackground(tr("Reading %1…").arg(m_sources[side].name),
                          [&] { read = Csv::readCsv(bytes, delimiter); }))
            return false;
        if (!read.ok()) {
            showError(QStringLiteral("%1: %2").arg(m_sources[side].name, read.error.message));
            return false;
        }
        m_tables[side] = std::make_shared<const Csv::Table>(std::move(read.table));
        m_readWith[side] = delimiter;
        m_readHeader[side] = header;
    }
    updateSideLabels();
    return true;
}

void TableWindow::compare()
{
    if (m_busy) { // a choice made meanwhile: compare again once this is done
        m_compareAgain = true;
        return;
    }
    m_compareAgain = false;
    if (m_sources[0].isEmpty() || m_sources[1].isEmpty()) {
        m_summary->setText(tr("Open two files to compare."));
        return;
    }
    if (!readSides())
        return;
    Csv::RowOptions options = m_options->options();
    if (!m_requestedKey.isEmpty())
        options.key = m_requestedKey;
    // New files get a key of their own, unless the user chose one.
    const bool preset = !m_keyPreset && m_requestedKey.isEmpty() && !m_options->hasKeyChoice();
    if (preset)
        options.key.clear();
    const bool shown[Tables::kStatusCount] = {m_shown[0], m_shown[1], m_shown[2], m_shown[3]};
    const QString find = m_find->text();
    std::shared_ptr<Tables::TableData> content;
    std::vector<qint32> visible;
    QString error;
    const bool done = inBackground(
        tr("Comparing the tables…"),
        [&] {
            if (preset) {
                const Csv::ColumnMapping mapping =
                    Csv::mapColumns(*m_tables[0], *m_tables[1], options.header, options.rules);
                if (const auto key = Tables::presetKey(*m_tables[0], *m_tables[1], mapping))
                    options.key = Tables::columnListItem(mapping.label(*key));
            }
            Csv::RowComparison result = Csv::compareTables(m_tables[0], m_tables[1], options);
            if (!result.ok()) {
                error = result.error.message;
                return;
            }
            content = Tables::TableData::from(std::move(result));
            visible = Tables::filtered(*content, shown, find);
            if (m_sortColumn >= 0 && m_sortColumn < content->columnCount())
                Tables::sortRows(*content, visible, m_sortColumn,
                                 m_sortOrder == Qt::DescendingOrder);
        },
        true);
    if (!done)
        return;
    if (!error.isEmpty()) {
        m_requestedKey.clear();
        showError(error);
        return;
    }
    m_keyPreset = true;
    m_requestedKey.clear();
    QStringList labels;
    const Csv::ColumnMapping &mapping = content->comparison.mapping;
    for (qsizetype c = 0; c < qsizetype(mapping.columns.size()) && c < kColumnsInMenus; ++c)
        labels << mapping.label(c);
    {
        const QSignalBlocker blocker(m_options);
        m_options->setColumns(labels);
        m_options->setKey(content->comparison.keyColumns);
    }
    const bool first = !m_data;
    m_data = std::move(content);
    m_model->show(m_data, std::move(visible));
    if (first)
        restoreColumnWidths();
    showResult(m_data);
    emit compared();
    if (m_compareAgain)
        QTimer::singleShot(0, this, &TableWindow::compare);
}

void TableWindow::showResult(std::shared_ptr<Tables::TableData> content)
{
    m_summary->setText(Csv::summaryLine(content->comparison));
    m_notes->clear();
    const QStringList notes =
        Tables::notesOf(content->comparison, m_sources[0].name, m_sources[1].name);
    m_notes->addItems(notes);
    m_notes->setVisible(!notes.isEmpty());
    updateCounts();
}

QString TableWindow::summaryText() const
{
    return m_summary->text();
}

QStringList TableWindow::notes() const
{
    QStringList texts;
    for (int i = 0; i < m_notes->count(); ++i)
        texts << m_notes->item(i)->text();
    return texts;
}

void TableWindow::updateCounts()
{
    for (int s = 0; s < Tables::kStatusCount; ++s) {
        const qsizetype count = m_data ? m_data->counts.of[s] : 0;
        const QString name = tr(kStatusNames[s]);
        m_filters[size_t(s)]->setText(
            QStringLiteral("%1 %2 (%3)")
                .arg(Tables::statusMark(Status(s)), name, Csv::withThousands(count))
                .trimmed());
        m_filters[size_t(s)]->setAccessibleName(
            tr("Show %1 rows, %2 of them").arg(name.toLower(), Csv::withThousands(count)));
    }
}

void TableWindow::updateSideLabels()
{
    for (size_t side = 0; side < 2; ++side) {
        const TableSource &source = m_sources[side];
        const Csv::Table *table = m_tables[side].get();
        const qsizetype rows =
            table ? std::max<qsizetype>(table->size() - (m_readHeader[side] ? 1 : 0), 0) : -1;
        m_sideLabels[side]->setText(
            source.isEmpty() ? tr("File #%1: none").arg(side + 1)
                             : tr("File #%1: %2")
                                   .arg(side + 1)
                                   .arg(source.describe(rows, table ? table->delimiter() : ',')));
    }
}

void TableWindow::refilter()
{
    if (!m_data || m_busy)
        return;
    const std::shared_ptr<const Tables::TableData> content = m_data;
    const bool shown[Tables::kStatusCount] = {m_shown[0], m_shown[1], m_shown[2], m_shown[3]};
    const QString find = m_find->text();
    std::vector<qint32> visible;
    if (!inBackground(tr("Filtering the rows…"), [&] {
            visible = Tables::filtered(*content, shown, find);
            if (m_sortColumn >= 0)
                Tables::sortRows(*content, visible, m_sortColumn,
                                 m_sortOrder == Qt::DescendingOrder);
        }))
        return;
    m_model->show(content, std::move(visible));
}

void TableWindow::showStatus(Status status, bool shown)
{
    m_shown[int(status)] = shown;
    {
        const QSignalBlocker blocker(m_filters[size_t(status)]);
        m_filters[size_t(status)]->setChecked(shown);
    }
    refilter();
}

void TableWindow::setFindText(const QString &text)
{
    if (m_find->text() != text)
        m_find->setText(text);
    refilter();
}

void TableWindow::sortBy(int column, Qt::SortOrder order)
{
    if (!m_data || m_busy)
        return;
    m_sortColumn = column;
    m_sortOrder = order;
    m_view->horizontalHeader()->setSortIndicator(column, order);
    const std::shared_ptr<const Tables::TableData> content = m_data;
    std::vector<qint32> visible = m_model->visible();
    if (!inBackground(tr("Sorting the rows…"), [&] {
            Tables::sortRows(*content, visible, column, order == Qt::DescendingOrder);
        }))
        return;
    m_model->show(content, std::move(visible));
}

void TableWindow::moveToChangedCell(bool forward)
{
    if (!m_data)
        return;
    const QModelIndex current = m_view->currentIndex();
    const qsizetype row = current.isValid() ? current.row() : (forward ? -1 : 0);
    const int column =
        current.isValid() ? current.column() : (forward ? -1 : m_data->columnCount());
    const auto next = Tables::nextChangedCell(*m_data, m_model->visible(), row, column, forward);
    if (!next)
        return;
    const QModelIndex target = m_model->index(int(next->first), next->second);
    m_view->setCurrentIndex(target);
    m_view->scrollTo(target);
}

void TableWindow::copySelection()
{
    if (!m_data)
        return;
    std::vector<qint32> rows;
    for (const QModelIndex &index : m_view->selectionModel()->selectedRows())
        rows.push_back(m_model->visible()[size_t(index.row())]);
    std::sort(rows.begin(), rows.end());
    if (!rows.empty())
        QApplication::clipboard()->setText(Tables::tabSeparated(*m_data, rows));
}

void TableWindow::rowChosen(const QModelIndex &index)
{
    if (!onRowChosen || !m_data || !index.isValid())
        return;
    const Tables::DisplayRow &row = m_model->displayRow(index.row());
    onRowChosen(m_data->comparison.table1.get(), row.record1, m_data->comparison.table2.get(),
                row.record2);
}

void TableWindow::chooseFile(int side)
{
    const QString path = m_dialogs.fileDialog(
        {tr("Open File #%1").arg(side + 1),
         QStringLiteral("CSV Files (*.csv)|*.csv|Text Files (*.txt)|*.txt|All Files (*.*)|*.*|"),
         false});
    if (!path.isEmpty() && openFile(side, path))
        compare();
}

void TableWindow::chooseReport()
{
    if (!m_data)
        return;
    const QString path = m_dialogs.fileDialog(
        {tr("Save Report"), QStringLiteral("CSV Files (*.csv)|*.csv|JSON Files (*.json)|*.json|"),
         true});
    if (path.isEmpty())
        return;
    const bool json = path.endsWith(QLatin1String(".json"), Qt::CaseInsensitive);
    saveReport(path, json ? Csv::ReportFormat::Json : Csv::ReportFormat::Csv);
}

bool TableWindow::saveReport(const QString &path, Csv::ReportFormat format)
{
    if (!m_data)
        return false;
    const std::shared_ptr<const Tables::TableData> content = m_data;
    const Csv::ReportOptions names{
        m_sources[0].path.isEmpty() ? m_sources[0].name : m_sources[0].path,
        m_sources[1].path.isEmpty() ? m_sources[1].name : m_sources[1].path, false};
    QString error;
    const bool done = inBackground(tr("Saving the report…"), [&] {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly)) {
            error = file.errorString();
            return;
        }
        const bool written =
            Csv::writeReport(content->comparison, format, names, [&](QByteArrayView piece) {
                return file.write(piece.data(), piece.size()) == piece.size();
            });
        if (!written || !file.commit())
            error = file.errorString();
    });
    if (done && error.isEmpty())
        return true;
    if (!error.isEmpty())
        showError(tr("Cannot save %1: %2").arg(path, error));
    return false;
}

void TableWindow::showError(const QString &message)
{
    m_dialogs.messageBox(
        {message, Main::appTitle(), Platform::Buttons::Ok, Platform::Icon::Exclamation});
}

void TableWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TableWindow::dropEvent(QDropEvent *event)
{
    QStringList paths;
    for (const QUrl &url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    if (paths.size() >= 2) {
        if (openFile(0, paths[0]) && openFile(1, paths[1]))
            compare();
        return;
    }
    // One file: the side of the window it was dropped on.
    const int side = event->position().x() < width() / 2 ? 0 : 1;
    if (openFile(side, paths[0]))
        compare();
}

void TableWindow::restoreSettings()
{
    const auto value = [this](const QString &key) {
        return m_settings.value(Settings::kAppName, kSection, key).value_or(QString());
    };
    const QByteArray geometry =
        QByteArray::fromBase64(value(QStringLiteral("Geometry")).toLatin1());
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
    const QByteArray splitter =
        QByteArray::fromBase64(value(QStringLiteral("Splitter")).toLatin1());
    if (!splitter.isEmpty())
        m_splitter->restoreState(splitter);
    m_options->restore(value(QStringLiteral("Options")));
}

void TableWindow::storeSettings()
{
    const auto store = [this](const QString &key, const QString &text) {
        try {
            m_settings.setValue(Settings::kAppName, kSection, key, text);
        } catch (const AppError &) {
            // The window works the same without its remembered layout.
        }
    };
    store(QStringLiteral("Geometry"), QString::fromLatin1(saveGeometry().toBase64()));
    store(QStringLiteral("Splitter"), QString::fromLatin1(m_splitter->saveState().toBase64()));
    store(QStringLiteral("Options"), m_options->saved());
    if (m_data) {
        store(QStringLiteral("Columns"),
              QStringLiteral("%1 ").arg(m_model->columnCount())
                  + QString::fromLatin1(m_view->horizontalHeader()->saveState().toBase64()));
    }
}

// Column widths, when the table has as many columns as when they were stored.
void TableWindow::restoreColumnWidths()
{
    const QString stored = m_settings.value(Settings::kAppName, kSection, QStringLiteral("Columns"))
                               .value_or(QString());
    if (stored.section(u' ', 0, 0).toInt() != m_model->columnCount())
        return;
    QHeaderView *header = m_view->horizontalHeader();
    header->restoreState(QByteArray::fromBase64(stored.section(u' ', 1).toLatin1()));
    header->setSortIndicator(m_sortColumn, m_sortOrder);
}

void TableWindow::closeEvent(QCloseEvent *event)
{
    if (m_busy) {
        event->ignore();
        return;
    }
    storeSettings();
    QWidget::closeEvent(event);
}
