#include "tables/TableWindow.h"

#include <mutex>

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

#include "base/Main.h"
#include "dialogs/Dialogs.h"
#include "pane/RichTextBox.h"
#include "tables/ColumnValueMenu.h"
#include "tables/ComparedRowsView.h"
#include "tables/FrozenColumnsView.h"
#include "tables/PlainLabel.h"
#include "tables/ReportFile.h"
#include "tables/RowTableModel.h"
#include "tables/TableFilterBar.h"
#include "tables/TableOptionsBar.h"
#include "tables/TableResultBar.h"
#include "tables/TableSidesBar.h"

using Tables::Status;

namespace {

// A menu of a million columns would freeze the window: the first ones only.
constexpr qsizetype kColumnsInMenus = 1000;

} // namespace

TableWindow::TableWindow(Platform::Dialogs &dialogs, Platform::SettingsBackend &settings,
                         QWidget *parent)
    : QWidget(parent), m_dialogs(dialogs), m_settings(settings),
      m_work(*this, [this](const QString &message) { showError(message); }),
      m_finder(m_work.paneBytes())
{
    setWindowTitle(tr("Compare as Tables"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAcceptDrops(true);
    build();
    buildShortcuts();
    restoreSettings();
    m_sides->showSides(m_session);
    connect(&m_finder, &Tables::RowFinder::found, this, [this](std::vector<qint32> visible) {
        showVisible(std::move(visible));
        emit found();
    });
}

TableWindow::~TableWindow()
{
    // A find still running, or still queued, reads the tables and the lock:
    // it ends first.
    m_finder.finish();
    std::unique_lock lock(m_work.paneBytes());
    for (int side = 0; side < 2; ++side) {
        if (RichTextBox *pane = m_session.source(side).pane)
            pane->unshareBytes();
    }
}

QTableView &TableWindow::view()
{
    return m_rows->view();
}

RowTableModel &TableWindow::model()
{
    return m_rows->model();
}

void TableWindow::build()
{
    auto *layout = new QVBoxLayout(this);
    m_sides = new TableSidesBar(this);
    connect(m_sides, &TableSidesBar::openClicked, this, &TableWindow::chooseFile);
    connect(m_sides, &TableSidesBar::sheetChosen, this, &TableWindow::chooseSheet);
    connect(m_sides, &TableSidesBar::columnsClicked, this, &TableWindow::chooseColumnPairs);
    layout->addWidget(m_sides);
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

    m_resultBar = new TableResultBar(this);
    connect(m_resultBar, &TableResultBar::compareAgain, this, &TableWindow::compare);
    connect(m_resultBar, &TableResultBar::fileTouched, this, &TableWindow::checkFilesOnDisk);
    connect(m_resultBar, &TableResultBar::columnChosen, this, &TableWindow::showChangesIn);
    layout->addWidget(m_resultBar);

    m_splitter = new QSplitter(Qt::Vertical, this);
    m_notes = new QListWidget(m_splitter);
    m_notes->setAccessibleName(tr("Column changes, duplicate keys and ragged rows"));
    m_notes->hide(); // until a comparison has something to say
    m_splitter->addWidget(m_notes);
    m_splitter->addWidget(buildTablePart(m_splitter));
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({60, 500});
    layout->addWidget(m_splitter, 1);
    resize(1000, 700);
}

QWidget *TableWindow::buildTablePart(QWidget *parent)
{
    auto *tablePart = new QWidget(parent);
    auto *tableLayout = new QVBoxLayout(tablePart);
    tableLayout->setContentsMargins(0, 0, 0, 0);
    m_filterBar = new TableFilterBar(m_session.filter, tablePart);
    tableLayout->addWidget(m_filterBar);
    connect(m_filterBar, &TableFilterBar::statusToggled, this, &TableWindow::showStatus);
    connect(m_filterBar, &TableFilterBar::changedColumnsOnlyToggled, this,
            &TableWindow::setChangedColumnsOnly);
    connect(m_filterBar, &TableFilterBar::findTyped, this, &TableWindow::findAsTyped);
    connect(m_filterBar, &TableFilterBar::findEntered, this, &TableWindow::setFindText);
    connect(m_filterBar, &TableFilterBar::saveClicked, this, &TableWindow::chooseReport);

    m_rows = new ComparedRowsView(tablePart);
    tableLayout->addWidget(m_rows, 1);
    FrozenColumnsView *view = &m_rows->view();
    connect(view, &FrozenColumnsView::headerClicked, this, &TableWindow::sortBy);
    connect(view, &FrozenColumnsView::headerMenuAsked, this, &TableWindow::headerMenu);
    connect(view, &FrozenColumnsView::rowActivated, this, &TableWindow::rowChosen);
    return tablePart;
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
    shortcut(QKeySequence::Find, this, [this] { m_filterBar->focusFind(); });
    shortcut(Qt::Key_F7, this, [this] { moveToChangedCell(true); });
    shortcut(Qt::SHIFT | Qt::Key_F7, this, [this] { moveToChangedCell(false); });
    // Esc in a find box that holds text clears it, as find boxes do; else it closes.
    shortcut(Qt::Key_Escape, this, [this] {
        if (!m_filterBar->clearFindInFocus())
            close();
    });
    shortcut(QKeySequence::Close, this, [this] { close(); });
    shortcut(Qt::CTRL | Qt::Key_W, this, [this] { close(); });
    shortcut(
        QKeySequence::Copy, &m_rows->view(), [this] { copySelection(); }, Qt::WidgetShortcut);
}

bool TableWindow::openFile(int side, const QString &path, int sheet)
{
    TableSource source;
    if (!m_work.run(tr("Reading %1…").arg(QFileInfo(path).fileName()),
                    [&] { source = TableSource::fromFile(path, sheet); }))
        return false;
    if (RichTextBox *pane = m_session.source(side).pane)
        pane->unshareBytes();
    m_session.setSource(side, std::move(source));
    watchFiles();
    m_sides->showSides(m_session);
    return true;
}

void TableWindow::openPane(int side, RichTextBox &pane, const QString &name, const QString &path)
{
    if (RichTextBox *old = m_session.source(side).pane)
        old->unshareBytes();
    TableSource source = TableSource::fromPane(pane, name);
    if (!path.isEmpty())
        source.name = QFileInfo(path).fileName();
    m_session.setSource(side, std::move(source));
    connect(&pane, &RichTextBox::textAboutToChange, this, &TableWindow::paneAboutToChange,
            Qt::UniqueConnection);
    m_sides->showSides(m_session);
}

void TableWindow::setKeyColumns(const QString &columns)
{
    m_session.requestKey(columns);
}

// The main window's text is about to change under the tables read from it:
// once no work reads them, they get bytes of their own.
void TableWindow::paneAboutToChange()
{
    m_finder.stop();
    std::unique_lock lock(m_work.paneBytes());
    for (int side = 0; side < 2; ++side) {
        if (RichTextBox *pane = m_session.source(side).pane)
            disconnect(pane, &RichTextBox::textAboutToChange, this,
                       &TableWindow::paneAboutToChange);
    }
    m_session.copyPanes();
    onRowChosen = nullptr; // its lines are no longer the panes'
    if (m_session.data())  // the rows the model keeps split point into the old bytes
        m_rows->show(m_session.data(), std::vector<qint32>(model().visible()), false);
}

void TableWindow::compare()
{
    if (m_work.busy()) { // a choice made meanwhile: compare again once this is done
        m_compareAgain = true;
        return;
    }
    m_compareAgain = false;
    if (!m_session.ready()) {
        m_resultBar->showNoResult(tr("Open two files to compare."));
        return;
    }
    m_finder.stop();
    if (m_session.newPair()) {
        if (const auto choices = m_settings.choicesFor(m_session.pairEntry()))
            m_session.offer(*choices);
    }
    m_session.filter.find = m_filterBar->findText();
    // A copy: the filters may change while the comparison runs.
    const Tables::CompareRequest request{m_options->options(), m_options->delimiter(),
                                         m_options->header(), m_options->hasKeyChoice(),
                                         m_session.filter};
    const bool first = model().columnCount() == 0;
    Tables::CompareOutcome outcome;
    if (runComparison(request, outcome))
        showComparison(request, outcome, first);
}

bool TableWindow::runComparison(const Tables::CompareRequest &request,
                                Tables::CompareOutcome &outcome)
{
    // A file changed on disk: its old bytes and the old result go before the
    // new are read, and are freed off the window's thread.
    std::vector<std::shared_ptr<const void>> stale = m_session.dropStale();
    const bool dropped = !stale.empty();
    if (dropped)
        model().clear();
    const bool done =
        m_work.runCancellable(tr("Comparing the tables…"), [&](Csv::WorkControl &control) {
            if (!stale.empty()) {
                stale.clear();
                Tables::returnFreedMemory();
            }
            outcome = m_session.run(request, &control);
        });
    // Cancelled: the window stays as it was, unless the old result went with
    // a file changed on disk.
    if (!done || outcome.cancelled) {
        if (dropped)
            showNothingCompared(m_work.cancelled() || outcome.cancelled
                                    ? tr("Nothing compared: Cancel was pressed.")
                                    : tr("Nothing compared."));
        return false;
    }
    if (!m_session.accept(outcome)) {
        if (dropped)
            showNothingCompared(tr("Nothing compared."));
        m_sides->showSides(m_session);
        showError(outcome.error);
        return false;
    }
    return true;
}

void TableWindow::showComparison(const Tables::CompareRequest &request,
                                 Tables::CompareOutcome &outcome, bool first)
{
    const std::shared_ptr<Tables::TableData> &result = m_session.data();
    m_options->showCompared(m_session.columnLabels(kColumnsInMenus), result->comparison.keyColumns,
                            outcome.used);
    m_settings.remember(m_session.pairEntry(), m_session.choices());
    showVisible(std::move(outcome.visible));
    m_rows->view().setFrozenColumns(Tables::kFixedColumns
                                    + int(result->comparison.keyColumns.size()));
    if (first)
        restoreColumnWidths();
    showResult();
    watchFiles();
    if (!(request.filter == m_session.filter))
        refilter(); // a filter changed while the comparison ran
    emit compared();
    if (m_compareAgain)
        QTimer::singleShot(0, this, &TableWindow::compare);
}

// Columns…: the pairs of renamed columns, suggested from a sample of the
// rows (off the window's thread) and edited in the dialog.
void TableWindow::chooseColumnPairs()
{
    if (!m_session.data() || m_work.busy())
        return;
    Tables::ColumnPairing pairing;
    if (!m_work.run(tr("Looking for renamed columns\u2026"),
                    [&] { pairing = m_session.columnPairing(); }))
        return;
    if (!m_dialogs.pairColumns(pairing))
        return;
    m_session.setRenames(pairing.renames());
    compare();
}

void TableWindow::showResult()
{
    const Tables::TableData &result = *m_session.data();
    m_resultBar->showResult(m_session);
    const QStringList notes = m_session.notes();
    m_notes->clear();
    m_notes->addItems(notes);
    m_notes->setVisible(!notes.isEmpty());
    m_sides->showSides(m_session);
    m_filterBar->showCounts(&result);
    updateHiddenColumns();
}

// The old result went with a file changed on disk and no new one came: the
// window says so, and the bar still offers to compare again.
void TableWindow::showNothingCompared(const QString &why)
{
    m_resultBar->showNoResult(why);
    m_notes->clear();
    m_notes->hide();
    m_sides->showSides(m_session);
    m_filterBar->showCounts(nullptr);
    m_filterBar->setFindCount(QString());
    checkFilesOnDisk();
}

QString TableWindow::summaryText() const
{
    return m_resultBar->summary();
}

QStringList TableWindow::notes() const
{
    QStringList texts;
    for (int i = 0; i < m_notes->count(); ++i)
        texts << m_notes->item(i)->text();
    return texts;
}

QString TableWindow::changedOnDiskText() const
{
    return m_resultBar->changedOnDisk();
}

QString TableWindow::findCountText() const
{
    return m_filterBar->findCount();
}

QString TableWindow::moveNoteText() const
{
    return m_rows->moveNote();
}

void TableWindow::updateHiddenColumns()
{
    if (m_session.data())
        m_rows->showChangedColumnsOnly(*m_session.data(), m_changedColumnsOnly);
}

void TableWindow::setChangedColumnsOnly(bool only)
{
    m_changedColumnsOnly = only;
    m_filterBar->setChangedColumnsOnly(only);
    updateHiddenColumns();
}

void TableWindow::refilter()
{
    const std::shared_ptr<Tables::TableData> result = m_session.data();
    if (!result || m_work.busy())
        return;
    m_finder.stop();
    const Tables::RowFilter filter = m_session.filter;
    std::vector<qint32> visible;
    if (m_work.run(tr("Filtering the rows…"),
                   [&] { visible = Tables::visibleRows(*result, filter); }))
        showVisible(std::move(visible));
}

// The find box as typed: a newer keystroke stops an older run.
void TableWindow::findAsTyped(const QString &text)
{
    m_session.filter.find = text;
    if (m_session.data() && !m_work.busy())
        m_finder.find(m_session.data(), m_session.filter);
}

void TableWindow::showVisible(std::vector<qint32> visible)
{
    // A find shows its first match in sight.
    m_rows->show(m_session.data(), std::move(visible), !m_session.filter.find.isEmpty());
    m_filterBar->setFindCount(m_session.findCount(qsizetype(model().visible().size())));
}

void TableWindow::showStatus(Status status, bool shown)
{
    m_session.filter.shown[size_t(status)] = shown;
    m_filterBar->setShown(status, shown);
    refilter();
}

void TableWindow::setFindText(const QString &text)
{
    m_filterBar->setFindText(text);
    m_session.filter.find = text;
    refilter();
}

void TableWindow::showChangesIn(qsizetype mappingColumn)
{
    m_session.filter.changedIn = mappingColumn;
    m_resultBar->selectColumn(mappingColumn);
    refilter();
}

void TableWindow::filterByValue(int displayColumn, const QString &value, bool equals)
{
    if (m_session.filterByValue(displayColumn, value, equals))
        refilter();
}

// A column header's menu: filter by a value this column's cells contain or
// equal; the value it offers is the one filtered by, else the current row's.
void TableWindow::headerMenu(int column, const QPoint &where)
{
    const std::shared_ptr<Tables::TableData> &result = m_session.data();
    if (!result || column < Tables::kFixedColumns)
        return;
    const Tables::RowFilter &filter = m_session.filter;
    const QString value = filter.valueColumn == result->mappingColumn(column)
                              ? filter.value
                              : m_rows->currentText(column);
    if (const auto choice = Tables::askValueFilter(this, result->header(column), value,
                                                   filter.valueColumn >= 0, where))
        filterByValue(column, choice->value, choice->equals);
}

void TableWindow::sortBy(int column)
{
    if (!m_session.data() || m_work.busy())
        return;
    m_session.sortBy(column);
    m_rows->view().setSortIndicator(column, m_session.filter.descending ? Qt::DescendingOrder
                                                                        : Qt::AscendingOrder);
    refilter();
}

void TableWindow::moveToChangedCell(bool forward)
{
    if (m_session.data())
        m_rows->moveToChangedCell(*m_session.data(), forward);
}

// What the view shows of the selected rows: its columns in their order,
// hidden ones left out.
void TableWindow::copySelection()
{
    const QString text = m_session.data() ? m_rows->selectionText(*m_session.data()) : QString();
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

void TableWindow::rowChosen(const QModelIndex &index)
{
    const std::shared_ptr<Tables::TableData> &result = m_session.data();
    if (!onRowChosen || !result || !index.isValid())
        return;
    const Tables::DisplayRow &row = model().displayRow(index.row());
    onRowChosen(result->comparison.table1.get(), row.record1, result->comparison.table2.get(),
                row.record2);
}

void TableWindow::watchFiles()
{
    m_resultBar->watchFiles(m_session);
}

void TableWindow::checkFilesOnDisk()
{
    m_resultBar->showChangedOnDisk(m_session);
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

// Another sheet of a side's workbook: read again with it, and compared.
void TableWindow::chooseSheet(int side, int sheet)
{
    const QString path = m_session.source(side).path;
    if (m_work.busy() || path.isEmpty())
        return;
    if (openFile(side, path, sheet))
        compare();
    else
        m_sides->showSides(m_session); // the chooser shows the sheet still read
}

void TableWindow::chooseReport()
{
    if (!m_session.data())
        return;
    const QString path =
        m_dialogs.fileDialog({tr("Save Report"), Tables::reportFileFilter(), true});
    if (!path.isEmpty())
        saveReport(path, Tables::reportFormatFor(path));
}

bool TableWindow::saveReport(const QString &path, Csv::ReportFormat format)
{
    const std::shared_ptr<const Tables::TableData> content = m_session.data();
    if (!content)
        return false;
    const Csv::ReportOptions options = m_session.reportOptions();
    QString error;
    const bool done = m_work.run(tr("Saving the report…"), [&] {
        error = Tables::writeReportFile(path, content->comparison, format, options);
    });
    if (!error.isEmpty())
        showError(tr("Cannot save %1: %2").arg(path, error));
    return done && error.isEmpty();
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

// Two files: both sides; one: the side of the window it was dropped on.
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
    const int side = event->position().x() < width() / 2 ? 0 : 1;
    const bool opened = paths.size() >= 2 ? openFile(0, paths[0]) && openFile(1, paths[1])
                                          : openFile(side, paths[0]);
    if (opened)
        compare();
}

void TableWindow::restoreSettings()
{
    const QByteArray geometry = m_settings.bytes(QStringLiteral("Geometry"));
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
    const QByteArray splitter = m_settings.bytes(QStringLiteral("Splitter"));
    if (!splitter.isEmpty())
        m_splitter->restoreState(splitter);
    m_options->restore(m_settings.value(QStringLiteral("Options")));
}

void TableWindow::storeSettings()
{
    m_settings.storeBytes(QStringLiteral("Geometry"), saveGeometry());
    m_settings.storeBytes(QStringLiteral("Splitter"), m_splitter->saveState());
    m_settings.store(QStringLiteral("Options"), m_options->saved());
    if (m_session.data())
        m_settings.storeColumnsState(model().columnCount(), m_rows->columnsState());
}

// Column widths, when the table has as many columns as when they were stored.
void TableWindow::restoreColumnWidths()
{
    const QByteArray state = m_settings.columnsState(model().columnCount());
    if (state.isEmpty())
        return;
    m_rows->restoreColumns(state, m_session.filter);
    updateHiddenColumns();
}

// Coming back to the window is when a file changed meanwhile is noticed too.
void TableWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        checkFilesOnDisk();
}

void TableWindow::closeEvent(QCloseEvent *event)
{
    if (m_work.busy()) {
        event->ignore();
        return;
    }
    storeSettings();
    QWidget::closeEvent(event);
}
